#pragma once
// The creator's build: the page is read into the creator's record (which keeps what the page does
// not show from the loaded template) and the encoder writes the new image over the record's.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "edid/EdidRecord.h"
#include "workspace/creator/CreatorPage.h"

namespace tavo::creator {

struct BuildResult {
    bool ok = true;
    std::string message; // for the warning line when the build fails
    explicit operator bool() const { return ok; }
};

// The numbers of the page's numeric fields, read with the blanks around them removed.
struct PageNumbers {
    std::uint16_t productCode = 0;           // low 16 bits
    std::uint32_t serialNumber = 0;          // low 32 bits: "-1" and "4294967295" are FF FF FF FF
    std::uint8_t year = 0;                   // low 8 bits of the calendar year
    std::uint8_t week = 0;                   // low 8 bits
    std::array<std::uint8_t, 3> luminance{}; // low 8 bits each
    std::int64_t lpcmChannels = 0;
    std::array<std::int64_t, 7> panelChannels{}; // by kAudioPanels index
    std::array<std::int64_t, 7> panelBitRate{};  // 0 for the panels without a bit-rate edit
    std::array<std::uint8_t, 2> cecAddress{};
};

// Reads every numeric field. A field whose text is not a decimal number (an empty one included),
// or a CEC address that is not four hexadecimal digits, fails with a message naming the field.
BuildResult ReadNumbers(const CreatorPage& page, PageNumbers& numbers);

// The audio part of the build: short audio descriptors (adding the newly ticked formats,
// removing the cleared ones, rewriting every known descriptor from its panel) and the speaker
// allocation. A format added while the list is full takes a slot that the removals free in the
// same build. Channel counts above 8 are written as 8, the most a descriptor holds; an L-PCM
// number of 0 or less removes the multichannel L-PCM descriptors still in the list and leaves the
// one- and two-channel ones as they are.
void BuildAudio(const CreatorPage& page, const PageNumbers& numbers, EdidRecord& record);

// Reads the whole page into the record (the encoder is not run). The record is changed only
// when every field could be read.
BuildResult ReadPage(const CreatorPage& page, EdidRecord& record);

// ReadPage, then Encode. On failure ("... Not A Number!", "Edid Over Size.") the record, image
// included, is left as it was and nothing must be saved or uploaded.
BuildResult Build(const CreatorPage& page, EdidRecord& record);

// What the save and upload buttons check before they build.
enum class Gate {
    Build,      // go on
    InputError, // upload only: a rule is broken; Label3 shows "Create Error!" for a second
    NoTemplate, // nothing loaded: the warning line asks for New or Open
};
inline constexpr std::string_view kCreateError = "Create Error!";
inline constexpr std::string_view kNoTemplateWarning = "Please select \"NEW\" or \"OPEN\"";

// Save needs a loaded EDID (status bit 8) and ignores the input-error bit.
Gate SaveGate(std::uint16_t status);
// Upload refuses a page with a broken rule first, then one without a loaded EDID.
Gate UploadGate(std::uint16_t status);

// The upload's build: Build, then the built image is validated, which replaces the validation
// bits of the record's status word with the new image's own. Fails with the build's message or
// with the validation message ("Illegal Edid Header." ...); then nothing is to be sent.
BuildResult BuildForUpload(const CreatorPage& page, EdidRecord& record);

} // namespace tavo::creator
