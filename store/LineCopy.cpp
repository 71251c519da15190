#include "store/LineCopy.h"

#include "store/LineEnds.h"
#include "store/RecordMatcher.h"

#include <vector>

namespace store {
namespace {

// Below this a span still in memory is written from there: a system call
// for a few bytes costs more than the bytes.
constexpr std::uint64_t SmallSpan = 64 * 1024;

// The unchanged bytes between two changes, from `start` in the user file,
// leave by the kernel's copy, which shares blocks where the file system can;
// where it would only read them again, the bytes the search read leave from
// memory, block by block, and only those it never read by the kernel.
class SpanCopy {
public:
    SpanCopy(files::TextReader& from, files::TextFile& to, std::uint64_t start)
        : m_from(from), m_to(to), m_start(start), m_way(to.BestSpanCopy())
    {
    }

    // Writes the span that ends at `end`; `inMemory` holds the file's bytes from `memoryOffset`.
    files::FileStatus WriteUpTo(std::uint64_t end, std::string_view inMemory, std::uint64_t memoryOffset)
    {
        const bool fromMemory = m_way == files::SpanCopy::FromMemory;
        if (fromMemory && m_start < memoryOffset && end > memoryOffset) {
            if (auto status = m_to.CopyFrom(m_from, m_start, memoryOffset - m_start); !status.Ok())
                return status;
            m_start = memoryOffset;
        }
        const std::uint64_t size = end - m_start;
        files::FileStatus status;
        if (size > 0 && (size < SmallSpan || fromMemory) && m_start >= memoryOffset)
            status = m_to.WriteBytes(inMemory.substr(m_start - memoryOffset, size));
        else if (size > 0)
            status = m_to.CopyFrom(m_from, m_start, size);
        m_start = end;
        return status;
    }
    // Writes the span up to `end` now where the bytes leave from memory: the next block replaces them.
    files::FileStatus WriteReadUpTo(std::uint64_t end, std::string_view inMemory, std::uint64_t memoryOffset)
    {
        if (m_way != files::SpanCopy::FromMemory || end <= m_start)
            return {};
        return WriteUpTo(end, inMemory, memoryOffset);
    }
    void SkipTo(std::uint64_t start) { m_start = start; }

private:
    files::TextReader& m_from;
    files::TextFile& m_to;
    std::uint64_t m_start;
    files::SpanCopy m_way;
};

} // namespace

files::FileStatus CopyLines(files::TextReader& from, files::TextFile& to, const LineChanges& changes,
                            const std::string& convention)
{
    const files::TextEncoding encoding = to.Encoding();
    const std::size_t unit = files::CodeUnitSize(encoding);
    RecordMatcher matcher(changes.key ? changes.key->Bytes(encoding) : std::string(), unit);
    const std::string none;
    const std::string& replacement = changes.replacement ? changes.replacement->Bytes(encoding) : none;
    // A large file's own mark is copied with its lines, from its first byte,
    // so that a file system that shares extents can share them all.
    const std::string_view mark = files::MarkOf(encoding);
    const bool markKept = mark == from.Mark() && from.Info().size >= SmallSpan;
    if (!markKept) {
        if (auto status = to.WriteBytes(mark); !status.Ok())
            return status;
    }
    SpanCopy span(from, to, markKept ? 0 : from.Mark().size());
    if (changes.key && changes.firstKeyAt > from.Mark().size())
        from.SkipTo(changes.firstKeyAt);
    std::string lastUnit;  // of the content as read
    bool lastLineReplaced = false;
    std::vector<std::size_t> matches;
    std::size_t kept = 0;  // bytes the matcher must see again, at the front of the next block
    for (;;) {
        auto block = from.ReadBlock(kept);
        if (!block.Ok())
            return block.Error();
        std::string_view content = block.Value();
        const std::uint64_t contentOffset = from.BlockOffset();  // in the file
        const bool atEnd = content.size() == kept;
        const std::string trailing(atEnd ? content.substr(content.size() - content.size() % unit) : "");
        content.remove_suffix(trailing.size());
        std::size_t done = atEnd ? content.size() : content.size() / unit * unit;
        if (changes.key)
            done = matcher.Scan(content, atEnd, matches);
        for (const std::size_t at : matches) {
            if (auto status = span.WriteUpTo(contentOffset + at, content, contentOffset); !status.Ok())
                return status;
            if (auto status = to.WriteBytes(replacement); !status.Ok())
                return status;
            span.SkipTo(contentOffset + at + matcher.KeySize());
            lastLineReplaced = atEnd && at + matcher.KeySize() == content.size();
        }
        matches.clear();
        if (auto status = span.WriteReadUpTo(contentOffset + done, content, contentOffset); !status.Ok())
            return status;
        if (done >= unit)
            lastUnit = content.substr(done - unit, unit);
        if (atEnd) {
            if (auto status = span.WriteUpTo(contentOffset + content.size(), content, contentOffset); !status.Ok())
                return status;
            std::string end = EndForLastLine(lastUnit, lastLineReplaced, convention, encoding);
            if (changes.appended)
                end += changes.appended->Bytes(encoding) + EndForNewLine(convention, encoding);
            // An odd last byte of a UTF-16 file stays last, where it shifts no line.
            return to.WriteBytes(end + trailing);
        }
        kept = content.size() - done;
    }
}

} // namespace store
