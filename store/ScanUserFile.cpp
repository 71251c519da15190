#include "platform/files/FileLock.h"
#include "platform/files/TextReader.h"
#include "store/Messages.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/Recovery.h"
#include "store/UserFile.h"

#include <new>
#include <optional>

namespace store {
namespace {

using Result = StoreResult<ScanOutcome>;

Result Failed(const files::FileError& error)
{
    return {ScanOutcome::Failed, SearchFailure(error)};
}

// Read without the change lock: where readers keep a replacement out, they
// take their turn with it. Nothing where there is no user file.
std::optional<Result> ScanNamed(const Record& record)
{
    const files::ReadersGuard reading(UserFileName, files::ReadersRole::Reading);
    auto opened = files::TextReader::Open(UserFileName);
    if (!opened.Ok()) {
        if (opened.Error().IsMissing())
            return std::nullopt;
        return Failed(opened.Error());
    }
    files::TextReader& reader = opened.Value();
    auto found = FindRecord(reader, record);
    if (!found.Ok())
        return Failed(found.Error());
    if (auto closed = reader.Close(); !closed.Ok())
        return Failed(closed.Error());
    return Result{found.Value() ? ScanOutcome::Found : ScanOutcome::NotFound};
}

Result Scan(const std::u16string& key)
{
    std::u16string why;
    const std::optional<Record> record = Record::Admit(key, why);
    if (!record)
        return {ScanOutcome::Failed, why};
    if (std::optional<Result> scanned = ScanNamed(*record))
        return std::move(*scanned);
    const auto recovered = RecoverUserFile();
    if (recovered.GetOutcome() != RecoveryOutcome::Done)
        return recovered.As(ScanOutcome::Failed);
    if (std::optional<Result> scanned = ScanNamed(*record))
        return std::move(*scanned);
    return {ScanOutcome::Missing, UserFileMissing()};
}

} // namespace

StoreResult<ScanOutcome> ScanUserFile(const std::u16string& key)
{
    try {
        return Scan(key);
    } catch (const std::bad_alloc&) {
        return Result::Lasting(ScanOutcome::Failed, OutOfMemory());
    }
}

} // namespace store
