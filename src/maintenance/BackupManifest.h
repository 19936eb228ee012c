#pragma once
// What a device backup's manifest promises, checked against the files beside it and the device
// it goes back into, before anything is sent. The Qt side (maintenance/qt/DeviceBackup) reads the
// JSON and the files and runs the plan.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/DeviceModel.h"

namespace tavo {

inline constexpr const char* kBackupManifestName = "manifest.json";
inline constexpr const char* kBackupFormatName = "tavo-device-backup 1";

// The manifest's fields, as the JSON reader found them.
struct BackupManifest {
    std::string format;
    bool hasFiles = false;                                  // "files" is an object
    std::vector<std::pair<std::string, std::string>> files; // "input1.bin" -> SHA-256 hex
    std::string vid, pid, product;                          // the device it was taken of
    std::optional<long long> mode;                          // absent: not restored
    std::optional<std::string> description;                 // the device's bytes
};

enum class PlannedState : std::uint8_t {
    Write,       // in the backup and on the device: written and verified
    NotInBackup, // a writable slot of the device that the manifest's files leave out
    NoSuchSlot,  // in the backup, but the device has no such slot
};

struct PlannedSlot {
    SlotSelector slot{};
    PlannedState state = PlannedState::Write;
    EdidImage image{}; // for Write
};

struct RestorePlan {
    std::string error;              // why nothing may be sent; empty when the plan may run
    std::vector<PlannedSlot> items; // the device's writable slots in order, then slots it lacks
    std::optional<std::uint8_t> mode;
    std::string modeProblem; // the manifest's mode is outside the device's modes: not sent
    std::optional<std::string> description;
    explicit operator bool() const { return error.empty(); }
};

// Reads one file named by the manifest: its bytes, or false with a reason in `error`.
using BackupFileReader =
    std::function<bool(const std::string& name, std::string& bytes, std::string& error)>;

// Checks the manifest (format, file names, sizes, every SHA-256, the identity unless `force`)
// and lays out what a restore into `device` does. A mode outside the device's modes (internal
// slots, outputs, user slots) is kept out of the plan with a reason, never sent modulo 256.
RestorePlan PlanRestore(const BackupManifest& manifest, const DeviceRecord& device, bool force,
                        const BackupFileReader& read);

} // namespace tavo
