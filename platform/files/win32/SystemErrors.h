#pragma once
// The Windows codes as the faults that the layers above ask about, in the
// system's own words, and the patience with another program's handle.
#include "platform/files/FileError.h"

#include <algorithm>
#include <chrono>
#include <string>

#include <windows.h>

namespace files {

// Another program's handle (an indexer, a virus scanner, a log-in reading the
// file) holds a file for a moment at a time: opens, replaces and removals
// that meet one try again for this long before they fail.
constexpr auto BusyPatience = std::chrono::seconds(5);
constexpr DWORD LongestPause = 20;  // milliseconds

FileFault FaultOf(DWORD error);
FileError ErrorOf(DWORD error, std::string action, std::string name = {});
FileError LastError(std::string action, std::string name = {});
// Nothing taken and no error: asking again would only loop, and no reason is known.
FileError TookNothing();
FileError LinkRefused(std::string action, std::string name);

inline bool IsSharingViolation(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION;
}

// Runs `attempt` (ERROR_SUCCESS or an error) until it succeeds, fails in a way
// that `busy` does not accept, or patience runs out; gives its last result.
template <typename Attempt, typename Busy>
DWORD WhileBusy(Attempt attempt, Busy busy,
                std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + BusyPatience)
{
    for (DWORD pause = 1;; pause = std::min(pause * 2, LongestPause)) {
        const DWORD error = attempt();
        if (error == ERROR_SUCCESS || !busy(error) || std::chrono::steady_clock::now() >= deadline)
            return error;
        Sleep(pause);
    }
}

} // namespace files
