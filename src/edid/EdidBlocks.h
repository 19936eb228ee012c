#pragma once
// An EDID as read: a sequence of 1 to 256 blocks of 128 bytes (up to 32 KiB), and the one walk
// over its blocks and their data blocks. The walk reads nothing outside the bytes it is given;
// every offset below is from the EDID's first byte.
//
// How many blocks an EDID has: 1 + byte 126, or 1 + the count in the HDMI Forum EDID Extension
// Override Data Block (CTA-861 extended tag 0x78) when the first extension carries one (sinks with
// more than 255 extensions, or sources that read only two blocks unless told otherwise).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavo {

inline constexpr int kEdidBlockSize = 128;
inline constexpr int kMaxEdidBlocks = 256;
inline constexpr std::size_t kMaxEdidBytes = 32768;

enum class BlockKind : std::uint8_t {
    Base,      // block 0
    Cta,       // CTA-861 extension, tag 0x02
    DisplayId, // DisplayID extension, tag 0x70
    BlockMap,  // block map, tag 0xF0
    Other,     // any other extension tag
};

// "base", "CTA-861", "DisplayID", "block map", "other".
std::string_view BlockKindName(BlockKind kind);

// A CTA-861 data block, header byte included.
struct CtaDataBlock {
    int offset = 0;
    int length = 0;       // bytes it covers; cut at the collection's end when broken
    int tag = 0;          // header bits 7..5
    int extendedTag = -1; // tag 7: the first payload byte, when there is one
    bool broken = false;  // its header claims bytes past the end of the collection
};

// A DisplayID data block: tag, revision, payload length, payload.
struct DisplayIdDataBlock {
    int offset = 0;
    int length = 0;        // bytes it covers (3 + payload), cut at the section's end when broken
    int tag = 0;           // byte 0
    int revision = 0;      // byte 1
    int payloadLength = 0; // byte 2, as declared
    bool broken = false;   // fewer bytes left in the section than it declares
    // The CTA-861 DisplayID Data Block (tag 0x81): the CTA-861 data blocks of its payload.
    std::vector<CtaDataBlock> cta;
};

// The DisplayID section of an extension block (bytes 1..126 of the block).
struct DisplayIdSection {
    int offset = 0;         // its first byte: the version
    int version = 0;        // 0x13 for 1.3, 0x20 for 2.0
    int bytes = 0;          // payload bytes as declared (byte 2 of the block)
    int productType = 0;    // 1.3: display product type; 2.0: primary use case
    int extensionCount = 0; // byte 4 of the block
    std::vector<DisplayIdDataBlock> dataBlocks;
    int fillerOffset = 0; // zero bytes after the last data block, inside the payload
    int fillerLength = 0;
    int checksumOffset = 0; // the section checksum: right after the payload
    bool checksumOk = false;
    bool lengthCut = false; // the declared payload runs past byte 125 of the block
};

struct EdidBlock {
    int index = 0;
    int offset = 0; // index * 128
    int length = 0; // 128, or fewer for a block the bytes end inside
    BlockKind kind = BlockKind::Other;
    int tag = -1;           // byte 0 of an extension; -1 for the base block
    bool announced = false; // inside the number of blocks the EDID announces
    bool complete() const { return length == kEdidBlockSize; }
    bool checksumOk = false; // complete and summing to 0

    // CTA-861 (complete blocks only)
    int dtdOffset = 0;     // byte 2 as given
    int collectionEnd = 0; // the data block collection's end (the block's byte 4 when none)
    std::vector<CtaDataBlock> dataBlocks;
    std::vector<int> detailedTimings; // offsets of 18-byte detailed timing descriptors
    int paddingOffset = 0;            // after the detailed timings, up to the checksum
    int paddingLength = 0;

    // DisplayID (complete blocks only)
    bool hasSection = false;
    DisplayIdSection section;
};

struct EdidBlocks {
    std::size_t size = 0; // bytes read (at most kMaxEdidBytes)
    int announced = 1;    // blocks the EDID announces, base included
    bool fromOverride = false;
    std::vector<EdidBlock> blocks; // every block the bytes hold, announced or not
    // The bytes end inside a block or before the last announced block.
    bool truncated() const {
        return static_cast<int>(blocks.size()) < announced ||
               (!blocks.empty() && !blocks.back().complete());
    }
    // The first CTA-861 extension, or nullptr.
    const EdidBlock* FirstCta() const;
    // The first complete CTA-861 extension among the blocks the EDID announces, or nullptr: the
    // one whose data blocks the decoder, the encoder and the analysis read. Of a slot's 256
    // bytes that is block 1, and only when byte 126 announces it.
    const EdidBlock* FirstAnnouncedCta() const;
};

// The CTA-861 data blocks of the collection [from, end) of `bytes`; a block whose header claims
// bytes past `end` ends there, broken.
void WalkCtaCollection(std::span<const std::uint8_t> bytes, int from, int end,
                       std::vector<CtaDataBlock>& out);

// Reads `bytes` (only its first kMaxEdidBytes). An empty input gives no blocks.
EdidBlocks ReadEdidBlocks(std::span<const std::uint8_t> bytes);

// The extension count the HDMI Forum EDID Extension Override Data Block in a CTA-861 block
// announces, or -1 without one. `block` must be a walked CTA-861 block of `bytes`.
int OverrideCount(std::span<const std::uint8_t> bytes, const EdidBlock& block);

} // namespace tavo
