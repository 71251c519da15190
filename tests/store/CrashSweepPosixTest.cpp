// A child process changing a large user file is killed at random moments:
// the user file is always whole, the old one or the new.
#include "Figures.h"
#include "UserFileFixture.h"

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string LargeFile(const std::u16string& changedLine)
{
    std::string bytes = Utf8WithMark.mark;
    for (int i = 0; i < 20000; ++i) {
        std::string line = "user" + std::to_string(i) + ":password" + std::to_string(i);
        bytes += i == 10000 ? Utf8(changedLine) + "\n" : line + "\n";
    }
    return bytes;
}

template <class Operation>
pid_t StartChild(Operation operation)
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(operation() ? 0 : 1);
    return child;
}

bool RewriteAnn()
{
    return store::RewriteUserFile(u"ann:old", u"ann:new").GetOutcome() == store::RewriteOutcome::Done;
}

bool AppendBob()
{
    return store::AppendRecord(u"bob:1").GetOutcome() == store::AppendOutcome::Written;
}

class CrashSweep : public UserFileTest {
protected:
    // Kills the child after `delay`; true when it died before finishing.
    static bool KillAfter(pid_t child, std::chrono::microseconds delay)
    {
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status))
            return true;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        return false;
    }

    std::chrono::microseconds TimeOf(bool (*operation)())
    {
        auto start = std::chrono::steady_clock::now();
        pid_t child = StartChild(operation);
        int status = 0;
        ::waitpid(child, &status, 0);
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    }
};

} // namespace

TEST_F(CrashSweep, AKilledChangeLeavesTheOldFileOrTheNew)
{
    const std::string before = LargeFile(u"ann:old");
    const std::string rewritten = LargeFile(u"ann:new");
    const std::string appended = before + "bob:1\n";
    GivenUserFile(before);
    const auto rewriteTime = TimeOf(RewriteAnn);
    ASSERT_EQ(UserFile(), rewritten);
    GivenUserFile(before);
    const auto appendTime = TimeOf(AppendBob);
    ASSERT_EQ(UserFile(), appended);

    std::mt19937 random(std::random_device{}());
    const int iterations = CountFromEnvironment("QUILLMARK_CRASH_ITERATIONS", 60);
    int killedMidway = 0;
    int accountsLost = 0;
    for (int i = 0; i < iterations; ++i) {
        bool rewrite = i % 2 == 0;
        GivenUserFile(before);  // a copy left by the last kill stays, as it would
        auto span = (rewrite ? rewriteTime : appendTime).count() * 6 / 5;
        pid_t child = StartChild(rewrite ? RewriteAnn : AppendBob);
        killedMidway += KillAfter(child, std::chrono::microseconds(random() % (span + 1)));
        auto contents = UserFile();
        // A killed append may leave its line unfinished: it starts with NUL, which no key holds.
        const bool unfinished = !rewrite && contents && contents->size() > before.size()
                                && contents->starts_with(before) && (*contents)[before.size()] == '\0';
        bool whole = contents == before || contents == (rewrite ? rewritten : appended) || unfinished;
        EXPECT_TRUE(whole) << "iteration " << i;
        accountsLost += !whole;
        EXPECT_EQ(Scan(u"user19999:password19999"), store::ScanOutcome::Found);
        EXPECT_EQ(Scan(u"bob:"), store::ScanOutcome::NotFound);
        EXPECT_EQ(Scan(u"bob:1"), contents == appended ? store::ScanOutcome::Found : store::ScanOutcome::NotFound);
        if (unfinished) {
            EXPECT_EQ(Append(u"cid:2"), store::AppendOutcome::Written);
            EXPECT_EQ(UserFile(), before + "cid:2\n");
        }
    }
    ReportFigure("crashes-survived", iterations - accountsLost);
    ReportFigure("crashes-midway", killedMidway);
    ReportFigure("crash-accounts-lost", accountsLost);
    EXPECT_GT(killedMidway, 0);
}

// Records of megabytes, appended by a child killed at random moments while a
// reader looks at the file's last line: what it sees is never a part of a
// record that a key could match, and the next append tidies what a kill left.
TEST_F(CrashSweep, LongAppendsKilledOrReadMidwayShowNoPartOfARecord)
{
    const int kills = CountFromEnvironment("QUILLMARK_LONG_KILLS", 6);
    const std::u16string key = u"victim:" + std::u16string(2 << 20, u'p');
    std::mt19937 random(std::random_device{}());
    long looks = 0;
    long forged = 0;
    int killedMidway = 0;
    for (int i = 0; i < kills; ++i) {
        const FileFormat& format = i % 2 ? Utf16LeWithMark : Utf8WithMark;
        const std::string before = format.File({u"ann:1"});
        const std::string record = format.Line(key);
        GivenUserFile(before);
        const auto start = std::chrono::steady_clock::now();
        pid_t child = StartChild([&] { return store::AppendRecord(key).GetOutcome() == store::AppendOutcome::Written; });
        const auto deadline = start + std::chrono::microseconds(random() % 60000);
        while (std::chrono::steady_clock::now() < deadline) {
            // Whatever stands after the old lines is the new line whole, or starts with NUL.
            const std::string now = UserFile().value_or("");
            const std::string added = now.size() > before.size() ? now.substr(before.size()) : "";
            ++looks;
            forged += !added.empty() && added != record && added[0] != '\0';
        }
        killedMidway += KillAfter(child, std::chrono::microseconds(0));
        const std::string left = UserFile().value_or("");
        const std::string added = left.substr(std::min(left.size(), before.size()));
        forged += !left.starts_with(before) || (!added.empty() && added != record && added[0] != '\0');
        forged += added != record && Scan(key) == store::ScanOutcome::Found;
        EXPECT_EQ(Append(u"bob:1"), store::AppendOutcome::Written);
        const std::string after = UserFile().value_or("");
        EXPECT_TRUE(after == before + format.Line(u"bob:1") || after == before + record + format.Line(u"bob:1"));
    }
    EXPECT_EQ(forged, 0);
    ReportFigure("long-appends-killed", killedMidway);
    ReportFigure("long-append-looks", looks);
    ReportFigure("records-forged", forged);
}
