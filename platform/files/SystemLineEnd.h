#pragma once
// The line end that the system's own text tools write and expect.
#include <string_view>

namespace files {

// CR LF on Windows, LF elsewhere.
std::u16string_view SystemLineEnd();

} // namespace files
