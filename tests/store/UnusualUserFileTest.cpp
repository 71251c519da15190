// User files that are read but never changed, and a file system without locks.
#include "UserFileFixture.h"

#include "tests/support/FileFaultInjection.h"

#include <functional>
#include <utility>

#include <unistd.h>

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using UnusualUserFile = UserFileTest;

// Logging in works; every change is refused in words of its own (a duplicate
// is told first), and the file, read through any link, is as it was.
TEST_F(UnusualUserFile, ALinkOrAReadOnlyFileIsReadButNeverChanged)
{
    const std::string accounts = Utf8WithMark.File({u"ann:1"});
    const std::pair<std::function<void()>, std::u16string> rows[] = {
        {[&] {
             WriteFile("real.txt", accounts);
             ASSERT_EQ(::symlink("real.txt", store::UserFileName.c_str()), 0);
         },
         u" is a symbolic link"},
        {[&] { GivenUserFile(accounts, 0444); }, u" is read-only. Nothing was changed."},
    };
    for (const auto& [make, told] : rows) {
        TemporaryFolder folder;
        make();
        EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
        const auto appended = store::AppendRecord(u"bob:1");
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
        EXPECT_EQ(appended.Message().rfind(FullPath("Quillmark.txt") + told, 0), 0u)
            << std::string(appended.Message().begin(), appended.Message().end());
        EXPECT_EQ(Append(u"ann:1"), AppendOutcome::AlreadyPresent);
        const auto rewritten = store::RewriteUserFile(u"ann:1", u"x:y");
        EXPECT_EQ(rewritten.GetOutcome(), RewriteOutcome::Failed);
        EXPECT_TRUE(Mentions(rewritten.Message(), told));
        EXPECT_EQ(UserFile(), accounts);
        if (Mentions(told, u"read-only")) {
            EXPECT_EQ(ModeOf(store::UserFileName), 0444u);
        }
    }
}

TEST_F(UnusualUserFile, AFileSystemWithoutLocksRefusesChangesWithAMessage)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    // Only a file system without locks is told as one; any other failure of the lock is not.
    for (const auto& [fault, toldAsNoLock] : {std::pair{files::NoLocks, true}, {files::BrokenDisk, false}}) {
        files::FaultInjectingFileSystem lockless;
        lockless.FailEveryCall(FileCall::Lock, fault);
        files::FileSystemScope scope(lockless);
        auto appended = store::AppendRecord(u"bob:1");
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
        EXPECT_EQ(Mentions(appended.Message(), u"offers no lock"), toldAsNoLock);
        auto rewritten = store::RewriteUserFile(u"ann:1", u"ann:2");
        EXPECT_EQ(rewritten.GetOutcome(), RewriteOutcome::Failed);
        EXPECT_TRUE(Mentions(rewritten.Message(), u"Nothing was changed."));
    }
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
}
