#pragma once
// The EDID every slot holds unless a file or the state directory says otherwise.
#include "edid/EdidImage.h"

namespace tavo::devsim {

// The tool's own new EDID (the creator's "New" template), so a slot read from a fresh simulator
// holds what the creator would start from.
EdidImage BuiltinNewEdid();

} // namespace tavo::devsim
