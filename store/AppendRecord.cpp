#include "platform/FileOperations.h"
#include "platform/TextReader.h"
#include "store/Messages.h"
#include "store/RecordKey.h"
#include "store/RecordSearch.h"
#include "store/Recovery.h"
#include "store/UserFile.h"
#include "store/UserFileReplacement.h"

namespace store {
namespace {

using platform::FileError;
using platform::TextEncoding;
using Result = StoreResult<AppendOutcome>;

Result NotOpened(const FileError& error) { return {AppendOutcome::NotOpened, NothingChanged(error)}; }
Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

// The bytes that go at the end of the file: an end for a last line that has
// none, the record, and its own end, which is the file's convention.
struct Addition {
    std::string bytes;
    TextEncoding encoding;
};

// What the first line ends with, or LF where no line has an end yet.
platform::FileResult<std::string> ConventionalLineEnd(TextEncoding encoding)
{
    auto opened = platform::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return opened.Error();
    platform::TextLine first;
    auto read = opened.Value().ReadRawLine(first);
    if (!read.Ok())
        return read.Error();
    if (auto closed = opened.Value().Close(); !closed.Ok())
        return closed.Error();
    return first.end.empty() ? platform::EncodeText(u"\n", encoding) : first.end;
}

platform::FileResult<Addition> AdditionFor(platform::TextReader& reader, const std::u16string& key)
{
    const std::uint64_t content = reader.Info().size - reader.Mark().size();
    if (content == 0) {
        // An empty file takes the encoding of a new one; a mark alone keeps its own.
        const TextEncoding encoding = reader.Info().size == 0 ? TextEncoding::Utf8WithMark : reader.Encoding();
        const std::string mark(reader.Info().size == 0 ? platform::MarkOf(encoding) : "");
        return Addition{mark + platform::EncodeText(key + u"\n", encoding), encoding};
    }
    const TextEncoding encoding = reader.Encoding();
    const std::size_t unit = platform::CodeUnitSize(encoding);
    auto lastUnit = reader.ReadLastBytes(unit);
    if (!lastUnit.Ok())
        return lastUnit.Error();
    auto convention = ConventionalLineEnd(encoding);
    if (!convention.Ok())
        return convention.Error();
    std::string bytes;
    if (lastUnit.Value() == platform::EncodeText(u"\r", encoding))
        bytes = platform::EncodeText(u"\r\n", encoding);  // a lone CR would join a LF into one end
    else if (lastUnit.Value() != platform::EncodeText(u"\n", encoding))
        bytes = convention.Value();
    return Addition{bytes + platform::EncodeText(key, encoding) + convention.Value(), encoding};
}

// Writes at the end in one write and saves it; whatever fails, the file is
// cut back to its old size. Once saved, the record is there to stay.
Result WriteAtEnd(const std::string& name, const std::string& bytes)
{
    platform::FileSystem& fileSystem = platform::CurrentFileSystem();
    auto opened = fileSystem.Open(name, platform::OpenMode::CreateOrKeep);
    if (!opened.Ok())
        return NotOpened(opened.Error().Named(name));
    const platform::FileHandle file = opened.Value();
    auto info = fileSystem.Examine(file);
    platform::FileStatus status = info.Ok() ? fileSystem.SeekToEnd(file) : platform::FileStatus(info.Error());
    if (status.Ok())
        status = fileSystem.Write(file, bytes.data(), bytes.size());
    if (status.Ok())
        status = fileSystem.Sync(file);
    if (status.Ok()) {
        // A close that fails after the save loses nothing.
        fileSystem.Close(file);
        return {AppendOutcome::Written};
    }
    std::u16string message = NothingChanged(status.Error().Named(name));
    if (info.Ok()) {
        if (auto cut = fileSystem.Truncate(file, info.Value().size); !cut.Ok())
            message = Widen(status.Error().Named(name).Message() + "; " + cut.Error().Named(name).Message()
                            + ". The end of the file may hold part of the new line.");
    }
    fileSystem.Close(file);
    return {AppendOutcome::Failed, message};
}

Result CreateWithRecord(platform::FolderLock& lock, const std::u16string& key)
{
    const TextEncoding encoding = TextEncoding::Utf8WithMark;
    const std::string bytes = std::string(platform::MarkOf(encoding)) + platform::EncodeText(key + u"\n", encoding);
    Result written = WriteAtEnd(UserFileName, bytes);
    if (written.GetOutcome() != AppendOutcome::Written) {
        platform::RemoveFile(UserFileName);
        return written;
    }
    if (auto synced = lock.SyncFolder(); !synced.Ok())
        return {AppendOutcome::Failed, ChangedButNotSaved(synced.Error()), true};
    return written;
}

// An odd last byte of a UTF-16 file must stay last, which only a copy can do.
Result AppendByCopy(platform::FolderLock& lock, const std::u16string& key, Duplicates duplicates)
{
    Replacement replacement;
    replacement.appended = key;
    replacement.refuseDuplicate = duplicates == Duplicates::Refuse;
    auto result = ReplaceLockedUserFile(replacement, lock);
    switch (result.GetOutcome()) {
    case ReplaceOutcome::Done: return {AppendOutcome::Written};
    case ReplaceOutcome::AlreadyPresent: return {AppendOutcome::AlreadyPresent};
    case ReplaceOutcome::Missing:
    case ReplaceOutcome::NotOpened: return {AppendOutcome::NotOpened, result.Message()};
    case ReplaceOutcome::Failed: break;
    }
    return {AppendOutcome::Failed, result.Message(), result.UserFileChanged()};
}

Result AppendLocked(platform::FolderLock& lock, const std::u16string& key, Duplicates duplicates)
{
    auto info = platform::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    if (!info.Value().exists)
        return CreateWithRecord(lock, key);
    if (auto why = WhyUnchangeable(info.Value()))
        return {AppendOutcome::NotOpened, NothingChanged(*why)};

    auto opened = platform::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return NotOpened(opened.Error());
    platform::TextReader& reader = opened.Value();
    const std::uint64_t content = reader.Info().size - reader.Mark().size();
    if (content % platform::CodeUnitSize(reader.Encoding()) != 0) {
        // Closed first: Windows does not replace a file that is still open.
        if (auto closed = reader.Close(); !closed.Ok())
            return Failed(closed.Error());
        return AppendByCopy(lock, key, duplicates);
    }
    if (duplicates == Duplicates::Refuse) {
        auto found = FindRecord(reader, key);
        if (!found.Ok())
            return Failed(found.Error());
        if (found.Value())
            return {AppendOutcome::AlreadyPresent};
    }
    auto addition = AdditionFor(reader, key);
    if (!addition.Ok())
        return Failed(addition.Error());
    if (auto closed = reader.Close(); !closed.Ok())
        return Failed(closed.Error());
    return WriteAtEnd(UserFileName, addition.Value().bytes);
}

} // namespace

StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates)
{
    if (auto refusal = RefusalOf(key))
        return {AppendOutcome::Failed, NothingChanged(*refusal)};
    auto lock = platform::FolderLock::Acquire(LockPatience);
    if (!lock.Ok())
        return lock.Error().IsBusy() ? Failed(lock.Error()) : NotOpened(lock.Error());
    if (auto recovered = RecoverUserFile(lock.Value()); !recovered.Ok())
        return Failed(recovered.Error());
    return AppendLocked(lock.Value(), key, duplicates);
}

} // namespace store
