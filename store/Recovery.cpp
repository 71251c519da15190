#include "store/Recovery.h"

#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "store/UserFile.h"

#include <cerrno>

namespace store {

files::FileStatus RecoverUserFile()
{
    auto temporary = files::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return temporary.Error();
    // A link at the temporary name is never adopted: it could name any file.
    if (!temporary.Value().exists || !temporary.Value().regular)
        return {};
    auto user = files::ExamineFile(UserFileName);
    if (!user.Ok())
        return user.Error();
    if (user.Value().exists)
        return {};
    auto renamed = files::RenameFile(TemporaryFileName, UserFileName, files::RenameMode::KeepExisting);
    if (!renamed.Ok()) {
        // Another copy recovered it first, or a new user file stands there now.
        if (renamed.Error().Code() == EEXIST || renamed.Error().IsMissing())
            return {};
        return renamed;
    }
    return files::SyncFolder();
}

} // namespace store
