// Several copies of the program append and rewrite at once: every account
// reported created is there once, with the password last reported set.
#include "Figures.h"
#include "UserFileFixture.h"

#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

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

TEST_F(UserFileTest, CopiesOfTheProgramRacingLoseNoAccount)
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
