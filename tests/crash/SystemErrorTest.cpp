// The POSIX file services against the system's own failures, with no seam
// above them: each arrives as the right error, and a short write goes on.
#include "CallInterposer.h"
#include "Folder.h"
#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextFile.h"
#include "store/UserFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class SystemError : public ::testing::Test {
protected:
    ~SystemError() override { crash::ClearFaults(); }

    files::FileSystem& m_system = files::SystemFileSystem();
    TemporaryFolder m_folder;
};

} // namespace

TEST_F(SystemError, ARenameOfAMissingFileFails)
{
    for (const files::RenameMode mode : {files::RenameMode::Replace, files::RenameMode::KeepExisting}) {
        const files::FileStatus renamed = m_system.Rename("missing.txt", "there.txt", mode);
        ASSERT_FALSE(renamed.Ok());
        EXPECT_TRUE(renamed.Error().IsMissing());
        EXPECT_FALSE(Exists("there.txt"));
    }
}

// Where neither name can go, the user is told which one to remove.
TEST_F(SystemError, ANoReplaceRenameThatCannotDropTheOldNameLeavesTheFileOneNameOrSaysWhichToRemove)
{
    for (const bool newNameStays : {false, true}) {
        WriteFile("from.txt", "ann:1\n");
        ::unlink("to.txt");
        crash::FailByName(crash::CallKind::Rename, "from.txt", EINVAL);  // no no-replace rename: a link instead
        crash::FailByName(crash::CallKind::Unlink, "from.txt", EIO);
        if (newNameStays)
            crash::FailByName(crash::CallKind::Unlink, "to.txt", EIO);
        const files::FileStatus renamed = m_system.Rename("from.txt", "to.txt", files::RenameMode::KeepExisting);
        crash::ClearFaults();
        ASSERT_FALSE(renamed.Ok());
        EXPECT_TRUE(renamed.Error().Reason().starts_with(std::strerror(EIO)));
        EXPECT_TRUE(Exists("from.txt"));
        EXPECT_EQ(Exists("to.txt"), newNameStays);
        EXPECT_EQ(renamed.Error().Reason().find("from.txt is to be removed by hand") != std::string::npos, newNameStays);
    }
}

TEST_F(SystemError, AnAccessListThatCannotBeReadIsToldOfTheUserFile)
{
    WriteFile(store::UserFileName, "\xEF\xBB\xBF" "ann:1\n");
    crash::FailByName(crash::CallKind::ReadAccessList, store::UserFileName, EIO);
    const auto rewrite = store::RewriteUserFile(u"ann:1", u"ann:2");
    crash::ClearFaults();
    EXPECT_NE(rewrite.Message().find(u"Quillmark.txt could not be examined: Input/output error"), std::u16string::npos)
        << std::string(rewrite.Message().begin(), rewrite.Message().end());
}

TEST_F(SystemError, AnExistingFileThatCannotBeOpenedForWritingIsNotToldAsNotCreated)
{
    ASSERT_EQ(::mkdir("folder", 0700), 0);
    const auto opened = m_system.Open("folder", files::OpenMode::CreateOrKeep);
    ASSERT_FALSE(opened.Ok());
    EXPECT_EQ(opened.Error().Action(), "opened");
    EXPECT_EQ(m_system.Open("folder", files::OpenMode::CreateNew).Error().Action(), "created");
}

TEST_F(SystemError, ShortWritesAreContinued)
{
    const std::string text = "ann:1\nbob:22\ncid:333\n";
    crash::ShortenWritesTo(3);
    auto file = m_system.Open("short.txt", files::OpenMode::CreateNew);
    ASSERT_TRUE(file.Ok());
    ASSERT_TRUE(m_system.Write(file.Value(), text.data(), text.size()).Ok());
    ASSERT_TRUE(m_system.WriteAt(file.Value(), 2, "XYZWV", 5).Ok());
    m_system.Close(file.Value());
    EXPECT_EQ(ReadFile("short.txt"), "anXYZWVob:22\ncid:333\n");

    // The user file itself, written a byte at a time.
    crash::ShortenWritesTo(1);
    WriteFile(store::UserFileName, "\xEF\xBB\xBF" "ann:1\n");
    EXPECT_EQ(store::AppendRecord(u"bob:22").GetOutcome(), store::AppendOutcome::Written);
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", u"ann:4").GetOutcome(), store::RewriteOutcome::Done);
    EXPECT_EQ(ReadFile(store::UserFileName), "\xEF\xBB\xBF" "ann:4\nbob:22\n");
}

// Each refusal the code knows, a copy of nothing, and a fault that may lie in
// either file (then told by the side that fails): the rest goes through
// memory a bounded block at a time, and the rewrite ends with the right bytes.
TEST_F(SystemError, AKernelCopyThatIsRefusedGoesThroughMemoryInBoundedSteps)
{
    std::string lines;
    for (int i = 0; lines.size() < (40 << 20); ++i)
        lines += "user" + std::to_string(i) + ":password\n";
    const std::string before = "\xEF\xBB\xBF" "ann:1\n" + lines;
    const std::string after = "\xEF\xBB\xBF" "ann:2\n" + lines;
    for (const int code : {0, ENOSYS, EXDEV, EINVAL, EOPNOTSUPP, ETXTBSY, EPERM, EIO}) {
        SCOPED_TRACE("copy_file_range refused with errno " + std::to_string(code));
        WriteFile(store::UserFileName, before);
        EXPECT_TRUE(SucceedsInChild([code] {
            ::alarm(30);  // a copy that never ends
            LimitAddressSpace(16 << 20);
            crash::RefuseCopies(code);
            return store::RewriteUserFile(u"ann:1", u"ann:2").GetOutcome() == store::RewriteOutcome::Done;
        }));
        EXPECT_TRUE(ReadFile(store::UserFileName) == after);
    }
}

