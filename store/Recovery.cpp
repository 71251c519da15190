#include "store/Recovery.h"

#include "platform/FileOperations.h"
#include "store/UserFile.h"

namespace store {
namespace {

bool LeftCopyOnly(const platform::FileInfo& user, const platform::FileInfo& temporary)
{
    // A link at the temporary name is never adopted: it could name any file.
    return !user.exists && temporary.exists && temporary.regular;
}

} // namespace

platform::FileStatus RecoverUserFile(platform::FolderLock& lock)
{
    auto user = platform::ExamineFile(UserFileName);
    if (!user.Ok())
        return user.Error();
    if (user.Value().exists)
        return {};
    auto temporary = platform::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return temporary.Error();
    if (!LeftCopyOnly(user.Value(), temporary.Value()))
        return {};
    if (auto renamed = platform::RenameFile(TemporaryFileName, UserFileName); !renamed.Ok())
        return renamed;
    return lock.SyncFolder();
}

platform::FileStatus RecoverUserFileIfLeft()
{
    auto temporary = platform::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return temporary.Error();
    if (!temporary.Value().exists)
        return {};
    auto lock = platform::FolderLock::Acquire(LockPatience);
    if (!lock.Ok())
        return lock.Error();
    return RecoverUserFile(lock.Value());
}

} // namespace store
