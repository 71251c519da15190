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

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<AppendOutcome>;

Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

// The bytes of one new line, written in two steps: first with a NUL in place
// of the record's first character, then that character over it. Made before
// the file is opened, with room to read them back: nothing that may run out
// of memory comes between the open and the close.
struct NewLine {
    std::string whole;          // a byte-order mark first for an empty file
    std::size_t firstCharacter; // where the record's first character starts
    std::size_t firstCharacterSize;
    std::string placeholder;
    std::size_t unit;           // the encoding's code unit
    std::size_t endSize;        // the bytes of the line's end
    std::string follows;        // the bytes the line is written right after, as read
    std::string readBack;       // room for the line, or a step of a backward read
};

constexpr std::size_t BackwardStep = 64 * 1024;

NewLine NewLineFor(const Record& key, TextEncoding encoding, const std::string& leading, const std::string& end,
                   const std::string& follows = {})
{
    NewLine line{leading + key.Bytes(encoding) + end, leading.size(), key.FirstCharacterSize(encoding), {},
                 files::CodeUnitSize(encoding), end.size(), follows, {}};
    line.placeholder = line.whole;
    line.placeholder.replace(line.firstCharacter, line.firstCharacterSize, line.firstCharacterSize, '\0');
    line.readBack.resize(std::max(follows.size() + line.whole.size(), BackwardStep));
    return line;
}

// How far a failed append had come: its line still led by NUL, or whole.
enum class LineState { Unfinished, Whole };

// Whether `bytes`, read from where the line starts, are what this copy wrote
// there (its placeholder, with or without its first character) or the NUL of
// a gap that a write past a cut end leaves.
bool OwnBytes(std::string_view bytes, const NewLine& line)
{
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at >= line.whole.size()
            || (bytes[at] != line.whole[at] && bytes[at] != line.placeholder[at] && bytes[at] != '\0'))
            return false;
    }
    return true;
}

// Cuts the file back to `size` where it is longer, over this copy's bytes
// only, read back just before the cut: false where another program's bytes
// follow them. A file that another program made shorter is never grown with NUL.
files::FileResult<bool> CutBackTo(files::FileHandle file, std::uint64_t size, NewLine& line)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto held = fileSystem.Examine(file);
    if (!held.Ok())
        return held.Error();
    if (held.Value().size <= size)
        return true;
    if (held.Value().size - size > line.whole.size())
        return false;
    const std::size_t length = static_cast<std::size_t>(held.Value().size - size);
    auto read = fileSystem.ReadAt(file, size, line.readBack.data(), length);
    if (!read.Ok())
        return read.Error();
    if (read.Value() != length || !OwnBytes(std::string_view(line.readBack.data(), length), line))
        return false;
    if (auto cut = fileSystem.Truncate(file, size); !cut.Ok())
        return cut.Error();
    return true;
}

// A write's or a save's error has no name of its own; the lock's keeps its.
FileError OfUserFile(const FileError& error)
{
    return error.Name().empty() ? error.Named(UserFileName) : error;
}

void LeaveNoPartOfTheLine(files::FileHandle file, std::uint64_t lineStart, NewLine& line);

// Undoes a failed append: the file goes back to its old size, and is closed
// before any message is made, which may find no memory.
Result Undo(files::FileHandle file, std::uint64_t size, const FileError& error, LineState line, NewLine& bytes)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto cut = CutBackTo(file, size, bytes);
    if (cut.Ok() && !cut.Value() && line == LineState::Unfinished)
        LeaveNoPartOfTheLine(file, size, bytes);
    fileSystem.Close(file);
    const FileError named = OfUserFile(error);
    if (cut.Ok() && cut.Value())
        return {AppendOutcome::Failed, NothingChanged(named)};
    // Lines of another program's follow an unfinished one, which matches no account.
    if (cut.Ok() && line == LineState::Unfinished)
        return {AppendOutcome::Failed, ChangedByAnotherProgram()};
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