TEST_F(SystemError, AWriteThatTakesNothingFailsInsteadOfRetryingForEver)
{
    EXPECT_TRUE(SucceedsInChild([this] {
        ::alarm(10);
        WriteFile(store::UserFileName, "\xEF\xBB\xBF" "ann:1\n");
        crash::ShortenWritesTo(0);
        auto file = m_system.Open("stuck.txt", files::OpenMode::CreateNew);
        return !m_system.Write(file.Value(), "ann:1\n", 6).Ok() && !m_system.WriteAt(file.Value(), 0, "ann:1\n", 6).Ok()
               && store::AppendRecord(u"bob:22").Message()
                      == FullPath("Quillmark.txt")
                             + u" could not be written: the system took none of the bytes. Nothing was changed.";
    }));
}

TEST_F(SystemError, AFailingFsyncIsReportedAndUndone)
{
    crash::FailSyncs(EIO);
    auto file = m_system.Open("unsaved.txt", files::OpenMode::CreateNew);
    ASSERT_TRUE(file.Ok());
    const files::FileStatus synced = m_system.Sync(file.Value());
    m_system.Close(file.Value());
    ASSERT_FALSE(synced.Ok());
    EXPECT_EQ(synced.Error().Reason(), std::strerror(EIO));
    EXPECT_FALSE(files::SyncFolder().Ok());

    const std::string before = "\xEF\xBB\xBF" "ann:1\n";
    WriteFile(store::UserFileName, before);
    EXPECT_EQ(store::AppendRecord(u"bob:22").GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", u"ann:4").GetOutcome(), store::RewriteOutcome::Failed);
    EXPECT_EQ(ReadFile(store::UserFileName), before);
    EXPECT_FALSE(Exists(store::TemporaryFileName));
}

// Only a file system's own want of locks is told as such; any other refusal
// is told by its cause. Either way nothing goes on unlocked.
TEST_F(SystemError, ALockTheSystemRefusesIsToldByItsCause)
{
    const std::string before = "\xEF\xBB\xBF" "ann:1\n";
    WriteFile(store::UserFileName, before);
    for (const auto& [code, toldAsNoLock] : {std::pair{ENOLCK, true}, {EOPNOTSUPP, true}, {EINVAL, false}, {EBADF, false}}) {
        SCOPED_TRACE("fcntl fails with errno " + std::to_string(code));
        crash::FailLocks(code);
        const auto appended = store::AppendRecord(u"bob:22");
        const auto changed = store::RewriteUserFile(u"ann:1", u"ann:4");
        crash::ClearFaults();
        EXPECT_EQ(appended.GetOutcome(), store::AppendOutcome::Failed);
        EXPECT_EQ(changed.GetOutcome(), store::RewriteOutcome::Failed);
        const std::string reason = toldAsNoLock ? "its file system offers no lock to keep changes apart" : std::strerror(code);
        EXPECT_EQ(appended.Message(), FullPath("Quillmark.lock") + u" could not be locked: "
                                          + std::u16string(reason.begin(), reason.end()) + u". Nothing was changed.");
        EXPECT_NE(changed.Message().find(u"Nothing was changed."), std::u16string::npos);
    }
    EXPECT_EQ(ReadFile(store::UserFileName), before);
}

// A small tmpfs filled to the last byte; mounting one needs root, as CI has.
TEST_F(SystemError, AFullDiskFailsTheWriteWithNoSpace)
{
    if (::mount("quillmark", ".", "tmpfs", 0, "size=8k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (root only)";
    ASSERT_EQ(::chdir(m_folder.Path().c_str()), 0);  // into the new file system
    WriteFile(store::UserFileName, "\xEF\xBB\xBF" "ann:1\n");
    auto filler = m_system.Open("filler", files::OpenMode::CreateNew);
    ASSERT_TRUE(filler.Ok());
    const std::string block(1024, 'x');
    files::FileStatus status;
    for (int i = 0; i < 64 && status.Ok(); ++i)
        status = m_system.Write(filler.Value(), block.data(), block.size());
    m_system.Close(filler.Value());
    ASSERT_FALSE(status.Ok());
    EXPECT_EQ(status.Error().Reason(), std::strerror(ENOSPC));

    const std::u16string longRecord = u"bob:" + std::u16string(8192, u'p');
    EXPECT_EQ(store::AppendRecord(longRecord).GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", longRecord).GetOutcome(), store::RewriteOutcome::Failed);
    EXPECT_EQ(ReadFile(store::UserFileName), "\xEF\xBB\xBF" "ann:1\n");
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(::umount(m_folder.Path().c_str()), 0);
    ASSERT_EQ(::chdir(m_folder.Path().c_str()), 0);
}
