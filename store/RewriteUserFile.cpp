#include "platform/files/FileLock.h"
#include "platform/files/TextReader.h"
#include "store/ChangeStart.h"
#include "store/Messages.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/UserFile.h"
#include "store/SafeReplace.h"

#include <new>

namespace store {
namespace {

using Result = StoreResult<RewriteOutcome>;

Result Failed(const files::FileError& error) { return {RewriteOutcome::Failed, NothingChanged(error)}; }

// A change that cannot start: there are no accounts to change, or it failed.
Result Stopped(const StoreResult<StartOutcome>& start)
{
    return start.As(start.GetOutcome() == StartOutcome::Missing ? RewriteOutcome::Missing : RewriteOutcome::Failed);
}

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

Result RewriteLocked(const Record& key, const Record& replacement, const files::FileLock& lock)
{
    // Examined again under the lock: the file may have changed while this copy
    // waited, or been removed by hand since the lock looked.
    files::FileInfo standing;
    if (auto examined = ExamineUserFile(WithoutUserFile::Missing, standing);
        examined.GetOutcome() != StartOutcome::Ready)
        return Stopped(examined);
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
    auto result = ReplaceSafely(changes, lock);
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
    const ChangeStart start = StartChange(WithoutUserFile::Missing);
    if (start.result.GetOutcome() != StartOutcome::Ready)
        return Stopped(start.result);
    return RewriteLocked(*oldRecord, *newRecord, *start.lock);
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
