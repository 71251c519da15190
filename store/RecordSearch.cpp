#include "store/RecordSearch.h"

#include "store/Messages.h"
#include "store/RecordMatcher.h"

#include <vector>

namespace store {

std::u16string SearchFailure(const files::FileError& error)
{
    return FailureSentence(error);
}

files::FileResult<std::optional<std::uint64_t>> FindFirstRecord(files::TextReader& reader, const Record& key)
{
    const std::size_t unit = files::CodeUnitSize(reader.Encoding());
    RecordMatcher matcher(key.Bytes(reader.Encoding()), unit);
    std::vector<std::size_t> matches;
    std::size_t kept = 0;  // bytes the matcher must see again, at the front of the next block
    for (;;) {
        auto block = reader.ReadBlock(kept);
        if (!block.Ok())
            return block.Error();
        std::string_view content = block.Value();
        const bool atEnd = content.size() == kept;
        // An odd last byte of a UTF-16 file belongs to no line.
        if (atEnd)
            content.remove_suffix(content.size() % unit);
        const std::size_t done = matcher.Scan(content, atEnd, matches);
        if (!matches.empty())
            return std::optional<std::uint64_t>(reader.BlockOffset() + matches.front());
        if (atEnd)
            return std::optional<std::uint64_t>();
        kept = content.size() - done;
    }
}

files::FileResult<bool> FindRecord(files::TextReader& reader, const Record& key)
{
    auto found = FindFirstRecord(reader, key);
    if (!found.Ok())
        return found.Error();
    return found.Value().has_value();
}

} // namespace store
