#include "platform/files/TextReader.h"
#include "store/Messages.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/Recovery.h"
#include "store/UserFile.h"

#include <new>

namespace store {
namespace {

using Result = StoreResult<ScanOutcome>;

Result Failed(const files::FileError& error)
{
    return {ScanOutcome::Failed, SearchFailure(error)};
}

Result ScanOpened(files::FileResult<files::TextReader> opened, const Record& record)
{
    if (!opened.Ok()) {
        if (opened.Error().IsMissing())
            return {ScanOutcome::Missing, UserFileMissing()};
        return Failed(opened.Error());
    }
    files::TextReader& reader = opened.Value();
    auto found = FindRecord(reader, record);
    if (!found.Ok())
        return Failed(found.Error());
    if (auto closed = reader.Close(); !closed.Ok())
        return Failed(closed.Error());
    return {found.Value() ? ScanOutcome::Found : ScanOutcome::NotFound};
}

Result Scan(const std::u16string& key)
{
    std::u16string why;
    const std::optional<Record> record = Record::Admit(key, why);
    if (!record)
        return {ScanOutcome::Failed, why};
    auto opened = files::TextReader::Open(UserFileName);
    if (opened.Ok() || !opened.Error().IsMissing())
        return ScanOpened(std::move(opened), *record);
    const auto recovered = RecoverUserFile();
    if (recovered.GetOutcome() != RecoveryOutcome::Done)
        return recovered.As(ScanOutcome::Failed);
    return ScanOpened(files::TextReader::Open(UserFileName), *record);
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
