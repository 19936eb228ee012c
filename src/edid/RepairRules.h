#pragma once
// The repairs one by one: pure functions from an EDID (its own blocks, 128 bytes each) to an
// EDID of as many blocks, each mending the condition of one check rule where it finds it and
// changing nothing else. They detect the condition themselves; checksums are the driver's.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavo::repair {

using Bytes = std::vector<std::uint8_t>;

struct RepairRule {
    std::string_view id; // the check's rule id
    bool byDefault;      // changes nothing a display claims
    Bytes (*apply)(const Bytes& edid);
};

// Every repair in the order they run: the extension count first (it decides which blocks the
// others see), checksums last.
std::span<const RepairRule> RepairRules();
const RepairRule* FindRepairRule(std::string_view id);

// ---- shared helpers (RepairBytes.cpp) ----

inline constexpr int kBlock = 128;
int BlockCount(const Bytes& edid);
// Every block's checksum byte set so that the block sums to 0.
void FixAllChecksums(Bytes& edid);
// The offsets of the CTA-861 extension blocks (tag 0x02).
std::vector<int> CtaBlocks(const Bytes& edid);

// A CTA-861 extension's data block collection, each block with its header byte.
struct Collection {
    std::vector<Bytes> blocks;
    bool whole = true; // false: a block ran past the collection's end (left alone)
};
Collection ReadCollection(const Bytes& edid, int ext);
// Writes `c` back into the extension at `ext`: the detailed timings and the rest follow the
// collection (moved up or down), the padding after them is 0, byte 2 follows. False (and nothing
// written) when it does not fit.
bool WriteCollection(Bytes& edid, int ext, const Collection& c);
// The offset of the first byte after the extension's detailed timings and display descriptors
// (they end at 18 bytes of zeros); the padding follows.
int TimingsEnd(const Bytes& edid, int ext);

// Data block kinds.
bool IsVideoBlock(const Bytes& b);
bool IsExtended(const Bytes& b, int extendedTag);
bool IsVendor(const Bytes& b, std::uint32_t oui);
inline constexpr std::uint32_t kOuiHdmi = 0x000C03;
inline constexpr std::uint32_t kOuiHdmiForum = 0xC45DD8;
inline constexpr int kExtColorimetry = 5;
inline constexpr int kExtVideoCapability = 0;
inline constexpr int kExtYuv420Map = 15;

// A short video descriptor's video code (the native flag of codes 1..64 removed).
int SvdVic(std::uint8_t svd);
bool SvdNative(std::uint8_t svd);

// The base block's four 18-byte descriptor offsets.
inline constexpr int kDescriptors[4] = {54, 72, 90, 108};
bool IsDisplayDescriptor(const Bytes& edid, int at);
// The base block's descriptors and the 18-byte descriptors of the CTA-861 extensions.
std::vector<int> DescriptorSlots(const Bytes& edid);

// ---- the repairs (RepairDefault.cpp, RepairNamed.cpp) ----

Bytes RepairChecksum(const Bytes& edid);
Bytes RepairExtensionCount(const Bytes& edid);
Bytes RepairDuplicateVic(const Bytes& edid);
Bytes RepairColorimetryReserved(const Bytes& edid);
Bytes RepairDescriptorText(const Bytes& edid);
Bytes RepairEmptyDescriptor(const Bytes& edid);
Bytes RepairPadding(const Bytes& edid);
Bytes RepairHdmiTmds(const Bytes& edid);
Bytes RepairHfTmds(const Bytes& edid);

Bytes RepairRangeLimits(const Bytes& edid);
Bytes RepairNativeTimings(const Bytes& edid);
Bytes RepairHdmiVersion(const Bytes& edid);
Bytes RepairMissingVcdb(const Bytes& edid);
Bytes RepairSerialNumber(const Bytes& edid);
Bytes RepairImageSize(const Bytes& edid);

} // namespace tavo::repair
