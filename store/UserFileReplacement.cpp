#include "store/UserFileReplacement.h"

#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextFile.h"
#include "platform/files/TextReader.h"
#include "store/Messages.h"
#include "store/RecordMatcher.h"
#include "store/UserFile.h"

#include <new>
#include <vector>

namespace store {
namespace {

using files::FileError;
using files::TextEncoding;
using Result = StoreResult<ReplaceOutcome>;
using Step = std::optional<Result>;  // nullopt: go on

Result NotOpened(const FileError& error) { return {ReplaceOutcome::NotOpened, NothingChanged(error)}; }

bool ReadsAsMark(const std::u16string* line)
{
    return line && files::DetectEncoding(files::EncodeText(*line, TextEncoding::Utf16Le)) != TextEncoding::Utf16Le;
}
Result Failed(const FileError& error) { return {ReplaceOutcome::Failed, NothingChanged(error)}; }

class ReplacementRun {
public:
    explicit ReplacementRun(const Replacement& replacement) : m_replacement(replacement) {}
    Result Run();

private:
    Step OpenUserFile();
    Step CreateCopy();
    Step Copy();
    Step CopyEnd(const std::string& lastUnit, bool lastLineReplaced, const std::string& convention);
    Step Write(std::string_view bytes);
    Step SaveCopy();
    Result Abandon(Result result);

