// The reader that stands for the old runtime's Unicode text mode.
#include "Folder.h"
#include "platform/files/TextReader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace testing_support;
using files::TextEncoding;

namespace {

struct ReadBack {
    TextEncoding encoding;
    std::vector<files::TextLine> lines;
    std::string trailing;

    std::vector<std::string> Bytes() const
    {
        std::vector<std::string> bytes;
        for (const auto& line : lines)
            bytes.push_back(line.bytes);
        return bytes;
    }
};

class TextReaderTest : public ::testing::Test {
protected:
    ReadBack Read(std::string_view contents)
    {
        WriteFile("file.txt", contents);
        auto reader = files::TextReader::Open("file.txt");
        EXPECT_TRUE(reader.Ok());
        ReadBack result{reader.Value().Encoding(), {}, {}};
        files::TextLine line;
        while (reader.Value().ReadRawLine(line).Value())
            result.lines.push_back(line);
        result.trailing = reader.Value().Trailing();
        EXPECT_TRUE(reader.Value().Close().Ok());
        return result;
    }

    TemporaryFolder m_folder;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(TextReaderTest, TheFirstBytesChooseTheEncodingAndTheMarkIsNoPartOfALine)
{
    EXPECT_EQ(Read("\xEF\xBB\xBF" "a\n").encoding, TextEncoding::Utf8WithMark);
    EXPECT_EQ(Read("\xEF\xBB\xBF" "a\n").Bytes(), Lines{"a"});
    EXPECT_EQ(Read("\xFF\xFE" + Utf16(u"a")).encoding, TextEncoding::Utf16LeWithMark);
    EXPECT_EQ(Read("\xFF\xFE" + Utf16(u"a")).Bytes(), Lines{Utf16(u"a")});
    EXPECT_EQ(Read("ab\n").encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(Read("").encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(Read("\xEF\xBB").encoding, TextEncoding::Utf16Le);
    EXPECT_TRUE(Read("\xEF\xBB\xBF").lines.empty());
}

TEST_F(TextReaderTest, LinesEndAtLineFeedOrCarriageReturnLineFeedOnly)
{
    auto read = Read("\xEF\xBB\xBF" "a\r\n\nb\rc\n\r\nlast\r");
    EXPECT_EQ(read.Bytes(), (Lines{"a", "", "b\rc", "", "last\r"}));
    EXPECT_EQ(read.lines[0].end, "\r\n");
    EXPECT_EQ(read.lines[1].end, "\n");
    EXPECT_EQ(read.lines[4].end, "");
}

TEST_F(TextReaderTest, Utf16LineEndsAreWholeCodeUnits)
{
    // 0A 0D inside a code unit is no line end; only aligned units count.
    auto read = Read(Utf16(u"\u0A0D\u0D0A:x\r\ny"));
    EXPECT_EQ(read.Bytes(), (Lines{Utf16(u"\u0A0D\u0D0A:x"), Utf16(u"y")}));
    EXPECT_EQ(read.lines[0].end, Utf16(u"\r\n"));
}

TEST_F(TextReaderTest, AnOddLastByteOfUtf16IsTrailingNotALine)
{
    auto read = Read(Utf16(u"ab\n") + "Z");
    EXPECT_EQ(read.Bytes(), Lines{Utf16(u"ab")});
    EXPECT_EQ(read.trailing, "Z");
    read = Read(Utf16(u"ab") + "Z");
    EXPECT_EQ(read.Bytes(), Lines{Utf16(u"ab")});
    EXPECT_EQ(read.trailing, "Z");
}

TEST_F(TextReaderTest, LinesHaveNoLengthLimitAndEndsMaySpanTwoBlocks)
{
    const std::string longLine(65535, 'x');  // with the mark its CR is the block's last byte
    auto read = Read("\xEF\xBB\xBF" + longLine.substr(3) + "\r\n" + std::string(300000, 'y'));
    EXPECT_EQ(read.Bytes(), (Lines{longLine.substr(3), std::string(300000, 'y')}));
    EXPECT_EQ(read.lines[0].end, "\r\n");
    auto wide = Read(Utf16(std::u16string(32767, u'w') + u"\r\n" + u"z"));
    EXPECT_EQ(wide.lines.size(), 2u);
    EXPECT_EQ(wide.lines[0].end, Utf16(u"\r\n"));
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

