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
#include <optional>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<AppendOutcome>;

Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

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

// How far a failed append had come: its line still led by NUL, or whole.
enum class LineState { Unfinished, Whole };

// Undoes a failed append: the file goes back to its old size.
Result Undo(files::FileHandle file, std::uint64_t size, const FileError& error, LineState line)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    const FileError named = error.Named(UserFileName);
    auto cut = fileSystem.Truncate(file, size);
    fileSystem.Close(file);
    if (cut.Ok())
        return {AppendOutcome::Failed, NothingChanged(named)};
    // The whole line stays: the account is there, though perhaps not yet on disk.
    if (line == LineState::Whole) {
        try {
            return {AppendOutcome::Failed, ChangedButNotSaved(named), true};
        } catch (const std::bad_alloc&) {
            return Result::Lasting(AppendOutcome::Failed, OutOfMemoryAfterTheChange(), true);
        }
    }
    return {AppendOutcome::Failed, Describe(named) + u"; " + Describe(cut.Error().Named(UserFileName))
                                       + u". The end of the file may hold an unfinished line, which matches no account"
                                         u" and is removed by the next account created."};
}

// Whatever kills the process or stops the machine, no moment leaves a line
// that a key can match other than the whole record: until its last write the
// line starts with NUL, which no key holds. `made` is given the file's
// identity where this call creates it.
Result WriteInPlace(const NewLine& line, const files::FileLock& lock,
                    files::FileInfo* made = nullptr)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(UserFileName, files::OpenMode::CreateOrKeep);
    if (!opened.Ok())
        return Failed(opened.Error().Named(UserFileName));
    const files::FileHandle file = opened.Value();
    auto info = fileSystem.Examine(file);
    if (made) {
        // Made under the lock, so the name still holds it if the handle cannot tell.
        auto identity = info.Ok() ? info : files::ExamineFile(UserFileName);
        if (identity.Ok())
            *made = identity.Value();
    }
    if (!info.Ok() || !info.Value().regular) {
        fileSystem.Close(file);
        if (!info.Ok())
            return Failed(info.Error().Named(UserFileName));
        return {AppendOutcome::Failed, NothingChanged(UserFileNotRegular())};
    }
    // Its owner keeps reading and writing it whatever the umask: a first
    // account must not leave a file that refuses the second.
    if (const unsigned mode = info.Value().mode; made && (mode & 0600) != 0600) {
        if (auto set = fileSystem.SetMode(file, mode | 0600); !set.Ok()) {
            fileSystem.Close(file);
            return Failed(set.Error().Named(UserFileName));
        }
    }
    const std::uint64_t size = info.Value().size;
    const std::string placeholder = line.Placeholder();
    // A lock file removed by hand lets another copy write at the same end.
    files::FileStatus status = lock.StillHeld();
    if (status.Ok())
        status = fileSystem.SeekToEnd(file);
    if (status.Ok())
        status = fileSystem.Write(file, placeholder.data(), placeholder.size());
    if (status.Ok())
        status = fileSystem.Sync(file);
    if (status.Ok())
        status = lock.StillHeld();
    if (status.Ok())
        status = fileSystem.WriteAt(file, size + line.leading.size(), line.record.data(), line.firstCharacterSize);
    if (!status.Ok())
        return Undo(file, size, status.Error(), LineState::Unfinished);
    if (status = fileSystem.Sync(file); !status.Ok())
        return Undo(file, size, status.Error(), LineState::Whole);
    // A close that fails after the save loses nothing.
    fileSystem.Close(file);
    // The file's name may not be on disk yet: this copy made it, or a run
    // killed before its folder save, or an editor saving through a new name.
    if (auto saved = SaveFolderEntry(); saved.GetOutcome() != ReplaceOutcome::Done)
        return saved.As(AppendOutcome::Failed);
    return {AppendOutcome::Written};
}

