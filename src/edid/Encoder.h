#pragma once
// EDID encoder: EdidRecord -> image, written over the record's own image (the template image).
#include <string_view>

#include "edid/EdidRecord.h"

namespace tavo {

struct EncodeResult {
    bool ok = true;
    // Empty on success; "Edid Over Size." when the data blocks do not fit in the extension.
    std::string_view message;
    explicit operator bool() const { return ok; }
};

inline constexpr std::string_view kEncodeOverSize = "Edid Over Size.";

// Rewrites record.image from the record: the base block's vendor/product fields, monitor name,
// timings, extension count and checksum; in DVI format (kFormatNoExtension) one block, the rest
// of the image 0xFF (a file of it holds 128 bytes: EdidLength);
// in HDMI format a rebuilt CEA-861 extension, carrying a few bytes over from the template's
// blocks. Also changes the record: format flags (HDMI: all but 3D cleared, 4K bits recomputed)
// and one compaction pass over the standard timings.
//
// The build claims nothing for the display that the record does not: what the template's blocks
// say (the HDMI block's clock and Supports_AI, the colorimetry block's metadata profiles, the
// forum block) is carried over as it is, and a block or a higher clock is added only for what the
// record lists beyond the template (a forum block with SCDC and 600 MHz for a 4K format at 50 or
// 60 Hz that the template does not list; the HDMI block's clock raised for deep colour or a 4K
// format it did not have).
//
// When the data blocks would run past offset 126 of the extension (over its checksum), or one
// block's payload would be longer than the 31 bytes its header can give (an HDMI block with
// latency fields, four HDMI VICs and 14 3D bytes), nothing is dropped: the result is
// {false, "Edid Over Size."} and the record, image included, is left exactly as it was, so the
// caller must not save or upload anything. Never reads or writes outside the image.
//
// HDMI VICs are written in list order, empty (0) entries skipped. A template HDMI block with
// latency fields keeps them when there are no HDMI VICs and no 3D, but loses HDMI_Video_present
// and the 3D byte, since no HDMI_VIC_LEN byte follows.
[[nodiscard]] EncodeResult Encode(EdidRecord& record);

} // namespace tavo
