#include "store/ChangeStart.h"

#include "platform/files/FileOperations.h"
#include "store/Messages.h"
#include "store/Recovery.h"
#include "store/Unchangeable.h"
#include "store/UserFile.h"

namespace store {
namespace {

using Result = StoreResult<StartOutcome>;

Result Missing() { return {StartOutcome::Missing, NothingChanged(UserFileMissing())}; }

} // namespace

Result ExamineUserFile(WithoutUserFile withoutUserFile, files::FileInfo& standing)
{
    auto info = files::ExamineFile(UserFileName);
    if (!info.Ok())
        return {StartOutcome::Failed, NothingChanged(info.Error())};
    standing = info.Value();
    if (!standing.exists)
        return withoutUserFile == WithoutUserFile::Missing ? Missing() : Result{StartOutcome::Ready};
    if (auto why = WhyUnchangeable(standing))
        return {StartOutcome::Failed, NothingChanged(*why)};
    return {StartOutcome::Ready};
}

ChangeStart StartChange(WithoutUserFile withoutUserFile)
{
    const auto recovered = RecoverUserFile();
    if (recovered.GetOutcome() == RecoveryOutcome::Failed)
        return {{StartOutcome::Failed, NothingChanged(recovered.Message())}, std::nullopt};
    if (recovered.GetOutcome() == RecoveryOutcome::Unsaved)
        return {recovered.As(StartOutcome::Failed), std::nullopt};
    // Refused before the lock, which would open the file for writing.
    files::FileInfo before;
    if (Result examined = ExamineUserFile(withoutUserFile, before); examined.GetOutcome() != StartOutcome::Ready)
        return {examined, std::nullopt};
    // Removed while this copy waited: a change makes no user file.
    const files::LockCreation creation = withoutUserFile == WithoutUserFile::Missing
                                             ? files::LockCreation::RequireExisting
                                             : files::LockCreation::CreateIfMissing;
    auto lock = files::FileLock::Acquire(UserFileName, LockPatience, creation);
    if (!lock.Ok() && lock.Error().IsMissing() && withoutUserFile == WithoutUserFile::Missing)
        return {Missing(), std::nullopt};
    if (!lock.Ok())
        return {{StartOutcome::Failed, NothingChanged(lock.Error())}, std::nullopt};
    return {{StartOutcome::Ready}, std::move(lock.Value())};
}

} // namespace store