    const Replacement& m_replacement;
    std::optional<files::TextReader> m_reader;
    std::optional<files::TextFile> m_copy;
    TextEncoding m_encoding = TextEncoding::Utf8WithMark;
    bool m_createdCopy = false;
};

Result ReplacementRun::Run()
{
    for (Step (ReplacementRun::*step)() : {&ReplacementRun::OpenUserFile, &ReplacementRun::CreateCopy,
                                           &ReplacementRun::Copy, &ReplacementRun::SaveCopy}) {
        try {
            if (Step stop = (this->*step)())
                return Abandon(*stop);
        } catch (const std::bad_alloc&) {
            return Abandon(Result{ReplaceOutcome::Failed, NothingChanged(OutOfMemory())});
        }
    }
    if (auto renamed = files::RenameFile(TemporaryFileName, UserFileName); !renamed.Ok())
        return Abandon(Failed(renamed.Error()));
    // Past the rename the new contents are the user file, whatever follows.
    if (auto synced = files::SyncFolder(); !synced.Ok())
        return {ReplaceOutcome::Failed, ChangedButNotSaved(synced.Error()), true};
    return {ReplaceOutcome::Done};
}

Step ReplacementRun::OpenUserFile()
{
    auto opened = files::TextReader::Open(UserFileName);
    if (!opened.Ok())
        return NotOpened(opened.Error());
    m_reader.emplace(std::move(opened.Value()));
    return std::nullopt;
}

Step ReplacementRun::CreateCopy()
{
    // Whatever stands at the temporary name now is a leftover: the user file
    // exists, and its lock keeps other copies of the program out.
    auto leftover = files::ExamineFile(TemporaryFileName);
    if (!leftover.Ok())
        return Failed(leftover.Error());
    if (leftover.Value().exists) {
        if (auto removed = files::RemoveFile(TemporaryFileName); !removed.Ok())
            return NotOpened(removed.Error());
    }
    // An empty user file takes the encoding of a new one.
    const bool fresh = m_reader->Info().size == 0 && m_replacement.appended;
    m_encoding = fresh ? TextEncoding::Utf8WithMark : m_reader->Encoding();
    // A UTF-16 file without a mark whose new first bytes would read as one
    // gets its mark, which keeps what every line means.
    if (m_encoding == TextEncoding::Utf16Le && (ReadsAsMark(m_replacement.appended) || ReadsAsMark(m_replacement.replacement)))
        m_encoding = TextEncoding::Utf16LeWithMark;
    auto created = files::OpenTextFile(TemporaryFileName, files::TextFileMode::CreateNew, m_encoding);
    if (!created.Ok())
        return NotOpened(created.Error());
    m_createdCopy = true;
    m_copy.emplace(std::move(created.Value()));
    if (auto written = m_copy->WriteBytes(files::MarkOf(m_encoding)); !written.Ok())
        return Failed(written.Error());
    return std::nullopt;
}

// Blocks go out as they are read, in bounded memory whatever the length of a
// line; only the lines equal to the key, found by their bytes, change.
Step ReplacementRun::Copy()
{
    const std::size_t unit = files::CodeUnitSize(m_encoding);
    const std::string lineFeed = files::EncodeText(u"\n", m_encoding);
    const std::string carriageReturn = files::EncodeText(u"\r", m_encoding);
    const std::u16string nothing;
    RecordMatcher matcher = RecordMatcher::For(m_replacement.key ? *m_replacement.key : nothing, m_encoding);
    const std::string replacement =
        m_replacement.replacement ? files::EncodeText(*m_replacement.replacement, m_encoding) : std::string();
    std::string convention;  // the end of the first line that has one
    std::string lastUnit;    // of the content as read
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
        std::size_t done = content.size() - std::min(content.size(), 2 * unit);
        done -= done % unit;
        if (m_replacement.key)
            done = matcher.Scan(content, atEnd, matches);
        else if (atEnd)
            done = content.size();
        std::size_t written = 0;
        for (const std::size_t at : matches) {
            if (Step stop = Write(content.substr(written, at - written)))
                return stop;
            if (Step stop = Write(replacement))
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
            if (Step stop = CopyEnd(lastUnit, lastLineReplaced, convention.empty() ? lineFeed : convention))
                return stop;
            // An odd last byte of a UTF-16 file stays last, where it shifts no line.
            return Write(trailing);
        }
        carried.erase(0, done);
    }
}

// A last line without an end gets the file's convention; one that ends in a
// lone CR gets CR LF, so that its CR stays in it. Then the added record.
Step ReplacementRun::CopyEnd(const std::string& lastUnit, bool lastLineReplaced, const std::string& convention)
{
    const std::string carriageReturn = files::EncodeText(u"\r", m_encoding);
    if (!lastUnit.empty() && lastUnit != files::EncodeText(u"\n", m_encoding)) {
        const bool endsInCr = !lastLineReplaced && lastUnit == carriageReturn;
        if (Step stop = Write(endsInCr ? carriageReturn + files::EncodeText(u"\n", m_encoding) : convention))
            return stop;
    }
    if (!m_replacement.appended)
        return std::nullopt;
    return Write(files::EncodeText(*m_replacement.appended, m_encoding) + convention);
}

Step ReplacementRun::Write(std::string_view bytes)
{
    if (auto written = m_copy->WriteBytes(bytes); !written.Ok())
        return Failed(written.Error());
    return std::nullopt;
}

Step ReplacementRun::SaveCopy()
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
    const bool ownerKept = now.Value().owner == original.owner;
    const bool ownerStaysIn = groupKept && (mode & 0060) == 0060
                              && files::CurrentFileSystem().IsMember(original.owner, original.group);
    if (!ownerKept && !ownerStaysIn)
        return Result{ReplaceOutcome::Failed,
                      NothingChanged(u"Quillmark.txt belongs to another user, who would lose it to this change.")};
    if (!groupKept)
        mode &= 0600;
    files::FileStatus status = m_copy->SetMode(mode);
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
        if (auto removed = files::RemoveFile(TemporaryFileName); !removed.Ok()) {
            return {result.GetOutcome(), result.Message() + u" " + Widen(removed.Error().Message())
                                             + u"; it will be replaced by the next change."};
        }
    }
    return result;
}

} // namespace

StoreResult<ReplaceOutcome> ReplaceLockedUserFile(const Replacement& replacement)
{
    return ReplacementRun(replacement).Run();
}

std::optional<std::u16string> WhyUnchangeable(const files::FileInfo& info)
{
    if (info.symlink)
        return u"Quillmark.txt is a symbolic link; the program only changes a regular file.";
    if (!info.regular)
        return u"Quillmark.txt could not be opened: it is not a regular file.";
    const unsigned user = files::CurrentFileSystem().ProcessOwner();
    if (info.owner != user && user != 0 && (info.mode & 0004))
        return u"Quillmark.txt belongs to another user and every user may read it: a password kept there would not be private.";
    if (info.links > 1)
        return u"Quillmark.txt has other names (hard links); the program only changes a file with one name.";
    if (!info.writable)
        return u"Quillmark.txt is read-only.";
    return std::nullopt;
}

} // namespace store
