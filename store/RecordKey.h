#pragma once
// The record key: user name, ":", password, compared whole with record lines.
#include <string>

namespace store {

std::u16string RecordKey(const std::u16string& user, const std::u16string& password);

} // namespace store
