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
// key: where the file ends with its bytes, they go (with a gap of NUL before a
// whole line of them); where another program's bytes follow them, a NUL goes
// over one of them, unless one is there. Another program's bytes stay.
void LeaveNoPartOfTheLine(HeldFile& file, std::uint64_t lineStart, NewLine& line);

} // namespace store
