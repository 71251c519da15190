#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextReader.h"
#include "store/Messages.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/Recovery.h"
#include "store/UserFile.h"
#include "store/SafeReplace.h"
#include "store/Unchangeable.h"

#include <new>

namespace store {
namespace {

using Result = StoreResult<RewriteOutcome>;

Result Failed(const files::FileError& error) { return {RewriteOutcome::Failed, NothingChanged(error)}; }

// Where the first line equal to the key begins, if any: a change that changes
// no line writes nothing, and the copy reads on from there.
files::FileResult<std::optional<std::uint64_t>> FirstKeyAt(const Record& key)
{
    auto opened = files::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return opened.Error();
    auto found = FindFirstRecord(opened.Value(), key);
    if (!found.Ok())
        return found.Error();
    if (auto closed = opened.Value().Close(); !closed.Ok())
        return closed.Error();
    return found.Value();
}

Result RewriteLocked(const Record& key, const Record& replacement)
{
    // Examined again under the lock: the file may have changed while this copy waited.
    auto info = files::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    // Removed by hand since the lock looked: there are no accounts to change.
    if (!info.Value().exists)
        return {RewriteOutcome::Missing, NothingChanged(UserFileMissing())};
    if (auto why = WhyUnchangeable(info.Value()))
        return {RewriteOutcome::Failed, NothingChanged(*why)};
    auto held = FirstKeyAt(key);
    if (!held.Ok())
        return Failed(held.Error());
    if (!held.Value())
        return {RewriteOutcome::Unchanged};
    if (replacement.Text() == key.Text())
        return {RewriteOutcome::Done};
    LineChanges changes;
    changes.key = &key;
    changes.replacement = &replacement;
    changes.firstKeyAt = *held.Value();
    auto result = ReplaceSafely(changes);
    if (result.GetOutcome() == ReplaceOutcome::Done)
        return {RewriteOutcome::Done};
    return result.As(RewriteOutcome::Failed);
}

Result Rewrite(const std::u16string& key, const std::u16string& replacement)
{
    // The store never trusts its caller with the file's safety.
    std::u16string why;
    const std::optional<Record> oldRecord = Record::Admit(key, why);
    const std::optional<Record> newRecord = oldRecord ? Record::Admit(replacement, why) : std::nullopt;
    if (!newRecord)
        return {RewriteOutcome::Failed, NothingChanged(why)};
    const auto recovered = RecoverUserFile();
    if (recovered.GetOutcome() == RecoveryOutcome::Failed)
        return {RewriteOutcome::Failed, NothingChanged(recovered.Message())};
    if (recovered.GetOutcome() == RecoveryOutcome::Unsaved)
        return recovered.As(RewriteOutcome::Failed);
    auto info = files::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    if (!info.Value().exists)
        return {RewriteOutcome::Missing, NothingChanged(UserFileMissing())};
    // Refused before the lock, which would open the file for writing.
    if (auto why = WhyUnchangeable(info.Value()))
        return {RewriteOutcome::Failed, NothingChanged(*why)};
    // Removed while this copy waited: a change makes no user file.
    auto lock = files::FileLock::Acquire(UserFileName, LockPatience, files::LockCreation::RequireExisting);
    if (!lock.Ok() && lock.Error().IsMissing())
        return {RewriteOutcome::Missing, NothingChanged(UserFileMissing())};
    if (!lock.Ok())
        return Failed(lock.Error());
    return RewriteLocked(*oldRecord, *newRecord);
}

} // namespace

StoreResult<RewriteOutcome> RewriteUserFile(const std::u16string& key, const std::u16string& replacement)
{
    try {
        return Rewrite(key, replacement);
    } catch (const std::bad_alloc&) {
        return Result::Lasting(RewriteOutcome::Failed, OutOfMemoryNothingChanged());
    }
}

} // namespace store
