#include "StateDir.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "CommandLine.h"

namespace tavo::devsim {
namespace {

constexpr std::string_view kKindNames[kSlotKinds] = {"input", "output", "user", "internal"};

std::string_view Bytes(const EdidImage& image) {
    return {reinterpret_cast<const char*>(image.data()), image.size()};
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) std::filesystem::remove(tmp, ec);
    return !ec;
}

std::optional<SlotSelector> SlotFromName(std::string_view name) {
    for (unsigned k = 0; k < kSlotKinds; ++k) {
        if (!name.starts_with(kKindNames[k])) continue;
        const auto number = cmdline::ParseInteger(name.substr(kKindNames[k].size()), 1, 0x1000);
        if (!number) return std::nullopt;
        return SlotSelector::Make(static_cast<SlotKind>(k), static_cast<unsigned>(*number - 1));
    }
    return std::nullopt;
}

std::string SlotName(SlotSelector s) {
    return std::string(kKindNames[s.kindCode() % kSlotKinds]) + std::to_string(s.index() + 1);
}

bool StateDir::Load(Device& device, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    if (ec || !std::filesystem::is_directory(dir_)) {
        error = "cannot use state directory " + dir_.string() + ": " + ec.message();
        return false;
    }
    for (SlotKind kind : {SlotKind::Input, SlotKind::User}) {
        for (unsigned i = 0; i < device.Count(kind); ++i) {
            const SlotSelector s = SlotSelector::Make(kind, i);
            if (auto bytes = ReadFileBytes(dir_ / (SlotName(s) + ".bin")))
                device.SetSlot(s, ImageFromBytes(bytes->data(), bytes->size()));
        }
    }
    if (auto bytes = ReadFileBytes(dir_ / "mode")) {
        std::string text(bytes->begin(), bytes->end());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (const auto mode = cmdline::ParseInteger(text, 0, 255))
            device.SetMode(static_cast<std::uint8_t>(*mode));
    }
    if (auto bytes = ReadFileBytes(dir_ / "description"))
        device.SetDescription(std::string(bytes->begin(), bytes->end()));
    return true;
}

bool StateDir::SaveAll(const Device& device) {
    StateChanges all;
    for (unsigned k = 0; k < kSlotKinds; ++k)
        for (unsigned i = 0; i < device.Count(static_cast<SlotKind>(k)); ++i)
            all.slots.push_back(SlotSelector::Make(static_cast<SlotKind>(k), i));
    all.mode = all.description = true;
    return Save(device, all);
}

bool StateDir::Save(const Device& device, const StateChanges& changes) {
    bool ok = true;
    for (SlotSelector s : changes.slots)
        if (device.SlotExists(s))
            ok = WriteFileAtomic(dir_ / (SlotName(s) + ".bin"), Bytes(device.Slot(s))) && ok;
    if (changes.mode)
        ok = WriteFileAtomic(dir_ / "mode", std::to_string(device.Mode()) + "\n") && ok;
    if (changes.description) ok = WriteFileAtomic(dir_ / "description", device.Description()) && ok;
    return ok;
}

} // namespace tavo::devsim
