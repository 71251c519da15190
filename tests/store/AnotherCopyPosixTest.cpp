// Another copy of the program at work, where only POSIX can make it happen:
// several copies racing, and a lock file removed while a change holds it.
#include "Figures.h"
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

#include <functional>
#include <optional>
#include <utility>

#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using files::FileCall;

using AnotherCopy = UserFileTest;

namespace {

std::u16string Widen(const std::string& text) { return {text.begin(), text.end()}; }

// One copy's work: appends its own accounts and changes every third password,
// scanning a sentinel account in between; writes what it was told to a report.
void Work(int copy, int operations)
{
    std::ofstream report("report-" + std::to_string(copy));
    for (int k = 0; k < operations; ++k) {
        std::string user = "c" + std::to_string(copy) + "-" + std::to_string(k);
        auto appended = store::AppendRecord(Widen(user + ":first"));
        report << user << " append " << static_cast<int>(appended.GetOutcome()) << ' '
               << appended.UserFileChanged() << '\n';
        if (k % 3 == 2) {
            std::string earlier = "c" + std::to_string(copy) + "-" + std::to_string(k - 1);
            auto rewritten = store::RewriteUserFile(Widen(earlier + ":first"), Widen(earlier + ":second"));
            report << earlier << " rewrite " << static_cast<int>(rewritten.GetOutcome()) << ' '
                   << rewritten.UserFileChanged() << '\n';
        }
        report << "sentinel scan " << static_cast<int>(store::ScanUserFile(u"sentinel:1").GetOutcome()) << " 0\n";
    }
}

} // namespace

// Several copies of the program append and rewrite at once: every account
// reported created is there once, with the password last reported set.
TEST_F(AnotherCopy, CopiesOfTheProgramRacingLoseNoAccount)
{
    const int copies = CountFromEnvironment("QUILLMARK_RACE_COPIES", 4);
    const int operations = CountFromEnvironment("QUILLMARK_RACE_OPERATIONS", 25);
    GivenUserFile(Utf8WithMark.File({u"sentinel:1"}));
    std::vector<pid_t> children;
    for (int copy = 0; copy < copies; ++copy) {
        pid_t child = ::fork();
        if (child == 0) {
            Work(copy, operations);
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::map<std::string, std::string> expected{{"sentinel", "1"}};  // user -> password
    long raced = 0;
    int failures = 0;
    for (int copy = 0; copy < copies; ++copy) {
        std::ifstream report("report-" + std::to_string(copy));
        std::string user, what;
        int outcome = 0, changed = 0;
        while (report >> user >> what >> outcome >> changed) {
            ++raced;
            if (what == "scan") {
                EXPECT_EQ(outcome, static_cast<int>(store::ScanOutcome::Found));
            } else if (what == "append") {
                if (outcome == static_cast<int>(store::AppendOutcome::Written) || changed)
                    expected[user] = "first";
                failures += outcome == static_cast<int>(store::AppendOutcome::Failed);
            } else if (outcome == static_cast<int>(store::RewriteOutcome::Done) || changed) {
                if (expected.count(user))
                    expected[user] = "second";
            }
        }
    }
    std::istringstream lines(UserFile().value().substr(3));
    std::map<std::string, std::string> found;
    for (std::string line; std::getline(lines, line);) {
        auto colon = line.find(':');
        ASSERT_NE(colon, std::string::npos) << "torn line: " << line;
        EXPECT_TRUE(found.emplace(line.substr(0, colon), line.substr(colon + 1)).second) << "twice: " << line;
    }
    EXPECT_EQ(found, expected);
    long lost = 0;
    for (const auto& [user, password] : expected)
        lost += found.count(user) == 0 || found.at(user) != password;
    ReportFigure("operations-raced", raced);
    ReportFigure("race-failures-reported", failures);
    ReportFigure("race-accounts-lost", lost);
}

// A lock file that someone keeps removing is waited for no longer than any other.
TEST_F(AnotherCopy, ALockFileRemovedOverAndOverIsWaitedForOnlyUntilTheDeadline)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    files::FaultInjectingFileSystem removing;
    int removals = 0;
    removing.BeforeEachCall([&](FileCall call) {
        if (call == FileCall::Lock && removals++ < 50)
            ::unlink(files::LockNameFor(store::UserFileName).c_str());
    });
    files::FileSystemScope scope(removing);
    auto lock = files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0));
    ASSERT_FALSE(lock.Ok());
    EXPECT_TRUE(lock.Error().IsBusy());
    EXPECT_EQ(removals, 1);
}

// A lock file removed during a change would let another copy lock a new one
// and write at once: replaced before any call once it is held, the change
// stops before its last step, changes nothing and says so in those words.
TEST_F(AnotherCopy, AChangeWhoseLockFileIsReplacedStopsBeforeItCommits)
{
    const auto add = [] { return store::AppendRecord(u"bob:1").Message(); };
    const auto rewrite = [] { return store::RewriteUserFile(u"ann:1", u"ann:2").Message(); };
    const std::pair<std::optional<std::string>, std::function<std::u16string()>> changes[] = {
        {Utf8WithMark.File({u"ann:1"}), add}, {std::nullopt, add}, {Utf8WithMark.mark + "ann:1", add},
        {Utf8WithMark.File({u"ann:1"}), rewrite}};
    const std::string lockName = files::LockNameFor(store::UserFileName);
    const std::u16string told = FullPath(lockName) + u" could not be kept locked: it was removed or replaced during"
                                                     u" the change. Nothing was changed.";
    for (const auto& [before, change] : changes) {
        for (int nth = 1, calls = 1; nth <= calls; ++nth) {
            SCOPED_TRACE("replaced before call " + std::to_string(nth));
            ::unlink(store::UserFileName.c_str());
            if (before)
                GivenUserFile(*before);
            files::FaultInjectingFileSystem replacing;
            bool locked = false;
            replacing.BeforeEachCall([&](FileCall call) {
                if (++calls == nth && locked && ::unlink(lockName.c_str()) == 0)
                    WriteFile(lockName, "");
                locked = locked || call == FileCall::Lock;
            });
            calls = 0;
            files::FileSystemScope scope(replacing);
            if (const std::u16string message = change(); !message.empty()) {
                EXPECT_EQ(message, told) << std::string(message.begin(), message.end());
                EXPECT_EQ(UserFile(), before);
            }
        }
    }
}
