#pragma once
// Compose: from two to eight source EDIDs (the displays behind the device, a sound system) one
// EDID that claims only what every source supports, and the list of what was left out.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

class JsonWriter;

inline constexpr int kComposeMinSources = 2;
inline constexpr int kComposeMaxSources = 8;

struct ComposeSource {
    std::string label; // file name, "Output 1", display connector...
    EdidImage image{};
    // Every byte of an EDID of more blocks than the image holds (empty: the image is the EDID):
    // the timings its DisplayID extensions declare count as the source's own.
    std::vector<std::uint8_t> bytes{};
};

struct ComposeOptions {
    int audioFrom = 0;                // 0: the audio all sources share; 1..N: source N's
    std::string name = "Common EDID"; // monitor name of the result
};

// A capability a source has and the result lacks.
struct ComposeOmission {
    std::string capability;          // "3840x2160 60 Hz", "E-AC-3", "YCbCr 4:2:0"...
    std::vector<int> lackingSources; // 1-based
    std::string text;                // "3840x2160 60 Hz: not in source 2 (\"Office 27\")"
};

enum class ComposeOutcome { Built, NothingShared, BadInput };

struct ComposeResult {
    ComposeOutcome outcome = ComposeOutcome::BadInput;
    EdidImage image{};
    std::vector<ComposeOmission> omissions;
    std::string message; // why nothing was built (empty when Built)
};

// Builds the EDID every source can take (a base block and one CTA-861 extension at most), or
// says why not: fewer than two or more than eight sources, a source that fails validation or an
// `audioFrom` outside the sources (BadInput), or no timing that all sources list (NothingShared).
ComposeResult Compose(const std::vector<ComposeSource>& sources, const ComposeOptions& options);

// One thing an EDID claims, as compose compares them: "1920x1080 60 Hz", "3840x2160 60 Hz
// (4:2:0)", "YCbCr 4:4:4", "AC-3" with a level of 6 channels, "Max TMDS clock" with 600 MHz...
// A claim with a level is held by an EDID whose level is at least as high.
struct ComposeCapability {
    std::string name;
    int level = 0;      // 0: a plain claim
    std::string unit;   // " channels", " MHz", " cd/m2"
    bool audio = false; // audio formats, their rates and sizes, speakers, basic audio
    std::string Text() const { return level ? name + " " + std::to_string(level) + unit : name; }
};

// The claims of an image that passed validation, sorted by name, one per name (the highest
// level). Compose lists a source's claim that the result does not hold as an omission.
// `bytes`: every byte of an EDID larger than the image (see ComposeSource).
std::vector<ComposeCapability> ComposeCapabilities(const EdidImage& image,
                                                   std::span<const std::uint8_t> bytes = {});

// {"outcome": "built"|"nothing_shared"|"bad_input", "message": ..., "omissions": [{"capability":
// ..., "lacking_sources": [N, ...], "text": ...}, ...]} on one line.
std::string ComposeJson(const ComposeResult& result);
// The members of that object, into an object `json` has open (more may follow them).
void WriteComposeMembers(JsonWriter& json, const ComposeResult& result);

} // namespace tavo
