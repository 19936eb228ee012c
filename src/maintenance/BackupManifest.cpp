#include "maintenance/BackupManifest.h"

#include <algorithm>

#include "link/SlotName.h"
#include "maintenance/Firmware.h"
#include "maintenance/Sha256.h"

namespace tavo {
namespace {

std::string Hash(const std::string& bytes) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// The files of the manifest as slots with their images; false with the plan's error.
bool ReadFiles(const BackupManifest& m, const BackupFileReader& read,
               std::vector<std::pair<SlotSelector, EdidImage>>& out, std::string& error) {
    for (const auto& [name, hash] : m.files) {
        const std::string stem =
            name.size() > 4 && name.ends_with(".bin") ? name.substr(0, name.size() - 4) : "";
        const auto slot = ParseSlotName(stem);
        if (!slot) {
            error = name + ": not a slot file name";
            return false;
        }
        std::string bytes;
        if (!read(name, bytes, error)) return false;
        if (bytes.size() != kEdidSize) {
            error = name + ": " + std::to_string(bytes.size()) + " bytes, not 256";
            return false;
        }
        if (Hash(bytes) != hash) {
            error = name + ": its SHA-256 differs from the manifest";
            return false;
        }
        EdidImage image{};
        std::copy(bytes.begin(), bytes.end(), image.begin());
        out.emplace_back(*slot, image);
    }
    return true;
}

} // namespace

void TakeManifestField(BackupManifest& m, const std::string& name, const ManifestValue& v) {
    using Kind = ManifestValue::Kind;
    if (!m.invalid.empty()) return; // the first wrong field is the one named
    auto kindName = [](Kind k) -> std::string {
        switch (k) {
        case Kind::Absent:
            return "missing";
        case Kind::Null:
            return "null";
        case Kind::Bool:
            return "true or false";
        case Kind::Number:
            return "a number";
        case Kind::String:
            return "text";
        case Kind::Array:
            return "a list";
        case Kind::Object:
            return "an object";
        }
        return "?";
    };
    auto number = [](double d) {
        std::string text = std::to_string(d);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') text.pop_back();
        return text;
    };
    if (name == "format" || name == "vid" || name == "pid" || name == "product") {
        if (v.kind != Kind::String) {
            m.invalid = name + ": " + kindName(v.kind) + ", not text";
            return;
        }
        (name == "format" ? m.format
         : name == "vid"  ? m.vid
         : name == "pid"  ? m.pid
                          : m.product) = v.text;
    } else if (name == "mode") {
        if (v.kind == Kind::Absent) return;
        if (v.kind != Kind::Number) {
            m.invalid = "mode: " + kindName(v.kind) + ", not a whole number";
        } else if (v.number != static_cast<double>(static_cast<long long>(v.number))) {
            m.invalid = "mode: " + number(v.number) + " is not a whole number";
        } else if (v.number < 0 || v.number > 255) {
            m.invalid = "mode: " + number(v.number) + " is outside 0 to 255";
        } else {
            m.mode = static_cast<long long>(v.number);
        }
    } else if (name == "description") {
        if (v.kind == Kind::Absent) return;
        if (v.kind != Kind::String)
            m.invalid = "description: " + kindName(v.kind) + ", not text";
        else
            m.description = v.text;
    }
}

RestorePlan PlanRestore(const BackupManifest& m, const DeviceRecord& device, bool force,
                        const BackupFileReader& read) {
    RestorePlan plan;
    if (!m.invalid.empty()) {
        plan.error = std::string(kBackupManifestName) + ": " + m.invalid + "; nothing sent";
        return plan;
    }
    if (m.format != kBackupFormatName || !m.hasFiles) {
        plan.error = std::string(kBackupManifestName) + ": not a device backup manifest";
        return plan;
    }
    std::vector<std::pair<SlotSelector, EdidImage>> files;
    if (!ReadFiles(m, read, files, plan.error)) return plan;
    if (!force && (m.vid != device.vid || m.pid != device.pid || m.product != device.product)) {
        plan.error = "the backup is of " + m.product + " (VID " + m.vid + ", PID " + m.pid +
                     "), the device is " + device.product + "; nothing sent";
        return plan;
    }
    const auto find = [&](SlotSelector s) {
        return std::find_if(files.begin(), files.end(),
                            [&](const auto& f) { return f.first == s; });
    };
    for (SlotKind kind : {SlotKind::Input, SlotKind::User}) {
        const unsigned count = kind == SlotKind::Input ? device.inputCount : device.userCount;
        for (unsigned i = 0; i < count; ++i) {
            const SlotSelector slot = SlotSelector::Make(kind, i);
            const auto file = find(slot);
            plan.items.push_back(file == files.end()
                                     ? PlannedSlot{slot, PlannedState::NotInBackup, {}}
                                     : PlannedSlot{slot, PlannedState::Write, file->second});
        }
    }
    for (const auto& [slot, image] : files) // outputs and internal slots are read only
        if (IsWritableSlot(slot) && !SlotExists(slot, device.inputCount, device.outputCount,
                                                device.userCount, device.internalCount))
            plan.items.push_back({slot, PlannedState::NoSuchSlot, {}});
    if (m.mode) {
        const unsigned modes = device.internalCount + device.outputCount + device.userCount;
        if (*m.mode < 0 || *m.mode >= static_cast<long long>(modes)) {
            plan.error = std::string(kBackupManifestName) + ": mode: " + std::to_string(*m.mode) +
                         " is outside the device's " + std::to_string(modes) + " modes (0 to " +
                         std::to_string(modes == 0 ? 0 : modes - 1) + "); nothing sent";
            plan.items.clear();
            return plan;
        }
        plan.mode = static_cast<std::uint8_t>(*m.mode);
    }
    plan.description = m.description;
    if (m.description) {
        const std::vector<std::uint8_t> payload = DescriptionPayload(*m.description);
        const std::string stored(payload.begin(), payload.end());
        if (stored != *m.description && !m.description->empty())
            plan.descriptionNotice = "the device keeps " + std::to_string(kDescriptionLimit) +
                                     " bytes of a description: it will store \"" + stored +
                                     "\" (the backup holds \"" + *m.description + "\")";
    }
    return plan;
}

} // namespace tavo
