#include "store/SafeReplace.h"

#include "platform/files/FileOperations.h"
#include "store/LineEnds.h"
#include "store/Messages.h"
#include "store/Unchangeable.h"
#include "store/UserFile.h"

#include <new>
#include <optional>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<ReplaceOutcome>;
using Step = std::optional<Result>;  // nullopt: go on

Result Failed(const FileError& error) { return {ReplaceOutcome::Failed, NothingChanged(error)}; }
Result Failed(const std::u16string& why) { return {ReplaceOutcome::Failed, NothingChanged(why)}; }

bool ReadsAsMark(const Record* line)
{
    return line && files::DetectEncoding(line->Bytes(TextEncoding::Utf16Le)) != TextEncoding::Utf16Le;
}

class Replacement {
public:
    Replacement(const LineChanges& changes, const files::FileLock& lock) : m_changes(changes), m_lock(lock) {}
    Result Run();

private:
    Step PutInPlace();
    Step OpenUserFile();
    Step CreateCopy();
    Step Copy();
    Step SaveCopy();
    Result Abandon(Result result);
    Step ClearCopyNames();

    const LineChanges& m_changes;
    const files::FileLock& m_lock;
    std::string m_copyName = TemporaryFileName;
    std::optional<files::TextReader> m_reader;
    std::optional<files::TextFile> m_copy;
    bool m_createdCopy = false;
    files::FileInfo m_copyInfo;
    files::FileInfo m_original;  // the user file as the copy read it
};

Result Replacement::Run()
{
    // Out of memory at any step before the rename: the copy goes, and the
    // message was made in advance.
    try {
        if (Step stop = PutInPlace())
            return Abandon(*stop);
    } catch (const std::bad_alloc&) {
        return Abandon(Result::Lasting(ReplaceOutcome::Failed, OutOfMemoryNothingChanged()));
    }
    // Past the rename the new contents are the user file, whatever follows.
    return SaveFolderEntry();
}

Step Replacement::PutInPlace()
{
    for (Step (Replacement::*step)() : {&Replacement::OpenUserFile, &Replacement::CreateCopy, &Replacement::Copy,
                                        &Replacement::SaveCopy}) {
        if (Step stop = (this->*step)())
            return stop;
    }
    // Only the copy written here goes in, not whatever someone put at its name.
    auto standing = files::ExamineFile(m_copyName);
    if (!standing.Ok())
        return Failed(standing.Error());
    if (!standing.Value().SameFileAs(m_copyInfo) || standing.Value().symlink)
        return Failed(PathForUser(m_copyName) + u" was replaced by someone else while the change was made.");
    if (auto held = m_lock.StillHeld(); !held.Ok())
        return Failed(held.Error());
    // Where readers keep a rename out, the rename takes its turn with them.
    const files::ReadersGuard replacing(UserFileName, files::ReadersRole::Replacing);
    // Last, just before the rename and after any wait for readers: a line
    // that another program appended since the copy read the file would be lost by it.
    auto user = files::ExamineFile(UserFileName);
    if (!user.Ok())
        return Failed(user.Error());
    if (!user.Value().SameFileAs(m_original) || user.Value().size != m_original.size)
        return Result{ReplaceOutcome::Failed, ChangedByAnotherProgram()};
    if (auto renamed = files::RenameFile(m_copyName, UserFileName); !renamed.Ok())
        return Failed(renamed.Error());
    return std::nullopt;
}

Step Replacement::OpenUserFile()
{
    auto opened = files::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return Failed(opened.Error());
    m_reader.emplace(std::move(opened.Value()));
    // Checked on what is held: the file read must be the one at the name, not
    // one that a link swapped in since the look leads to.
    auto named = files::ExamineFile(UserFileName);
    if (!named.Ok())
        return Failed(named.Error());
    if (!named.Value().SameFileAs(m_reader->Info()))
        return Result{ReplaceOutcome::Failed, ChangedByAnotherProgram()};
    m_original = m_reader->Info();
    if (auto why = WhyUnchangeable(m_reader->Info()))
        return Failed(*why);
    return std::nullopt;
}

// One that cannot be removed is left alone, and the copy takes the other name.
Step Replacement::ClearCopyNames()
{
    auto leftovers = RemoveLeftoverCopies();
    if (!leftovers.Ok())
        return Failed(leftovers.Error());
    if (!leftovers.Value().free)
        return Failed(*leftovers.Value().stuck);
    m_copyName = *leftovers.Value().free;
    return std::nullopt;
}

