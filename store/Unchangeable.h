#pragma once
// Why the user file cannot be changed where it stands, whatever the change.
#include "platform/files/FileSystem.h"

#include <optional>
#include <string>

namespace store {

// A link, more than one name, not a regular file, read-only, another user's
// file that every user may read or that this user may not write; nullopt
// when it can be changed.
std::optional<std::u16string> WhyUnchangeable(const files::FileInfo& info);

} // namespace store
