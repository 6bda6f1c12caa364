// Kernel pseudo file systems: they hold no user files, and reading them can
// block or never end. The walk takes their directories for system entries;
// the folder browser offers none of their mount points.
#pragma once

#include <string_view>

namespace textrove::search {

// True when `fsType` (a mount table's type field) names a kernel pseudo file
// system.
bool IsPseudoFileSystemType(std::string_view fsType);

// True when `magic` (statfs f_type) is that of a kernel pseudo file system;
// for when the mount table cannot be read. Not every one has a magic number
// of its own (devtmpfs reports tmpfs's), so this finds fewer.
bool IsPseudoFileSystemMagic(unsigned long magic);

}  // namespace textrove::search
