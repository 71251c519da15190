#include "store/AppendInPlace.h"

#include "platform/files/FileOperations.h"
#include "store/AppendCutBack.h"
#include "store/HeldFile.h"
#include "store/RecordSearch.h"
#include "store/Messages.h"
#include "store/SafeReplace.h"
#include "store/Unchangeable.h"

#include <new>
#include <string_view>

namespace store {
namespace {

using files::FileError;
using Result = StoreResult<AppendOutcome>;

Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

// How far a failed append had come: its line still led by NUL, or whole.
enum class LineState { Unfinished, Whole };

// A write's or a save's error has no name of its own; the lock's keeps its.
FileError OfUserFile(const FileError& error)
{
    return error.Name().empty() ? error.Named(UserFileName) : error;
}

// Undoes a failed append: the file goes back to its old size before any
// message is made, which may find no memory.
Result Undo(HeldFile& file, std::uint64_t size, const FileError& error, LineState line, NewLine& bytes)
{
    auto cut = CutBackTo(file, size, bytes);
    if (cut.Ok() && !cut.Value() && line == LineState::Unfinished)
        LeaveNoPartOfTheLine(file, size, bytes);
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
files::FileResult<bool> AsLeft(const HeldFile& file, std::uint64_t lineStart, const std::string& bytes,
                               NewLine& line)
{
    auto held = file.Examine();
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
    auto read = file.ReadAt(lineStart - before, line.readBack.data(), before + bytes.size());
    if (!read.Ok())
        return read.Error();
    const std::string_view readBack(line.readBack.data(), before + bytes.size());
    return read.Value() == readBack.size() && readBack.substr(0, before) == line.follows
           && readBack.substr(before) == bytes;
}

// Another program changed the file during the append: only what this copy
// wrote goes, with any gap of NUL before it that another program's cut left,
// so that no NUL stays where no unfinished line is.
Result Changed(HeldFile& file, std::uint64_t lineStart, NewLine& line, GapBefore gap = GapBefore::Possible)
{
    LeaveNoPartOfTheLine(file, lineStart, line, gap);
    return {AppendOutcome::Failed, ChangedByAnotherProgram()};
}

// Where the end was looked up before the write, bytes that another program
// appended between the two may lie under the placeholder, the rest of their
// line after it: a NUL over the placeholder's line end joins that rest to the
// unfinished line, which matches nothing. A line appended just after the
// placeholder cannot be told from it, and is joined too.
Result WrittenOver(HeldFile& file, std::uint64_t lineStart, NewLine& line)
{
    const std::size_t length = line.placeholder.size();
    auto read = file.ReadAt(lineStart, line.readBack.data(), length);
    if (!read.Ok() || read.Value() != length
        || std::string_view(line.readBack.data(), length) != line.placeholder)
        return Changed(file, lineStart, line);
    if (file.WriteAt(lineStart + length - line.endSize, std::string(line.endSize, '\0').data(), line.endSize).Ok())
        file.Sync();
    return {AppendOutcome::Failed, ChangedByAnotherProgram()};
}

// Whether the file at the user file's name holds the account: a save
// through a new name may have carried the line over, a save in place moved it.
bool HoldsAccount(const Record& key)
{
    auto reader = files::TextReader::Open(UserFileName);
    if (!reader.Ok())
        return false;
    auto found = FindRecord(reader.Value(), key);
    return found.Ok() && found.Value();
}

// The line written into the file held, which closes when this returns: nothing
// where the line is whole and saved.
std::optional<Result> WriteHeld(const Record& key, HeldFile file, NewLine& line, const files::FileLock& lock,
                                const files::FileInfo& examined, files::FileInfo* made)
{
    const bool creating = !examined.exists;
    auto info = file.Examine();
    if (creating && made) {
        // Made under the lock, so the name still holds it if the handle cannot tell.
        auto identity = info.Ok() ? info : files::ExamineFile(UserFileName);
        if (identity.Ok())
            *made = identity.Value();
    }
    if (!info.Ok())
        return Failed(info.Error().Named(UserFileName));
    // Decided on what is held: the file examined, as long as it was then (a
    // file just made holds nothing, unless another program wrote it meanwhile),
    // and one this user may change, whatever stands at the name by now.
    const std::uint64_t size = creating ? 0 : examined.size;
    if (info.Value().size != size)
        return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
    if (!creating) {
        if (const std::optional<std::u16string> why = WhyUnchangeable(info.Value()))
            return Result{AppendOutcome::Failed, NothingChanged(*why)};
        if (!info.Value().SameFileAs(examined))
            return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
    }
    // Its owner keeps reading and writing it whatever the umask: a first
    // account must not leave a file that refuses the second.
    if (const unsigned mode = info.Value().mode; creating && (mode & 0600) != 0600) {
        if (auto set = file.SetMode(mode | 0600); !set.Ok())
            return Failed(set.Error().Named(UserFileName));
    }
    const std::string& placeholder = line.placeholder;
    // A lock file removed by hand lets another copy write at the same end.
    if (files::FileStatus held = lock.StillHeld(); !held.Ok())
        return Failed(OfUserFile(held.Error()));
    // At the end as it is when written: a file cut meanwhile gets no gap.
    auto landed = file.WriteAtEnd(placeholder.data(), placeholder.size());
    if (!landed.Ok())
        return Undo(file, size, landed.Error(), LineState::Unfinished, line);
    const std::uint64_t lineStart = landed.Value();
    if (lineStart != size)
        return Changed(file, lineStart, line, GapBefore::None);
    if (file.HowEndIsWritten() == files::EndWrite::LookedUpFirst) {
        auto after = file.Examine();
        if (!after.Ok())
            return Undo(file, size, after.Error(), LineState::Unfinished, line);
        if (after.Value().size > lineStart + placeholder.size())
            return WrittenOver(file, lineStart, line);
    }
    files::FileStatus status = file.Sync();
    if (status.Ok())
        status = lock.StillHeld();
    if (!status.Ok())
        return Undo(file, size, status.Error(), LineState::Unfinished, line);
    // The first character goes only where this copy just wrote its placeholder.
    if (auto left = AsLeft(file, lineStart, placeholder, line); !left.Ok() || !left.Value())
        return left.Ok() ? Changed(file, lineStart, line) : Undo(file, size, left.Error(), LineState::Unfinished, line);
    status = file.WriteAt(lineStart + line.firstCharacter, line.whole.data() + line.firstCharacter,
                          line.firstCharacterSize);
    if (!status.Ok())
        return Undo(file, size, status.Error(), LineState::Unfinished, line);
    if (status = file.Sync(); !status.Ok())
        return Undo(file, size, status.Error(), LineState::Whole, line);
    // Cut by another program between the look and the write: the write may
    // have landed past the new end.
    if (auto left = AsLeft(file, lineStart, line.whole, line); left.Ok() && !left.Value()) {
        // A tail of the line that a shorter save in place left past its own end goes first.
        auto held = file.Examine();
        auto named = files::ExamineFile(UserFileName);
        if (held.Ok() && named.Ok() && named.Value().SameFileAs(held.Value()))
            LeaveNoPartOfTheLine(file, lineStart, line);
        if (!HoldsAccount(key))
            return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
    }
    return std::nullopt;
}

} // namespace

std::optional<Result> WriteInPlace(const Record& key, NewLine line, const files::FileLock& lock, const files::FileInfo& examined,
                                   files::FileInfo* made)
{
    const bool creating = !examined.exists;
    auto opened = HeldFile::Open(UserFileName, creating ? files::OpenMode::CreateNew : files::OpenMode::Existing);
    if (!opened.Ok()) {
        if (creating && opened.Error().IsTaken())
            return std::nullopt;
        if (!creating && opened.Error().IsMissing())
            return Result{AppendOutcome::Failed, ChangedByAnotherProgram()};
        return Failed(opened.Error().Named(UserFileName));
    }
    if (std::optional<Result> stopped = WriteHeld(key, std::move(opened.Value()), line, lock, examined, made))
        return stopped;
    // The file is closed by now: a close that fails after the save loses nothing.
    // The file's name may not be on disk yet: this copy made it, or a run
    // killed before its folder save, or an editor saving through a new name.
    if (auto saved = SaveFolderEntry(); saved.GetOutcome() != ReplaceOutcome::Done)
        return saved.As(AppendOutcome::Failed);
    return Result{AppendOutcome::Written};
}

} // namespace store
