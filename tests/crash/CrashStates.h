#pragma once
// Every state of a folder that a power cut during a recorded run of calls may
// leave on the disk, under a model of what the file system keeps. Writes
// persist, if at all, in 512-byte sectors: a write within one sector is never
// torn.
#include "CallInterposer.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace crash {

// File name -> contents.
using Folder = std::map<std::string, std::string>;

enum class Persistence {
    // ext4 with data=ordered: names, sizes and appended data reach the journal
    // in the order of the calls, whole or as a prefix; an overwrite in place is
    // unordered until its file's fsync; any fsync commits all before it.
    Ext4Ordered,
    // Any POSIX file system: only what an fsync covered is sure. A file keeps
    // any mix of the sectors it had since its last fsync, at any of its sizes;
    // any of the folder's changes since the folder's fsync may be lost.
    StrictPosix,
};

inline constexpr std::size_t SectorSize = 512;

struct CrashStateSet {
    std::set<Folder> any;       // a cut before, between or after the calls
    std::set<Folder> finished;  // a cut once the last call has returned
};

// `before` is on the disk when the calls start.
CrashStateSet CrashStates(const Folder& before, const std::vector<Call>& calls, Persistence model);

} // namespace crash
