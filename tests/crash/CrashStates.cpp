#include "CrashStates.h"

#include <algorithm>
#include <fcntl.h>
#include <stdexcept>

namespace crash {
namespace {

// A recorded run in terms of files rather than names and descriptors.
struct Step {
    enum Kind { SetName, RemoveName, Rename, Write, Truncate, SyncFile, SyncFolder } kind;
    std::string name{};
    std::string target{};  // a Rename's
    int file = -1;
    std::uint64_t offset = 0;
    std::string data{};
    bool appends = false;  // a Write past the end, or any change of size
};

using Names = std::map<std::string, int>;

struct Disk {
    Names names;
    std::vector<std::string> files;

    void Apply(const Step& step)
    {
        switch (step.kind) {
        case Step::SetName: names[step.name] = step.file; break;
        case Step::RemoveName: names.erase(step.name); break;
        case Step::Rename:
            names.erase(step.name);
            names[step.target] = step.file;
            break;
        case Step::Write: {
            std::string& bytes = files[static_cast<std::size_t>(step.file)];
            if (bytes.size() < step.offset + step.data.size())
                bytes.resize(step.offset + step.data.size(), '\0');
            bytes.replace(step.offset, step.data.size(), step.data);
            break;
        }
        case Step::Truncate: files[static_cast<std::size_t>(step.file)].resize(step.offset, '\0'); break;
        case Step::SyncFile:
        case Step::SyncFolder: break;
        }
    }

