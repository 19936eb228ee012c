#pragma once
// The EDID every slot holds unless a file or the state directory says otherwise.
#include "edid/EdidImage.h"

namespace tavo::devsim {

// A valid 256-byte EDID: base block with a 1920x1080 preferred timing, range limits and the name
// "TAVO NEW EDID", and a CEA-861 extension with video, audio, speaker and HDMI blocks. Both
// checksums are computed, so swapping in another template only means changing this function.
EdidImage BuiltinNewEdid();

} // namespace tavo::devsim
