#include "store/Recovery.h"

#include "platform/FileLock.h"
#include "platform/FileOperations.h"
#include "store/UserFile.h"

#include <cerrno>

namespace store {

platform::FileStatus RecoverUserFile()
{
    auto temporary = platform::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return temporary.Error();
    // A link at the temporary name is never adopted: it could name any file.
    if (!temporary.Value().exists || !temporary.Value().regular)
        return {};
    auto user = platform::ExamineFile(UserFileName);
    if (!user.Ok())
        return user.Error();
    if (user.Value().exists)
        return {};
    auto renamed = platform::RenameFile(TemporaryFileName, UserFileName, platform::RenameMode::KeepExisting);
    if (!renamed.Ok()) {
        // Another copy recovered it first, or a new user file stands there now.
        if (renamed.Error().Code() == EEXIST || renamed.Error().IsMissing())
            return {};
        return renamed;
    }
    return platform::SyncFolder();
}

} // namespace store
