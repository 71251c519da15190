#include "store/UserFile.h"
#include "store/UserFileReplacement.h"

namespace store {
namespace {

StoreResult<RewriteOutcome> Rewrite(const Replacement& replacement)
{
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

} // namespace

StoreResult<RewriteOutcome> RewriteUserFile(const LineDecision& decide)
{
    Replacement replacement;
    replacement.decide = &decide;
    return Rewrite(replacement);
}

StoreResult<RewriteOutcome> RewriteUserFile(const std::u16string& key, const LineDecision& decide)
{
    Replacement replacement;
    replacement.decide = &decide;
    replacement.only = &key;
    return Rewrite(replacement);
}

} // namespace store
