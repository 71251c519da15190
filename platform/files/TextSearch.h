#pragma once
// Finds bytes in bytes, as fast as the platform can: the hot loop of every
// search of the user file.
#include <cstring>
#include <string_view>

namespace files {

// The first occurrence of `needle` at or after `from`, or npos.
inline std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from)
{
#if defined(__GLIBC__)
    // glibc's two-way search skips ahead with vector compares.
    const void* found = ::memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - haystack.data()) : std::string_view::npos;
#else
    return haystack.find(needle, from);
#endif
}

} // namespace files
