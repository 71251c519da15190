#pragma once
// Included ahead of the store's test sources on Windows: the POSIX calls that
// some of their cases make (FIFOs, symbolic links) fail here, and those cases
// are left out by name in CMakeLists.txt; a folder has no mode here.
#include <cerrno>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

inline int mkdir(const char* name, unsigned)
{
    return _mkdir(name);
}

inline int mkfifo(const char*, unsigned)
{
    errno = ENOSYS;
    return -1;
}

inline int symlink(const char*, const char*)
{
    errno = ENOSYS;
    return -1;
}
