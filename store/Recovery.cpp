#include "store/Recovery.h"

#include "platform/files/FileOperations.h"
#include "store/UserFile.h"

namespace store {

files::FileStatus RecoverUserFile()
{
    // With a user file in place a copy left beside it is stale, whatever it is.
    auto user = files::ExamineFile(UserFileName);
    if (!user.Ok())
        return user.Error();
    if (user.Value().exists)
        return {};
    auto temporary = files::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return temporary.Error();
    // A link at the temporary name is never adopted: it could name any file.
    // Nor is a copy that another user could have planted in a shared folder.
    const files::FileInfo& left = temporary.Value();
    if (!left.exists || !left.regular || left.links != 1 || left.owner != files::CurrentFileSystem().ProcessOwner())
        return {};
    auto renamed = files::RenameFile(TemporaryFileName, UserFileName, files::RenameMode::KeepExisting);
    if (!renamed.Ok()) {
        // Another copy recovered it first, or a new user file stands there now.
        if (renamed.Error().IsTaken() || renamed.Error().IsMissing())
            return {};
        return renamed;
    }
    return files::SyncFolder();
}

} // namespace store
