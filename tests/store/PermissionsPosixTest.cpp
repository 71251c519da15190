// The replaced file is no more open than the old one, a new one is its owner's
// alone, and the lock is open only to those who may write the user file: other
// users and groups, permission bits and access lists, which need POSIX.
#include "UserFileFixture.h"

#include "FileFaultInjection.h"
#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

namespace {

struct stat StatusOf(const std::string& name)
{
    struct stat status {};
    ::lstat(name.c_str(), &status);
    return status;
}

// Runs `work` in a child process as another user; its exit status.
template <class Work>
int AsUser(uid_t user, gid_t group, std::initializer_list<gid_t> groups, Work work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<gid_t> list(groups);
        if (::setgroups(list.size(), list.data()) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0)
            ::_exit(99);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

using Permissions = UserFileTest;

TEST_F(Permissions, AReplacementCarriesOnlyReadAndWriteBits)
{
    for (const auto& [before, after] : {std::pair{06777u, 0666u}, {0640u, 0640u}}) {
        GivenUserFile(Utf8WithMark.File({u"ann:1"}), before);
        EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
        EXPECT_EQ(ModeOf(store::UserFileName), after);
    }
}

TEST_F(Permissions, AReplacementKeepsTheGroupOrClosesTheFileToItsOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as other users";
    ::chmod(".", 0777);
    bool ownerInGroup = true;  // whether user 61001 is a member of group 63000
    const auto changeAnn = [&] {
        files::FaultInjectingFileSystem groups;
        groups.SetMembers([&](unsigned user, unsigned group) { return user == 61001 && group == 63000 && ownerInGroup; });
        files::FileSystemScope scope(groups);
        return store::RewriteUserFile(u"ann:1", u"ann:2").GetOutcome() == RewriteOutcome::Done ? 0 : 1;
    };
    // A member of the file's group keeps it, and the group's bits with it.
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0660);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    EXPECT_EQ(AsUser(61002, 61002, {61002, 63000}, changeAnn), 0);
    EXPECT_EQ(StatusOf(store::UserFileName).st_gid, 63000u);
    EXPECT_EQ(ModeOf(store::UserFileName), 0660u);
    // Unless the owner is no member of it: the owner would be shut out.
    ownerInGroup = false;
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0660);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    EXPECT_EQ(AsUser(61002, 61002, {61002, 63000}, changeAnn), 1);
    EXPECT_EQ(StatusOf(store::UserFileName).st_uid, 61001u);
    EXPECT_FALSE(TemporaryFileLeft());
    // An owner who may no longer set the group closes the copy to itself.
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0660);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61002, 63000), 0);
    EXPECT_EQ(AsUser(61002, 61002, {61002}, changeAnn), 0);
    EXPECT_EQ(ModeOf(store::UserFileName), 0600u);
    // One who could keep neither owner nor group would shut the owner out: refused.
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0666);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    EXPECT_EQ(AsUser(61002, 61002, {61002}, changeAnn), 1);
    EXPECT_EQ(StatusOf(store::UserFileName).st_uid, 61001u);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    EXPECT_FALSE(TemporaryFileLeft());
    // Root keeps the owner as well.
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0640);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    EXPECT_EQ(changeAnn(), 0);
    EXPECT_EQ(StatusOf(store::UserFileName).st_uid, 61001u);
    EXPECT_EQ(StatusOf(store::UserFileName).st_gid, 63000u);
}

TEST_F(Permissions, AReplacementKeepsTheAccessListAndTakesNoneFromTheFolder)
{
    const auto accessList = [] {
        std::string listed;
        if (FILE* out = ::popen("getfacl --omit-header --numeric Quillmark.txt 2>/dev/null", "r")) {
            for (int c; (c = std::fgetc(out)) != EOF;)
                listed += static_cast<char>(c);
            ::pclose(out);
        }
        return listed;
    };
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0660);
    if (std::system("setfacl -m u:61004:--- Quillmark.txt 2>/dev/null") != 0)
        GTEST_SKIP() << "no access lists on this file system";
    const std::string shut = accessList();
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_EQ(accessList(), shut);
    // A folder's default list would let user 61005 read a copy of a file that it
    // could not read: a file made anew, that has no list of its own.
    ::unlink(store::UserFileName.c_str());
    GivenUserFile(Utf8WithMark.File({u"ann:2"}), 0640);
    const std::string plain = accessList();
    ASSERT_EQ(std::system("setfacl -d -m u:61005:rw ."), 0);
    EXPECT_EQ(Replace(u"ann:2", u"ann:3"), RewriteOutcome::Done);
    EXPECT_EQ(accessList(), plain);
}

