#pragma once
// The lock that guards one file name for every copy of the program that
// reaches the file, Linux or Windows: other processes, sessions and machines
// on a share. Both lock bytes of one lock file beside it:
//
//   byte  what       who takes it                 how     how long
//   0     change     a change (an append, a copy  alone   the whole change
//                    and rename)
//   1     readers    a read without the change    shared  while the file is open
//                    lock (a log-in)
//                    a replacement                alone   its rename
//   2     turnstile  a replacement                alone   from its wait for byte 1
//                                                         to the end of its rename
//                    a read without the change    shared  a moment, passed on the
//                    lock                                 way to byte 1
//
// Bytes 1 and 2 are taken only where readers keep a rename out (Windows), and
// waited for together at most ReadersPatience: then each goes on without them.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace files {

enum class LockFileByte : std::uint64_t { Change = 0, Readers = 1, Turnstile = 2 };

// A copy of the program holds the readers' bytes for moments; whoever holds
// them longer (anyone who may read the lock file can) delays no more.
constexpr auto ReadersPatience = std::chrono::seconds(1);

enum class LockCreation { CreateIfMissing, RequireExisting };

// `Quillmark.txt` is guarded by `Quillmark.lock`: never renamed, never removed.
std::string LockNameFor(const std::string& name);

class FileLock {
public:
    // Waits up to `patience`; an error that IsBusy() when another holder kept
    // it. Creates the lock file if missing, never `name`; with RequireExisting,
    // `name` missing once the lock is held gives an error that IsMissing().
    static FileResult<FileLock> Acquire(const std::string& name, std::chrono::milliseconds patience,
                                        LockCreation creation = LockCreation::CreateIfMissing);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    ~FileLock();  // releases
    // Fails while the lock file at the name is no longer the one held: one
    // removed by hand lets another copy lock a new one and change at once.
    FileStatus StillHeld() const;

private:
    FileLock(FileSystem& fileSystem, FileHandle file, std::string name);

    FileSystem& m_fileSystem;
    FileHandle m_file;
    std::string m_name;
};

enum class ReadersRole { Reading, Replacing };

// Readers and a replacement of `name` taking turns, where the file system
// needs it, for the guard's lifetime: Reading around a read made without the
// change lock, Replacing around a rename over `name`. Never fails: without a
// lock file, or with a byte held elsewhere past ReadersPatience, it holds
// nothing (a replacement still keeps the turnstile).
class ReadersGuard {
public:
    ReadersGuard(const std::string& name, ReadersRole role);
    ReadersGuard(const ReadersGuard&) = delete;
    ReadersGuard& operator=(const ReadersGuard&) = delete;
    ~ReadersGuard();  // releases

private:
    void TakeTurn(ReadersRole role);
    bool Takes(LockFileByte byte, ByteLock lock, std::chrono::steady_clock::time_point deadline);
    void LetGo();

    FileSystem& m_fileSystem;
    FileHandle m_file = -1;
};

} // namespace files
