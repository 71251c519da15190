// Other programs at the same moment as the store on Windows: another copy of
// it holding the lock, a program that opens the user file again and again
// (an indexer sharing only reading, a slow log-in sharing everything), copies
// in two sessions racing on one folder (tests/wine/two-sessions runs those).
// A child is this test program again, run with one case and a role.
#include "Folder.h"
#include "UserFileFixture.h"
#include "platform/files/FileLock.h"
#include "store/UserFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace testing_support;

std::string Role()
{
    wchar_t role[64] = {};
    GetEnvironmentVariableW(L"QUILLMARK_CHILD", role, 64);
    return std::string(role, role + wcslen(role));
}

std::string Narrow(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

class ChildProcess {
public:
    // Runs `test` of this program in the current folder with QUILLMARK_CHILD=role.
    ChildProcess(const char* test, const char* role)
    {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_filter=" + std::wstring(test, test + strlen(test));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        SetEnvironmentVariableW(L"QUILLMARK_CHILD", std::wstring(role, role + strlen(role)).c_str());
        m_started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &m_process);
        SetEnvironmentVariableW(L"QUILLMARK_CHILD", nullptr);
    }
    ~ChildProcess()
    {
        if (m_started) {
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
    }
    DWORD ExitCode()
    {
        DWORD code = 99;
        if (m_started && WaitForSingleObject(m_process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

private:
    BOOL m_started = FALSE;
    PROCESS_INFORMATION m_process{};
};

void WaitFor(const std::string& name)
{
    for (int tries = 0; tries < 3000 && !Exists(name); ++tries)
        Sleep(10);
}

// Made whole under another name first: the waiting parent removes it at once,
// which Windows refuses while the child still has it open.
void Announce(const std::string& name)
{
    WriteFile(name + ".part", "");
    std::filesystem::rename(name + ".part", name);
}

TEST(WindowsFileLock, KeepsOutAnotherProcessUntilReleased)
{
    TemporaryFolder folder;
    auto held = std::make_optional(files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0)));
    ASSERT_TRUE(held->Ok());
    EXPECT_EQ(ChildProcess("WindowsChild.TriesTheLock", "lock").ExitCode(), 3u) << "the child found the file locked";
    held.reset();
    EXPECT_EQ(ChildProcess("WindowsChild.TriesTheLock", "lock").ExitCode(), 0u) << "the child took the free lock";
}

TEST(WindowsChild, TriesTheLock)
{
    if (Role() != "lock")
        GTEST_SKIP() << "runs as a child of KeepsOutAnotherProcessUntilReleased";
    auto lock = files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(100));
    std::exit(lock.Ok() ? 0 : lock.Error().IsBusy() ? 3 : 4);
}

struct BusyFile {
    const char* role;
    const char* name;
    int openers;
    int rounds;
};

void PrintTo(const BusyFile& busy, std::ostream* out) { *out << busy.role; }

class ABusyUserFile : public UserFileTest, public ::testing::WithParamInterface<BusyFile> {};

TEST_P(ABusyUserFile, NeitherFailsAnAppendNorAChange)
{
    // Long enough that two copies logging in leave the file no gap of its own.
    std::string bytes = "\xEF\xBB\xBF";
    for (int line = 0; line < 20000; ++line)
        bytes += "someone:with a password of some length\n";
    GivenUserFile(bytes + "ann:0\n");
    std::vector<std::unique_ptr<ChildProcess>> openers;
    for (int opener = 1; opener <= GetParam().openers; ++opener) {
        openers.push_back(std::make_unique<ChildProcess>("WindowsChild.OpensTheUserFileAgainAndAgain", GetParam().role));
        WaitFor("opening");
        ASSERT_TRUE(Exists("opening"));
        std::filesystem::remove("opening");
    }
    int failures = 0;
    const int rounds = GetParam().rounds;
    for (int round = 1; round <= rounds; ++round) {
        const auto appended = store::AppendRecord(Widen("user" + std::to_string(round) + ":1"));
        const auto changed = store::RewriteUserFile(Widen("ann:" + std::to_string(round - 1)),
                                                    Widen("ann:" + std::to_string(round)));
        failures += appended.GetOutcome() != store::AppendOutcome::Written;
        failures += changed.GetOutcome() != store::RewriteOutcome::Done;
        EXPECT_EQ(appended.Message() + changed.Message(), u"") << Narrow(appended.Message() + changed.Message());
    }
    WriteFile("stop", "");
    for (auto& opener : openers)
        EXPECT_EQ(opener->ExitCode(), 0u);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Scan(Widen("ann:" + std::to_string(rounds))), store::ScanOutcome::Found);
    EXPECT_EQ(Scan(Widen("user" + std::to_string(rounds) + ":1")), store::ScanOutcome::Found);
}

