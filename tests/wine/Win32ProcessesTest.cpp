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
#include <map>
#include <optional>
#include <sstream>

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

class ABusyUserFile : public UserFileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ABusyUserFile, NeitherFailsAnAppendNorAChange)
{
    GivenUserFile(Utf8WithMark.File({u"ann:0"}));
    ChildProcess opener("WindowsChild.OpensTheUserFileAgainAndAgain", GetParam());
    WaitFor("opening");
    ASSERT_TRUE(Exists("opening"));
    int failures = 0;
    for (int round = 1; round <= 12; ++round) {
        const auto appended = store::AppendRecord(Widen("user" + std::to_string(round) + ":1"));
        const auto changed = store::RewriteUserFile(Widen("ann:" + std::to_string(round - 1)),
                                                    Widen("ann:" + std::to_string(round)));
        failures += appended.GetOutcome() != store::AppendOutcome::Written;
        failures += changed.GetOutcome() != store::RewriteOutcome::Done;
        EXPECT_EQ(appended.Message() + changed.Message(), u"") << Narrow(appended.Message() + changed.Message());
    }
    WriteFile("stop", "");
    EXPECT_EQ(opener.ExitCode(), 0u);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Scan(u"ann:12"), store::ScanOutcome::Found);
    EXPECT_EQ(Scan(u"user12:1"), store::ScanOutcome::Found);
}

INSTANTIATE_TEST_SUITE_P(WhileAnotherProgram, ABusyUserFile, ::testing::Values("indexer", "login"),
                         [](const auto& info) { return std::string(info.param) == "indexer" ? "SharesOnlyReading" : "LogsInInALoop"; });

// Opens the user file until told to stop, as another program would: an
// indexer holds it a few milliseconds sharing only reading; a log-in, as the
// store reads it, reads a large file for over half a second.
TEST(WindowsChild, OpensTheUserFileAgainAndAgain)
{
    const std::string role = Role();
    if (role != "indexer" && role != "login")
        GTEST_SKIP() << "runs as a child of ABusyUserFile";
    const bool logIn = role == "login";
    const DWORD share = logIn ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    WriteFile("opening", "");
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

// One of the copies that tests/wine/two-sessions starts in both sessions:
// creates accounts and changes every other one's password as soon as all are
// ready, and reports what it was told in report-<role>.txt.
TEST(WindowsChild, RacesInTheSharedFolder)
{
    const std::string role = Role();
    if (role.empty())
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    WriteFile("ready-" + role, "");
    WaitFor("go");
    std::ostringstream report;
    for (int account = 0; account < 25; ++account) {
        const std::string name = role + "-" + std::to_string(account);
        const std::u16string key = Widen(name);
        const auto created = store::AppendRecord(key + u":1");
        report << name << (created.GetOutcome() == store::AppendOutcome::Written ? " created" : " not-created")
               << "\n";
        if (account % 2 == 0 || created.GetOutcome() != store::AppendOutcome::Written)
            continue;
        const auto changed = store::RewriteUserFile(key + u":1", key + u":2");
        report << name << (changed.GetOutcome() == store::RewriteOutcome::Done ? " changed" : " not-changed") << "\n";
    }
    WriteFile("report-" + role + ".txt", report.str());
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

// Every account that a copy was told it created is there once, with the
// password it was told it has; the file is one whole UTF-8 text with CR LF
// line ends.
TEST(WindowsChild, FindsEveryReportedAccount)
{
    if (Role() != "check")
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    const std::string mark = "\xEF\xBB\xBF";
    const std::string text = ReadFile(store::UserFileName).value_or("");
    ASSERT_EQ(text.substr(0, 3), mark);
    EXPECT_EQ(text.find(mark, 3), std::string::npos) << "a second byte-order mark";
    std::map<std::string, std::string> passwords;
    std::istringstream lines(text.substr(3));
    int torn = 0;
    for (std::string line; std::getline(lines, line);) {
        // A new file ends its lines as Windows does, and every line added keeps to it.
        const bool crLf = line.ends_with('\r');
        if (crLf)
            line.pop_back();
        const auto colon = line.find(':');
        if (!crLf || colon == std::string::npos || line.size() != colon + 2) {
            ++torn;
            continue;
        }
        EXPECT_TRUE(passwords.emplace(line.substr(0, colon), line.substr(colon + 1)).second) << "twice: " << line;
    }
    EXPECT_EQ(torn, 0) << "empty or torn lines";
    int reported = 0, created = 0, changed = 0, refused = 0, lost = 0, wrong = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        if (entry.path().filename().string().rfind("report-", 0) != 0)
            continue;
        std::ifstream report(entry.path());
        for (std::string name, outcome; report >> name >> outcome;) {
            const auto found = passwords.find(name);
            reported += outcome == "created" || outcome == "not-created";
            if (outcome == "created") {
                ++created;
                lost += found == passwords.end();
            } else if (outcome == "not-created") {
                ++refused;
                wrong += found != passwords.end();
            } else if (found != passwords.end()) {
                changed += outcome == "changed";
                refused += outcome == "not-changed";
                wrong += found->second != (outcome == "changed" ? "2" : "1");
            }
        }
    }
    std::printf("created %d, changed %d, refused %d; lost %d, told wrongly %d\n", created, changed, refused, lost,
                wrong);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(reported, 200) << "every copy reported every account";
}

} // namespace
