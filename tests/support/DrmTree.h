#pragma once
// A DRM tree of a test's own, laid out as /sys/class/drm is: a card folder, a render node and a
// folder per connector with its `status` and `edid` files. Removed with the object.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tavo::test {

class DrmTree {
public:
    DrmTree() {
        static std::atomic<int> counter{0};
        root_ = std::filesystem::temp_directory_path() /
                ("tavo_drm_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(root_ / "card0" / "device");
        std::filesystem::create_directories(root_ / "renderD128");
        std::ofstream(root_ / "version") << "drm 1.1.0 20060810\n";
    }
    ~DrmTree() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    DrmTree(const DrmTree&) = delete;
    DrmTree& operator=(const DrmTree&) = delete;

    // A connector folder; an empty `edid` is what the kernel shows without a display.
    void Add(const std::string& connector, const std::string& status,
             const std::vector<std::uint8_t>& edid) {
        const auto dir = root_ / connector;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "status") << status << '\n';
        std::ofstream(dir / "edid", std::ios::binary)
            .write(reinterpret_cast<const char*>(edid.data()),
                   static_cast<std::streamsize>(edid.size()));
    }
    std::string root() const { return root_.string(); }

private:
    std::filesystem::path root_;
};

} // namespace tavo::test
