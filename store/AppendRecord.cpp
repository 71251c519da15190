#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextReader.h"
#include "store/AppendInPlace.h"
#include "store/ChangeStart.h"
#include "store/HeldFile.h"
#include "store/LineEnds.h"
#include "store/Messages.h"
#include "store/NewLine.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/SafeReplace.h"
#include "store/UserFile.h"
#include "store/UserFileTail.h"

#include <new>
#include <optional>
#include <string_view>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<AppendOutcome>;

Result Failed(const FileError& error) { return {AppendOutcome::Failed, NothingChanged(error)}; }

Result AppendLocked(const Record& key, Duplicates duplicates, bool& checked, const files::FileLock& lock,
                    files::FileInfo& made);

// Whether the file held is still the one examined, at its length, with the
// line to cut still led by NUL: looked at last just before the cut, so that
// only a write within that last moment could meet it.
files::FileResult<bool> StillUnfinished(const HeldFile& file, std::uint64_t lineStart, std::size_t unit,
                                        const files::FileInfo& examined)
{
    const auto asExamined = [&]() -> files::FileResult<bool> {
        auto held = file.Examine();
        if (!held.Ok())
            return held.Error();
        return held.Value().SameFileAs(examined) && held.Value().size == examined.size;
    };
    // Looked at before the read too: a line read back from another file means nothing.
    if (auto same = asExamined(); !same.Ok() || !same.Value())
        return same;
    char first[4] = {};
    auto read = file.ReadAt(lineStart, first, unit);
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
    auto opened = HeldFile::Open(UserFileName, files::OpenMode::Existing);
    if (!opened.Ok())
        return Failed(opened.Error().Named(UserFileName));
    HeldFile& file = opened.Value();
    auto unfinished = StillUnfinished(file, lineStart, unit, examined);
    if (!unfinished.Ok() || !unfinished.Value())
        return unfinished.Ok() ? Result{AppendOutcome::Failed, ChangedByAnotherProgram()}
                               : Failed(unfinished.Error().Named(UserFileName));
    const files::FileStatus cut = file.Truncate(lineStart);
    const files::FileStatus saved = cut.Ok() ? file.Sync() : cut;
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
    files::FileInfo standing;
    if (auto examined = ExamineUserFile(WithoutUserFile::Create, standing);
        examined.GetOutcome() != StartOutcome::Ready)
        return examined.As(AppendOutcome::Failed);
    if (!standing.exists || standing.size == 0) {
        checked = true;
        if (auto leftovers = RemoveLeftoverCopies(); !leftovers.Ok())
            return Failed(leftovers.Error());
        const TextEncoding encoding = TextEncoding::Utf8WithMark;
        return WriteInPlace(key, NewLineFor(key, encoding, std::string(files::MarkOf(encoding)), EndForNewFile(encoding)),
                            lock, standing, &made);
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
    return WriteInPlace(key, NewLineFor(key, encoding, {}, EndForNewLine(tail.Value().convention, encoding), follows),
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
    const ChangeStart start = StartChange(WithoutUserFile::Create);
    if (start.result.GetOutcome() != StartOutcome::Ready)
        return start.result.As(AppendOutcome::Failed);
    Result result{AppendOutcome::Failed};
    files::FileInfo made;
    try {
        result = AppendLocked(*record, duplicates, checked, *start.lock, made);
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
