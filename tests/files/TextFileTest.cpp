// The writer's open modes, and what it never does: follow a link, add bytes.
#include "Folder.h"
#include "platform/files/TextFile.h"
#include "platform/files/TextReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;
using files::TextEncoding;
using files::TextFileMode;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    bool Write(TextFileMode mode, std::u16string_view text, bool seekToEnd = false)
    {
        auto file = files::OpenTextFile("file.txt", mode, TextEncoding::Utf8WithMark);
        if (!file.Ok())
            return false;
        if (seekToEnd) {
            EXPECT_TRUE(file.Value().SeekToEnd().Ok());
        }
        EXPECT_TRUE(file.Value().WriteText(text).Ok());
        return file.Value().Close().Ok();
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(TextFileTest, CreateOrKeepWithSeekToEndAppends)
{
    WriteFile("file.txt", "old\n");
    EXPECT_TRUE(Write(TextFileMode::CreateOrKeep, u"new\n", true));
    EXPECT_EQ(ReadFile("file.txt"), "old\nnew\n");
}

TEST_F(TextFileTest, CreateOrTruncateEmptiesTheFile)
{
    WriteFile("file.txt", "old contents\n");
    EXPECT_TRUE(Write(TextFileMode::CreateOrTruncate, u"new"));
    EXPECT_EQ(ReadFile("file.txt"), "new");
}

TEST_F(TextFileTest, NoModeFollowsALink)
{
    WriteFile("target", "keep");
    ASSERT_EQ(::symlink("target", "file.txt"), 0);
    for (auto mode : {TextFileMode::CreateOrKeep, TextFileMode::CreateOrTruncate, TextFileMode::CreateNew})
        EXPECT_FALSE(Write(mode, u"x"));
    EXPECT_EQ(ReadFile("target"), "keep");
}

TEST_F(TextFileTest, CreateNewRefusesAnExistingName)
{
    WriteFile("file.txt", "keep");
    EXPECT_FALSE(Write(TextFileMode::CreateNew, u"x"));
    EXPECT_EQ(ReadFile("file.txt"), "keep");
}

// The kernel's copy and the one through memory, which a file system that
// refuses the kernel's gets, leave the same bytes after what was written.
TEST_F(TextFileTest, CopiedRangesFollowTheWrittenBytesByEitherWay)
{
    std::string source;
    for (int i = 0; source.size() < 600 * 1024; ++i)
        source += "line " + std::to_string(i) + "\n";
    WriteFile("source.txt", source);
    for (const bool throughMemory : {false, true}) {
        SCOPED_TRACE(throughMemory ? "through memory" : "by the kernel");
        auto reader = files::TextReader::Open("source.txt");
        ASSERT_TRUE(reader.Ok());
        auto file = files::OpenTextFile("file.txt", TextFileMode::CreateOrTruncate, TextEncoding::Utf8WithMark);
        ASSERT_TRUE(file.Ok());
        EXPECT_TRUE(file.Value().WriteBytes("head").Ok());
        if (throughMemory) {
            auto target = files::SystemFileSystem().Open("file.txt", files::OpenMode::CreateOrKeep);
            ASSERT_TRUE(target.Ok());
            EXPECT_TRUE(file.Value().Close().Ok());
            ASSERT_TRUE(files::SystemFileSystem().SeekToEnd(target.Value()).Ok());
            auto from = files::SystemFileSystem().Open("source.txt", files::OpenMode::Read);
            ASSERT_TRUE(from.Ok());
            EXPECT_TRUE(files::CopyThroughMemory(files::SystemFileSystem(), from.Value(), 7, target.Value(), 500000).Ok());
            // Past the source's end: an error, never a short copy told as done.
            EXPECT_FALSE(
                files::CopyThroughMemory(files::SystemFileSystem(), from.Value(), source.size() - 1, target.Value(), 2).Ok());
            files::SystemFileSystem().Close(from.Value());
            files::SystemFileSystem().Close(target.Value());
            EXPECT_EQ(ReadFile("file.txt"), "head" + source.substr(7, 500000) + source.back());
        } else {
            EXPECT_TRUE(file.Value().CopyFrom(reader.Value(), 7, 500000).Ok());
            EXPECT_TRUE(file.Value().WriteBytes("tail").Ok());
            EXPECT_TRUE(file.Value().Close().Ok());
            EXPECT_EQ(ReadFile("file.txt"), "head" + source.substr(7, 500000) + "tail");
        }
    }
}