    Folder Contents() const
    {
        Folder folder;
        for (const auto& [name, file] : names)
            folder[name] = files[static_cast<std::size_t>(file)];
        return folder;
    }
};

constexpr int FolderHandle = -2;

// Replays the calls on the names they saw, giving each file a number.
std::vector<Step> StepsOf(const Disk& start, const std::vector<Call>& calls)
{
    Disk now = start;
    std::map<int, int> handles;
    std::vector<Step> steps;
    auto add = [&](Step step) {
        if (step.kind == Step::Write || step.kind == Step::Truncate)
            step.appends = step.kind == Step::Truncate
                           || step.offset + step.data.size() > now.files[static_cast<std::size_t>(step.file)].size();
        now.Apply(step);
        steps.push_back(std::move(step));
    };
    for (const Call& call : calls) {
        if (call.result < 0)
            continue;
        switch (call.kind) {
        case CallKind::Open:
            if (call.flags & O_DIRECTORY) {
                handles[call.file] = FolderHandle;
            } else if (auto named = now.names.find(call.name); named != now.names.end()) {
                handles[call.file] = named->second;
                if (call.flags & O_TRUNC)
                    add({Step::Truncate, {}, {}, named->second, 0});
            } else {
                now.files.emplace_back();
                handles[call.file] = static_cast<int>(now.files.size() - 1);
                add({Step::SetName, call.name, {}, handles[call.file]});
            }
            break;
        case CallKind::Write:
            // Cut at sector edges: a sector is written whole or not at all.
            for (std::size_t done = 0; done < call.data.size();) {
                const std::uint64_t at = call.offset + done;
                const std::size_t piece = std::min<std::size_t>(call.data.size() - done, SectorSize - at % SectorSize);
                add({Step::Write, {}, {}, handles.at(call.file), at, call.data.substr(done, piece)});
                done += piece;
            }
            break;
        case CallKind::Truncate: add({Step::Truncate, {}, {}, handles.at(call.file), call.offset}); break;
        case CallKind::Sync:
            if (handles.at(call.file) == FolderHandle)
                add({Step::SyncFolder});
            else
                add({Step::SyncFile, {}, {}, handles.at(call.file)});
            break;
        case CallKind::Close: handles.erase(call.file); break;
        case CallKind::Rename: {
            // One step: a rename is lost or kept whole.
            add({Step::Rename, call.name, call.target, now.names.at(call.name)});
            break;
        }
        case CallKind::Link: add({Step::SetName, call.target, {}, now.names.at(call.name)}); break;
        case CallKind::Unlink: add({Step::RemoveName, call.name}); break;
        case CallKind::MakeFolder:
        case CallKind::ReadAccessList: break;
        }
    }
    return steps;
}

bool ChangesNames(const Step& step)
{
    return step.kind == Step::SetName || step.kind == Step::RemoveName || step.kind == Step::Rename;
}
bool ChangesData(const Step& step) { return step.kind == Step::Write || step.kind == Step::Truncate; }

constexpr std::size_t MostChoices = 1 << 14;

void CheckBound(std::size_t choices)
{
    if (choices > MostChoices)
        throw std::length_error("too many crash states: record a smaller run");
}

// Every subset of `items`, in order, as bit masks.
std::size_t SubsetsOf(std::size_t count)
{
    CheckBound(std::size_t{1} << std::min<std::size_t>(count, 20));
    return std::size_t{1} << count;
}

void Ext4States(const Disk& start, const std::vector<Step>& steps, std::size_t crash, std::set<Folder>& states)
{
    std::ptrdiff_t committed = -1;  // the last fsync before the crash
    for (std::size_t at = 0; at < crash; ++at)
        if (steps[at].kind == Step::SyncFile || steps[at].kind == Step::SyncFolder)
            committed = static_cast<std::ptrdiff_t>(at);
    // Overwrites in place that no fsync of their file has covered yet.
    std::vector<std::size_t> loose;
    for (std::size_t at = 0; at < crash; ++at) {
        if (steps[at].kind != Step::Write || steps[at].appends)
            continue;
        bool synced = false;
        for (std::size_t later = at + 1; later < crash; ++later)
            synced |= steps[later].kind == Step::SyncFile && steps[later].file == steps[at].file;
        if (!synced)
            loose.push_back(at);
    }
    std::vector<std::size_t> ordered;
    for (std::size_t at = static_cast<std::size_t>(committed + 1); at < crash; ++at)
        if (ChangesNames(steps[at]) || (ChangesData(steps[at]) && steps[at].appends))
            ordered.push_back(at);
    const std::size_t subsets = SubsetsOf(loose.size());
    for (std::size_t kept = 0; kept <= ordered.size(); ++kept) {
        for (std::size_t subset = 0; subset < subsets; ++subset) {
            Disk disk = start;
            for (std::size_t at = 0; at < crash; ++at) {
                const auto isLoose = std::find(loose.begin(), loose.end(), at);
                const bool inPrefix = static_cast<std::ptrdiff_t>(at) <= committed
                                      || std::find(ordered.begin(), ordered.begin() + static_cast<std::ptrdiff_t>(kept), at)
                                             != ordered.begin() + static_cast<std::ptrdiff_t>(kept);
                if (isLoose != loose.end())
                    continue;
                if (inPrefix)
                    disk.Apply(steps[at]);
            }
            for (std::size_t index = 0; index < loose.size(); ++index)
                if (subset & (std::size_t{1} << index))
                    disk.Apply(steps[loose[index]]);
            states.insert(disk.Contents());
        }
    }
}

// The contents a file may show: any of its sizes since its last fsync, each
// sector from any of its versions since then.
std::vector<std::string> StrictContents(const std::vector<std::string>& versions)
{
    std::set<std::size_t> sizes;
    std::size_t largest = 0;
    for (const std::string& version : versions) {
        sizes.insert(version.size());
        largest = std::max(largest, version.size());
    }
    std::vector<std::vector<std::string>> sectorChoices;
    std::size_t combinations = 1;
    for (std::size_t at = 0; at < largest; at += SectorSize) {
        std::set<std::string> choices;
        for (std::string version : versions) {
            version.resize(largest, '\0');
            choices.insert(version.substr(at, SectorSize));
        }
        sectorChoices.emplace_back(choices.begin(), choices.end());
        combinations *= choices.size();
        CheckBound(combinations * sizes.size());
    }
    std::set<std::string> contents;
    for (std::size_t combination = 0; combination < combinations; ++combination) {
        std::string bytes;
        std::size_t rest = combination;
        for (const auto& choices : sectorChoices) {
            bytes += choices[rest % choices.size()];
            rest /= choices.size();
        }
        for (const std::size_t size : sizes)
            contents.insert(bytes.substr(0, size));
    }
    return {contents.begin(), contents.end()};
}

void StrictStates(const Disk& start, const std::vector<Step>& steps, std::size_t crash, std::set<Folder>& states)
{
    std::size_t folderSynced = 0;  // the steps before this one are named for sure
    for (std::size_t at = 0; at < crash; ++at)
        if (steps[at].kind == Step::SyncFolder)
            folderSynced = at + 1;
    std::vector<std::size_t> renaming;
    for (std::size_t at = folderSynced; at < crash; ++at)
        if (ChangesNames(steps[at]))
            renaming.push_back(at);
    // Each file: its versions since its last fsync.
    const std::size_t fileCount = start.files.size();
    std::vector<std::vector<std::string>> contents;
    Disk replay = start;
    replay.files.resize(fileCount);
    for (std::size_t file = 0; file < fileCount; ++file) {
        std::vector<std::string> versions{replay.files[file]};
        for (std::size_t at = 0; at < crash; ++at) {
            if (steps[at].file != static_cast<int>(file))
                continue;
            if (ChangesData(steps[at])) {
                replay.Apply(steps[at]);
                versions.push_back(replay.files[file]);
            } else if (steps[at].kind == Step::SyncFile) {
                versions = {replay.files[file]};
            }
        }
        contents.push_back(StrictContents(versions));
    }
    for (std::size_t subset = 0; subset < SubsetsOf(renaming.size()); ++subset) {
        Disk disk = start;
        disk.files.resize(contents.size());
        for (std::size_t at = 0; at < crash; ++at) {
            const auto pending = std::find(renaming.begin(), renaming.end(), at);
            const bool kept = pending == renaming.end()
                              || (subset & (std::size_t{1} << static_cast<std::size_t>(pending - renaming.begin())));
            if (ChangesNames(steps[at]) && kept)
                disk.Apply(steps[at]);
        }
        // Every mix of the named files' possible contents.
        std::vector<int> named;
        for (const auto& [name, file] : disk.names)
            if (std::find(named.begin(), named.end(), file) == named.end())
                named.push_back(file);
        std::size_t combinations = 1;
        for (const int file : named)
            combinations *= contents[static_cast<std::size_t>(file)].size();
        CheckBound(combinations);
        for (std::size_t combination = 0; combination < combinations; ++combination) {
            std::size_t rest = combination;
            for (const int file : named) {
                const auto& choices = contents[static_cast<std::size_t>(file)];
                disk.files[static_cast<std::size_t>(file)] = choices[rest % choices.size()];
                rest /= choices.size();
            }
            states.insert(disk.Contents());
        }
    }
}

} // namespace

CrashStateSet CrashStates(const Folder& before, const std::vector<Call>& calls, Persistence model)
{
    Disk start;
    for (const auto& [name, bytes] : before) {
        start.names[name] = static_cast<int>(start.files.size());
        start.files.push_back(bytes);
    }
    const std::vector<Step> steps = StepsOf(start, calls);
    for (const Step& step : steps)
        start.files.resize(std::max(start.files.size(), static_cast<std::size_t>(step.file + 1)));
    const auto statesAt = model == Persistence::Ext4Ordered ? Ext4States : StrictStates;
    CrashStateSet states;
    for (std::size_t crash = 0; crash <= steps.size(); ++crash)
        statesAt(start, steps, crash, states.any);
    statesAt(start, steps, steps.size(), states.finished);
    return states;
}

} // namespace crash
