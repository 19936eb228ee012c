#pragma once
// EDID decoder: image -> EdidRecord.
#include "edid/EdidRecord.h"

namespace tavo {

// Copies `source` into record.image (it may be record.image itself), validates it and fills the
// record's fields from the base block and the extension's data blocks. When validation fails
// (record.status & kStatusValidationMask) only the reset fields are defined: "UNDEFINE." names,
// empty lists, colour depth 8, format flags 0. Bits 7 and 8 of the status word are kept.
// Never reads outside the 256-byte image, whatever lengths the blocks claim.
void Decode(EdidRecord& record, const EdidImage& source);

} // namespace tavo
