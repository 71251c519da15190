// The file services' cases that need POSIX: file modes and FIFOs.
#include "Folder.h"
#include "platform/files/TextReader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testing_support;

TEST(PosixFiles, NewFilesAreForTheOwnerOnly)
{
    TemporaryFolder folder;
    files::FileSystem& system = files::SystemFileSystem();
    ::umask(0);
    auto opened = system.Open("file.txt", files::OpenMode::CreateOrKeep);
    ::umask(022);
    ASSERT_TRUE(opened.Ok());
    system.Close(opened.Value());
    EXPECT_EQ(ModeOf("file.txt"), 0600u);
}

TEST(PosixFiles, TheReaderRefusesWhatIsNotARegularFile)
{
    TemporaryFolder folder;
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    auto fifo = files::TextReader::Open("fifo");
    ASSERT_FALSE(fifo.Ok());
    EXPECT_EQ(fifo.Error().Message(), "fifo could not be opened: it is not a regular file");
    EXPECT_FALSE(files::TextReader::Open(".").Ok());
    auto missing = files::TextReader::Open("missing");
    ASSERT_FALSE(missing.Ok());
    EXPECT_TRUE(missing.Error().IsMissing());
}
