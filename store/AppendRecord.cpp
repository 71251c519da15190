#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextReader.h"
#include "store/Messages.h"
#include "store/LineEnds.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/Recovery.h"
#include "store/UserFile.h"
#include "store/SafeReplace.h"
#include "store/Unchangeable.h"
#include "store/UserFileTail.h"

#include <new>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<AppendOutcome>;

Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

enum class Creation { Existed, CreatedNow };

// The bytes of one new line, written in two steps: first with a NUL in place
// of the record's first character, then that character over it.
struct NewLine {
    std::string leading;  // a byte-order mark for an empty file
    std::string record;
    std::size_t firstCharacterSize = 0;
    std::string end;

    std::string Placeholder() const
    {
        return leading + std::string(firstCharacterSize, '\0') + record.substr(firstCharacterSize) + end;
    }
};

NewLine NewLineFor(const Record& key, TextEncoding encoding, std::string leading, std::string end)
{
    return NewLine{std::move(leading), key.Bytes(encoding), key.FirstCharacterSize(encoding), std::move(end)};
}

// Undoes a failed append: the file goes back to its old size.
Result Undo(files::FileHandle file, std::uint64_t size, const FileError& error)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    std::u16string message = NothingChanged(error.Named(UserFileName));
    if (auto cut = fileSystem.Truncate(file, size); !cut.Ok())
        message = Describe(error.Named(UserFileName)) + u"; " + Describe(cut.Error().Named(UserFileName))
                  + u". The end of the file may hold an unfinished line, which matches no account"
                    u" and is removed by the next account created.";
    fileSystem.Close(file);
    return {AppendOutcome::Failed, message};
}

// Whatever kills the process or stops the machine, no moment leaves a line
// that a key can match other than the whole record: until its last write the
// line starts with NUL, which no key holds.
Result WriteInPlace(const NewLine& line, Creation creation)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(UserFileName, files::OpenMode::CreateOrKeep);
    if (!opened.Ok())
        return Failed(opened.Error().Named(UserFileName));
    const files::FileHandle file = opened.Value();
    auto info = fileSystem.Examine(file);
    if (!info.Ok() || !info.Value().regular) {
        fileSystem.Close(file);
        if (!info.Ok())
            return Failed(info.Error().Named(UserFileName));
        return {AppendOutcome::Failed, NothingChanged(UserFileNotRegular())};
    }
    const std::uint64_t size = info.Value().size;
    const std::string placeholder = line.Placeholder();
    files::FileStatus status = fileSystem.SeekToEnd(file);
    if (status.Ok())
        status = fileSystem.Write(file, placeholder.data(), placeholder.size());
    if (status.Ok())
        status = fileSystem.Sync(file);
    if (status.Ok())
        status = fileSystem.WriteAt(file, size + line.leading.size(), line.record.data(), line.firstCharacterSize);
    if (status.Ok())
        status = fileSystem.Sync(file);
    if (!status.Ok())
        return Undo(file, size, status.Error());
    // A close that fails after the save loses nothing.
    fileSystem.Close(file);
    if (creation == Creation::CreatedNow) {
        if (auto saved = SaveFolderEntry(); saved.GetOutcome() != ReplaceOutcome::Done)
            return saved.As(AppendOutcome::Failed);
    }
    return {AppendOutcome::Written};
}

files::FileStatus CutUnfinishedLine(std::uint64_t lineStart)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(UserFileName, files::OpenMode::CreateOrKeep);
    if (!opened.Ok())
        return opened.Error().Named(UserFileName);
    files::FileStatus status = fileSystem.Truncate(opened.Value(), lineStart);
    if (status.Ok())
        status = fileSystem.Sync(opened.Value());
    fileSystem.Close(opened.Value());
    if (!status.Ok())
        return status.Error().Named(UserFileName);
    return {};
}

// A last line without its end, an odd last byte of a UTF-16 file: only a
// copy can add a line after them and keep every byte in place. An end written
// in place may reach the disk after the file's new length, leaving the last
// account ending in a NUL after a power cut.
Result AppendByCopy(const Record& key)
{
    LineChanges changes;
    changes.appended = &key;
    auto result = ReplaceSafely(changes);
    if (result.GetOutcome() == ReplaceOutcome::Done)
        return {AppendOutcome::Written};
    return result.As(AppendOutcome::Failed);
}