INSTANTIATE_TEST_SUITE_P(WhileAnotherProgram, ABusyUserFile,
                         ::testing::Values(BusyFile{"indexer", "SharesOnlyReading", 1, 12},
                                           BusyFile{"login", "LogsInInALoop", 1, 12},
                                           BusyFile{"copy", "TwoCopiesLogInAsFastAsTheyCan", 2, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// Opens the user file until told to stop, as another program would: an
// indexer holds it a few milliseconds sharing only reading; a log-in, as the
// store reads it, reads a large file for over half a second; a copy of the
// program logs in again and again.
TEST(WindowsChild, OpensTheUserFileAgainAndAgain)
{
    const std::string role = Role();
    if (role == "copy") {
        Announce("opening");
        while (!Exists("stop"))
            store::ScanUserFile(u"ann:0");
        std::exit(0);
    }
    if (role != "indexer" && role != "login")
        GTEST_SKIP() << "runs as a child of ABusyUserFile";
    const bool logIn = role == "login";
    const DWORD share = logIn ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    Announce("opening");
    while (!Exists("stop")) {
        HANDLE held = CreateFileW(L"Quillmark.txt", GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        Sleep(logIn ? 600 : 8);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        Sleep(logIn ? 30 : 2);
    }
    std::exit(0);
}

// Anyone who may read the lock file may take its readers' byte (1) or its
// turnstile (2) through a handle that may only read: a log-in or a change
// waits for them a moment only, so another copy adding accounts meanwhile
// never waits past its patience. Wine renames over a file that readers hold
// open, so only the bytes keep a change from it: a change waiting for a
// reader holds the turnstile, seen from another handle, and renames after it.
TEST(WindowsReadersBytes, HeldByAnotherUserDelayNothingForLongAndAChangeWaitsForAReader)
{
    for (const char* role : {"readers", "turnstile", "reader"}) {
        SCOPED_TRACE(role);
        TemporaryFolder folder;
        WriteFile(store::UserFileName, "\xEF\xBB\xBF" "ann:0\n");
        ASSERT_EQ(store::AppendRecord(u"first:1").Message(), u"");  // makes the lock file
        ChildProcess holder("WindowsChild.HoldsAByteOfTheLockFile", role);
        WaitFor("holding");
        if (role == std::string("reader")) {
            auto change = std::async(std::launch::async, [] { return store::RewriteUserFile(u"ann:0", u"ann:1"); });
            HANDLE probe = CreateFileW(L"Quillmark.lock", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            OVERLAPPED turnstile{};
            turnstile.Offset = 2;
            bool held = false;
            for (int tries = 0; tries < 80 && !held; ++tries) {
                held = !LockFileEx(probe, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turnstile);
                if (!held)
                    UnlockFileEx(probe, 0, 1, 0, &turnstile), Sleep(10);
            }
            EXPECT_TRUE(held);
            EXPECT_NE(ReadFile(store::UserFileName).value_or("").find("ann:0"), std::string::npos) << "renamed too early";
            CloseHandle(probe);
            WriteFile("stop", "");
            EXPECT_EQ(change.get().Message(), u"");
            EXPECT_EQ(holder.ExitCode(), 0u);
            continue;
        }
        ChildProcess adder("WindowsChild.AddsAccountsUntilStopped", "adder");
        WaitFor("opening");
        for (int round = 1; round <= 3; ++round) {
            const auto appended = store::AppendRecord(Widen("user" + std::to_string(round) + ":1"));
            const auto changed = store::RewriteUserFile(Widen("ann:" + std::to_string(round - 1)),
                                                        Widen("ann:" + std::to_string(round)));
            EXPECT_EQ(appended.Message() + changed.Message(), u"") << Narrow(appended.Message() + changed.Message());
            Sleep(100);  // a user's next change, not a loop that never lets the lock go
        }
        WriteFile("stop", "");
        EXPECT_EQ(adder.ExitCode(), 0u) << "the other copy failed to add an account";
        EXPECT_EQ(holder.ExitCode(), 0u);
    }
}

// Another user's hold of a byte is exclusive; a reader's of its byte, shared.
TEST(WindowsChild, HoldsAByteOfTheLockFile)
{
    const std::string role = Role();
    if (role != "readers" && role != "turnstile" && role != "reader")
        GTEST_SKIP() << "runs as a child of WindowsReadersBytes";
    HANDLE lock = CreateFileW(L"Quillmark.lock", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED range{};
    range.Offset = role == "turnstile" ? 2 : 1;
    const DWORD exclusive = role == "reader" ? 0 : LOCKFILE_EXCLUSIVE_LOCK;
    if (!LockFileEx(lock, exclusive | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range))
        std::exit(2);
    Announce("holding");
    while (!Exists("stop"))
        Sleep(20);
    std::exit(0);
}

// Another copy adding accounts until told to stop; fails on the first not added.
TEST(WindowsChild, AddsAccountsUntilStopped)
{
    if (Role() != "adder")
        GTEST_SKIP() << "runs as a child of WindowsReadersBytes";
    Announce("opening");
    for (int account = 1; !Exists("stop"); ++account) {
        const auto added = store::AppendRecord(Widen("other" + std::to_string(account) + ":1"));
        if (added.GetOutcome() != store::AppendOutcome::Written) {
            std::fprintf(stderr, "the other copy: %s\n", Narrow(added.Message()).c_str());
            std::exit(3);
        }
    }
    std::exit(0);
}

// Run as root by tests/wine/two-sessions once the user file, world-readable,
// belongs to another Unix user: Wine shows it as another owner's.
TEST(WindowsChild, LeavesAnotherUsersFilesAlone)
{
    if (Role() != "other")
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    const auto before = ReadFile(store::UserFileName);
    EXPECT_EQ(store::AppendRecord(u"mallory:1").GetOutcome(), store::AppendOutcome::Failed) << "every user may read it";
    EXPECT_EQ(store::RewriteUserFile(u"a1-1:2", u"a1-1:3").GetOutcome(), store::RewriteOutcome::Failed)
        << "its owner would lose it";
    EXPECT_EQ(ReadFile(store::UserFileName), before);
    // Nor is a copy of theirs left alone taken for the accounts.
    std::filesystem::rename(store::UserFileName, store::TemporaryFileName);
    EXPECT_EQ(store::ScanUserFile(u"a1-1:2").GetOutcome(), store::ScanOutcome::Missing);
    EXPECT_FALSE(ReadFile(store::UserFileName));
}

} // namespace