// Whether the file held is still the one at the user file's name, and holds
// at `lineStart` the very `bytes` this copy left there, right after the bytes
// it read there: a write at the end that is not one step (Wine looks up the end,
// then writes there) may land past another program's cut, after a gap of NUL.
// Lines that another program appended after them since are theirs and take
// nothing of ours.
files::FileResult<bool> AsLeft(files::FileHandle file, std::uint64_t lineStart, const std::string& bytes,
                               NewLine& line)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto held = fileSystem.Examine(file);
    if (!held.Ok())
        return held.Error();
    auto named = files::ExamineFile(UserFileName);
    if (!named.Ok())
        return named.Error();
    if (held.Value().size < lineStart + bytes.size() || !named.Value().SameFileAs(held.Value()))
        return false;
    const std::size_t before = line.follows.size();
    if (lineStart < before)
        return false;
    auto read = fileSystem.ReadAt(file, lineStart - before, line.readBack.data(), before + bytes.size());
    if (!read.Ok())
        return read.Error();
    const std::string_view readBack(line.readBack.data(), before + bytes.size());
    return read.Value() == readBack.size() && readBack.substr(0, before) == line.follows
           && readBack.substr(before) == bytes;
}

// Where the NUL code units that end the file's first `end` bytes start: a gap
// that a write past another program's cut leaves. Read backwards in steps.
files::FileResult<std::uint64_t> GapBefore(files::FileHandle file, std::uint64_t end, NewLine& line)
{
    const std::size_t unit = line.unit;
    while (end >= unit) {
        const std::uint64_t from = end - std::min<std::uint64_t>(end / unit * unit, BackwardStep);
        const std::string_view bytes(line.readBack.data(), static_cast<std::size_t>(end - from));
        auto read = files::CurrentFileSystem().ReadAt(file, from, line.readBack.data(), bytes.size());
        if (!read.Ok())
            return read.Error();
        if (read.Value() != bytes.size())
            return end;
        for (std::size_t at = bytes.size(); at >= unit; at -= unit) {
            if (bytes.substr(at - unit, unit).find_first_not_of('\0') != std::string_view::npos)
                return from + at;
        }
        end = from;
    }
    return end;
}

// Whether the byte at `at` of the line may be this copy's: as it wrote it
// there, its first character, or the NUL of a gap.
bool OwnByte(char byte, std::size_t at, const NewLine& line)
{
    return byte == line.whole[at] || byte == line.placeholder[at] || byte == '\0';
}

// What another program left of this copy's line at `lineStart` must match no
// key: where the file ends with its bytes, they go (with a gap of NUL before a
// whole line of them); where another program's bytes follow them, a NUL goes
// over one of them, unless one is there. Another program's bytes stay.
void LeaveNoPartOfTheLine(files::FileHandle file, std::uint64_t lineStart, NewLine& line)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto held = fileSystem.Examine(file);
    if (!held.Ok() || held.Value().size <= lineStart)
        return;
    const std::uint64_t size = held.Value().size;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(size - lineStart, line.whole.size()));
    auto read = fileSystem.ReadAt(file, lineStart, line.readBack.data(), length);
    if (!read.Ok() || read.Value() != length)
        return;
    const std::string_view bytes(line.readBack.data(), length);
    // Another program wrote over the head of the line, not its tail: the tail is this copy's.
    std::size_t own = length;
    while (own > 0 && OwnByte(bytes[own - 1], own - 1, line))
        --own;
    if (own == length)
        return;
    files::FileStatus done;
    if (lineStart + length == size) {
        auto from = own == 0 ? GapBefore(file, lineStart, line) : files::FileResult<std::uint64_t>(lineStart + own);
        if (!from.Ok())
            return;
        done = fileSystem.Truncate(file, from.Value());
    } else {
        // A NUL in the record's place, at a whole code unit as a reader counts them.
        const std::size_t unit = line.unit;
        const std::size_t recordEnd = line.whole.size() - line.endSize;
        std::size_t at = std::max(own, line.firstCharacter);
        at += (unit - (lineStart + at) % unit) % unit;
        for (std::size_t nul = at; nul + unit <= recordEnd; nul += unit) {
            if (bytes.substr(nul, unit).find_first_not_of('\0') == std::string_view::npos)
                return;
        }
        if (at + unit > recordEnd)
            return;
        done = fileSystem.WriteAt(file, lineStart + at, std::string(unit, '\0').data(), unit);
    }
    if (done.Ok())
        fileSystem.Sync(file);
}

