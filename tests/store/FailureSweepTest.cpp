// Every call the file layer makes during an append or a rewrite is made to
// fail in turn, with EIO and with ENOSPC: the user file must come through.
#include "Figures.h"
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <unistd.h>

using namespace testing_support;
using files::FileCall;

namespace {

struct Outcome {
    bool succeeded;
    bool userFileChanged;
    std::u16string message;
    bool notChecked = false;  // the append's duplicate check could not read the file
};

using Operation = std::function<Outcome()>;
// The number of the last call whose failure must still leave the old file.
using CommitPoint = std::function<int(const std::vector<FileCall>&)>;

// The `n`th call of `kind` from the end (1 is the last), counted from 1.
int NthFromLast(const std::vector<FileCall>& calls, FileCall kind, int n)
{
    for (int at = static_cast<int>(calls.size()); at > 0; --at) {
        if (calls[at - 1] == kind && --n == 0)
            return at;
    }
    return 0;
}

// A rewrite commits with the rename over the user file.
int TheRename(const std::vector<FileCall>& calls) { return NthFromLast(calls, FileCall::Rename, 1); }
// An append in place commits when it saves the user file to disk.
int TheSave(const std::vector<FileCall>& calls) { return NthFromLast(calls, FileCall::Sync, 1); }
// An append that creates the file saves it, then its name with the folder.
int TheSaveBeforeTheFolders(const std::vector<FileCall>& calls) { return NthFromLast(calls, FileCall::Sync, 2); }

Outcome ChangeAnnsPassword()
{
    auto result = store::RewriteUserFile(u"ann:old", u"ann:new");
    return {result.GetOutcome() == store::RewriteOutcome::Done, result.UserFileChanged(), result.Message()};
}

Outcome AddBob()
{
    auto result = store::AppendRecord(u"bob:\u00e9");
    return {result.GetOutcome() == store::AppendOutcome::Written, result.UserFileChanged(), result.Message(),
            result.GetOutcome() == store::AppendOutcome::NotChecked};
}

std::string ManyLines(const FileFormat& format, int count)
{
    std::string bytes = format.mark;
    for (int i = 0; i < count; ++i) {
        std::string line = "user" + std::to_string(i) + ":password" + std::to_string(i);
        bytes += format.Line(i == count / 2 ? u"ann:old" : std::u16string(line.begin(), line.end()));
    }
    return bytes;
}

long g_faultPoints = 0;

class FailureSweep : public UserFileTest {
protected:
    static void TearDownTestSuite() { ReportFigure("fault-points", g_faultPoints); }

    void Restore(const std::optional<std::string>& contents)
    {
        ::unlink(store::UserFileName.c_str());
        ::unlink(files::LockNameFor(store::UserFileName).c_str());
        if (contents)
            GivenUserFile(*contents);
    }

    void Sweep(const std::optional<std::string>& before, const Operation& operation, const CommitPoint& commitPoint)
    {
        files::FaultInjectingFileSystem counting;
        Restore(before);
        {
            files::FileSystemScope scope(counting);
            ASSERT_TRUE(operation().succeeded);
        }
        const auto after = UserFile();
        const auto& calls = counting.Calls();
        const int commitAt = commitPoint(calls);
        ASSERT_GT(commitAt, 0);
        for (int code : {EIO, ENOSPC}) {
            for (int nth = 1; nth <= static_cast<int>(calls.size()); ++nth) {
                // A group that cannot be kept closes the copy to the owner instead of failing.
                if (calls[nth - 1] != FileCall::SetOwner)
                    FailOnce(before, after, operation, code, nth, nth <= commitAt);
            }
        }
    }

    void FailOnce(const std::optional<std::string>& before, const std::optional<std::string>& after,
                  const Operation& operation, int code, int nth, bool beforeTheCommit)
    {
        SCOPED_TRACE("call " + std::to_string(nth) + " fails with errno " + std::to_string(code));
        Restore(before);
        files::FaultInjectingFileSystem faulty;
        faulty.FailCall(FileCall::Any, nth, code);
        Outcome outcome;
        {
            files::FileSystemScope scope(faulty);
            outcome = operation();
        }
        ASSERT_EQ(faulty.FaultsInjected(), 1);
        ++g_faultPoints;
        if (beforeTheCommit) {
            EXPECT_FALSE(outcome.succeeded);
            EXPECT_FALSE(outcome.userFileChanged);
            // A check that could not read says so as a scan does; the dialog adds that nothing was created.
            EXPECT_NE(outcome.message.find(outcome.notChecked ? u"Quillmark.txt could not be " : u"Nothing was changed."),
                      std::u16string::npos)
                << std::string(outcome.message.begin(), outcome.message.end());
            EXPECT_EQ(UserFile(), before);
        } else {
            EXPECT_TRUE(outcome.succeeded || outcome.userFileChanged);
            EXPECT_EQ(UserFile(), after);
        }
        EXPECT_FALSE(TemporaryFileLeft());
        Outcome next = operation();
        EXPECT_TRUE(next.message.empty()) << std::string(next.message.begin(), next.message.end());
        EXPECT_EQ(UserFile(), after);
    }
};

} // namespace

TEST_F(FailureSweep, RewriteOfASmallFile)
{
    Sweep(Utf8WithMark.File({u"zed:1", u"ann:old", u"no colon"}), ChangeAnnsPassword, TheRename);
}

TEST_F(FailureSweep, RewriteOfAFileOfManyBlocks)
{
    Sweep(ManyLines(Utf16LeWithMark, 12000), ChangeAnnsPassword, TheRename);
}

TEST_F(FailureSweep, AppendToASmallFile)
{
    Sweep(Utf16LeWithoutMark.File({u"zed:1"}), AddBob, TheSave);
}

TEST_F(FailureSweep, AppendThatCreatesTheFile)
{
    Sweep(std::nullopt, AddBob, TheSaveBeforeTheFolders);
}

TEST_F(FailureSweep, AppendToAFileOfManyBlocks)
{
    Sweep(ManyLines(Utf8WithMark, 12000), AddBob, TheSave);
}

TEST_F(FailureSweep, RecoveryOfALeftCopyNeverLosesIt)
{
    const std::string accounts = Utf8WithMark.File({u"ann:old"});
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth) + " fails");
        ::unlink(store::UserFileName.c_str());
        WriteFile(store::TemporaryFileName, accounts);
        files::FaultInjectingFileSystem faulty;
        faulty.FailCall(FileCall::Any, nth, EIO);
        {
            files::FileSystemScope scope(faulty);
            AddBob();
        }
        if (faulty.FaultsInjected() == 0)
            break;
        ++g_faultPoints;
        EXPECT_EQ(Scan(u"ann:old"), store::ScanOutcome::Found);
    }
}

TEST_F(FailureSweep, AFullDiskIsReportedAndChangesNothing)
{
    GivenUserFile(Utf8WithMark.File({u"ann:old"}));
    files::FaultInjectingFileSystem full;
    full.FailEveryCall(FileCall::Write, ENOSPC);
    files::FileSystemScope scope(full);
    auto result = store::AppendRecord(u"bob:1");
    EXPECT_EQ(result.GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_EQ(result.Message(),
              FullPath("Quillmark.txt") + u" could not be written: No space left on device. Nothing was changed.");
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:old"}));
    EXPECT_FALSE(TemporaryFileLeft());
}
