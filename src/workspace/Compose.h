#pragma once
// Compose: from two to eight source EDIDs (the displays behind the device, a sound system) one
// EDID that claims only what every source supports, and the list of what was left out.
#include <string>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

inline constexpr int kComposeMinSources = 2;
inline constexpr int kComposeMaxSources = 8;

struct ComposeSource {
    std::string label; // file name, "Output 1", display connector...
    EdidImage image{};
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

ComposeResult Compose(const std::vector<ComposeSource>& sources, const ComposeOptions& options);

// {"outcome": "built"|"nothing_shared"|"bad_input", "message": ..., "omissions": [{"capability":
// ..., "lacking_sources": [N, ...], "text": ...}, ...]} on one line.
std::string ComposeJson(const ComposeResult& result);

} // namespace tavo
