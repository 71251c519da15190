#pragma once
// A record line as the user typed it (user name ":" password), checked once at
// the door of the store and encoded once into each encoding it is used in.
#include "platform/files/TextEncoding.h"

#include <array>
#include <optional>
#include <string>

namespace store {

// Why a line cannot be stored as one record (a line break or NUL would cut it
// or add another, an unpaired surrogate has no bytes of its own in UTF-8), or
// nullopt when it can.
std::optional<std::u16string> RefusalOf(const std::u16string& line);

class Record {
public:
    // The record, or nullopt with `why` set where RefusalOf refuses it.
    static std::optional<Record> Admit(const std::u16string& text, std::u16string& why);

    const std::u16string& Text() const { return m_text; }
    const std::string& Bytes(files::TextEncoding encoding) const;
    // The bytes of its first character, which an append writes last.
    std::size_t FirstCharacterSize(files::TextEncoding encoding) const;

private:
    explicit Record(std::u16string text) : m_text(std::move(text)) {}

    std::u16string m_text;
    mutable std::array<std::optional<std::string>, 3> m_bytes;  // by encoding
};

} // namespace store
