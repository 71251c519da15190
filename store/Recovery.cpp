#include "store/Recovery.h"

#include "platform/files/FileOperations.h"
#include "store/Messages.h"
#include "store/UserFile.h"

namespace store {

namespace {

StoreResult<RecoveryOutcome> Failed(const files::FileError& error)
{
    return {RecoveryOutcome::Failed, FailureSentence(error)};
}

} // namespace

StoreResult<RecoveryOutcome> RecoverUserFile()
{
    // With a user file in place a copy left beside it is stale, whatever it is.
    auto user = files::ExamineFile(UserFileName);
    if (!user.Ok())
        return Failed(user.Error());
    if (user.Value().exists)
        return {RecoveryOutcome::Done};
    auto temporary = files::ExamineFile(TemporaryFileName);
    if (!temporary.Ok())
        return Failed(temporary.Error());
    // A link at the temporary name is never adopted: it could name any file.
    // Nor is a copy that another user could have planted in a shared folder.
    const files::FileInfo& left = temporary.Value();
    if (!left.exists || !left.regular || left.links != 1 || left.owner != files::CurrentFileSystem().ProcessOwner())
        return {RecoveryOutcome::Done};
    auto renamed = files::RenameFile(TemporaryFileName, UserFileName, files::RenameMode::KeepExisting);
    if (!renamed.Ok()) {
        // Another copy recovered it first, or a new user file stands there now.
        if (renamed.Error().IsTaken() || renamed.Error().IsMissing())
            return {RecoveryOutcome::Done};
        return Failed(renamed.Error());
    }
    if (auto saved = files::SyncFolder(); !saved.Ok())
        return {RecoveryOutcome::Unsaved, PutBackButNotSaved(saved.Error())};
    return {RecoveryOutcome::Done};
}

} // namespace store
