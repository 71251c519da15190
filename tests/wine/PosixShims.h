#pragma once
// Included ahead of the store's test sources on Windows: the POSIX calls that
// some of their cases make (FIFOs) fail here, and those cases are left out by
// name in CMakeLists.txt; a folder has no mode here. Symbolic links are Unix
// links, made by Wine's Unix side, as an attacker there would make them.
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

// A Unix link, made as a user of the machine would make it (Folder.cpp).
int symlink(const char* target, const char* name);
