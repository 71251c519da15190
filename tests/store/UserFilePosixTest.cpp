// The store's cases that need POSIX: file modes, FIFOs, and a lock file
// removed while it is held open.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

#include <functional>
#include <utility>

#include <sys/stat.h>
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
// and write at once: the change stops before its last step, changing nothing.
TEST_F(AnotherCopy, AChangeWhoseLockFileIsRemovedStopsBeforeItCommits)
{
    const std::string before = Utf8WithMark.File({u"ann:1"});
    const std::pair<const char*, std::function<bool()>> changes[] = {
        {"add", [] { return store::AppendRecord(u"bob:1").GetOutcome() == AppendOutcome::Written; }},
        {"rewrite", [] { return Replace(u"ann:1", u"ann:2") == RewriteOutcome::Done; }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        GivenUserFile(before);
        files::FaultInjectingFileSystem removing;
        // The first save is of the new line or of the copy, before the change counts.
        removing.BeforeEachCall([&, removed = false](FileCall call) mutable {
            if (call == FileCall::Sync && !std::exchange(removed, true))
                ::unlink(files::LockNameFor(store::UserFileName).c_str());
        });
        files::FileSystemScope scope(removing);
        EXPECT_FALSE(change());
        EXPECT_EQ(UserFile(), before);
        EXPECT_FALSE(TemporaryFileLeft());
    }
}
