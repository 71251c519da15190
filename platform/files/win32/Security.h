#pragma once
// Who the process is, the security its new files get, and whether it runs
// under Wine, whose files differ from Windows' where noted.
#include <windows.h>

namespace files {

// For the owner (and SYSTEM) only; null if the user cannot be told.
PSECURITY_DESCRIPTOR PrivateSecurity();
// Whether the process acts as the SID: its user, or a group it is in.
bool IsProcessOwner(PSID owner);
bool RunsUnderWine();

} // namespace files
