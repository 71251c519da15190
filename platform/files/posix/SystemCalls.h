#pragma once
// errno as the faults that the layers above ask about, and the system's calls
// carried on past interruptions and short counts.
#include "platform/files/FileError.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace files {

// Busy is the lock's own word for another copy's change; no call's errno means it.
FileError SystemError(int code, std::string action, std::string name = {}, std::string reason = {});

template <class Call>
int RetryOnInterrupt(Call call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// Goes on after short counts and interruptions until all is written or a call fails.
template <class WritePart>
FileStatus WriteAll(const char* data, std::size_t size, WritePart writePart)
{
    std::uint64_t done = 0;
    while (size > 0) {
        const ssize_t count = writePart(data, size, done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return SystemError(errno, "written");
        // Nothing taken and no error: asking again would only loop.
        if (count == 0)
            return FileError(FileFault::Other, "written", {}, "the system took none of the bytes");
        data += count;
        size -= static_cast<std::size_t>(count);
        done += static_cast<std::uint64_t>(count);
    }
    return {};
}

} // namespace files
