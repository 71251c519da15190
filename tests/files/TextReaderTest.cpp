// The reader's encoding, and the line-by-line reading that stands for the old
// runtime's Unicode text mode.
#include "Folder.h"
#include "platform/files/TextReader.h"
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

} // namespace

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

TEST_F(TextReaderTest, LinesEndAtLineFeedOrCarriageReturnLineFeedOnly)
{
    auto read = Read("\xEF\xBB\xBF" "a\r\n\nb\rc\n\r\nlast\r");
    EXPECT_EQ(Bytes(read), (Lines{"a", "", "b\rc", "", "last\r"}));
    EXPECT_EQ(read.lines[0].end, "\r\n");
    EXPECT_EQ(read.lines[1].end, "\n");
    EXPECT_EQ(read.lines[4].end, "");
}

TEST_F(TextReaderTest, Utf16LineEndsAreWholeCodeUnits)
{
    // 0A 0D inside a code unit is no line end; only aligned units count.
    auto read = Read(Utf16(u"\u0A0D\u0D0A:x\r\ny"));
    EXPECT_EQ(Bytes(read), (Lines{Utf16(u"\u0A0D\u0D0A:x"), Utf16(u"y")}));
    EXPECT_EQ(read.lines[0].end, Utf16(u"\r\n"));
}

TEST_F(TextReaderTest, AnOddLastByteOfUtf16IsTrailingNotALine)
{
    auto read = Read(Utf16(u"ab\n") + "Z");
    EXPECT_EQ(Bytes(read), Lines{Utf16(u"ab")});
    EXPECT_EQ(read.trailing, "Z");
    read = Read(Utf16(u"ab") + "Z");
    EXPECT_EQ(Bytes(read), Lines{Utf16(u"ab")});
    EXPECT_EQ(read.trailing, "Z");
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

