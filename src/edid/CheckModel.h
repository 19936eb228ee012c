#pragma once
// What the check's rules read: the EDID's blocks, the base block's block map, every CTA-861
// extension's data blocks, and every timing the EDID lists with its rates. Internal to the check.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/BlockMap.h"
#include "edid/Check.h"
#include "edid/DisplayIdTimings.h"

namespace tavo::check {

// Where a listed timing comes from: "VIC" 97, "detailed timing" 2, "established timing".
struct TimingSource {
    const char* kind = "";
    int number = -1;   // -1: none
    bool y420 = false; // counted as YCbCr 4:2:0
};

// A listed timing with the rates a source would drive.
struct ListedTiming {
    TimingSource source;
    int width = 0, height = 0;
    bool interlaced = false;
    double refreshHz = 0;
    double hFreqKhz = 0;
    int pixelClockKhz = 0;
    int partOffset = 0; // where it is listed
};

// One data block of a CTA-861 extension.
struct CtaBlock {
    int offset = 0; // header byte, in the whole EDID
    int length = 0; // payload length (header byte excluded)
    int tag = 0;
    int extendedTag = -1;
    std::uint32_t oui = 0; // vendor-specific blocks: the OUI, most significant byte first
};

// One CTA-861 extension: where it stands, its data blocks, detailed timings and video codes.
struct CtaExtension {
    int offset = 0; // its first byte (the tag), in the whole EDID
    std::vector<CtaBlock> blocks;
    std::vector<int> dtds; // offsets of its detailed timing descriptors
    std::vector<int> vics; // the VICs of its video data blocks, in order, native flag removed
    const CtaBlock* FindBlock(int tag, int extendedTag = -1, std::uint32_t oui = 0) const;
};

struct Model {
    std::span<const std::uint8_t> bytes; // whole blocks only
    int blocks = 0;
    int minor = 0;             // EDID 1.x revision
    mutable BlockMap map;      // of the first 256 bytes, made when the first finding needs it
    mutable BlockMap wholeMap; // of every block, for findings past the first 256 bytes
    EdidImage image{};
    int cta = -1;                    // offset of the first CTA-861 extension, -1 when none
    std::vector<CtaExtension> ctas;  // every CTA-861 extension, in order
    std::vector<CtaBlock> ctaBlocks; // the data blocks of every CTA-861 extension, in order
    std::vector<int> dtds;           // offsets of every detailed timing descriptor (base, then CTA)
    std::vector<DisplayIdTiming> displayId; // the timings of the DisplayID extensions
    std::vector<ListedTiming> timings;

    std::uint8_t At(int offset) const {
        return offset >= 0 && offset < static_cast<int>(bytes.size()) ? bytes[offset] : 0;
    }
    const CtaBlock* FindBlock(int tag, int extendedTag = -1, std::uint32_t oui = 0) const;
    // Every VIC of the Video Data Blocks of every CTA-861 extension, in order, the native flag
    // removed.
    std::vector<int> vics;
    bool HasRangeLimits() const { return RangeLimitsAt() >= 0; }
    int RangeLimitsAt() const; // offset of the range limits descriptor, -1 when none
};

inline constexpr std::uint32_t kOuiHdmi = 0x000C03;
inline constexpr std::uint32_t kOuiHdmiForum = 0xC45DD8;

Model BuildModel(std::span<const std::uint8_t> bytes);

// "3840x2160 at 60 Hz (VIC 97)".
std::string TimingName(const ListedTiming& timing);

// The timings an EDID lists (established, standard, detailed, video codes, HDMI VICs), in the
// order they appear.
std::vector<ListedTiming> CollectTimings(const Model& model);

// The DMT/CTA timing a detailed timing is close to but not identical with: "VIC 16",
// "DMT 0x52", or "" when none.
std::string NearTiming(const std::uint8_t* dtd);
std::string NearTiming(const VideoTiming& timing);

// Appends a finding about the part that holds `offset` (the whole EDID when outside the map).
void Add(std::vector<Finding>& out, const Model& model, std::string_view rule, Severity severity,
         int offset, std::string text);

// The rules, in groups.
void CheckBlocks(const Model& model, std::vector<Finding>& out);
void CheckBase(const Model& model, std::vector<Finding>& out);
void CheckDescriptors(const Model& model, std::vector<Finding>& out);
void CheckTimings(const Model& model, std::vector<Finding>& out);
void CheckCta(const Model& model, std::vector<Finding>& out);
void CheckHdmi(const Model& model, std::vector<Finding>& out);

} // namespace tavo::check
