// The one writer of files: whole or not at all. On a full file system (a small tmpfs in a mount
// namespace of this test's own, where one may be made) a write fails with the system's reason,
// the former file stays as it was and no temporary file is left.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "edid/WholeFile.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "tavo-whole-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        ::umount2(path.c_str(), MNT_DETACH);
        fs::remove_all(path, ec);
    }
};

TEST(WholeFile, WritesReplacesAndKeepsTheModeAsked) {
    TempDir dir;
    const fs::path file = dir.path / "out.bin";
    std::string error;
    ASSERT_TRUE(WriteWholeFile(file.string(), "first", 0640, error)) << error;
    EXPECT_EQ(Slurp(file), "first");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteWholeFile(file.string(), std::string(100000, 'x'), -1, error)) << error;
    EXPECT_EQ(Slurp(file).size(), 100000u);
    ASSERT_TRUE(WriteWholeFile(file.string(), "", -1, error)) << error; // meant empty: empty
    EXPECT_EQ(Slurp(file), "");
    // a folder that is not there: the reason, nothing made
    EXPECT_FALSE(WriteWholeFile((dir.path / "no" / "x").string(), "a", -1, error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 1);
}

TEST(WholeFile, AFullDiskLosesNothing) {
    TempDir dir;
    // a mount namespace of this process's own: as root, or as a user through a user namespace
    if (::geteuid() != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER) != 0) GTEST_SKIP() << "no user namespace here";
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    if (::unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no mount namespace here";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tavo-full", dir.path.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    const fs::path file = dir.path / "keep.bin";
    std::string error;
    const std::string former(256, 'k');
    ASSERT_TRUE(WriteWholeFile(file.string(), former, -1, error)) << error;
    {
        std::ofstream fill(dir.path / "fill", std::ios::binary);
        const std::string block(4096, 'f');
        while (fill.write(block.data(), block.size())) {
        }
    }
    // every size: a write that could not start, one cut midway
    for (std::size_t size : {std::size_t(1), std::size_t(256), std::size_t(1) << 20}) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(WriteWholeFile(file.string(), std::string(size, 'n'), -1, error));
        EXPECT_EQ(error, std::strerror(ENOSPC));
        EXPECT_EQ(Slurp(file), former);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 2); // keep.bin, fill
    }
    // room again: the write goes through
    fs::remove(dir.path / "fill");
    EXPECT_TRUE(WriteWholeFile(file.string(), "new", -1, error)) << error;
    EXPECT_EQ(Slurp(file), "new");
}

} // namespace
} // namespace tavo
