#pragma once
// Included ahead of the portable test sources on Windows, for the few POSIX
// calls they share with Linux: a folder has no mode here. Symbolic links are
// Unix links, made by Wine's Unix side, as an attacker there would make them.
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

inline int mkdir(const char* name, unsigned)
{
    return _mkdir(name);
}

// A Unix link, made as a user of the machine would make it (FolderWindows.cpp).
int symlink(const char* target, const char* name);