// `checked`: the file holds no equal line, or there was no file to hold one.
Result AppendLocked(const Record& key, Duplicates duplicates, Creation creation, bool& checked)
{
    // Examined again under the lock: the file may have changed while this copy waited.
    auto info = files::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    if (info.Value().exists) {
        if (auto why = WhyUnchangeable(info.Value()))
            return {AppendOutcome::Failed, NothingChanged(*why)};
    }
    if (!info.Value().exists || info.Value().size == 0) {
        checked = true;
        const TextEncoding encoding = TextEncoding::Utf8WithMark;
        return WriteInPlace(NewLineFor(key, encoding, std::string(files::MarkOf(encoding)), EndForNewFile(encoding)),
                            creation);
    }
    // A check that cannot read the file says so in the words of a scan.
    const auto checkFailed = [duplicates](const FileError& error) {
        return duplicates == Duplicates::Refuse ? Result{AppendOutcome::NotChecked, SearchFailure(error)} : Failed(error);
    };
    auto opened = files::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return checkFailed(opened.Error());
    files::TextReader& reader = opened.Value();
    if (duplicates == Duplicates::Refuse) {
        auto found = FindRecord(reader, key);
        if (!found.Ok())
            return checkFailed(found.Error());
        if (found.Value())
            return {AppendOutcome::AlreadyPresent};
    }
    checked = true;
    auto tail = ReadTail(reader);
    if (!tail.Ok())
        return Failed(tail.Error());
    // Closed first: Windows does not replace or cut a file that is still open.
    if (auto closed = reader.Close(); !closed.Ok())
        return Failed(closed.Error());
    if (tail.Value().unfinished) {
        if (auto cut = CutUnfinishedLine(tail.Value().lastLineStart); !cut.Ok())
            return Failed(cut.Error());
        return AppendLocked(key, Duplicates::Allow, Creation::Existed, checked);
    }
    const TextEncoding encoding = reader.Encoding();
    const bool lastLineEnds = EndForLastLine(tail.Value().lastUnit, false, tail.Value().convention, encoding).empty();
    if (tail.Value().oddByte || !lastLineEnds)
        return AppendByCopy(key);
    return WriteInPlace(NewLineFor(key, encoding, {}, EndForNewLine(tail.Value().convention, encoding)), creation);
}

void RemoveIfEmpty()
{
    auto info = files::ExamineFile(UserFileName);
    if (info.Ok() && info.Value().exists && info.Value().regular && info.Value().size == 0)
        files::RemoveFile(UserFileName);
}

Result Append(const std::u16string& key, Duplicates duplicates, bool& checked)
{
    std::u16string why;
    const std::optional<Record> record = Record::Admit(key, why);
    if (!record)
        return {AppendOutcome::Failed, NothingChanged(why)};
    if (auto recovered = RecoverUserFile(); !recovered.Ok())
        return Failed(recovered.Error());
    auto before = files::ExamineFile(UserFileName);
    if (!before.Ok())
        return Failed(before.Error());
    // Refused before the lock, which would open the file for writing.
    if (before.Value().exists) {
        if (auto why = WhyUnchangeable(before.Value()))
            return {AppendOutcome::Failed, NothingChanged(*why)};
    }
    const Creation creation = before.Value().exists ? Creation::Existed : Creation::CreatedNow;
    auto lock = files::FileLock::Acquire(UserFileName, LockPatience);
    if (!lock.Ok()) {
        // Where no copy can hold a lock, none waits on the file that locking made.
        if (!lock.Error().IsBusy() && creation == Creation::CreatedNow)
            RemoveIfEmpty();
        return Failed(lock.Error());
    }
    Result result{AppendOutcome::Failed};
    try {
        result = AppendLocked(*record, duplicates, creation, checked);
    } catch (const std::bad_alloc&) {
        if (creation == Creation::CreatedNow)
            RemoveIfEmpty();
        throw;
    }
    // A first account that was not added leaves no file behind, empty or read-only.
    if (result.GetOutcome() != AppendOutcome::Written && !result.UserFileChanged() && creation == Creation::CreatedNow)
        RemoveIfEmpty();
    return result;
}

// An append that failed before its check answered answers as the check
// alone would have: a duplicate or an unreadable file is told first.
Result AppendAnswering(const std::u16string& key, Duplicates duplicates)
{
    bool checked = false;
    Result result = Append(key, duplicates, checked);
    if (duplicates == Duplicates::Refuse && !checked && result.GetOutcome() == AppendOutcome::Failed
        && !result.UserFileChanged()) {
        const auto scan = ScanUserFile(key);
        if (scan.GetOutcome() == ScanOutcome::Found)
            return {AppendOutcome::AlreadyPresent};
        if (scan.GetOutcome() == ScanOutcome::Failed)
            return scan.As(AppendOutcome::NotChecked);
    }
    return result;
}

} // namespace

StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates)
{
    try {
        return AppendAnswering(key, duplicates);
    } catch (const std::bad_alloc&) {
        return Result::Lasting(AppendOutcome::Failed, OutOfMemoryNothingChanged());
    }
}

} // namespace store
