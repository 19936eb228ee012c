#pragma once
// EDID decoder: image -> EdidRecord.
#include <cstdint>
#include <span>

#include "edid/EdidRecord.h"

namespace tavo {

// Copies `source` into record.image (it may be record.image itself), validates it and fills the
// record's fields from the base block and the extension's data blocks. When validation fails
// (record.status & kStatusValidationMask) only the reset fields are defined: "UNDEFINE." names,
// empty lists, colour depth 8, format flags 0. Bits 7 and 8 of the status word are kept.
// The data blocks are those of block 1 when byte 126 announces it and it is a CTA-861 extension
// (edid/EdidBlocks.h: byte 2 at 0 or 4 gives none; a block whose header runs past byte 2 ends
// there, and what it would hold past that reads as 0). Never reads outside the 256-byte image.
void Decode(EdidRecord& record, const EdidImage& source);

// An EDID of any size: one of more than two blocks as its base block and first CTA-861 extension,
// wherever that stands (FirstTwoBlocks), anything else as a slot's image of its first 256 bytes.
void DecodeEdid(EdidRecord& record, std::span<const std::uint8_t> bytes);

} // namespace tavo
