// The store's cases that need POSIX: file modes, FIFOs, and a lock file
// removed while it is held open.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

#include <functional>
#include <optional>
#include <utility>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using NoUserFile = UserFileTest;
using UnusualUserFile = UserFileTest;
using AnotherCopy = UserFileTest;

TEST_F(NoUserFile, AppendCreatesItInUtf8WithItsMarkAndMode0600)
{
    ::umask(0);
    EXPECT_EQ(Append(u"ann:\u00e9"), AppendOutcome::Written);
    ::umask(022);
    EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" "ann:\xC3\xA9\n");
    EXPECT_EQ(ModeOf(store::UserFileName), 0600u);
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(UnusualUserFile, ARewriteKeepsItsPermissions)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0640);
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_EQ(ModeOf(store::UserFileName), 0640u);
}

TEST_F(UnusualUserFile, AFifoOrAFolderIsRefusedWithoutHanging)
{
    ASSERT_EQ(::mkfifo(store::UserFileName.c_str(), 0600), 0);
    auto scanned = store::ScanUserFile(u"a:b");
    EXPECT_EQ(scanned.GetOutcome(), ScanOutcome::Failed);
    EXPECT_EQ(scanned.Message(), FullPath("Quillmark.txt") + u" could not be opened: it is not a regular file.");
    ASSERT_EQ(::unlink(store::UserFileName.c_str()), 0);
    ASSERT_EQ(::mkdir(store::UserFileName.c_str(), 0700), 0);
    EXPECT_EQ(Scan(u"a:b"), ScanOutcome::Failed);
    EXPECT_EQ(Append(u"a:b"), AppendOutcome::NotChecked);
    EXPECT_EQ(store::AppendRecord(u"a:b", store::Duplicates::Allow).GetOutcome(), AppendOutcome::Failed);
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

TEST_F(UnusualUserFile, WhatStandsAtTheLocksNameIsToldPlainly)
{
    const std::string lockName = files::LockNameFor(store::UserFileName);
    const std::pair<std::function<int()>, std::u16string> rows[] = {
        {[&] { return ::symlink("elsewhere", lockName.c_str()); }, u"it is a symbolic link"},
        {[&] { return ::mkfifo(lockName.c_str(), 0600); }, u"it is not a regular file"},
    };
    for (const auto& [make, told] : rows) {
        ::unlink(lockName.c_str());
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        ASSERT_EQ(make(), 0);
        EXPECT_EQ(store::AppendRecord(u"bob:1").Message(),
                  FullPath("Quillmark.lock") + u" could not be opened: " + told + u". Nothing was changed.");
        EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    }
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

// A file server's lease (a client's oplock) refuses the program's opens for
// a while: that is another program at work, not another copy's change.
TEST_F(UnusualUserFile, AFileThatAnotherProgramLeasesIsToldAsSuch)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    char taken = 'n';
    if (holder == 0) {
        std::signal(SIGIO, SIG_IGN);  // never lets go when asked to
        taken = ::fcntl(::open(store::UserFileName.c_str(), O_RDONLY), F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
        if (::write(ready[1], &taken, 1) == 1)
            ::pause();
        ::_exit(1);
    }
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    const auto changed = store::RewriteUserFile(u"ann:1", u"ann:2");
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    if (taken != 'y')
        GTEST_SKIP() << "no leases here";
    EXPECT_EQ(changed.Message(), FullPath(store::UserFileName)
                                     + u" could not be opened: another program is using it. Nothing was changed.");
}
