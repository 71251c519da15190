// The fast paths compare bytes with the key encoded once; the slow ones decode
// every line. On hostile files, in every encoding and across block borders,
// both must give the same answer and the same file.
#include "UserFileFixture.h"

#include "platform/files/TextReader.h"
#include "tests/support/LineByLine.h"
#include "store/Record.h"
#include "store/RecordSearch.h"

#include <algorithm>
#include <random>

using namespace testing_support;

namespace {

// Pieces that stress line ends, decoding and the key's own bytes.
const std::vector<std::string> kUtf8Pieces = {
    "ann:1", "ann:", ":1", "an", "\n", "\r\n", "\r", std::string(1, '\0'), "\xFF", "\xC0\xAF", "\xEF\xBF\xBD",
    "\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80", "\xC3\xA9", "x",
    // Lines that decode to a key from other bytes than the key's own.
    "\n\xED\xA0\xBD\xED\xB8\x80:1\n", "\n\xFF\xC0:1\n", "\nx:\xFF\n"};
const std::vector<std::u16string> kUtf16Pieces = {
    u"ann:1", u"ann:", u":1", u"\n", u"\r\n", u"\r", std::u16string(1, u'\0'), u"\u0a0d", u"\u0a00", std::u16string(1, char16_t(0xD800)),
    u"\U0001F600", u"\u00e9", u"\uFFFD", u"x", u"\u3a6e",
    // A line "ann:1" one byte off the units, which no search may find.
    u"\u0a00\u6100\u6e00\u6e00\u3a00\u3100\u0a00\u0a00"};

// Keys that the bytes above can spell, and some that only decoding can match.
const std::vector<std::u16string> kKeys = {u"ann:1", u"ann:", u":1", u"x:\uFFFD", u"\uFFFD\uFFFD:1",
                                           u"\U0001F600:1", std::u16string(1, char16_t(0xD800)) + u":x", u"\u00e9:1", u"ann:1\u3a6e",
                                           u"ann:ann:1"};

std::string RandomFile(std::mt19937& random, const FileFormat& format, std::size_t pieces)
{
    std::string bytes = format.mark;
    const bool utf8 = format.mark == Utf8WithMark.mark;
    for (std::size_t i = 0; i < pieces; ++i) {
        if (utf8)
            bytes += kUtf8Pieces[random() % kUtf8Pieces.size()];
        else
            bytes += format.encode(kUtf16Pieces[random() % kUtf16Pieces.size()]);
    }
    // Odd lengths leave a UTF-16 file with a byte that belongs to no line.
    if (random() % 4 == 0)
        bytes += 'q';
    return bytes;
}

bool FoundBy(bool fast, const std::u16string& key)
{
    std::u16string why;
    const std::optional<store::Record> record = store::Record::Admit(key, why);
    if (!record)
        return false;
    if (!fast) {
        const RawLines read = ReadRawLines(ReadFile(store::UserFileName).value_or(""));
        return std::any_of(read.lines.begin(), read.lines.end(),
                           [&](const RawLine& line) { return line.bytes == record->Bytes(read.encoding); });
    }
    auto reader = files::TextReader::Open(store::UserFileName);
    EXPECT_TRUE(reader.Ok());
    auto found = store::FindRecord(reader.Value(), *record);
    EXPECT_TRUE(found.Ok());
    return found.Ok() && found.Value();
}

// The rewrite's rules applied one whole line at a time, to the user file as it is.
std::string RewrittenLineByLine(const std::string& file, const std::u16string& key, const std::u16string& replacement)
{
    RawLines read = ReadRawLines(file);
    const auto encode = [&](std::u16string_view text) { return files::EncodeText(text, read.encoding); };
    std::string bytes(files::MarkOf(read.encoding));
    std::string convention;
    bool changed = false;
    for (RawLine& line : read.lines) {
        if (convention.empty())
            convention = line.end;
        const bool equal = line.bytes == encode(key);
        changed = changed || equal;
        if (line.end.empty())
            line.end = !equal && line.bytes.ends_with(encode(u"\r")) ? encode(u"\r\n")
                       : convention.empty()                          ? encode(u"\n")
                                                                     : convention;
        bytes += (equal ? encode(replacement) : line.bytes) + line.end;
    }
    return changed ? bytes + read.trailing : file;
}

class FastPath : public EachFormat {
protected:
    // The block copy leaves the bytes that the rules, line by line, give.
    void ExpectSameRewrite(const std::string& file, const std::u16string& key)
    {
        const std::u16string replacement = key + u"-new";
        GivenUserFile(file);
        const std::string expected = store::RefusalOf(key) ? file : RewrittenLineByLine(file, key, replacement);
        store::RewriteUserFile(key, replacement);
        EXPECT_EQ(UserFile(), expected);
    }
};

TEST_P(FastPath, FindsWhatDecodingFindsInHostileFiles)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Long files reach the widest vector compares, at every alignment.
        GivenUserFile(RandomFile(random, Format(), 1 + random() % (round % 3 == 0 ? 600 : 40)));
        for (const std::u16string& key : kKeys)
            ASSERT_EQ(FoundBy(true, key), FoundBy(false, key)) << "key of " << key.size() << " units";
    }
}

