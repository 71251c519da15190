#pragma once
// The bytes of one new line as an append writes them, in two steps: first
// with a NUL in place of the record's first character, then that character
// over it, so that until the last write no key matches any part of the line.
#include "platform/files/TextEncoding.h"
#include "store/Record.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace store {

// Made before the file is opened, with room to read them back: nothing that
// may run out of memory comes between the open and the close.
struct NewLine {
    std::string whole;          // a byte-order mark first for an empty file
    std::size_t firstCharacter; // where the record's first character starts
    std::size_t firstCharacterSize;
    std::string placeholder;
    std::size_t unit;           // the encoding's code unit
    std::size_t endSize;        // the bytes of the line's end
    std::string follows;        // the bytes the line is written right after, as read
    std::string readBack;       // room for the line, or a step of a backward read
};

// How much of the file a backward read takes at a time.
inline constexpr std::size_t BackwardStep = 64 * 1024;

NewLine NewLineFor(const Record& key, files::TextEncoding encoding, const std::string& leading, const std::string& end,
                   const std::string& follows = {});

// Whether `bytes`, read from where the line starts, are what this copy wrote
// there (its placeholder, with or without its first character) or the NUL of
// a gap that a write past a cut end leaves.
bool OwnBytes(std::string_view bytes, const NewLine& line);

// Whether the byte at `at` of the line may be this copy's: as it wrote it
// there, its first character, or the NUL of a gap.
bool OwnByte(char byte, std::size_t at, const NewLine& line);

} // namespace store
