#include "store/RecordSearch.h"

#include "store/RecordMatcher.h"

#include <vector>

namespace store {

files::FileResult<bool> FindRecord(files::TextReader& reader, const Record& key)
{
    const std::size_t unit = files::CodeUnitSize(reader.Encoding());
    RecordMatcher matcher(key.Bytes(reader.Encoding()), unit);
    std::string carried;
    std::vector<std::size_t> matches;
    for (;;) {
        auto block = reader.ReadBlock();
        if (!block.Ok())
            return block.Error();
        const bool atEnd = block.Value().empty();
        carried += block.Value();
        std::string_view content = carried;
        // An odd last byte of a UTF-16 file belongs to no line.
        if (atEnd)
            content.remove_suffix(content.size() % unit);
        const std::size_t done = matcher.Scan(content, atEnd, matches);
        if (!matches.empty())
            return true;
        if (atEnd)
            return false;
        carried.erase(0, done);
    }
}

files::FileResult<bool> FindRecordLineByLine(files::TextReader& reader, const Record& key)
{
    const std::string& bytes = key.Bytes(reader.Encoding());
    files::TextLine line;
    for (;;) {
        auto read = reader.ReadRawLine(line);
        if (!read.Ok())
            return read.Error();
        if (!read.Value())
            return false;
        if (line.bytes == bytes)
            return true;
    }
}

} // namespace store
