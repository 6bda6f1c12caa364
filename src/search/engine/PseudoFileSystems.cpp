#include "search/engine/PseudoFileSystems.h"

#include <linux/magic.h>

#include <array>

namespace textrove::search {

namespace {

struct PseudoFileSystem {
    std::string_view type;
    unsigned long magic;  // 0: none of its own (linux/magic.h has none for it)
};

constexpr std::array<PseudoFileSystem, 20> kPseudo{{
    {"proc", PROC_SUPER_MAGIC},
    {"sysfs", SYSFS_MAGIC},
    {"devtmpfs", 0},  // reports the tmpfs magic
    {"devpts", DEVPTS_SUPER_MAGIC},
    {"cgroup", CGROUP_SUPER_MAGIC},
    {"cgroup2", CGROUP2_SUPER_MAGIC},
    {"debugfs", DEBUGFS_MAGIC},
    {"tracefs", TRACEFS_MAGIC},
    {"securityfs", SECURITYFS_MAGIC},
    {"pstore", PSTOREFS_MAGIC},
    {"bpf", BPF_FS_MAGIC},
    {"mqueue", 0},
    {"hugetlbfs", HUGETLBFS_MAGIC},
    {"configfs", 0},
    {"fusectl", 0},
    {"binfmt_misc", BINFMTFS_MAGIC},
    {"nsfs", NSFS_MAGIC},
    {"efivarfs", EFIVARFS_MAGIC},
    {"rpc_pipefs", 0},
    {"selinuxfs", SELINUX_MAGIC},
}};

}  // namespace

bool IsPseudoFileSystemType(std::string_view fsType)
{
    for (const auto& fs : kPseudo) {
        if (fs.type == fsType) return true;
    }
    return false;
}

bool IsPseudoFileSystemMagic(unsigned long magic)
{
    for (const auto& fs : kPseudo) {
        if (fs.magic != 0 && fs.magic == magic) return true;
    }
    return false;
}

}  // namespace textrove::search