// Nothing where the line is gone, else the failure to tell.
std::optional<Result> CutUnfinishedLine(std::uint64_t lineStart)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(UserFileName, files::OpenMode::CreateOrKeep);
    if (!opened.Ok())
        return Failed(opened.Error().Named(UserFileName));
    const files::FileStatus cut = fileSystem.Truncate(opened.Value(), lineStart);
    const files::FileStatus saved = cut.Ok() ? fileSystem.Sync(opened.Value()) : cut;
    fileSystem.Close(opened.Value());
    if (!cut.Ok())
        return Failed(cut.Error().Named(UserFileName));
    if (!saved.Ok())
        return Result{AppendOutcome::Failed, OnlyUnfinishedLineRemoved(NothingChanged(saved.Error().Named(UserFileName)))};
    return std::nullopt;
}

// A last line without its end, an odd last byte of a UTF-16 file: only a
// copy can add a line after them and keep every byte in place. An end written
// in place may reach the disk after the file's new length, leaving the last
// account ending in a NUL after a power cut.
Result AppendByCopy(const Record& key, const files::FileLock& lock)
{
    LineChanges changes;
    changes.appended = &key;
    auto result = ReplaceSafely(changes, lock);
    if (result.GetOutcome() == ReplaceOutcome::Done)
        return {AppendOutcome::Written};
    return result.As(AppendOutcome::Failed);
}

// `checked`: the file holds no equal line, or there was no file to hold one.
// `made`: the file this copy created under the lock, if it did.
Result AppendLocked(const Record& key, Duplicates duplicates, bool& checked,
                    const files::FileLock& lock, files::FileInfo& made)
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
                            lock, info.Value().exists ? nullptr : &made);
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
        if (auto failed = CutUnfinishedLine(tail.Value().lastLineStart))
            return *failed;
        Result result = AppendLocked(key, Duplicates::Allow, checked, lock, made);
        if (result.GetOutcome() == AppendOutcome::Failed && !result.UserFileChanged())
            return {AppendOutcome::Failed, OnlyUnfinishedLineRemoved(result.Message())};
        return result;
    }
    const TextEncoding encoding = reader.Encoding();
    const bool lastLineEnds = EndForLastLine(tail.Value().lastUnit, false, tail.Value().convention, encoding).empty();
    if (tail.Value().oddByte || !lastLineEnds)
        return AppendByCopy(key, lock);
    return WriteInPlace(NewLineFor(key, encoding, {}, EndForNewLine(tail.Value().convention, encoding)), lock);
}

// Only under the lock, and only the very file this copy made: another
// user's new file is never removed by name.
void RemoveIfMadeAndEmpty(const files::FileInfo& made)
{
    if (!made.exists)
        return;
    auto info = files::ExamineFile(UserFileName);
    if (info.Ok() && info.Value().SameFileAs(made) && info.Value().regular && info.Value().size == 0)
        files::RemoveFile(UserFileName);
}

Result Append(const std::u16string& key, Duplicates duplicates, bool& checked)
{
    std::u16string why;
    const std::optional<Record> record = Record::Admit(key, why);
    if (!record)
        return {AppendOutcome::Failed, NothingChanged(why)};
    const auto recovered = RecoverUserFile();
    if (recovered.GetOutcome() == RecoveryOutcome::Failed)
        return {AppendOutcome::Failed, NothingChanged(recovered.Message())};
    if (recovered.GetOutcome() == RecoveryOutcome::Unsaved)
        return recovered.As(AppendOutcome::Failed);
    auto before = files::ExamineFile(UserFileName);
    if (!before.Ok())
        return Failed(before.Error());
    // Refused before the lock, which would open the file for writing.
    if (before.Value().exists) {
        if (auto why = WhyUnchangeable(before.Value()))
            return {AppendOutcome::Failed, NothingChanged(*why)};
    }
    auto lock = files::FileLock::Acquire(UserFileName, LockPatience);
    if (!lock.Ok())
        return Failed(lock.Error());
    Result result{AppendOutcome::Failed};
    files::FileInfo made;
    try {
        result = AppendLocked(*record, duplicates, checked, lock.Value(), made);
    } catch (const std::bad_alloc&) {
        RemoveIfMadeAndEmpty(made);
        throw;
    }
    // A first account that was not added leaves no file behind, empty or read-only.
    if (result.GetOutcome() != AppendOutcome::Written && !result.UserFileChanged())
        RemoveIfMadeAndEmpty(made);
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