Step Replacement::CreateCopy()
{
    if (Step stop = ClearCopyNames())
        return stop;
    // An empty user file takes the encoding of a new one. A UTF-16 file
    // without a mark whose new first bytes would read as one gets its mark,
    // which keeps what every line means.
    TextEncoding encoding = m_reader->Info().size == 0 && m_changes.appended ? TextEncoding::Utf8WithMark
                                                                             : m_reader->Encoding();
    if (encoding == TextEncoding::Utf16Le && (ReadsAsMark(m_changes.appended) || ReadsAsMark(m_changes.replacement)))
        encoding = TextEncoding::Utf16LeWithMark;
    auto created = files::CreateTextFile(m_copyName, encoding);
    if (!created.Ok())
        return Failed(created.Error());
    m_createdCopy = true;
    m_copy.emplace(std::move(created.Value()));
    return std::nullopt;
}

Step Replacement::Copy()
{
    auto convention = ConventionOf(*m_reader);
    if (!convention.Ok())
        return Failed(convention.Error());
    if (auto copied = CopyLines(*m_reader, *m_copy, m_changes, convention.Value()); !copied.Ok())
        return Failed(copied.Error());
    return std::nullopt;
}

Step Replacement::SaveCopy()
{
    const files::FileInfo original = m_reader->Info();
    if (auto closed = m_reader->Close(); !closed.Ok())
        return Failed(closed.Error());
    auto copy = m_copy->Examine();
    if (!copy.Ok())
        return Failed(copy.Error());
    // Never more than read and write bits, and never opened to a group that
    // the original did not name. A copy that the owner could no longer read
    // and write through its group would shut the owner out of the accounts.
    unsigned mode = original.mode & 0666;
    const bool groupKept = m_copy->SetOwner(original.owner, original.group).Ok()
                           || m_copy->SetOwner(copy.Value().owner, original.group).Ok();
    auto now = m_copy->Examine();
    if (!now.Ok())
        return Failed(now.Error());
    // The access list goes first: the mode set after it also sets its mask,
    // so that a copy closed to its owner stays closed.
    auto listed = m_copy->TakeAccessList(UserFileName);
    if (!listed.Ok())
        return Failed(listed.Error());
    const bool ownerKept = now.Value().owner == original.owner;
    const bool ownerStaysIn = groupKept && !listed.Value() && (mode & 0060) == 0060
                              && files::CurrentFileSystem().IsMember(original.owner, original.group);
    if (!ownerKept && !ownerStaysIn)
        return Result{ReplaceOutcome::Failed,
                      NothingChanged(PathForUser(UserFileName) + u" belongs to another user, who would lose it to this change.")};
    if (!groupKept)
        mode &= 0600;
    files::FileStatus status = m_copy->SetMode(mode);
    if (status.Ok())
        status = m_copy->Sync();
    if (!status.Ok())
        return Failed(status.Error());
    m_copyInfo = now.Value();
    if (auto closed = m_copy->Close(); !closed.Ok())
        return Failed(closed.Error());
    return std::nullopt;
}

Result Replacement::Abandon(Result result)
{
    m_copy.reset();
    if (m_createdCopy) {
        if (auto removed = files::RemoveFile(m_copyName); !removed.Ok()) {
            // Short of memory, the failure is told without the leftover.
            try {
                return {result.GetOutcome(), result.Message() + u" " + Describe(removed.Error())
                                                 + u"; it will be replaced by the next change."};
            } catch (const std::bad_alloc&) {
            }
        }
    }
    return result;
}

} // namespace

files::FileResult<Leftovers> RemoveLeftoverCopies()
{
    Leftovers leftovers;
    for (const std::string& name : {TemporaryFileName, SpareCopyName}) {
        auto leftover = files::ExamineFile(name);
        if (!leftover.Ok())
            return leftover.Error();
        files::FileStatus removed;
        if (leftover.Value().exists)
            removed = files::RemoveFile(name);
        if (!removed.Ok())
            leftovers.stuck = removed.Error();
        else if (!leftovers.free)
            leftovers.free = name;
    }
    return leftovers;
}

StoreResult<ReplaceOutcome> SaveFolderEntry()
{
    try {
        if (auto synced = files::SyncFolder(); !synced.Ok())
            return {ReplaceOutcome::Failed, ChangedButNotSaved(synced.Error()), true};
    } catch (const std::bad_alloc&) {
        return Result::Lasting(ReplaceOutcome::Failed, OutOfMemoryAfterTheChange(), true);
    }
    return {ReplaceOutcome::Done};
}

StoreResult<ReplaceOutcome> ReplaceSafely(const LineChanges& changes, const files::FileLock& lock)
{
    return Replacement(changes, lock).Run();
}

} // namespace store
