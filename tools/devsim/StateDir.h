#pragma once
// Files: reading EDID preloads, atomic rewrites, and the state directory in which the device
// keeps what it would keep over a power cycle.
//
// State directory layout (one file per item, each rewritten through a temporary file and a
// rename, so a reader never sees half a file):
//   input1.bin … inputI.bin, user1.bin … userU.bin     the writable slots (loaded at start)
//   output1.bin …, internal1.bin …                     the read-only slots (written for
//                                                       inspection, never loaded: they come
//                                                       from the configuration)
//   mode                                               the EDID mode, decimal, LF
//   description                                        the description text as stored
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Device.h"

namespace tavo::devsim {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path);
// Writes through "<path>.tmp" and a rename; false (and no change to `path`) on any failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// "input1", "output2", "user3", "internal4" <-> selector; nullopt for anything else.
std::optional<SlotSelector> SlotFromName(std::string_view name);
std::string SlotName(SlotSelector s);

class StateDir {
public:
    explicit StateDir(std::filesystem::path dir) : dir_(std::move(dir)) {}
    const std::filesystem::path& Path() const { return dir_; }

    // Creates the directory when missing, then loads what it holds into the device. Returns false
    // with a reason when the directory cannot be made.
    bool Load(Device& device, std::string& error);
    // Writes every item.
    bool SaveAll(const Device& device);
    // Writes what `changes` names.
    bool Save(const Device& device, const StateChanges& changes);

private:
    std::filesystem::path dir_;
};

} // namespace tavo::devsim
