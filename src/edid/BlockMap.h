#pragma once
// The block map of a 256-byte image: every byte in exactly one named part, in offset order. The
// base block splits into its fixed fields and its four 18-byte descriptors; a CTA-861 extension
// into its header, its data blocks (by their CTA-861 / HDMI names), its detailed timings, the
// padding and the checksum; any other extension is one part. Nothing is read outside the image,
// and a data block that claims more bytes than its collection holds ends at the collection's end
// as a broken part.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

enum class PartKind : std::uint8_t {
    Header,             // bytes 0-7
    Vendor,             // vendor and product identification, bytes 8-17
    Version,            // bytes 18-19
    BasicParameters,    // bytes 20-24
    Colour,             // colour characteristics, bytes 25-34
    EstablishedTimings, // bytes 35-37
    StandardTimings,    // bytes 38-53
    DetailedTiming,     // an 18-byte detailed timing descriptor (base block or extension)
    MonitorName,        // display descriptor 0xFC
    RangeLimits,        // display descriptor 0xFD
    SerialText,         // display descriptor 0xFF
    Descriptor,         // any other display descriptor
    ExtensionCount,     // byte 126
    Checksum,           // byte 127 or 255
    CtaHeader,          // extension bytes 0-3: tag, revision, detailed timing offset, flags
    DataBlock,          // a CTA-861 data block, header byte included
    BrokenDataBlock,    // a data block that runs past the end of its collection
    Padding,            // the extension's bytes after its detailed timings
    Extension,          // an extension that is not CTA-861, checksum included
    Unused,             // bytes 128-255 when byte 126 announces no extension
    // Larger EDIDs (MapEdid):
    DisplayIdHeader,          // a DisplayID block's tag and its section's first four bytes
    DisplayIdDataBlock,       // a DisplayID data block: tag, revision, length, payload
    BrokenDisplayIdDataBlock, // a DisplayID data block that runs past the end of its section
    DisplayIdChecksum,        // the DisplayID section's own checksum
    BlockMapBlock,            // a block map extension's tag and its block tags
    Incomplete,               // a block the bytes end inside
};

// The kind as `tavo-cli blocks --json` writes it: "header", "data_block", ...
std::string_view PartKindName(PartKind kind);

struct BlockPart {
    int offset = 0;
    int length = 0;
    PartKind kind = PartKind::Header;
    std::string name;     // "Video Data Block", "HDMI Vendor-Specific Data Block", ...
    int tag = -1;         // data blocks: the 3-bit tag code; -1 otherwise
    int extendedTag = -1; // data blocks with tag 7: the first payload byte; -1 otherwise
    int end() const { return offset + length; }
    bool IsDataBlock() const {
        return kind == PartKind::DataBlock || kind == PartKind::BrokenDataBlock;
    }
};

using BlockMap = std::vector<BlockPart>;

// The parts of `image`, contiguous from byte 0 to byte 255.
BlockMap MapBlocks(const EdidImage& image);

// The parts of an EDID of any size (its first 32 KiB), contiguous over every byte: per block as
// MapBlocks does for the first two, DisplayID blocks split into their section header, data
// blocks (those of a CTA-861 DisplayID Data Block into its CTA-861 data blocks), filler, section
// checksum, padding and block checksum; a block map into its tags and checksum; a block past the
// announced count as unused; a block the bytes end inside as one incomplete part. For a 256-byte
// EDID whose block 1 is CTA-861 (or unannounced, or neither CTA-861 nor DisplayID) the result is
// MapBlocks'.
BlockMap MapEdid(std::span<const std::uint8_t> bytes);

// The name of the CTA-861 data block at `offset` of `bytes` whose collection ends at `end`.
std::string CtaDataBlockName(std::span<const std::uint8_t> bytes, int offset, int end);

// The name of an extension block from its tag ("DisplayID Extension Block", ...).
std::string ExtensionBlockName(int tag);

// The name of a DisplayID data block from its tag, as edid-decode names it.
std::string DisplayIdDataBlockName(int tag);

// The owner of an IEEE OUI written "00-0C-03" ("HDMI", "AMD", ...), or "" when not known here.
std::string_view OuiOwnerName(const std::string& oui);

// A decoded field of a part, for the hex view and the semantic diff: {"maximum TMDS clock",
// "340 MHz"}.
struct PartField {
    std::string name;
    std::string value;
    bool operator==(const PartField&) const = default;
};

// The fields of `part` as decoded from `image`. Only the part's own bytes are read.
std::vector<PartField> PartFields(const EdidImage& image, const BlockPart& part);

// The same for a part of MapEdid(bytes).
std::vector<PartField> PartFields(std::span<const std::uint8_t> bytes, const BlockPart& part);

// The fields of the DisplayID, block map and incomplete parts, appended to `fields`.
void DisplayIdFields(std::span<const std::uint8_t> bytes, const BlockPart& part,
                     std::vector<PartField>& fields);

// The name of a short audio descriptor's format ("L-PCM", "E-AC-3", ...) from its first byte.
std::string_view AudioFormatName(std::uint8_t firstByte);

// {"file": ..., "parts": [{"offset": N, "length": N, "kind": "...", "name": "...", "tag": N,
// "extended_tag": N|null}, ...]} on one line; tag and extended_tag only for data blocks.
std::string BlockMapJson(std::string_view file, const BlockMap& map);

} // namespace tavo
