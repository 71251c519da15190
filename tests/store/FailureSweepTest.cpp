// Every call the file layer makes during an append or a rewrite is made to
// fail in turn, as on a broken disk and on a full one, and every allocation of a scan, an
// append and a rewrite runs out of memory in turn: the user file must come through.
#include "Figures.h"
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <unistd.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace testing_support;
using files::FileCall;

namespace {

// The nth allocation from the start fails, alone or with every one after it
// (memory that stays short).
enum class Shortage { Once, FromThenOn };

struct AllocationFaults {
    bool counting = false;
    long count = 0;
    long failing = 0;  // 0: none
    Shortage shortage = Shortage::Once;
    long injected = 0;
};

AllocationFaults g_allocations;

// Runs a store call with its allocations counted, and failing as set.
template <class Call>
auto Counted(Call call)
{
    g_allocations.counting = true;
    auto result = call();
    g_allocations.counting = false;
    return result;
}

} // namespace

void* operator new(std::size_t size)
{
    AllocationFaults& faults = g_allocations;
    if (faults.counting) {
        ++faults.count;
        const bool fails = faults.failing > 0
                            && (faults.count == faults.failing
                                || (faults.shortage == Shortage::FromThenOn && faults.count > faults.failing));
        if (fails) {
            ++faults.injected;
            throw std::bad_alloc();
        }
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// Its pair: what malloc gave goes back to free (out of line, where new is seen with it).
[[gnu::noinline]] void operator delete(void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

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
// An append in place commits when it saves the user file to disk, then its name with the folder.
int TheSaveBeforeTheFolders(const std::vector<FileCall>& calls) { return NthFromLast(calls, FileCall::Sync, 2); }

// The lock's permissions, set just after it is taken: the lock holds without them.
bool SetsTheLocksPermissions(const std::vector<FileCall>& calls, int nth)
{
    if (calls[nth - 1] != FileCall::SetMode)
        return false;
    for (int at = nth - 1; at > 0; --at) {
        if (calls[at - 1] == FileCall::Lock)
            return true;
        if (calls[at - 1] != FileCall::Examine && calls[at - 1] != FileCall::SetOwner)
            return false;
    }
    return false;
}

// The readers' bytes (Windows), a lock after the change's own and the open of
// the lock file just before one: a rename goes on without them.
bool TakesTheReadersBytes(const std::vector<FileCall>& calls, int nth)
{
    const auto changeLock = std::find(calls.begin(), calls.end(), FileCall::Lock) - calls.begin() + 1;
    const auto readersLock = [&](int at) {
        return at > changeLock && at <= static_cast<int>(calls.size()) && calls[at - 1] == FileCall::Lock;
    };
    return readersLock(nth) || (calls[nth - 1] == FileCall::Open && readersLock(nth + 1));
}

Outcome ChangeAnnsPassword()
{
    auto result = Counted([] { return store::RewriteUserFile(u"ann:old", u"ann:new"); });
    return {result.GetOutcome() == store::RewriteOutcome::Done, result.UserFileChanged(), result.Message()};
}

Outcome Add(const std::u16string& key)
{
    auto result = Counted([&] { return store::AppendRecord(key); });
    return {result.GetOutcome() == store::AppendOutcome::Written, result.UserFileChanged(), result.Message(),
            result.GetOutcome() == store::AppendOutcome::NotChecked};
}

Outcome AddBob() { return Add(u"bob:\u00e9"); }
// Longer than a string keeps without allocating.
Outcome AddALongerName() { return Add(u"bob-with-a-longer-name:\u00e9"); }

Outcome FindAnn()
{
    auto result = Counted([] { return store::ScanUserFile(u"ann:old"); });
    return {result.GetOutcome() == store::ScanOutcome::Found, false, result.Message()};
}

// 0 where the system does not list them (Wine lists its own).
int OpenDescriptors()
{
#ifdef _WIN32
    return 0;
#else
    std::error_code unlisted;
    const std::filesystem::directory_iterator open("/proc/self/fd", unlisted);
    return unlisted ? 0 : static_cast<int>(std::distance(begin(open), end(open)));
#endif
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

    files::KernelCopy m_kernelCopy = files::KernelCopy::Used;

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
        counting.SetKernelCopy(m_kernelCopy);
        Restore(before);
        {
            files::FileSystemScope scope(counting);
            ASSERT_TRUE(operation().succeeded);
        }
        const auto after = UserFile();
        const auto& calls = counting.Calls();
        const int commitAt = commitPoint(calls);
        ASSERT_GT(commitAt, 0);
        for (const files::InjectedFault& fault : {files::BrokenDisk, files::FullDisk}) {
            for (int nth = 1; nth <= static_cast<int>(calls.size()); ++nth) {
                // A group that cannot be kept closes the copy or the lock to the owner
                // instead of failing; the lock's permissions and the readers' bytes
                // alone never stop a change.
                if (calls[nth - 1] != FileCall::SetOwner && !SetsTheLocksPermissions(calls, nth)
                    && !TakesTheReadersBytes(calls, nth))
                    FailOnce(before, after, operation, fault, nth, nth <= commitAt);
            }
        }
    }

    // Every allocation of the operation fails in turn: a failure with its
    // whole message, the file as it was (or with its unfinished last line cut
    // off, `cutBack`, and told so), no copy and no descriptor left.
    void SweepAllocations(const std::optional<std::string>& before, const Operation& operation,
                          const std::optional<std::string>& cutBack = std::nullopt)
    {
        const std::u16string short_ = u"There is not enough memory for the user file.";
        Restore(before);
        operation();  // what is made once per process is made before the count
        Restore(before);
        g_allocations = {};
        ASSERT_TRUE(operation().succeeded);
        const long allocations = g_allocations.count;
        const auto after = UserFile();
        for (const Shortage shortage : {Shortage::Once, Shortage::FromThenOn}) {
            for (long nth = 1; nth <= allocations; ++nth) {
                SCOPED_TRACE("allocation " + std::to_string(nth) + (shortage == Shortage::Once ? " fails" : " on fail"));
                Restore(before);
                const int descriptors = OpenDescriptors();
                g_allocations = {false, 0, nth, shortage};
                const Outcome outcome = operation();
                ASSERT_GT(g_allocations.injected, 0);
                g_allocations = {};
                ++g_faultPoints;
                EXPECT_FALSE(outcome.succeeded);
                EXPECT_FALSE(outcome.notChecked);
                // Past the commit, the message says that the change was made.
                const bool cut = cutBack && UserFile() == cutBack;
                const std::u16string told =
                    outcome.userFileChanged ? u"The change was made, but there was not enough memory to save it to disk."
                                              u" It may be lost if the computer stops before the disk catches up."
                    : operation.target<Outcome (*)()>() && *operation.target<Outcome (*)()>() == &FindAnn ? short_
                    : cut ? short_ + u" No account was changed; only an unfinished line at the end, which matched no"
                                     u" account, was removed."
                          : short_ + u" Nothing was changed.";
                EXPECT_EQ(outcome.message, told) << std::string(outcome.message.begin(), outcome.message.end());
                EXPECT_EQ(UserFile(), outcome.userFileChanged ? after : cut ? cutBack : before);
                EXPECT_FALSE(TemporaryFileLeft());
                EXPECT_EQ(OpenDescriptors(), descriptors);
            }
        }
    }

    void FailOnce(const std::optional<std::string>& before, const std::optional<std::string>& after,
                  const Operation& operation, const files::InjectedFault& fault, int nth, bool beforeTheCommit)
    {
        SCOPED_TRACE("call " + std::to_string(nth) + " fails: " + std::string(fault.reason));
        Restore(before);
        files::FaultInjectingFileSystem faulty;
        faulty.SetKernelCopy(m_kernelCopy);
        faulty.FailCall(FileCall::Any, nth, fault);
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
        // A failed read names the file that was read.
        EXPECT_EQ(outcome.message.find(u"Quillmark_new.txt could not be read"), std::u16string::npos);
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

TEST_F(FailureSweep, RewriteOfAFileOfManyBlocksThroughMemory)
{
    m_kernelCopy = files::KernelCopy::Refused;
    Sweep(ManyLines(Utf16LeWithMark, 12000), ChangeAnnsPassword, TheRename);
    m_kernelCopy = files::KernelCopy::ForUnreadSpans;
    Sweep(ManyLines(Utf16LeWithMark, 12000), ChangeAnnsPassword, TheRename);
}

TEST_F(FailureSweep, AppendToASmallFile)
{
    Sweep(Utf16LeWithoutMark.File({u"zed:1"}), AddBob, TheSaveBeforeTheFolders);
}

TEST_F(FailureSweep, AppendThatCreatesTheFile)
{
    Sweep(std::nullopt, AddBob, TheSaveBeforeTheFolders);
}

TEST_F(FailureSweep, AppendToAFileOfManyBlocks)
{
    Sweep(ManyLines(Utf8WithMark, 12000), AddBob, TheSaveBeforeTheFolders);
}

TEST_F(FailureSweep, RunningOutOfMemoryAnywhereFailsWithAMessageAndLeavesNothing)
{
#ifdef _WIN32
    // Removing a file here needs memory (its name is widened, links are looked
    // for): memory that stays short leaves the copy, for the next change.
    GTEST_SKIP() << "a copy is left where removing it finds no memory";
#endif
    const std::string accounts = Utf8WithMark.File({u"zed:1", u"ann:old"});
    SweepAllocations(accounts, FindAnn);
    SweepAllocations(accounts, ChangeAnnsPassword);
    SweepAllocations(accounts, AddBob);
    SweepAllocations(std::nullopt, AddBob);
    SweepAllocations(accounts, AddALongerName);
    SweepAllocations(std::nullopt, AddALongerName);
    // A last line without its end: the append goes by a copy.
    SweepAllocations(Utf8WithMark.mark + "zed:1\nann:old", AddBob);
    SweepAllocations(accounts + std::string(1, '\0') + "ob:1", AddALongerName, accounts);
#ifndef _WIN32
    // A first account whose write fails (past the file size limit), memory
    // short from then on while that is told: no empty file stays.
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit previous = limit;
    ::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    for (long nth = 1;; ++nth) {
        SCOPED_TRACE("allocations fail from " + std::to_string(nth));
        ::unlink(store::UserFileName.c_str());
        g_allocations = {false, 0, nth, Shortage::FromThenOn};
        AddALongerName();
        const bool injected = g_allocations.injected > 0;
        g_allocations = {};
        if (!injected)
            break;
        EXPECT_FALSE(Exists(store::UserFileName));
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
#endif
}

TEST_F(FailureSweep, RecoveryOfALeftCopyNeverLosesIt)
{
    const std::string accounts = Utf8WithMark.File({u"ann:old"});
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth) + " fails");
        ::unlink(store::UserFileName.c_str());
        WriteFile(store::TemporaryFileName, accounts);
        files::FaultInjectingFileSystem faulty;
        faulty.FailCall(FileCall::Any, nth, files::BrokenDisk);
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

TEST_F(FailureSweep, ALeftCopyPutBackWhoseFolderCannotBeSavedSaysSo)
{
    const std::string accounts = Utf8WithMark.File({u"ann:old"});
    for (const Operation& operation : {Operation(AddBob), Operation(FindAnn), Operation(ChangeAnnsPassword)}) {
        ::unlink(store::UserFileName.c_str());
        WriteFile(store::TemporaryFileName, accounts);
        files::FaultInjectingFileSystem faulty;
        faulty.FailCall(FileCall::Sync, 1, files::BrokenDisk);  // the folder's
        Outcome outcome;
        {
            files::FileSystemScope scope(faulty);
            outcome = operation();
        }
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.message.find(u"Nothing was changed."), std::u16string::npos);
        EXPECT_NE(outcome.message.find(u"Quillmark.txt again and holds the accounts, but the folder "),
                  std::u16string::npos)
            << std::string(outcome.message.begin(), outcome.message.end());
        EXPECT_EQ(UserFile(), accounts);
    }
}

TEST_F(FailureSweep, AFailureAfterAnUnfinishedLineWasCutOffSaysSo)
{
    const std::string accounts = Utf8WithMark.File({u"ann:old"});
    for (const FileCall call : {FileCall::Write, FileCall::Sync}) {
        for (int nth = 1; nth <= 3; ++nth) {
            SCOPED_TRACE("call " + std::to_string(nth) + " fails");
            GivenUserFile(accounts + std::string(1, '\0') + "ob:1");
            files::FaultInjectingFileSystem faulty;
            faulty.FailCall(call, nth, files::BrokenDisk);
            Outcome outcome;
            {
                files::FileSystemScope scope(faulty);
                outcome = AddBob();
            }
            if (faulty.FaultsInjected() == 0)
                continue;
            EXPECT_FALSE(outcome.succeeded);
            EXPECT_NE(outcome.message.find(u"No account was changed; only an unfinished line at the end"),
                      std::u16string::npos)
                << std::string(outcome.message.begin(), outcome.message.end());
            EXPECT_EQ(UserFile(), accounts);
        }
    }
}

TEST_F(FailureSweep, AFullDiskIsReportedAndChangesNothing)
{
    GivenUserFile(Utf8WithMark.File({u"ann:old"}));
    files::FaultInjectingFileSystem full;
    full.FailEveryCall(FileCall::Write, files::FullDisk);
    files::FileSystemScope scope(full);
    auto result = store::AppendRecord(u"bob:1");
    EXPECT_EQ(result.GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_EQ(result.Message(),
              FullPath("Quillmark.txt") + u" could not be written: No space left on device. Nothing was changed.");
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:old"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(FailureSweep, AFirstAccountThatCannotTakeTheLockLeavesAnotherUsersNewFile)
{
    files::FaultInjectingFileSystem faulty;
    // Another user's copy makes the file, under the lock this one cannot open.
    faulty.BeforeEachCall([this, made = false](FileCall call) mutable {
        if (call == FileCall::Open && !made)
            GivenUserFile("", 0600), made = true;
    });
    faulty.FailCall(FileCall::Open, 1, files::NoPermission);
    {
        files::FileSystemScope scope(faulty);
        EXPECT_FALSE(AddBob().succeeded);
    }
    EXPECT_EQ(UserFile(), std::optional<std::string>(""));
}

TEST_F(FailureSweep, AWholeLineThatCanNeitherBeSavedNorCutBackIsToldAsMade)
{
    GivenUserFile(Utf8WithMark.File({u"ann:old"}));
    files::FaultInjectingFileSystem faulty;
    int syncs = 0;
    // From the save after the record's first character on, everything fails.
    faulty.BeforeEachCall([&](FileCall call) {
        if (call == FileCall::Sync && ++syncs == 2)
            faulty.FailEveryCall(FileCall::Any, files::BrokenDisk);
    });
    Outcome outcome;
    {
        files::FileSystemScope scope(faulty);
        outcome = AddBob();
    }
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.userFileChanged);
    EXPECT_EQ(outcome.message.find(u"The change was made, but "), 0u);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:old", u"bob:\u00e9"}));
}

// A leftover that cannot be removed (here a folder) sends the copy to the
// spare name: a failure after that removes the spare and names no other copy.
TEST_F(FailureSweep, AChangeWrittenUnderTheSpareNameLeavesNoCopyWhenItFails)
{
    ASSERT_TRUE(std::filesystem::create_directory(store::TemporaryFileName));
    for (int nth = 1, faults = 1; faults > 0; ++nth) {
        GivenUserFile(Utf8WithMark.File({u"ann:old"}));
        files::FaultInjectingFileSystem faulty;
        bool spareWritten = false;
        faulty.BeforeEachCall([&](FileCall) { spareWritten = spareWritten || Exists(store::SpareCopyName); });
        faulty.FailCall(FileCall::Any, nth, files::BrokenDisk);
        const Outcome outcome = [&] { files::FileSystemScope scope(faulty); return ChangeAnnsPassword(); }();
        faults = faulty.FaultsInjected();
        EXPECT_FALSE(Exists(store::SpareCopyName)) << "call " << nth;
        EXPECT_TRUE(!spareWritten || outcome.userFileChanged || !Mentions(outcome.message, u"Quillmark_new.txt"))
            << "call " << nth;
    }
}
