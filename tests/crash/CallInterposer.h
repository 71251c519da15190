#pragma once
// Stands between the program and the C library's file calls, for tests only:
// records what reaches the file system (calls, arguments, results) and makes
// the system's own calls fail or write short, below every layer of ours.
// Only files opened by a relative name while watching are seen.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crash {

enum class CallKind { Open, Write, Truncate, Sync, Close, Rename, Link, Unlink, MakeFolder, ReadAccessList };

struct Call {
    CallKind kind;
    int file = -1;            // the descriptor; an Open's result
    std::string name{};       // Open, Rename, Link, Unlink, MakeFolder
    std::string target{};     // Rename, Link
    int flags = 0;            // Open's
    std::uint64_t offset = 0; // Write's; Truncate's size
    std::string data{};       // Write's bytes (a kernel copy's too)
    long result = 0;
    int error = 0;            // errno where result < 0
};

// Starts recording the calls on files opened from now on.
void StartRecording();
std::vector<Call> StopRecording();
std::string Describe(const Call& call);

// Faults of the system itself, on files opened from now on until ClearFaults.
void ShortenWritesTo(std::size_t bytes);  // each write, pwrite or copy takes at most this many, maybe none
void FailSyncs(int code);                 // fsync and fdatasync fail with this errno
void RefuseCopies(int code);              // copy_file_range fails with this errno, or copies nothing for 0
void FailByName(CallKind kind, const std::string& name, int code);  // a Rename, Unlink or ReadAccessList of that name
void FailLocks(int code);                 // fcntl(F_OFD_SETLK) fails with this errno
void ClearFaults();

} // namespace crash
