#include "store/LineCopy.h"

#include "store/LineEnds.h"
#include "store/RecordMatcher.h"

#include <vector>

namespace store {

files::FileStatus CopyLines(files::TextReader& from, files::TextFile& to, const LineChanges& changes,
                            const std::string& convention)
{
    const files::TextEncoding encoding = to.Encoding();
    const std::size_t unit = files::CodeUnitSize(encoding);
    RecordMatcher matcher(changes.key ? changes.key->Bytes(encoding) : std::string(), unit);
    const std::string none;
    const std::string& replacement = changes.replacement ? changes.replacement->Bytes(encoding) : none;
    std::string lastUnit;  // of the content as read
    bool lastLineReplaced = false;
    std::string carried;
    std::vector<std::size_t> matches;
    for (;;) {
        auto block = from.ReadBlock();
        if (!block.Ok())
            return block.Error();
        const bool atEnd = block.Value().empty();
        carried += block.Value();
        std::string_view content = carried;
        const std::string trailing(atEnd ? content.substr(content.size() - content.size() % unit) : "");
        content.remove_suffix(trailing.size());
        std::size_t done = atEnd ? content.size() : content.size() / unit * unit;
        if (changes.key)
            done = matcher.Scan(content, atEnd, matches);
        std::size_t written = 0;
        for (const std::size_t at : matches) {
            if (auto status = to.WriteBytes(content.substr(written, at - written)); !status.Ok())
                return status;
            if (auto status = to.WriteBytes(replacement); !status.Ok())
                return status;
            written = at + matcher.KeySize();
            lastLineReplaced = atEnd && written == content.size();
        }
        matches.clear();
        if (auto status = to.WriteBytes(content.substr(written, done - written)); !status.Ok())
            return status;
        if (done >= unit)
            lastUnit = content.substr(done - unit, unit);
        if (atEnd) {
            std::string end = EndForLastLine(lastUnit, lastLineReplaced, convention, encoding);
            if (changes.appended)
                end += changes.appended->Bytes(encoding) + EndForNewLine(convention, encoding);
            // An odd last byte of a UTF-16 file stays last, where it shifts no line.
            return to.WriteBytes(end + trailing);
        }
        carried.erase(0, done);
    }
}

} // namespace store
