#include "store/Messages.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"
#include "store/UserFileReplacement.h"

namespace store {

StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates)
{
    if (auto refusal = RefusalOf(key))
        return {AppendOutcome::Failed, NothingChanged(*refusal)};
    Replacement replacement;
    replacement.appended = key;
    replacement.refuseDuplicate = duplicates == Duplicates::Refuse;
    auto result = ReplaceUserFile(replacement);
    switch (result.GetOutcome()) {
    case ReplaceOutcome::Done: return {AppendOutcome::Written};
    case ReplaceOutcome::AlreadyPresent: return {AppendOutcome::AlreadyPresent};
    case ReplaceOutcome::Missing:
    case ReplaceOutcome::NotOpened: return {AppendOutcome::NotOpened, result.Message()};
    case ReplaceOutcome::Failed: break;
    }
    return {AppendOutcome::Failed, result.Message(), result.UserFileChanged()};
}

StoreResult<RewriteOutcome> RewriteUserFile(const LineDecision& decide)
{
    Replacement replacement;
    replacement.decide = &decide;
    auto result = ReplaceUserFile(replacement);
    switch (result.GetOutcome()) {
    case ReplaceOutcome::Done: return {RewriteOutcome::Done};
    case ReplaceOutcome::Missing: return {RewriteOutcome::NotOpened, result.Message()};
    case ReplaceOutcome::NotOpened:
    case ReplaceOutcome::AlreadyPresent:
    case ReplaceOutcome::Failed: break;
    }
    // A user file that exists but cannot be changed is a failure the user must hear of.
    return {RewriteOutcome::Failed, result.Message(), result.UserFileChanged()};
}

} // namespace store
