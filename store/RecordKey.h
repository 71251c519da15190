#pragma once
// The record key: user name, ":", password, compared whole with record lines.
#include <optional>
#include <string>

namespace store {

std::u16string RecordKey(const std::u16string& user, const std::u16string& password);

// Why a line cannot be stored as one record (a line break or NUL would cut it
// or add another record), or nullopt when it can.
std::optional<std::u16string> RefusalOf(const std::u16string& recordLine);

} // namespace store
