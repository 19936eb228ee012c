#pragma once
// The built-in EDID that the creator's New button starts from.
#include "edid/EdidImage.h"

namespace tavo {

// NEW, "BrandNewEdid", week 15 of 2015, 1080p60 and 720p60 detailed timings, one CEA-861
// extension with VIC 16, 2-channel L-PCM and an HDMI block at CEC address 1.0.0.0. Both
// checksums are correct.
const EdidImage& NewEdidTemplate();

} // namespace tavo
