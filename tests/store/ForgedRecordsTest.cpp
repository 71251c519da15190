// No forged records: a line is compared by its bytes, and no moment of an
// append shows a reader a part of a record.
#include "UserFileFixture.h"

#include "store/RecordKey.h"

#include "tests/support/FileFaultInjection.h"

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

TEST(RecordKey, JoinsUserAndPasswordWithOneColon)
{
    EXPECT_EQ(store::RecordKey(u"a:b", u"c"), u"a:b:c");
    EXPECT_EQ(store::RecordKey(u"a", u"b:c"), u"a:b:c");
}

using ForgedRecords = UserFileTest;

TEST_F(ForgedRecords, InvalidBytesNeverMatchATypedReplacementCharacter)
{
    const std::string accounts = "\xEF\xBB\xBF" "bob:caf\xE9\n";
    GivenUserFile(accounts);
    EXPECT_EQ(Scan(u"bob:caf\uFFFD"), ScanOutcome::NotFound);
    EXPECT_EQ(Replace(u"bob:caf\uFFFD", u"bob:mine"), RewriteOutcome::Unchanged);
    EXPECT_EQ(UserFile(), accounts);
    EXPECT_EQ(Append(u"bob:caf\uFFFD"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), accounts + "bob:caf\xEF\xBF\xBD\n");
}

TEST_F(ForgedRecords, ARecordAtTheStartOfAFileWithoutAMarkNeverReadsAsOne)
{
    for (const std::u16string& key : {std::u16string(u"\uFEFFadmin:mine"), std::u16string(u"\uBBEF\u41BFx:y")}) {
        GivenUserFile("\n");  // one byte: UTF-16LE without a mark, and no line yet
        EXPECT_EQ(Append(key), AppendOutcome::Written);
        EXPECT_EQ(Scan(key), ScanOutcome::Found);
        EXPECT_EQ(Scan(key.substr(1)), ScanOutcome::NotFound);
        // A large file's copy, which could take the old file's lack of a mark along, gains one too.
        for (const std::u16string& rest : {std::u16string(), std::u16string(40000, u'z') + u":1\n"}) {
            GivenUserFile(Utf16(u"ann:1\n" + rest));
            EXPECT_EQ(Replace(u"ann:1", key), RewriteOutcome::Done);
            EXPECT_EQ(UserFile(), Utf16LeWithMark.File({key}) + Utf16(rest)) << "read as written";
        }
    }
}

TEST_F(ForgedRecords, NoMomentOfAnAppendShowsAReaderAPartOfTheRecord)
{
    const std::u16string key = u"victim:" + std::u16string(9000, u'p');
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    files::FaultInjectingFileSystem watched;
    int forged = 0;
    int lookedAt = 0;
    int writes = 0;
    watched.BeforeEachCall([&](FileCall call) {
        files::FileSystemScope real(files::SystemFileSystem());
        ++lookedAt;
        for (std::size_t length : {std::size_t(7), std::size_t(4093), std::size_t(8000), key.size() - 1})
            forged += Scan(key.substr(0, length)) == ScanOutcome::Found;
        // The whole line, once written, still matches nothing until its first character is.
        forged += writes < 2 && Scan(key) == ScanOutcome::Found;
        writes += call == FileCall::Write;
    });
    {
        files::FileSystemScope scope(watched);
        EXPECT_EQ(Append(key), AppendOutcome::Written);
    }
    EXPECT_GT(lookedAt, 5);
    EXPECT_EQ(forged, 0);
    EXPECT_EQ(Scan(key), ScanOutcome::Found);
}
