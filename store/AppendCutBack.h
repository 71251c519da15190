#pragma once
// What a failed or disturbed append leaves of its line, taken back: only this
// copy's bytes, read back just before they go; another program's bytes stay.
#include "store/HeldFile.h"
#include "store/NewLine.h"

#include <cstdint>

namespace store {

// Cuts the file back to `size` where it is longer, over this copy's bytes
// only, read back just before the cut: false where another program's bytes
// follow them. A file that another program made shorter is never grown with NUL.
files::FileResult<bool> CutBackTo(HeldFile& file, std::uint64_t size, NewLine& line);

// What another program left of this copy's line at `lineStart` must match no
// key: a tail of it that ends the file on a line of its own goes (with a gap of
// NUL before a whole line of it). Bytes that may be another program's stay.
// A line that landed at another end than the one examined follows bytes that
// are not its own: no gap of NUL is sought before it.
enum class GapBefore { Possible, None };
void LeaveNoPartOfTheLine(HeldFile& file, std::uint64_t lineStart, NewLine& line, GapBefore gap = GapBefore::Possible);

} // namespace store
