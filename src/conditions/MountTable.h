// The machine's mounted file systems, as the folder browser's drive list
// offers them. Free of Qt; paths are byte strings as the kernel gives them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace textrove::conditions {

struct MountEntry {
    std::string mountPoint;
    std::string fsType;
};

// Entries of a mounts table in the /proc/self/mounts format, in file order.
// Octal escapes (\040 for a blank, ...) in the mount point are decoded;
// malformed lines are skipped.
std::vector<MountEntry> ParseMounts(std::string_view text);

// Kernel pseudo file systems (the walk's table, search/engine/PseudoFileSystems)
// and other mounts that hold no user files: tmpfs, ramfs, autofs. tmpfs counts
// among them because on a desktop it holds /run, /dev/shm and per-user
// runtime areas.
bool IsPseudoFileSystem(std::string_view fsType);

// Mount points of the real file systems, each once, sorted by byte value.
std::vector<std::string> RealMountPoints(const std::vector<MountEntry>& mounts);

// The mount point (of any file system) that holds the absolute path: the
// longest mount point that is the path itself or a leading run of whole
// components of it. "/" when no entry matches.
std::string MountPointOf(std::string_view absolutePath, const std::vector<MountEntry>& mounts);

// The table of the running system (/proc/self/mounts); empty when unreadable.
std::vector<MountEntry> ReadSystemMounts();

}  // namespace textrove::conditions