// Another program changed the file during the append: only what this copy
// wrote goes, with any gap of NUL before it that another program's cut left,
// so that no NUL stays where no unfinished line is. Closes the file.
Result Changed(files::FileHandle file, std::uint64_t lineStart, NewLine& line)
{
    LeaveNoPartOfTheLine(file, lineStart, line);
    files::CurrentFileSystem().Close(file);
    return {AppendOutcome::Failed, ChangedByAnotherProgram()};
}

// Where the end was looked up before the write, bytes that another program
// appended between the two may lie under the placeholder, the rest of their
// line after it: a NUL over the placeholder's line end joins that rest to the
// unfinished line, which matches nothing. A line appended just after the
// placeholder cannot be told from it, and is joined too. Closes the file.
Result WrittenOver(files::FileHandle file, std::uint64_t lineStart, NewLine& line)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    const std::size_t length = line.placeholder.size();
    auto read = fileSystem.ReadAt(file, lineStart, line.readBack.data(), length);
    if (!read.Ok() || read.Value() != length
        || std::string_view(line.readBack.data(), length) != line.placeholder)
        return Changed(file, lineStart, line);
    if (fileSystem.WriteAt(file, lineStart + length - line.endSize, std::string(line.endSize, '\0').data(),
                           line.endSize).Ok())
        fileSystem.Sync(file);
    fileSystem.Close(file);
    return {AppendOutcome::Failed, ChangedByAnotherProgram()};
}

