// The writer's open modes, and what it never does: follow a link, add bytes.
#include "Folder.h"
#include "platform/files/TextFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
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

TEST_F(TextFileTest, NewFilesAreForTheOwnerOnly)
{
    ::umask(0);
    EXPECT_TRUE(Write(TextFileMode::CreateOrKeep, u"a"));
    ::umask(022);
    EXPECT_EQ(ModeOf("file.txt"), 0600u);
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
