#pragma once
// Ready-made EDIDs for common displays and sound systems. Each is built by the encoder from the
// built-in template: the record's fields (video codes, audio, colour, HDR) are set and encoded,
// with the base block's detailed timings and range limits written for the preset's display.
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

// Where a file name is taken, "preset:NAME" names a ready-made EDID.
inline constexpr std::string_view kPresetPrefix = "preset:";

struct PresetInfo {
    std::string_view name;        // short, lower case with dashes: "1080p60-stereo"
    std::string_view description; // one line for lists and tool tips
};

// Every preset, in the order the lists show them.
const std::vector<PresetInfo>& Presets();

// The preset's name and description, or nullptr for an unknown name.
const PresetInfo* FindPreset(std::string_view name);

struct PresetBuild {
    bool ok = false;
    std::string message; // "unknown preset 'x'", or the encoder's message
    EdidImage image{};
    explicit operator bool() const { return ok; }
};

// Builds the named preset. The image validates.
PresetBuild BuildPreset(std::string_view name);

// "name  description" lines, or with `json` one object per preset on one line each:
// {"name":"...","description":"..."}.
std::string PresetList(bool json);

} // namespace tavo
