#include "store/UserFileReplacement.h"

#include "platform/FileLock.h"
#include "platform/FileOperations.h"
#include "platform/TextFile.h"
#include "platform/TextReader.h"
#include "store/Messages.h"
#include "store/RecordKey.h"
#include "store/RecordMatcher.h"
#include "store/Recovery.h"

#include <vector>

namespace store {
namespace {

using platform::FileError;
using platform::TextEncoding;
using Result = StoreResult<ReplaceOutcome>;
using Step = std::optional<Result>;  // nullopt: go on

constexpr unsigned NewUserFileMode = 0600;

Result NotOpened(const FileError& error) { return {ReplaceOutcome::NotOpened, NothingChanged(error)}; }
Result Failed(const FileError& error) { return {ReplaceOutcome::Failed, NothingChanged(error)}; }

class ReplacementRun {
public:
    ReplacementRun(const Replacement& replacement, platform::FolderLock& lock)
        : m_replacement(replacement), m_lock(lock)
    {
    }
    Result Run();

private:
    Step OpenUserFile();
    Step CreateCopy();
    Step WriteCopy();
    Step CopyReplacingMatches(RecordMatcher& matcher);
    Step Decide(platform::TextLine& line);  // may replace the line's bytes
    Step Replace(const std::u16string& line, std::string& bytes);
    Step Write(std::string_view bytes);
    std::string EndFor(const std::string& lastLine, const std::string& lineEnd) const;
    Step SaveCopy();
    Result Abandon(Result result);