// Whatever kills the process or stops the machine, no moment leaves a line
// that a key can match other than the whole record: until its last write the
// line starts with NUL, which no key holds. `examined` is the file the check
// read, or none: then the file is created here, and only here, and `made` is
// given its identity. Nothing where the name was taken since it was examined.
std::optional<Result> WriteInPlace(NewLine line, const files::FileLock& lock, const files::FileInfo& examined,
                                   files::FileInfo* made = nullptr)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    const bool creating = !examined.exists;
    auto opened = fileSystem.Open(UserFileName, creating ? files::OpenMode::CreateNew : files::OpenMode::Existing);
    if (!opened.Ok()) {
        if (creating && opened.Error().IsTaken())
            return std::nullopt;
        if (!creating && opened.Error().IsMissing())
            return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
        return Failed(opened.Error().Named(UserFileName));
    }
    const files::FileHandle file = opened.Value();
    auto info = fileSystem.Examine(file);
    if (creating && made) {
        // Made under the lock, so the name still holds it if the handle cannot tell.
        auto identity = info.Ok() ? info : files::ExamineFile(UserFileName);
        if (identity.Ok())
            *made = identity.Value();
    }
    if (!info.Ok()) {
        fileSystem.Close(file);
        return Failed(info.Error().Named(UserFileName));
    }
    // Decided on what is held: the file examined, as long as it was then (a
    // file just made holds nothing, unless another program wrote it meanwhile),
    // and one this user may change, whatever stands at the name by now.
    const std::uint64_t size = creating ? 0 : examined.size;
    if (info.Value().size != size) {
        fileSystem.Close(file);
        return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
    }
    if (!creating) {
        const bool changed = !info.Value().SameFileAs(examined);
        std::optional<Result> refused;
        try {
            if (const std::optional<std::u16string> why = WhyUnchangeable(info.Value()); why || changed)
                refused = Result{AppendOutcome::Failed, why ? NothingChanged(*why) : ChangedByAnotherProgram()};
        } catch (const std::bad_alloc&) {
            fileSystem.Close(file);
            throw;
        }
        if (refused) {
            fileSystem.Close(file);
            return refused;
        }
    }
    // Its owner keeps reading and writing it whatever the umask: a first
    // account must not leave a file that refuses the second.
    if (const unsigned mode = info.Value().mode; creating && (mode & 0600) != 0600) {
        if (auto set = fileSystem.SetMode(file, mode | 0600); !set.Ok()) {
            fileSystem.Close(file);
            return Failed(set.Error().Named(UserFileName));
        }
    }
    const std::string& placeholder = line.placeholder;
    // A lock file removed by hand lets another copy write at the same end.
    if (files::FileStatus held = lock.StillHeld(); !held.Ok()) {
        fileSystem.Close(file);
        return Failed(OfUserFile(held.Error()));
    }
    // At the end as it is when written: a file cut meanwhile gets no gap.
    auto landed = fileSystem.WriteAtEnd(file, placeholder.data(), placeholder.size());
    if (!landed.Ok())
        return Undo(file, size, landed.Error(), LineState::Unfinished, line);
    const std::uint64_t lineStart = landed.Value();
    if (lineStart != size)
        return Changed(file, lineStart, line);
    if (fileSystem.HowEndIsWritten() == files::EndWrite::LookedUpFirst) {
        auto after = fileSystem.Examine(file);
        if (!after.Ok())
            return Undo(file, size, after.Error(), LineState::Unfinished, line);
        if (after.Value().size > lineStart + placeholder.size())
            return WrittenOver(file, lineStart, line);
    }
    files::FileStatus status = fileSystem.Sync(file);
    if (status.Ok())
        status = lock.StillHeld();
    if (!status.Ok())
        return Undo(file, size, status.Error(), LineState::Unfinished, line);
    // The first character goes only where this copy just wrote its placeholder.
    if (auto left = AsLeft(file, lineStart, placeholder, line); !left.Ok() || !left.Value())
        return left.Ok() ? Changed(file, lineStart, line) : Undo(file, size, left.Error(), LineState::Unfinished, line);
    status = fileSystem.WriteAt(file, lineStart + line.firstCharacter, line.whole.data() + line.firstCharacter,
                                line.firstCharacterSize);
    if (!status.Ok())
        return Undo(file, size, status.Error(), LineState::Unfinished, line);
    if (status = fileSystem.Sync(file); !status.Ok())
        return Undo(file, size, status.Error(), LineState::Whole, line);
    // Cut by another program between the look and the write: the write may
    // have landed past the new end.
    if (auto left = AsLeft(file, lineStart, line.whole, line); left.Ok() && !left.Value())
        return Changed(file, lineStart, line);
    // A close that fails after the save loses nothing.
    fileSystem.Close(file);
    // The file's name may not be on disk yet: this copy made it, or a run
    // killed before its folder save, or an editor saving through a new name.
    if (auto saved = SaveFolderEntry(); saved.GetOutcome() != ReplaceOutcome::Done)
        return saved.As(AppendOutcome::Failed);
    return {AppendOutcome::Written};
}

Result AppendLocked(const Record& key, Duplicates duplicates, bool& checked, const files::FileLock& lock,
                    files::FileInfo& made);

// Whether the file held is still the one examined, at its length, with the
// line to cut still led by NUL: looked at last just before the cut, so that
// only a write within that last moment could meet it.
files::FileResult<bool> StillUnfinished(files::FileHandle file, std::uint64_t lineStart, std::size_t unit,
                                        const files::FileInfo& examined)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    const auto asExamined = [&]() -> files::FileResult<bool> {
        auto held = fileSystem.Examine(file);
        if (!held.Ok())
            return held.Error();
        return held.Value().SameFileAs(examined) && held.Value().size == examined.size;
    };
    // Looked at before the read too: a line read back from another file means nothing.
    if (auto same = asExamined(); !same.Ok() || !same.Value())
        return same;
    char first[4] = {};
    auto read = fileSystem.ReadAt(file, lineStart, first, unit);
    if (!read.Ok())
        return read.Error();
    if (read.Value() != unit || std::string_view(first, unit).find_first_not_of('\0') != std::string_view::npos)
        return false;
    return asExamined();
}