TEST_P(FastPath, RewritesAsTheLineByLineCopyInHostileFiles)
{
    std::mt19937 random(11);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string file = RandomFile(random, Format(), random() % (round % 3 == 0 ? 600 : 40));
        ExpectSameRewrite(file, kKeys[random() % kKeys.size()]);
        // A key ending in CR is refused, never matched against a CR LF end.
        ExpectSameRewrite(file, u"ann:1\r");
    }
}

TEST_P(FastPath, AgreesAcrossBlockBorders)
{
    // Lines of every length around the reader's 256 KiB blocks put the key
    // and its line ends astride the borders.
    std::mt19937 random(13);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string file = Format().mark;
        while (file.size() < 800 * 1024) {
            const std::u16string filler(random() % 5000, u'a');
            file += Format().Line(filler + u":", random() % 2 ? u"\n" : u"\r\n");
            file += Format().Line(u"ann:1", random() % 2 ? u"\n" : u"\r\n");
        }
        GivenUserFile(file);
        EXPECT_TRUE(FoundBy(true, u"ann:1"));
        EXPECT_EQ(FoundBy(true, u"a:1"), FoundBy(false, u"a:1"));
        ExpectSameRewrite(file, u"ann:1");
    }
    // One key amid long unchanged spans, which the kernel copies, mark and all.
    std::string file = Format().mark;
    for (int i = 0; file.size() < 700 * 1024; ++i) {
        file += Format().Line(u"user" + std::u16string(1, char16_t(u'a' + i % 26)) + u":" + std::u16string(i % 90, u'p'),
                              u"\n");
        if (i == 4000)
            file += Format().Line(u"ann:1", u"\n");
    }
    ExpectSameRewrite(file, u"ann:1");
    EXPECT_NE(UserFile(), file);
    // Keys longer than a block: the search keeps more than a block of a line
    // that a near miss of the key begins.
    for (const std::size_t units : {256u * 1024 - 7, 256u * 1024 + 3, 1024u * 1024}) {
        SCOPED_TRACE("key of " + std::to_string(units) + " units");
        const std::u16string key = u"ann:" + std::u16string(units, u'p');
        const std::string longFile = Format().mark + Format().Line(key + u"q", u"\n") + Format().Line(key, u"\n");
        GivenUserFile(longFile);
        EXPECT_TRUE(FoundBy(true, key));
        EXPECT_FALSE(FoundBy(true, key.substr(1)));
        EXPECT_EQ(store::AppendRecord(key).GetOutcome(), store::AppendOutcome::AlreadyPresent);
        ExpectSameRewrite(longFile, key);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FastPath,
                         ::testing::Values(Utf8WithMark, Utf16LeWithMark, Utf16LeWithoutMark), FormatName);

} // namespace
