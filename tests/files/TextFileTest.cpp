// The writer: a new file only, never through a link, with no byte added.
#include "Folder.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextFile.h"
#include "platform/files/TextReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;
using files::TextEncoding;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    bool Create(std::string_view bytes)
    {
        auto file = files::CreateTextFile("file.txt", TextEncoding::Utf8WithMark);
        if (!file.Ok())
            return false;
        EXPECT_TRUE(file.Value().WriteBytes(bytes).Ok());
        return file.Value().Close().Ok();
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(TextFileTest, CreatesWhatItWritesAndRefusesAnExistingNameOrALink)
{
    EXPECT_TRUE(Create("new"));
    EXPECT_EQ(ReadFile("file.txt"), "new");
    EXPECT_FALSE(Create("x"));
    EXPECT_EQ(ReadFile("file.txt"), "new");
    WriteFile("target", "keep");
    ASSERT_EQ(::symlink("target", "link.txt"), 0);
    EXPECT_FALSE(files::CreateTextFile("link.txt", TextEncoding::Utf8WithMark).Ok());
    EXPECT_EQ(ReadFile("target"), "keep");
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
        files::RemoveFile("file.txt");
        auto file = files::CreateTextFile("file.txt", TextEncoding::Utf8WithMark);
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