TEST_F(Permissions, AChangeByAUserTheAccessListLetsInLeavesTheOwnerItsFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as other users";
    ::chmod(".", 0777);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0600);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61002, 61002), 0);
    if (std::system("setfacl -m u:61001:rw Quillmark.txt 2>/dev/null") != 0)
        GTEST_SKIP() << "no access lists on this file system";
    const auto changeAnn = [] { return store::RewriteUserFile(u"ann:1", u"ann:2").GetOutcome() == RewriteOutcome::Done ? 0 : 1; };
    EXPECT_EQ(AsUser(61001, 61001, {61001}, changeAnn), 1);
    EXPECT_EQ(StatusOf(store::UserFileName).st_uid, 61002u);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
}

TEST_F(Permissions, ACopyOrUserFileSwappedForALinkIsNeverTakenNorItsTargetTouched)
{
    WriteFile("private", "secret", 0600);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0600);
    files::FaultInjectingFileSystem swapping;
    bool swapped = false;
    swapping.BeforeEachCall([&](files::FileCall call) {
        if (call != files::FileCall::SetMode || swapped)
            return;
        swapped = ::rename(store::TemporaryFileName.c_str(), "stash") == 0
                  && ::symlink("private", store::TemporaryFileName.c_str()) == 0;
    });
    {
        files::FileSystemScope scope(swapping);
        EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Failed);
    }
    EXPECT_TRUE(swapped);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(ReadFile("private"), "secret");
    EXPECT_EQ(ModeOf("private"), 0600u);
    // The user file swapped for a link before any call of a change: what it
    // leads to is never taken for the accounts nor written.
    WriteFile("real.txt", Utf8WithMark.File({u"ann:1", u"eve:9"}));
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth));
        ::unlink(store::UserFileName.c_str());
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        files::FaultInjectingFileSystem linking;
        int calls = 0;
        linking.BeforeEachCall([&](files::FileCall) {
            if (++calls == nth) {
                ASSERT_TRUE(::symlink("real.txt", "link") == 0 && ::rename("link", store::UserFileName.c_str()) == 0);
            }
        });
        {
            files::FileSystemScope scope(linking);
            Replace(u"ann:1", u"ann:2");
            Append(u"bob:1");
        }
        if (calls < nth)
            break;
        EXPECT_EQ(ReadFile("real.txt"), Utf8WithMark.File({u"ann:1", u"eve:9"}));
        if (!std::filesystem::is_symlink(store::UserFileName)) {
            EXPECT_EQ(UserFile().value_or("").find("eve:9"), std::string::npos);
        }
    }
}

TEST_F(Permissions, WhetherAFileMayBeWrittenIsAskedForTheEffectiveUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ::chmod(".", 0755);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0644);
    EXPECT_TRUE(SucceedsInChild([] {
        // Still root by the real user id, as a program started through setuid is.
        const auto info = ::seteuid(61001) == 0 ? files::ExamineFile(store::UserFileName) : files::FileError(files::FileFault::Denied, "examined", store::UserFileName, "seteuid failed");
        return info.Ok() && !info.Value().writable;
    }));
}

