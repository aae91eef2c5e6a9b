#include "platform/drives.h"

#include <gtest/gtest.h>

#include <set>
#include <unistd.h>

namespace {

const char kMounts[] = "/dev/sda2 / ext4 rw,relatime 0 0\n"
                       "proc /proc proc rw,nosuid 0 0\n"
                       "tmpfs /tmp tmpfs rw 0 0\n"
                       "/dev/sda1 /boot/efi vfat rw,fmask=0077 0 0\n"
                       "/dev/sdb1 /media/usb stick vfat rw 0 0\n" // unescaped blank: type "stick"
                       "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                       "/dev/nvme0n1p3 /home btrfs rw,subvol=/home 0 0\n"
                       "server:/export /net nfs4 rw 0 0\n"
                       "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
                       "/dev/sdc1 /srv/ro ext4 ro,relatime 0 0\n"
                       "/dev/sdd1 /data xfs rw 0 0\n"
                       "/dev/sde1 /data ext4 rw 0 0\n" // mounted over the previous one
                       "/dev/sda2 /etc/hosts ext4 rw 0 0\n"
                       "overlay /var/lib/docker overlay rw 0 0\n"
                       "short line\n";

TEST(Mounts, ParsesFieldsAndEscapes) {
    auto mounts = platform::ParseMounts(kMounts);
    ASSERT_GE(mounts.size(), 14u);
    EXPECT_EQ(mounts[0].device, "/dev/sda2");
    EXPECT_EQ(mounts[0].type, "ext4");
    EXPECT_FALSE(mounts[0].readOnly);
    bool usb = false;
    for (const auto& m : mounts)
        usb |= m.mountPoint == "/media/usb stick";
    EXPECT_TRUE(usb);
    for (const auto& m : mounts) {
        if (m.mountPoint == "/srv/ro") {
            EXPECT_TRUE(m.readOnly);
        }
    }
    for (const auto& m : mounts)
        EXPECT_NE(m.device, "short");
}

TEST(Drives, LocalWritableFixedFileSystemsWithTheirRoots) {
    platform::DriveProbe probe;
    probe.isRemovable = [](const std::string& dev) { return dev == "/dev/sdb1"; };
    // Only root may write at the top of / and /data; the user writes in $HOME and in $TMPDIR.
    const std::set<std::string> writable{"/home", "/home/ann", "/boot/efi", "/data/tmp"};
    probe.isWritableFolder = [&](const std::string& f) { return writable.count(f) != 0; };
    probe.home = "/home/ann/";
    probe.tmpdir = "/data/tmp";

    auto drives = platform::ListDrives(platform::ParseMounts(kMounts), probe);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& d : drives)
        got.emplace_back(d.mountPoint, d.root);
    // / has no writable root ($HOME and $TMPDIR lie on other mounts); /data is the ext4 on top.
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"/boot/efi", "/boot/efi/"}, {"/home", "/home/"}, {"/data", "/data/tmp/"}}));
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[2].device, "/dev/sde1");
}

TEST(Drives, HomeIsTheRootWhenTheMountPointIsNotWritable) {
    const char mounts[] = "/dev/sda1 / ext4 rw 0 0\n";
    platform::DriveProbe probe;
    probe.isWritableFolder = [](const std::string& f) { return f == "/root" || f == "/tmp"; };
    probe.home = "/root";
    probe.tmpdir = "/tmp";
    auto drives = platform::ListDrives(platform::ParseMounts(mounts), probe);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].root, "/root/");

    probe.isWritableFolder = [](const std::string&) { return false; };
    EXPECT_TRUE(platform::ListDrives(platform::ParseMounts(mounts), probe).empty());
}

TEST(Drives, ThisMachineGivesRootsThatAreWritableFolders) {
    for (const auto& d : platform::ListDrives()) {
        EXPECT_EQ(d.root.back(), '/');
        EXPECT_EQ(::access(d.root.c_str(), W_OK | X_OK), 0) << d.root;
    }
}

} // namespace
