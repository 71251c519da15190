// Unusual user files that only a POSIX system can make: FIFOs, hard links, a
// lease, what stands at the lock's name, another user's copy, and the
// process's limits.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"

#include <functional>
#include <utility>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using UnusualUserFile = UserFileTest;

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

TEST_F(UnusualUserFile, AFileWithAnotherNameIsReadButNeverChanged)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    ASSERT_EQ(::link(store::UserFileName.c_str(), "elsewhere.txt"), 0);
    EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
    auto appended = store::AppendRecord(u"bob:1");
    EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
    EXPECT_TRUE(Mentions(appended.Message(), u"hard links"));
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Failed);
    EXPECT_EQ(ReadFile("elsewhere.txt"), Utf8WithMark.File({u"ann:1"}));
}

TEST_F(UnusualUserFile, OneHugeLineTakesNoMoreMemoryThanAShortOne)
{
    // With room for far less memory than the line's size, each operation is done.
    GivenUserFile(Utf8WithMark.mark + std::string(64 << 20, 'x'));
    EXPECT_TRUE(SucceedsInChild([] {
        LimitAddressSpace(16 << 20);
        return store::ScanUserFile(u"a:b").GetOutcome() == ScanOutcome::NotFound
               && store::AppendRecord(u"a:b").GetOutcome() == AppendOutcome::Written
               && store::RewriteUserFile(u"a:b", u"a:c").GetOutcome() == RewriteOutcome::Done;
    }));
    EXPECT_EQ(Scan(u"a:c"), ScanOutcome::Found);
}

TEST_F(UnusualUserFile, AWriteBeyondTheFileSizeLimitFailsAndIsCutBack)
{
    const std::string accounts = Utf8WithMark.File({u"ann:1"});
    GivenUserFile(accounts);
    const std::u16string key = u"victim:" + std::u16string(8000, u'p');
    EXPECT_TRUE(SucceedsInChild([&] {
        const rlimit limit{accounts.size() + 4096, accounts.size() + 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto appended = store::AppendRecord(key);
        return appended.GetOutcome() == AppendOutcome::Failed && Mentions(appended.Message(), u"File too large");
    })) << "not killed by SIGXFSZ, and told why";
    EXPECT_EQ(UserFile(), accounts);
}

using Recovery = UserFileTest;

TEST_F(Recovery, ACopyThatAnotherUserLeftIsNeverAdopted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the copy to another user";
    WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"root:planted"}), 0666);
    ASSERT_EQ(::chown(store::TemporaryFileName.c_str(), 1001, 1001), 0);
    EXPECT_EQ(Scan(u"root:planted"), ScanOutcome::Missing);
    EXPECT_FALSE(Exists(store::UserFileName));
}
