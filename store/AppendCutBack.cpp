#include "store/AppendCutBack.h"

#include <algorithm>
#include <string_view>

namespace store {
namespace {

// Where the NUL code units that end the file's first `end` bytes start: a gap
// that a write past another program's cut leaves. Read backwards in steps.
files::FileResult<std::uint64_t> GapStart(const HeldFile& file, std::uint64_t end, NewLine& line)
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

void LeaveNoPartOfTheLine(HeldFile& file, std::uint64_t lineStart, NewLine& line, GapBefore gap)
{
    auto held = file.Examine();
    if (!held.Ok() || held.Value().size <= lineStart)
        return;
    const std::uint64_t size = held.Value().size;
    // Bytes equal to this copy's are not known to be its own: an editor's save
    // over the whole line may hold the same. Only a file that ends where the
    // line ended can still hold a tail of it.
    if (size > lineStart + line.whole.size())
        return;
    const std::size_t length = static_cast<std::size_t>(size - lineStart);
    auto read = file.ReadAt(lineStart, line.readBack.data(), length);
    if (!read.Ok() || read.Value() != length)
        return;
    const std::string_view bytes(line.readBack.data(), length);
    std::size_t own = length;
    while (own > 0 && OwnByte(bytes[own - 1], own - 1, line))
        --own;
    // Short of the whole line, a NUL is no sign of this copy's: another
    // program's UTF-16 line ends in one.
    // Whole code units from the line's end: in UTF-16 another program's line
    // end holds a NUL that matches a byte of a character of the line.
    if (own > 0) {
        const auto ownUnit = [&](std::size_t end) {
            for (std::size_t at = end - line.unit; at < end; ++at) {
                if (bytes[at] != line.whole[at] && bytes[at] != line.placeholder[at])
                    return false;
            }
            return true;
        };
        own = length;
        while (own >= line.unit && ownUnit(own))
            own -= line.unit;
    }
    if (own == length)
        return;
    // A tail that would log in stands on a line of its own, after another
    // program's line end; one that ends another program's line may be theirs.
    const std::size_t unit = line.unit;
    const std::string_view lineFeed = std::string_view(line.whole).substr(line.whole.size() - unit);
    if (own > 0 && ((lineStart + own) % unit != 0 || own < unit || bytes.substr(own - unit, unit) != lineFeed))
        return;
    // A gap of NUL before the line comes of a write past another program's
    // cut: the first character's, or a line's whose end was looked up first.
    // Before a line written whole at the end, a NUL is another program's (a
    // UTF-16 line end's).
    const bool wholeAtTheEnd = bytes == line.whole || bytes == line.placeholder;
    const bool gapPossible = own == 0 && gap == GapBefore::Possible
                             && (!wholeAtTheEnd || file.HowEndIsWritten() == files::EndWrite::LookedUpFirst);
    auto from = gapPossible ? GapStart(file, lineStart, line) : files::FileResult<std::uint64_t>(lineStart + own);
    if (from.Ok() && file.Truncate(from.Value()).Ok())
        file.Sync();
}

} // namespace store
