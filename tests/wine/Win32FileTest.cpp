// What the Windows file services add to the store's guarantees: a replace
// that another program's open handle refuses fails cleanly, and the lock of
// the user file keeps out a second holder, in this process or another.
#include "Folder.h"
#include "UserFileFixture.h"
#include "platform/FileLock.h"
#include "platform/FileOperations.h"
#include "platform/TextReader.h"
#include "platform/TextFile.h"
#include "store/UserFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <thread>

namespace {

using namespace testing_support;
using store::RewriteOutcome;

// Another program holding a file open, sharing everything but its removal.
class ForeignReader {
public:
    explicit ForeignReader(const wchar_t* name)
        : m_handle(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ForeignReader() { CloseHandle(m_handle); }
    bool Holds() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class WindowsUserFile : public UserFileTest {};

TEST_F(WindowsUserFile, AReplaceThatAnOpenFileRefusesFailsAndKeepsTheOldFile)
{
    const std::string before = Utf8WithMark.File({u"ann:old", u"bob:2"});
    GivenUserFile(before);
    {
        ForeignReader reader(L"Quillmark.txt");
        ASSERT_TRUE(reader.Holds());
        const auto result = store::RewriteUserFile(u"ann:old", u"ann:new");
        EXPECT_EQ(result.GetOutcome(), RewriteOutcome::Failed);
        EXPECT_NE(result.Message().find(u"Quillmark"), std::u16string::npos) << "the failure is told";
    }
    EXPECT_EQ(UserFile(), before);
    EXPECT_FALSE(TemporaryFileLeft());
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done) << "once the file is free again";
}

TEST_F(WindowsUserFile, AReaderThatSoonLetsGoOnlyDelaysAReplace)
{
    GivenUserFile(Utf8WithMark.File({u"ann:old"}));
    auto reader = std::make_unique<ForeignReader>(L"Quillmark.txt");
    ASSERT_TRUE(reader->Holds());
    std::thread letGo([&reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        reader.reset();
    });
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    letGo.join();
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:new"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(WindowsUserFile, AReadOnlyUserFileIsNeitherAppendedToNorRewritten)
{
    const std::string before = Utf8WithMark.File({u"ann:1"});
    GivenUserFile(before, 0444);
    EXPECT_EQ(Append(u"bob:2"), store::AppendOutcome::NotOpened);
    EXPECT_NE(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), before);
    EXPECT_EQ(ModeOf("Quillmark.txt"), 0444u);
}

TEST(WindowsFileLock, IsExclusiveWithinTheProcessAndFreedWhenReleased)
{
    TemporaryFolder folder;
    {
        auto first = platform::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0));
        ASSERT_TRUE(first.Ok());
        auto second = platform::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(50));
        ASSERT_FALSE(second.Ok());
        EXPECT_TRUE(second.Error().IsBusy());
    }
    EXPECT_TRUE(platform::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0)).Ok());
}

TEST(WindowsFileLock, KeepsOutAnotherProcessUntilReleased)
{
    TemporaryFolder folder;
    auto held = std::make_optional(platform::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0)));
    ASSERT_TRUE(held->Ok());
    // A second program: this test binary, asked to try the lock of the user file in this folder.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto runChild = [&self]() -> DWORD {
        std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_filter=WindowsFileLock.ChildTriesTheLock";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        SetEnvironmentVariableW(L"QUILLMARK_LOCK_CHILD", L"1");
        const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                            &startup, &process);
        SetEnvironmentVariableW(L"QUILLMARK_LOCK_CHILD", nullptr);
        if (!started)
            return 99;
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 99;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return code;
    };
    EXPECT_EQ(runChild(), 3u) << "the child found the user file locked";
    held.reset();
    EXPECT_EQ(runChild(), 0u) << "the child took the lock once it was free";
}

// Run only as the child of the test above, in the parent's current folder.
TEST(WindowsFileLock, ChildTriesTheLock)
{
    if (!GetEnvironmentVariableW(L"QUILLMARK_LOCK_CHILD", nullptr, 0))
        GTEST_SKIP() << "runs as a child of KeepsOutAnotherProcessUntilReleased";
    auto lock = platform::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(100));
    std::exit(lock.Ok() ? 0 : lock.Error().IsBusy() ? 3 : 4);
}

TEST(WindowsFileNames, TakeAnyCharacterAsUtf8)
{
    TemporaryFolder folder;
    const std::string name = "n\xC3\xA4me-\xE2\x9C\x93.txt";
    auto file = platform::OpenTextFile(name, platform::TextFileMode::CreateNew, platform::TextEncoding::Utf8WithMark);
    ASSERT_TRUE(file.Ok());
    ASSERT_TRUE(file.Value().WriteText(u"x").Ok());
    ASSERT_TRUE(file.Value().Close().Ok());
    EXPECT_TRUE(Exists(name));
    EXPECT_TRUE(platform::RenameFile(name, "plain.txt").Ok());
    EXPECT_EQ(ReadFile("plain.txt"), "x");
}

TEST(WindowsFileErrors, TellAMissingFileFromOtherFailures)
{
    TemporaryFolder folder;
    auto missing = platform::TextReader::Open("absent.txt");
    ASSERT_FALSE(missing.Ok());
    EXPECT_TRUE(missing.Error().IsMissing());
    EXPECT_NE(missing.Error().Message().find("absent.txt could not be opened: "), std::string::npos);

    CreateDirectoryW(L"folder.txt", nullptr);
    auto folderAsFile = platform::TextReader::Open("folder.txt");
    ASSERT_FALSE(folderAsFile.Ok());
    EXPECT_FALSE(folderAsFile.Error().IsMissing());
}

} // namespace
