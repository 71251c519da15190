// The store's cases that need POSIX: file modes, FIFOs, and a lock file
// removed while it is held open.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "tests/support/FileFaultInjection.h"

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
