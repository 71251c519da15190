#include "store/UserFileTail.h"

#include "store/LineEnds.h"
#include "store/UserFile.h"

#include <algorithm>

namespace store {
namespace {

constexpr std::size_t StepSize = 64 * 1024;

// The start of the line that ends at `end` (exclusive of its line end), found
// by reading backwards for the line feed before it.
files::FileResult<std::uint64_t> LineStartBefore(files::TextReader& reader, std::uint64_t end, std::size_t unit)
{
    const std::uint64_t contentStart = reader.Mark().size();
    std::uint64_t at = end;
    while (at > contentStart) {
        const std::uint64_t from = std::max<std::uint64_t>(contentStart, at - std::min<std::uint64_t>(at, StepSize));
        auto bytes = reader.ReadBytesAt(from, static_cast<std::size_t>(at - from));
        if (!bytes.Ok())
            return bytes.Error();
        if (bytes.Value().size() != at - from)
            return files::FileError(files::FileFault::Other, "read", UserFileName, "it changed while it was read");
        for (std::size_t offset = bytes.Value().size(); offset >= unit; offset -= unit) {
            if (IsUnit(bytes.Value(), offset - unit, '\n', unit))
                return from + offset;
        }
        at = from;
    }
    return contentStart;
}

} // namespace

files::FileResult<UserFileTail> ReadTail(files::TextReader& reader)
{
    const std::size_t unit = files::CodeUnitSize(reader.Encoding());
    const std::uint64_t contentStart = std::min<std::uint64_t>(reader.Mark().size(), reader.Info().size);
    UserFileTail tail;
    const std::uint64_t content = reader.Info().size - contentStart;
    tail.oddByte = content % unit != 0;
    tail.contentEnd = reader.Info().size - content % unit;
    tail.lastLineStart = tail.contentEnd;
    auto convention = ConventionOf(reader);
    if (!convention.Ok())
        return convention.Error();
    tail.convention = convention.Value();
    if (tail.contentEnd == contentStart)
        return tail;
    auto last = reader.ReadBytesAt(tail.contentEnd - unit, unit);
    if (!last.Ok())
        return last.Error();
    tail.lastUnit = last.Value();
    const bool endsLine = tail.lastUnit.size() == unit && IsUnit(tail.lastUnit, 0, '\n', unit);
    auto start = LineStartBefore(reader, endsLine ? tail.contentEnd - unit : tail.contentEnd, unit);
    if (!start.Ok())
        return start.Error();
    tail.lastLineStart = start.Value();
    // An append writes whole code units: after an odd byte, a NUL is the user's own.
    if (!tail.oddByte && tail.lastLineStart + unit <= tail.contentEnd) {
        auto first = reader.ReadBytesAt(tail.lastLineStart, unit);
        if (!first.Ok())
            return first.Error();
        tail.unfinished = first.Value() == std::string(unit, '\0');
    }
    return tail;
}

} // namespace store
