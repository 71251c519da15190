// The format of the user file: its records, encodings and line ends.
#include "UserFileFixture.h"

#include <utility>

#include <unistd.h>

using namespace testing_support;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

INSTANTIATE_TEST_SUITE_P(Formats, EachFormat, ::testing::Values(Utf8WithMark, Utf16LeWithMark, Utf16LeWithoutMark),
                         FormatName);

TEST_P(EachFormat, WholeLinesMatchExactlyAndNothingElse)
{
    GivenUserFile(Format().File({u"ann:secret", u"Bob:pw ", u"ann:other", u"no colon", u"", u"a:b:c"}));
    EXPECT_EQ(Scan(u"ann:secret"), ScanOutcome::Found);
    EXPECT_EQ(Scan(u"ann:other"), ScanOutcome::Found);
    EXPECT_EQ(Scan(u"Ann:secret"), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u"Bob:pw"), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u"ann:secret "), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u"no colon:"), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u":"), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u"a:b:c"), ScanOutcome::Found);  // user a:b, password c, or user a, password b:c
}

TEST_P(EachFormat, CarriageReturnLineFeedEndsALineAndALastLineNeedsNoEnd)
{
    GivenUserFile(Format().mark + Format().Line(u"one:1", u"\r\n") + Format().encode(u"two:2"));
    EXPECT_EQ(Scan(u"one:1"), ScanOutcome::Found);
    EXPECT_EQ(Scan(u"two:2"), ScanOutcome::Found);
}

TEST_P(EachFormat, RewriteOfAFileWithOnlyItsMarkLeavesItAsItWas)
{
    GivenUserFile(Format().mark);
    EXPECT_EQ(Scan(u"a:b"), ScanOutcome::NotFound);
    EXPECT_EQ(Replace(u"a:b", u"a:c"), RewriteOutcome::Unchanged);
    EXPECT_EQ(UserFile(), Format().mark);
}