TEST_F(Permissions, AnotherUsersFileTakesNoPasswordAndIsToldAsTheirs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as other users";
    ::chmod(".", 01777);
    // Open to all: a password there would not be private; closed to others: not this user's to change.
    for (const auto& [mode, why] : {std::pair{0666u, u"would not be private"}, std::pair{0600u, u"belongs to another user, who"}}) {
        GivenUserFile(Utf8WithMark.File({u"eve:1"}), mode);
        ASSERT_EQ(::chown(store::UserFileName.c_str(), 61003, 61003), 0);
        const auto giveEvesPassword = [why = std::u16string(why)] {
            const auto rewritten = store::RewriteUserFile(u"eve:1", u"eve:secret");
            return rewritten.Message().find(why) != std::u16string::npos ? 0 : 1;
        };
        EXPECT_EQ(AsUser(61001, 61001, {61001}, giveEvesPassword), 0) << mode;
        ::chmod(store::UserFileName.c_str(), 0644);
        EXPECT_EQ(UserFile(), Utf8WithMark.File({u"eve:1"}));
    }
}

// The lock and user files made under any umask are the owner's alone, and
// stay the owner's to change even under one that denies writing, where no mode
// is set after they are made (a kill).
TEST_F(Permissions, AFirstAccountIsItsOwnersAloneUnderAnyUmask)
{
    enum class Modes { Set, Refused };
    const struct {
        const char* what;
        mode_t mask;
        Modes modes;
    } rows[] = {{"umask 0", 0, Modes::Set},
                {"umask 0277", 0277, Modes::Set},
                {"umask 0277, no mode set after the files are made", 0277, Modes::Refused}};
    for (const auto& [what, mask, modes] : rows) {
        SCOPED_TRACE(what);
        ::unlink(files::LockNameFor(store::UserFileName).c_str());
        ::unlink(store::UserFileName.c_str());
        files::FaultInjectingFileSystem faulty;
        if (modes == Modes::Refused)
            faulty.FailEveryCall(files::FileCall::SetMode, files::NoPermission);
        files::FileSystemScope scope(faulty);
        const mode_t previous = ::umask(mask);
        const auto appended = store::AppendRecord(u"ann:\u00e9");
        ::umask(previous);
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Written);
        EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" "ann:\xC3\xA9\n");
        EXPECT_EQ(StatusOf(files::LockNameFor(store::UserFileName)).st_mode & 0777, 0600u);
        EXPECT_EQ(StatusOf(store::UserFileName).st_mode & 0777, 0600u);
        EXPECT_FALSE(TemporaryFileLeft());
    }
}

