#pragma once
// Finds bytes in bytes, as fast as the processor can: the hot loop of every
// search of the user file.
#include <cstddef>
#include <string_view>

namespace files {

// The first occurrence of `needle` at or after `from` that starts a whole
// number of `unit`-byte code units from the haystack's start, or npos. Takes
// time linear in the haystack where no occurrence of the needle's first unit
// can start inside another occurrence (a line feed before a key without one).
// The vectors a search compares with: the widest this processor has, or a
// narrower width asked for, which must give the same results.
enum class Vectors { None, Narrow, Wide, Widest };
Vectors WidestVectors();

std::size_t FindUnits(std::string_view haystack, std::string_view needle, std::size_t from, std::size_t unit,
                      Vectors widest = WidestVectors());

} // namespace files