TEST_P(EachFormat, RewriteReplacesEveryEqualLineInPlaceAndKeepsTheRest)
{
    GivenUserFile(Format().File({u"ann:old", u"", u"bob:x", u"no colon", u"ann:old"}) + Format().encode(u"last:1"));
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), Format().File({u"ann:new", u"", u"bob:x", u"no colon", u"ann:new", u"last:1"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_P(EachFormat, RewriteKeepsEachLinesOwnEndAndGivesTheLastLineTheFilesConvention)
{
    GivenUserFile(Format().mark + Format().Line(u"a:1", u"\r\n") + Format().Line(u"b:2", u"\n")
                  + Format().encode(u"c:3"));
    EXPECT_EQ(Replace(u"b:2", u"b:22"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), Format().mark + Format().Line(u"a:1", u"\r\n") + Format().Line(u"b:22", u"\n")
                              + Format().Line(u"c:3", u"\r\n"));
}

TEST_P(EachFormat, ALoneCarriageReturnEndingTheLastLineStaysInTheLine)
{
    GivenUserFile(Format().mark + Format().Line(u"a:1") + Format().encode(u"b:2\r"));
    EXPECT_EQ(Replace(u"a:1", u"a:9"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), Format().mark + Format().Line(u"a:9") + Format().Line(u"b:2\r", u"\r\n"));
    EXPECT_EQ(Scan(u"b:2\r"), ScanOutcome::Failed);  // refused as a key, yet kept as a line
}

TEST_P(EachFormat, AppendWritesInTheFilesEncodingAndReadsBackExactly)
{
    const std::u16string key = u"Zo\u00eb:\u043f\u0430\u0440\u043e\u043b\u044c\U0001F600\uFFFD";
    GivenUserFile(Format().File({u"ann:1"}));
    EXPECT_EQ(Append(key), AppendOutcome::Written);
    EXPECT_EQ(Scan(key), ScanOutcome::Found);
    EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
    if (Format().encode == &Utf16) {  // the UTF-8 helper only knows the BMP
        EXPECT_EQ(UserFile(), Format().File({u"ann:1", key}));
    }
}

TEST_P(EachFormat, AppendEndsAnUnendedLastLineFirst)
{
    GivenUserFile(Format().mark + Format().Line(u"a:1", u"\r\n") + Format().encode(u"b:2"));
    EXPECT_EQ(Append(u"c:3"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), Format().File({u"a:1", u"b:2", u"c:3"}, u"\r\n"));
}

TEST_P(EachFormat, AnUnfinishedAppendMatchesNothingAndTheNextAppendCutsItOff)
{
    // What a crash leaves: the new line whole or torn, its first character still NUL.
    for (const std::u16string_view left : {std::u16string_view(u"\0ictim:pw\n", 11), std::u16string_view(u"\0ictim:p", 8)}) {
        GivenUserFile(Format().File({u"ann:1"}) + Format().encode(left));
        EXPECT_EQ(Scan(u"victim:pw"), ScanOutcome::NotFound);
        EXPECT_EQ(Scan(u"victim:p"), ScanOutcome::NotFound);
        EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
        EXPECT_EQ(UserFile(), Format().File({u"ann:1", u"bob:1"}));
    }
}

TEST_P(EachFormat, AppendRefusesALineThatIsAlreadyThere)
{
    GivenUserFile(Format().File({u"ann:1"}));
    EXPECT_EQ(Append(u"ann:1"), AppendOutcome::AlreadyPresent);
    EXPECT_EQ(store::AppendRecord(u"ann:1", store::Duplicates::Allow).GetOutcome(), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), Format().File({u"ann:1", u"ann:1"}));
}

// A line break or NUL would forge a line; an unpaired surrogate has no bytes of
// its own in UTF-8: a lone high half, a lone low half, a pair in the wrong order.
TEST_P(EachFormat, KeysThatWouldForgeARecordAreRefusedAndChangeNothing)
{
    GivenUserFile(Format().File({u"a:1"}));
    const std::pair<std::u16string, std::u16string_view> keys[] = {
        {u"eve:x\nroot:y", u"line break"}, {u"eve:x\r", u"line break"}, {std::u16string(u"eve:\0x", 6), u"line break"},
        {u"a:\xD83D", u"surrogate"}, {u"a:\xDC00", u"surrogate"}, {u"a:\xDE00\xD83D", u"surrogate"}};
    for (const auto& [key, told] : keys) {
        const auto appended = store::AppendRecord(key);
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::NotChecked);
        EXPECT_TRUE(Mentions(appended.Message(), told));
        EXPECT_EQ(store::AppendRecord(key, store::Duplicates::Allow).GetOutcome(), AppendOutcome::Failed);
        EXPECT_EQ(Replace(u"a:1", key), RewriteOutcome::Failed);
        EXPECT_EQ(Scan(key), ScanOutcome::Failed);
    }
    EXPECT_EQ(UserFile(), Format().File({u"a:1"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

using NoUserFile = UserFileTest;

TEST_F(NoUserFile, ScanAndRewriteSayMissingAndCreateNothing)
{
    EXPECT_EQ(Scan(u"a:b"), ScanOutcome::Missing);
    EXPECT_EQ(Replace(u"a:b", u"a:c"), RewriteOutcome::Missing);
    EXPECT_FALSE(Exists(store::UserFileName));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(NoUserFile, AnEmptyFileIsRewrittenAsEmpty)
{
    GivenUserFile("");
    EXPECT_EQ(Scan(u"a:b"), ScanOutcome::NotFound);
    EXPECT_EQ(Replace(u"a:b", u"a:c"), RewriteOutcome::Unchanged);
    EXPECT_EQ(UserFile(), "");
}

// No file, an empty one and one with only its mark (what a crash during the
// first account leaves once cut back) are written alike.
TEST_F(NoUserFile, ANewFileTakesTheSystemsLineEndAndAnOldOneKeepsItsOwn)
{
    const char* const givens[] = {nullptr, "", "\xEF\xBB\xBF"};
    for (const char* given : givens) {
        ::unlink(store::UserFileName.c_str());
        if (given)
            GivenUserFile(given);
        EXPECT_EQ(Append(u"a:b"), AppendOutcome::Written);
        EXPECT_EQ(Append(u"c:d"), AppendOutcome::Written);
        EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" "a:b" + NewFileLineEnd + "c:d" + NewFileLineEnd);
    }
    for (const char* lineEnd : {"\n", "\r\n"}) {
        GivenUserFile(std::string("\xEF\xBB\xBF" "a:b") + lineEnd);
        EXPECT_EQ(Append(u"c:d"), AppendOutcome::Written);
        EXPECT_EQ(Replace(u"a:b", u"a:e"), RewriteOutcome::Done);
        EXPECT_EQ(UserFile(), std::string("\xEF\xBB\xBF" "a:e") + lineEnd + "c:d" + lineEnd);
    }
}

TEST_F(UserFileTest, EachCurrentFolderHasItsOwnUserFile)
{
    GivenUserFile(Utf8WithMark.File({u"here:1"}));
    {
        TemporaryFolder other;
        EXPECT_EQ(Scan(u"here:1"), ScanOutcome::Missing);
        EXPECT_EQ(Append(u"there:2"), AppendOutcome::Written);
    }
    EXPECT_EQ(Scan(u"there:2"), ScanOutcome::NotFound);
    EXPECT_EQ(Scan(u"here:1"), ScanOutcome::Found);
}

TEST_F(UserFileTest, FilesMadeByOtherToolsAreRead)
{
    // UTF-16LE with its mark, CR LF and no final line end, as some editors save it.
    GivenUserFile("\xFF\xFE" + Utf16(u"ann:1\r\nbob:2"));
    EXPECT_EQ(Scan(u"bob:2"), ScanOutcome::Found);
    GivenUserFile("\xEF\xBB\xBF" "ann:1\r\nbob:\xC3\xA9\r\n");
    EXPECT_EQ(Scan(u"bob:\u00e9"), ScanOutcome::Found);
    EXPECT_EQ(Append(u"cid:3"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" "ann:1\r\nbob:\xC3\xA9\r\ncid:3\r\n");
}