// A read lock holds every change off as a write lock does: only those who may
// write the user file may open its lock, and its owner always may.
TEST_F(Permissions, TheLockIsOpenOnlyToThoseWhoMayWriteTheUserFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as other users";
    ::chmod(".", 0777);
    enum class Modes { Settable, Refused };
    struct Row {
        const char* why;
        mode_t fileMode;
        gid_t fileGroup;
        uid_t user;
        bool userInGroup;  // of group 63000
        Modes modes;
        mode_t lockMode;
        uid_t lockOwner;
        gid_t lockGroup;
    };
    const Row rows[] = {
        {"those who may only read get nothing", 0644, 61001, 61001, false, Modes::Settable, 0600, 61001, 61001},
        {"a group that may write may lock", 0660, 63000, 61001, true, Modes::Settable, 0660, 61001, 63000},
        {"a group the owner cannot give gets nothing", 0660, 63000, 61001, false, Modes::Settable, 0600, 61001, 61001},
        {"root leaves the owner a lock it can open", 0600, 61001, 0, false, Modes::Settable, 0600, 61001, 61001},
        {"permissions that cannot be set stop no change", 0660, 63000, 61001, true, Modes::Refused, 0600, 61001, 63000},
        {"a file that others may write opens its lock to them", 0666, 61001, 61001, false, Modes::Settable, 0666, 61001, 61001},
        {"another writer's lock lets the file's owner in by name", 0660, 63000, 61002, true, Modes::Settable, 0660, 61002, 63000},
    };
    const auto ownerAdds = [](const char16_t* key) {
        return AsUser(61001, 61001, {61001}, [key] { return Append(key) == AppendOutcome::Written ? 0 : 1; });
    };
    const std::string lockName = files::LockNameFor(store::UserFileName);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        GivenUserFile(Utf8WithMark.File({u"ann:1"}), row.fileMode);
        ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, row.fileGroup), 0);
        ::unlink(lockName.c_str());
        const auto addBob = [&] {
            files::FaultInjectingFileSystem system;
            system.SetMembers([&](unsigned user, unsigned group) {
                return user == row.user && (group == row.user || (group == 63000 && row.userInGroup));
            });
            if (row.modes == Modes::Refused)
                system.FailEveryCall(files::FileCall::SetMode, files::NoPermission);
            files::FileSystemScope scope(system);
            return store::AppendRecord(u"bob:1").GetOutcome() == AppendOutcome::Written ? 0 : 1;
        };
        const int status = row.user == 0       ? addBob()
                           : row.userInGroup ? AsUser(row.user, row.user, {row.user, 63000}, addBob)
                                             : AsUser(row.user, row.user, {row.user}, addBob);
        EXPECT_EQ(status, 0);
        const struct stat lock = StatusOf(lockName);
        EXPECT_EQ(lock.st_mode & 0777, row.lockMode);
        EXPECT_EQ(lock.st_uid, row.lockOwner);
        EXPECT_EQ(lock.st_gid, row.lockGroup);
        EXPECT_EQ(ownerAdds(u"fay:1"), 0);
    }
    // The last writer's change made the file theirs: its former owner, a
    // writer still through the group, keeps the lock that names them.
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61002, 63000), 0);
    EXPECT_EQ(AsUser(61001, 61001, {61001, 63000}, [] { return Append(u"gus:1") == AppendOutcome::Written ? 0 : 1; }), 0);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    // One left by root before it gave locks away says whose it is and what to do.
    ASSERT_EQ(::chown(lockName.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(lockName.c_str(), 0600), 0);
    EXPECT_EQ(AsUser(61001, 61001, {61001}, [] {
                  return Mentions(store::AppendRecord(u"cy:1").Message(), u"another user's file, which may be removed") ? 0 : 1;
              }),
              0);
    // Under an access list: read and write for the entries that may write the
    // file, nothing for a read-only named user or a read-only owning group.
    ::unlink(lockName.c_str());
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0660);
    ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 63000), 0);
    if (std::system("setfacl -m u:61002:rw,u:61003:r,g::r Quillmark.txt 2>/dev/null") == 0) {
        EXPECT_EQ(AsUser(61001, 61001, {61001, 63000}, [] {
                      files::FaultInjectingFileSystem system;
                      system.SetMembers([](unsigned user, unsigned group) { return user == 61001 && group != 61004; });
                      files::FileSystemScope scope(system);
                      return Append(u"bob:1") == AppendOutcome::Written ? 0 : 1;
                  }),
                  0);
        const auto opensLock = [&](uid_t user, std::initializer_list<gid_t> groups) {
            return AsUser(user, user, groups, [&] { return ::open(lockName.c_str(), O_RDONLY) >= 0 ? 0 : 1; }) == 0;
        };
        EXPECT_TRUE(opensLock(61002, {61002}));
        EXPECT_FALSE(opensLock(61003, {61003}));
        EXPECT_FALSE(opensLock(61004, {61004, 63000}));
        // A writer's lock open to the group, which may only read: its mask is no group's right.
        ::unlink(lockName.c_str());
        ASSERT_EQ(AsUser(61002, 61002, {61002, 63000}, [&] {
                      const int made = ::open(lockName.c_str(), O_CREAT | O_WRONLY, 0600);
                      return ::fchown(made, -1, 63000) == 0 && ::fchmod(made, 0660) == 0 ? 0 : 1;
                  }),
                  0);
        EXPECT_EQ(AsUser(61001, 61001, {61001, 63000}, [] { return Append(u"cy:1") == AppendOutcome::Written ? 0 : 1; }), 1);
        // Made by a writer the list names, the lock names the file's owner.
        ::unlink(lockName.c_str());
        ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 61001), 0);
        EXPECT_EQ(AsUser(61002, 61002, {61002}, [] { return Append(u"dan:1") == AppendOutcome::Written ? 0 : 1; }), 0);
        EXPECT_EQ(ownerAdds(u"eve:1"), 0);
    }
}

