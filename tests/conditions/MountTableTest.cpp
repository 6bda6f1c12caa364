// The drive list's source: the mounts table with pseudo file systems left out.
#include <gtest/gtest.h>

#include "conditions/MountTable.h"

using namespace textrove::conditions;

TEST(MountTable, RealMountPointsAndTheMountHoldingAPath)
{
    const std::vector<MountEntry> mounts =
        ParseMounts("overlay / overlay rw,lowerdir=/x 0 0\n"
                    "proc /proc proc rw 0 0\n"
                    "/dev/sda1 /home ext4 rw 0 0\n"
                    "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                    "/dev/sdc1 /srv/data xfs rw 0 0\n"
                    "tmpfs /srv/data tmpfs rw 0 0\n"  // hides the xfs mount below it
                    "malformed-line\n"
                    "\n"
                    "none relative/point ext4 rw 0 0\n"
                    "/dev/sde1 /home btrfs rw 0 0");  // the same point again, no final newline
    EXPECT_EQ(RealMountPoints(mounts), (std::vector<std::string>{"/", "/home", "/media/usb stick"}));
    EXPECT_EQ(ParseMounts("x /a\\011b\\134c\\12 ext4 rw\n")[0].mountPoint, "/a\tb\\c\\12")
        << "escapes decoded, a cut-off escape kept";

    const std::pair<const char*, const char*> rows[] = {
        {"/etc", "/"},
        {"/srv/data/x/y", "/srv/data"},
        {"/srv/database", "/"},   // a name prefix is no component match
        {"/proc/1/fd", "/proc"},  // pseudo mounts still hold their paths
    };
    for (const auto& [path, mount] : rows) EXPECT_EQ(MountPointOf(path, mounts), mount) << path;
}