    const Replacement& m_replacement;
    platform::FolderLock& m_lock;
    std::optional<platform::TextReader> m_reader;
    std::optional<platform::TextFile> m_copy;
    TextEncoding m_encoding = TextEncoding::Utf8WithMark;
    unsigned m_mode = NewUserFileMode;
    bool m_createdCopy = false;
};

Result ReplacementRun::Run()
{
    for (Step (ReplacementRun::*step)() : {&ReplacementRun::OpenUserFile, &ReplacementRun::CreateCopy,
                                           &ReplacementRun::WriteCopy, &ReplacementRun::SaveCopy}) {
        if (Step stop = (this->*step)())
            return Abandon(*stop);
    }
    if (auto renamed = platform::RenameFile(TemporaryFileName, UserFileName); !renamed.Ok())
        return Abandon(Failed(renamed.Error()));
    // Past the rename the new contents are the user file, whatever follows.
    if (auto synced = m_lock.SyncFolder(); !synced.Ok())
        return {ReplaceOutcome::Failed, ChangedButNotSaved(synced.Error()), true};
    return {ReplaceOutcome::Done};
}

Step ReplacementRun::OpenUserFile()
{
    auto info = platform::ExamineFile(UserFileName);
    if (!info.Ok())
        return Failed(info.Error());
    if (!info.Value().exists)
        return Result{ReplaceOutcome::Missing, NothingChanged(u"Quillmark.txt does not exist.")};
    if (auto why = WhyUnchangeable(info.Value()))
        return Result{ReplaceOutcome::NotOpened, NothingChanged(*why)};
    auto opened = platform::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return NotOpened(opened.Error());
    m_reader.emplace(std::move(opened.Value()));
    m_mode = m_reader->Info().mode;
    return std::nullopt;
}

Step ReplacementRun::CreateCopy()
{
    // Whatever stands at the temporary name now is a leftover: the user file
    // exists, and the lock keeps other copies of the program out.
    auto leftover = platform::ExamineFile(TemporaryFileName);
    if (!leftover.Ok())
        return Failed(leftover.Error());
    if (leftover.Value().exists) {
        if (auto removed = platform::RemoveFile(TemporaryFileName); !removed.Ok())
            return NotOpened(removed.Error());
    }
    // An empty user file takes the encoding of a new one.
    bool fresh = m_reader->Info().size == 0 && m_replacement.appended;
    m_encoding = fresh ? TextEncoding::Utf8WithMark : m_reader->Encoding();
    auto created = platform::OpenTextFile(TemporaryFileName, platform::TextFileMode::CreateNew, m_encoding);
    if (!created.Ok())
        return NotOpened(created.Error());
    m_createdCopy = true;
    m_copy.emplace(std::move(created.Value()));
    if (auto written = m_copy->WriteBytes(platform::MarkOf(m_encoding)); !written.Ok())
        return Failed(written.Error());
    return std::nullopt;
}

Step ReplacementRun::WriteCopy()
{
    if (m_replacement.only && !m_replacement.appended) {
        if (std::optional<RecordMatcher> matcher = RecordMatcher::For(*m_replacement.only, m_encoding))
            return CopyReplacingMatches(*matcher);
    }
    // A line without an end gets the file's own convention: the end of its first line.
    std::string lineEnd = platform::EncodeText(u"\n", m_encoding);
    bool conventionKnown = false;
    platform::TextLine line;
    for (;;) {
        auto read = m_reader->ReadRawLine(line);
        if (!read.Ok())
            return Failed(read.Error());
        if (!read.Value())
            break;
        if (!conventionKnown && !line.end.empty()) {
            lineEnd = line.end;
            conventionKnown = true;
        }
        if (Step stop = Decide(line))
            return stop;
        if (line.end.empty())
            line.end = EndFor(line.bytes, lineEnd);
        if (Step stop = Write(line.bytes + line.end))
            return stop;
    }
    if (m_replacement.appended) {
        if (Step stop = Write(platform::EncodeText(*m_replacement.appended, m_encoding) + lineEnd))
            return stop;
    }
    // An odd last byte of a UTF-16 file stays last, where it shifts no line.
    return Write(m_reader->Trailing());
}

std::string ReplacementRun::EndFor(const std::string& lastLine, const std::string& lineEnd) const
{
    // A lone CR ending the last line would join a LF into one CR LF end and drop out of the line.
    if (lastLine.ends_with(platform::EncodeText(u"\r", m_encoding)))
        return platform::EncodeText(u"\r\n", m_encoding);
    return lineEnd;
}

Step ReplacementRun::Decide(platform::TextLine& line)
{
    if (!m_replacement.decide && !m_replacement.refuseDuplicate)
        return std::nullopt;
    std::u16string text = platform::DecodeText(line.bytes, m_encoding);
    if (m_replacement.refuseDuplicate && text == *m_replacement.appended)
        return Result{ReplaceOutcome::AlreadyPresent};
    if (!m_replacement.decide || (m_replacement.only && text != *m_replacement.only))
        return std::nullopt;
    return Replace(text, line.bytes);
}

// Kept lines go out byte for byte; only a replacement is encoded afresh.
Step ReplacementRun::Replace(const std::u16string& line, std::string& bytes)
{
    if (auto replacement = (*m_replacement.decide)(line)) {
        if (auto refusal = RefusalOf(*replacement))
            return Result{ReplaceOutcome::Failed, NothingChanged(*refusal)};
        bytes = platform::EncodeText(*replacement, m_encoding);
    }
    return std::nullopt;
}

// The fast copy: blocks go out as they are read, and only the lines equal to
// the key, found by their bytes, are offered to the decision. It gives the
// file that the copy line by line gives.
Step ReplacementRun::CopyReplacingMatches(RecordMatcher& matcher)
{
    const std::size_t unit = platform::CodeUnitSize(m_encoding);
    const std::string lineFeed = platform::EncodeText(u"\n", m_encoding);
    const std::string carriageReturn = platform::EncodeText(u"\r", m_encoding);
    std::string convention;        // the end of the first line that has one
    std::string lastUnit;          // of the content as read
    bool lastLineReplaced = false;
    std::string carried;
    std::vector<std::size_t> matches;
    for (;;) {
        auto block = m_reader->ReadBlock();
        if (!block.Ok())
            return Failed(block.Error());
        const bool atEnd = block.Value().empty();
        carried += block.Value();
        std::string_view content = carried;
        const std::string trailing(atEnd ? content.substr(content.size() - content.size() % unit) : "");
        content.remove_suffix(trailing.size());
        const std::size_t done = matcher.Scan(content, atEnd, matches);
        std::size_t written = 0;
        for (const std::size_t at : matches) {
            std::string bytes(content.substr(at, matcher.KeySize()));
            if (Step stop = Replace(*m_replacement.only, bytes))
                return stop;
            if (Step stop = Write(content.substr(written, at - written)))
                return stop;
            if (Step stop = Write(bytes))
                return stop;
            written = at + matcher.KeySize();
            lastLineReplaced = atEnd && written == content.size();
        }
        matches.clear();
        if (Step stop = Write(content.substr(written, done - written)))
            return stop;
        if (convention.empty()) {
            for (std::size_t at = 0; at + unit <= done; at += unit) {
                if (content.compare(at, unit, lineFeed) != 0)
                    continue;
                const bool crlf = at >= unit ? content.compare(at - unit, unit, carriageReturn) == 0
                                             : lastUnit == carriageReturn;
                convention = crlf ? carriageReturn + lineFeed : lineFeed;
                break;
            }
        }
        if (done >= unit)
            lastUnit = content.substr(done - unit, unit);
        if (atEnd) {
            if (!lastUnit.empty() && lastUnit != lineFeed) {
                const bool endsInCr = !lastLineReplaced && lastUnit == carriageReturn;
                if (Step stop = Write(endsInCr ? carriageReturn + lineFeed : convention.empty() ? lineFeed : convention))
                    return stop;
            }
            // An odd last byte of a UTF-16 file stays last, where it shifts no line.
            return Write(trailing);
        }
        carried.erase(0, done);
    }
}

Step ReplacementRun::Write(std::string_view bytes)
{
    if (auto written = m_copy->WriteBytes(bytes); !written.Ok())
        return Failed(written.Error());
    return std::nullopt;
}

Step ReplacementRun::SaveCopy()
{
    if (auto closed = m_reader->Close(); !closed.Ok())
        return Failed(closed.Error());
    // A rewrite keeps the user file's own permissions.
    platform::FileStatus status = m_copy->SetMode(m_mode);
    if (status.Ok())
        status = m_copy->Sync();
    if (status.Ok())
        status = m_copy->Close();
    if (!status.Ok())
        return Failed(status.Error());
    return std::nullopt;
}

Result ReplacementRun::Abandon(Result result)
{
    m_copy.reset();
    if (m_createdCopy) {
        if (auto removed = platform::RemoveFile(TemporaryFileName); !removed.Ok()) {
            // The user file stays even when it was created empty: without it,
            // recovery would take this partial copy for the accounts.
            return {result.GetOutcome(), result.Message() + u" " + Widen(removed.Error().Message())
                                             + u"; it will be replaced by the next change."};
        }
    }
    return result;
}

} // namespace

StoreResult<ReplaceOutcome> ReplaceUserFile(const Replacement& replacement)
{
    auto lock = platform::FolderLock::Acquire(LockPatience);
    if (!lock.Ok())
        return lock.Error().IsBusy() ? Failed(lock.Error()) : NotOpened(lock.Error());
    if (auto recovered = RecoverUserFile(lock.Value()); !recovered.Ok())
        return Failed(recovered.Error());
    return ReplaceLockedUserFile(replacement, lock.Value());
}

StoreResult<ReplaceOutcome> ReplaceLockedUserFile(const Replacement& replacement, platform::FolderLock& lock)
{
    return ReplacementRun(replacement, lock).Run();
}

std::optional<std::u16string> WhyUnchangeable(const platform::FileInfo& info)
{
    if (info.symlink)
        return u"Quillmark.txt is a symbolic link; the program only changes a regular file.";
    if (!info.regular)
        return u"Quillmark.txt is not a regular file.";
    if (!info.writable)
        return u"Quillmark.txt is read-only.";
    return std::nullopt;
}

} // namespace store