// In a sticky folder only its owner may remove a lock that another user put
// there first; one open to all cannot be narrowed, so it is not used either.
TEST_F(Permissions, ALockPlantedByAnotherUserInAStickyFolderIsToldWithItsOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as other users";
    ::chmod(".", 01777);
    const std::string lockName = files::LockNameFor(store::UserFileName);
    // Told by login name where the machine has one for the uid, else by number.
    const passwd* account = ::getpwuid(61002);
    const std::string name = account ? account->pw_name : "user 61002";
    const auto toldFor = [&](const std::string& name) {
        const std::u16string owner(name.begin(), name.end());
        return FullPath(lockName) + u" belongs to " + owner + u"; in this folder only " + owner
               + u" or an administrator may remove it. Nothing was changed.";
    };
    const std::u16string told = toldFor(name);
    const std::function<int()> plants[] = {[&] { return ::close(::open(lockName.c_str(), O_CREAT | O_WRONLY, 0644)); },
                                           [&] { return ::fchmod(::open(lockName.c_str(), O_CREAT | O_WRONLY, 0), 0666); },
                                           [&] { return ::symlink("elsewhere", lockName.c_str()); },
                                           [&] { return ::mkfifo(lockName.c_str(), 0666); }};
    for (const auto& plant : plants) {
        GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0600);
        ASSERT_EQ(::chown(store::UserFileName.c_str(), 61001, 61001), 0);
        ::unlink(lockName.c_str());
        ASSERT_EQ(AsUser(61002, 61002, {61002}, plant), 0);
        EXPECT_EQ(AsUser(61001, 61001, {61001}, [&] { return store::AppendRecord(u"bob:1").Message() == told ? 0 : 1; }), 0);
        EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    }
    // One whose owner may not write the accounts, though its list lets the
    // owner in, could be held by that owner: it is told, not waited for.
    // A file of the owner's that others may open, linked there by another user.
    ::unlink(lockName.c_str());
    ASSERT_EQ(AsUser(61001, 61001, {61001}, [] { return ::fchmod(::open("mine", O_CREAT | O_WRONLY, 0600), 0666); }), 0);
    ASSERT_EQ(AsUser(61002, 61002, {61002}, [&] { return ::link("mine", lockName.c_str()); }), 0);
    EXPECT_EQ(AsUser(61001, 61001, {61001}, [&] {
                  return store::AppendRecord(u"bob:1").Message()
                                 == FullPath(lockName) + u" could not be opened: it has other names (hard links). Nothing was changed."
                             ? 0 : 1;
              }),
              0);
    // Its own entry may even grant it nothing: it may give itself all again.
    const passwd* stranger = ::getpwnam("nobody");
    for (const std::string list : {"u:61001:rw", "u::-,u:61001:rw"}) {
        ::unlink(lockName.c_str());
        if (stranger && AsUser(stranger->pw_uid, stranger->pw_gid, {stranger->pw_gid}, [&] {
                return ::close(::open(lockName.c_str(), O_CREAT | O_WRONLY, 0600)) == 0
                               && std::system(("setfacl -m " + list + " Quillmark.lock 2>/dev/null").c_str()) == 0 ? 0 : 1;
            }) == 0) {
            EXPECT_EQ(AsUser(61001, 61001, {61001}, [&] { return store::AppendRecord(u"bob:1").Message() == toldFor("nobody") ? 0 : 1; }), 0);
        }
    }
}

TEST_F(Permissions, AChangeThatMatchesNoLineLeavesTheFileAsItWas)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0640);
    const struct stat before = StatusOf(store::UserFileName);
    ::usleep(20000);
    EXPECT_EQ(Replace(u"ann:wrong", u"ann:2"), RewriteOutcome::Unchanged);
    const struct stat after = StatusOf(store::UserFileName);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    EXPECT_FALSE(TemporaryFileLeft());
}
