#include "store/AppendCutBack.h"

#include <algorithm>
#include <string_view>

namespace store {
namespace {

// Where the NUL code units that end the file's first `end` bytes start: a gap
// that a write past another program's cut leaves. Read backwards in steps.
files::FileResult<std::uint64_t> GapBefore(const HeldFile& file, std::uint64_t end, NewLine& line)
{
    const std::size_t unit = line.unit;
    while (end >= unit) {
        const std::uint64_t from = end - std::min<std::uint64_t>(end / unit * unit, BackwardStep);
        const std::string_view bytes(line.readBack.data(), static_cast<std::size_t>(end - from));
        auto read = file.ReadAt(from, line.readBack.data(), bytes.size());
        if (!read.Ok())
            return read.Error();
        if (read.Value() != bytes.size())
            return end;
        for (std::size_t at = bytes.size(); at >= unit; at -= unit) {
            if (bytes.substr(at - unit, unit).find_first_not_of('\0') != std::string_view::npos)
                return from + at;
        }
        end = from;
    }
    return end;
}

} // namespace

files::FileResult<bool> CutBackTo(HeldFile& file, std::uint64_t size, NewLine& line)
{
    auto held = file.Examine();
    if (!held.Ok())
        return held.Error();
    if (held.Value().size <= size)
        return true;
    if (held.Value().size - size > line.whole.size())
        return false;
    const std::size_t length = static_cast<std::size_t>(held.Value().size - size);
    auto read = file.ReadAt(size, line.readBack.data(), length);
    if (!read.Ok())
        return read.Error();
    if (read.Value() != length || !OwnBytes(std::string_view(line.readBack.data(), length), line))
        return false;
    if (auto cut = file.Truncate(size); !cut.Ok())
        return cut.Error();
    return true;
}

void LeaveNoPartOfTheLine(HeldFile& file, std::uint64_t lineStart, NewLine& line)
{
    auto held = file.Examine();
    if (!held.Ok() || held.Value().size <= lineStart)
        return;
    const std::uint64_t size = held.Value().size;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(size - lineStart, line.whole.size()));
    auto read = file.ReadAt(lineStart, line.readBack.data(), length);
    if (!read.Ok() || read.Value() != length)
        return;
    const std::string_view bytes(line.readBack.data(), length);
    // Another program wrote over the head of the line, not its tail: the tail is this copy's.
    std::size_t own = length;
    while (own > 0 && OwnByte(bytes[own - 1], own - 1, line))
        --own;
    if (own == length)
        return;
    files::FileStatus done;
    if (lineStart + length == size) {
        auto from = own == 0 ? GapBefore(file, lineStart, line) : files::FileResult<std::uint64_t>(lineStart + own);
        if (!from.Ok())
            return;
        done = file.Truncate(from.Value());
    } else {
        // A NUL in the record's place, at a whole code unit as a reader counts them.
        const std::size_t unit = line.unit;
        const std::size_t recordEnd = line.whole.size() - line.endSize;
        std::size_t at = std::max(own, line.firstCharacter);
        at += (unit - (lineStart + at) % unit) % unit;
        for (std::size_t nul = at; nul + unit <= recordEnd; nul += unit) {
            if (bytes.substr(nul, unit).find_first_not_of('\0') == std::string_view::npos)
                return;
        }
        if (at + unit > recordEnd)
            return;
        done = file.WriteAt(lineStart + at, std::string(unit, '\0').data(), unit);
    }
    if (done.Ok())
        file.Sync();
}

} // namespace store