// Nothing where the line is gone, else the failure to tell. Only the line
// examined is cut: not another file's bytes, nor a line an editor wrote since.
std::optional<Result> CutUnfinishedLine(std::uint64_t lineStart, std::size_t unit, const files::FileInfo& examined)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(UserFileName, files::OpenMode::Existing);
    if (!opened.Ok())
        return Failed(opened.Error().Named(UserFileName));
    auto unfinished = StillUnfinished(opened.Value(), lineStart, unit, examined);
    if (!unfinished.Ok() || !unfinished.Value()) {
        fileSystem.Close(opened.Value());
        return unfinished.Ok() ? Result{AppendOutcome::Failed, ChangedByAnotherProgram()}
                               : Failed(unfinished.Error().Named(UserFileName));
    }
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
// `made`: the file this copy created under the lock, if it did. Nothing where
// a name was taken since it was examined: what stands there is examined again.
std::optional<Result> AppendToWhatStands(const Record& key, Duplicates duplicates, bool& checked,
                                         const files::FileLock& lock, files::FileInfo& made)
{
    // Examined again under the lock: the file may have changed while this copy waited.
    auto info = files::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    if (info.Value().exists) {
        if (auto why = WhyUnchangeable(info.Value()))
            return Result{AppendOutcome::Failed, NothingChanged(*why)};
    }
    if (!info.Value().exists || info.Value().size == 0) {
        checked = true;
        const TextEncoding encoding = TextEncoding::Utf8WithMark;
        return WriteInPlace(NewLineFor(key, encoding, std::string(files::MarkOf(encoding)), EndForNewFile(encoding)),
                            lock, info.Value(), &made);
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
            return Result{AppendOutcome::AlreadyPresent};
    }
    checked = true;
    auto tail = ReadTail(reader);
    if (!tail.Ok())
        return Failed(tail.Error());
    // Closed first: Windows does not replace or cut a file that is still open.
    if (auto closed = reader.Close(); !closed.Ok())
        return Failed(closed.Error());
    if (tail.Value().unfinished) {
        if (auto failed = CutUnfinishedLine(tail.Value().lastLineStart, files::CodeUnitSize(reader.Encoding()), reader.Info()))
            return *failed;
        // From here on, a failure that changed no account still cut that line.
        try {
            Result result = AppendLocked(key, Duplicates::Allow, checked, lock, made);
            if (result.GetOutcome() == AppendOutcome::Failed && !result.UserFileChanged())
                return Result{AppendOutcome::Failed, OnlyUnfinishedLineRemoved(result.Message())};
            return result;
        } catch (const std::bad_alloc&) {
            return Result::Lasting(AppendOutcome::Failed, OutOfMemoryUnfinishedLineRemoved());
        }
    }
    const TextEncoding encoding = reader.Encoding();
    const bool lastLineEnds = EndForLastLine(tail.Value().lastUnit, false, tail.Value().convention, encoding).empty();
    if (tail.Value().oddByte || !lastLineEnds)
        return AppendByCopy(key, lock);
    // As a password change does, where the user file stands; a copy that
    // cannot be removed stays for the next change and stops no account.
    if (auto leftovers = RemoveLeftoverCopies(); !leftovers.Ok())
        return Failed(leftovers.Error());
    // What the line goes right after: the last line's end, or a lone mark.
    const std::string& follows = tail.Value().lastUnit.empty() ? std::string(files::MarkOf(encoding))
                                                                : tail.Value().lastUnit;
    return WriteInPlace(NewLineFor(key, encoding, {}, EndForNewLine(tail.Value().convention, encoding), follows),
                        lock, reader.Info());
}

Result AppendLocked(const Record& key, Duplicates duplicates, bool& checked, const files::FileLock& lock,
                    files::FileInfo& made)
{
    // A name taken at each try is another program at work: it is told so, not waited for.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (std::optional<Result> result = AppendToWhatStands(key, duplicates, checked, lock, made))
            return std::move(*result);
    }
    return {AppendOutcome::Failed, ChangedByAnotherProgram()};
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
