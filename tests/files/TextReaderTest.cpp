// How a user file is read: its encoding from the first bytes, its lines and
// their ends, and the search in the reader's blocks.
#include "Folder.h"
#include "platform/files/TextReader.h"
#include "platform/files/TextSearch.h"
#include "tests/support/LineByLine.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace testing_support;
using files::TextEncoding;

namespace {

// The lines that the line-by-line reading, which the block search is held to,
// finds in a file; the reader must tell the same encoding.
class TextReaderTest : public ::testing::Test {
protected:
    RawLines Read(std::string_view contents)
    {
        WriteFile("file.txt", contents);
        auto reader = files::TextReader::Open("file.txt");
        EXPECT_TRUE(reader.Ok());
        RawLines read = ReadRawLines(contents);
        EXPECT_EQ(reader.Value().Encoding(), read.encoding);
        return read;
    }

    TemporaryFolder m_folder;
};

std::vector<std::string> Bytes(const RawLines& read)
{
    std::vector<std::string> bytes;
    for (const auto& line : read.lines)
        bytes.push_back(line.bytes);
    return bytes;
}

using Lines = std::vector<std::string>;

// The search the vector one is held to: whole units from `from`, inside the view.
std::size_t PlainFind(std::string_view view, std::string_view key, std::size_t from, std::size_t unit)
{
    for (std::size_t at = (from + unit - 1) / unit * unit; at + key.size() <= view.size(); at += unit) {
        if (view.substr(at, key.size()) == key)
            return at;
    }
    return std::string_view::npos;
}

} // namespace

TEST(TextSearch, FindsWhatAPlainSearchFindsAndNothingPastTheView)
{
    // Each view ends inside or just after a key whose rest follows in memory,
    // where a vector load past the view's end would see it; at even and odd
    // addresses, and past every vector width.
    for (const std::size_t unit : {1u, 2u}) {
        for (const std::u16string& text : {std::u16string(u"k"), std::u16string(u"ann:1"), std::u16string(u"kay:a!"),
                                           u"long:" + std::u16string(70, u'p')}) {
            const std::string key = unit == 1 ? Utf8(text) : Utf16(text);
            for (const std::size_t address : {0u, 1u, 2u, 33u}) {
                for (const std::size_t before : {0u, 1u, 2u, 15u, 16u, 31u, 32u, 63u, 64u, 65u, 130u, 257u}) {
                    std::string memory(address, '#');
                    for (std::size_t i = 0; i < before; ++i)
                        memory += "abcdefg\n"[i % 8];
                    memory += key + key + std::string(256, 'z');
                    for (const std::size_t end : {std::size_t(1), unit, key.size() - 1, key.size(), key.size() + unit,
                                                  2 * key.size() - 1}) {
                        const std::string_view view = std::string_view(memory).substr(address, before + end);
                        for (const std::size_t from : {0u, 1u}) {
                            SCOPED_TRACE(testing::Message() << "unit " << unit << ", key of " << key.size() << " bytes at " << before
                                                            << ", address +" << address << ", view " << view.size() << ", from " << from);
                            ASSERT_EQ(files::FindUnits(view, key, from, unit), PlainFind(view, key, from, unit));
                        }
                    }
                }
            }
        }
    }
}

TEST_F(TextReaderTest, TheFirstBytesChooseTheEncodingAndTheMarkIsNoPartOfALine)
{
    EXPECT_EQ(Read("\xEF\xBB\xBF" "a\n").encoding, TextEncoding::Utf8WithMark);
    EXPECT_EQ(Bytes(Read("\xEF\xBB\xBF" "a\n")), Lines{"a"});
    EXPECT_EQ(Read("\xFF\xFE" + Utf16(u"a")).encoding, TextEncoding::Utf16LeWithMark);
    EXPECT_EQ(Bytes(Read("\xFF\xFE" + Utf16(u"a"))), Lines{Utf16(u"a")});
    EXPECT_EQ(Read("ab\n").encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(Read("").encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(Read("\xEF\xBB").encoding, TextEncoding::Utf16Le);
    EXPECT_TRUE(Read("\xEF\xBB\xBF").lines.empty());
}

// LF and CR LF end a line, as whole code units in UTF-16; an odd last byte of
// UTF-16 is trailing, not a line.
TEST_F(TextReaderTest, LinesEndAtLineFeedOrCarriageReturnLineFeedOnly)
{
    const struct {
        std::string file;
        Lines lines;
        Lines ends;
        std::string trailing;
    } rows[] = {
        {"\xEF\xBB\xBF" "a\r\n\nb\rc\n\r\nlast\r", {"a", "", "b\rc", "", "last\r"}, {"\r\n", "\n", "\n", "\r\n", ""}, ""},
        {Utf16(u"\u0A0D\u0D0A:x\r\ny"), {Utf16(u"\u0A0D\u0D0A:x"), Utf16(u"y")}, {Utf16(u"\r\n"), ""}, ""},
        {Utf16(u"ab\n") + "Z", {Utf16(u"ab")}, {Utf16(u"\n")}, "Z"},
        {Utf16(u"ab") + "Z", {Utf16(u"ab")}, {""}, "Z"},
    };
    for (const auto& row : rows) {
        const RawLines read = Read(row.file);
        Lines ends;
        for (const auto& line : read.lines)
            ends.push_back(line.end);
        EXPECT_EQ(Bytes(read), row.lines);
        EXPECT_EQ(ends, row.ends);
        EXPECT_EQ(read.trailing, row.trailing);
    }
}

TEST_F(TextReaderTest, ThePiecesAddUpToTheFileForAnyBytes)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string contents(random() % 400, '\0');
        for (char& byte : contents)
            byte = "\r\n\0a\xEF\xBB\xBF\xFF\xFE"[random() % 9];
        auto read = Read(contents);
        std::string joined(files::MarkOf(read.encoding));
        for (const auto& line : read.lines)
            joined += line.bytes + line.end;
        EXPECT_EQ(joined + read.trailing, contents);
    }
}

