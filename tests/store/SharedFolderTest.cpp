// Copies on a shared folder, each this test program run with one case and a
// role: both builds racing on one folder, started by tests/wine/two-sessions
// (the Linux build and the Windows build under Wine in two prefixes, two
// sessions or machines), reporting what they were told in a file; and a
// client of a Samba share holding the lock, started by tests/store/samba.
#include "UserFileFixture.h"
#include "platform/files/FileLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

using namespace testing_support;

namespace {

constexpr int Rounds = 40;
constexpr int FirstAccountRounds = 30;

std::string Role()
{
    const char* role = std::getenv("QUILLMARK_CHILD");
    return role ? role : "";
}

std::u16string Widen(const std::string& text) { return {text.begin(), text.end()}; }

void WaitFor(const std::string& name)
{
    for (int tries = 0; tries < 6000 && !Exists(name); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

struct FileCheck {
    std::map<std::string, std::string> passwords;
    int torn = 0;
    int marks = 0;
};

// One whole UTF-8 text with its mark once at the start, every line
// `name:password` with the line end of the first.
FileCheck CheckUserFile(const std::string& text)
{
    FileCheck check;
    const std::string mark = "\xEF\xBB\xBF";
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
        ++check.marks;
    if (text.rfind(mark, 0) != 0)
        return check;
    std::istringstream lines(text.substr(mark.size()));
    bool firstEndsInCr = false;
    bool first = true;
    for (std::string line; std::getline(lines, line); first = false) {
        const bool crLf = line.ends_with('\r');
        if (first)
            firstEndsInCr = crLf;
        if (crLf)
            line.pop_back();
        const auto colon = line.find(':');
        if (crLf != firstEndsInCr || colon == std::string::npos || line.size() != colon + 2) {
            ++check.torn;
            continue;
        }
        if (!check.passwords.emplace(line.substr(0, colon), line.substr(colon + 1)).second)
            ++check.torn;
    }
    return check;
}

} // namespace

// Creates accounts and changes every other one's password as soon as every
// copy is ready.
TEST(SharedFolderChild, RacesInTheSharedFolder)
{
    const std::string role = Role();
    if (role.empty() || role.starts_with("check"))
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    WriteFile("ready-" + role, "");
    WaitFor("go");
    std::ostringstream report;
    for (int account = 0; account < Rounds; ++account) {
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

// Every account that a copy was told it created is there once, with the
// password it was told it has; no torn line, one byte-order mark, no NUL.
// After an editor's saves ("check-edited"), only the file's own shape counts.
TEST(SharedFolderChild, FindsEveryReportedAccount)
{
    if (Role() != "check" && Role() != "check-edited")
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    const std::string text = ReadFile(store::UserFileName).value_or("");
    const FileCheck file = CheckUserFile(text);
    EXPECT_EQ(file.marks, 1);
    EXPECT_EQ(file.torn, 0) << "empty, torn or repeated lines";
    EXPECT_EQ(text.find('\0'), std::string::npos);
    if (Role() == "check-edited")
        return;
    int copies = 0, reported = 0, created = 0, changed = 0, refused = 0, lost = 0, wrong = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        if (entry.path().filename().string().rfind("report-", 0) != 0)
            continue;
        ++copies;
        std::ifstream report(entry.path());
        for (std::string name, outcome; report >> name >> outcome;) {
            const auto found = file.passwords.find(name);
            reported += outcome == "created" || outcome == "not-created";
            if (outcome == "created") {
                ++created;
                lost += found == file.passwords.end();
            } else if (outcome == "not-created") {
                ++refused;
                wrong += found != file.passwords.end();
            } else if (found != file.passwords.end()) {
                changed += outcome == "changed";
                refused += outcome == "not-changed";
                wrong += found->second != (outcome == "changed" ? "2" : "1");
            }
        }
    }
    std::printf("%d copies: created %d, changed %d, refused %d; lost %d, told wrongly %d\n", copies, created, changed,
                refused, lost, wrong);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(reported, copies * Rounds) << "every copy reported every account";
}

// Two copies create the first account of an empty folder at the same moment,
// round after round, each in a folder of its own: round-1, round-2...
TEST(SharedFolderChild, CreatesTheFirstAccount)
{
    const std::string role = Role();
    if (role.rfind("first-", 0) != 0)
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    const auto top = std::filesystem::current_path();
    std::ostringstream report;
    for (int round = 1; round <= FirstAccountRounds; ++round) {
        const std::string folder = "round-" + std::to_string(round);
        std::filesystem::create_directories(top / folder);
        WaitFor(folder + "/go");
        std::filesystem::current_path(top / folder);
        const bool written = store::AppendRecord(Widen(role + ":1")).GetOutcome() == store::AppendOutcome::Written;
        std::filesystem::current_path(top);
        report << folder << ' ' << (written ? "created" : "not-created") << "\n";
        WriteFile(folder + "/done-" + role, "");
    }
    WriteFile("first-report-" + role + ".txt", report.str());
    std::exit(0);
}

// Every first account a copy was told it created logs in, in every round.
TEST(SharedFolderChild, FindsEveryFirstAccount)
{
    if (Role() != "check-first")
        GTEST_SKIP() << "runs under tests/wine/two-sessions";
    int rounds = 0, lost = 0, torn = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("first-report-", 0) != 0)
            continue;
        const std::string role = name.substr(13, name.size() - 13 - 4);
        std::ifstream report(entry.path());
        for (std::string folder, outcome; report >> folder >> outcome;) {
            ++rounds;
            if (outcome != "created")
                continue;
            const FileCheck file = CheckUserFile(ReadFile(folder + "/" + store::UserFileName).value_or(""));
            torn += file.torn + (file.marks != 1);
            lost += file.passwords.count(role) == 0;
        }
    }
    std::printf("%d first accounts: lost %d, files torn %d\n", rounds, lost, torn);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(rounds, 2 * FirstAccountRounds);
}

// Run by tests/store/samba in a folder that smbd shares: a client of the
// share holds the lock, or this copy holds it against the client.
static std::string SharedFolderRole()
{
    const char* role = std::getenv("QUILLMARK_SHARED_FOLDER");
    return role ? role : "";
}

TEST(SharedFolder, AChangeWaitsForAClientOfTheShareThenSaysSo)
{
    if (SharedFolderRole() != "held")
        GTEST_SKIP() << "runs under tests/store/samba";
    const auto appended = store::AppendRecord(u"bob:1");
    EXPECT_EQ(appended.GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_TRUE(Mentions(appended.Message(), u"is being changed by another copy of the program"));
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", u"ann:2").GetOutcome(), store::RewriteOutcome::Failed);
    EXPECT_EQ(store::ScanUserFile(u"ann:1").GetOutcome(), store::ScanOutcome::Found);
}

TEST(SharedFolder, HoldsTheLockUntilReleased)
{
    if (SharedFolderRole() != "hold")
        GTEST_SKIP() << "runs under tests/store/samba";
    auto held = files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0));
    ASSERT_TRUE(held.Ok());
    std::ofstream("held").close();
    for (int tries = 0; tries < 200 && !Exists("release"); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
