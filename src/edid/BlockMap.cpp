#include "edid/BlockMap.h"

#include "edid/EdidBlocks.h"
#include "edid/JsonWriter.h"
#include "edid/VisibleText.h"

#include <algorithm>
#include <cstdio>

namespace tavo {
namespace {

constexpr int kBaseDescriptors = 54;
constexpr int kCtaTag = 0x02;

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

std::string Oui(std::span<const std::uint8_t> b, int p) {
    // stored least significant byte first
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X-%02X-%02X", b[p + 2], b[p + 1], b[p]);
    return buf;
}

std::string_view OuiOwner(const std::string& oui) {
    if (oui == "00-0C-03") return "HDMI";
    if (oui == "C4-5D-D8") return "HDMI Forum";
    if (oui == "00-00-1A") return "AMD";
    if (oui == "00-D0-46") return "Dolby";
    if (oui == "90-84-8B") return "HDR10+";
    if (oui == "00-10-FA") return "Apple";
    return {};
}

// "Vendor-Specific Video Data Block (Dolby)"; the OUI itself when its owner is not known here.
std::string WithOwner(std::string base, std::span<const std::uint8_t> b, int ouiAt, int end) {
    if (ouiAt + 3 > end) return base;
    const std::string oui = Oui(b, ouiAt);
    const std::string_view owner = OuiOwner(oui);
    return base + " (" + (owner.empty() ? "OUI " + oui : std::string(owner)) + ")";
}

std::string ExtendedTagName(int ext) {
    switch (ext) {
    case 0:
        return "Video Capability Data Block";
    case 1:
        return "Vendor-Specific Video Data Block";
    case 2:
        return "VESA Video Display Device Data Block";
    case 3:
        return "VESA Video Timing Block Extension";
    case 4:
        return "Reserved for HDMI Video Data Block";
    case 5:
        return "Colorimetry Data Block";
    case 6:
        return "HDR Static Metadata Data Block";
    case 7:
        return "HDR Dynamic Metadata Data Block";
    case 8:
        return "Native Video Resolution Data Block";
    case 13:
        return "Video Format Preference Data Block";
    case 14:
        return "YCbCr 4:2:0 Video Data Block";
    case 15:
        return "YCbCr 4:2:0 Capability Map Data Block";
    case 16:
        return "Reserved for CTA-861 Miscellaneous Audio Fields";
    case 17:
        return "Vendor-Specific Audio Data Block";
    case 18:
        return "HDMI Audio Data Block";
    case 19:
        return "Room Configuration Data Block";
    case 20:
        return "Speaker Location Data Block";
    case 32:
        return "InfoFrame Data Block";
    case 34:
        return "DisplayID Type VII Video Timing Data Block";
    case 35:
        return "DisplayID Type VIII Video Timing Data Block";
    case 42:
        return "DisplayID Type X Video Timing Data Block";
    case 120:
        return "HDMI Forum EDID Extension Override Data Block";
    case 121:
        return "HDMI Forum Sink Capability Data Block";
    default:
        return "Unknown CTA-861 Data Block (extended tag " + Hex2(static_cast<unsigned>(ext)) + ")";
    }
}

} // namespace

// Name of the data block at p whose bytes end before `end` (the collection's end).
std::string CtaDataBlockName(std::span<const std::uint8_t> b, int p, int end) {
    const int tag = b[p] >> 5;
    switch (tag) {
    case 1:
        return "Audio Data Block";
    case 2:
        return "Video Data Block";
    case 3: {
        if (p + 4 <= end) {
            const std::string oui = Oui(b, p + 1);
            if (oui == "00-0C-03") return "HDMI Vendor-Specific Data Block";
            if (oui == "C4-5D-D8") return "HDMI Forum Vendor-Specific Data Block";
        }
        return WithOwner("Vendor-Specific Data Block", b, p + 1, end);
    }
    case 4:
        return "Speaker Allocation Data Block";
    case 5:
        return "VESA Display Transfer Characteristics Data Block";
    case 6:
        return "Video Format Data Block";
    case 7: {
        if (p + 2 > end || (b[p] & 0x1F) == 0) return "Extended Tag Data Block without its tag";
        const int ext = b[p + 1];
        std::string name = ExtendedTagName(ext);
        if (ext == 1 || ext == 17) name = WithOwner(std::move(name), b, p + 2, end);
        return name;
    }
    default:
        return "Unknown CTA-861 Data Block (tag 0x00)";
    }
}

namespace {

std::string DataBlockName(const EdidImage& b, int p, int end) {
    return CtaDataBlockName(b, p, end);
}

std::string DescriptorName(const EdidImage& b, int o, PartKind& kind) {
    if (b[o] != 0 || b[o + 1] != 0) {
        kind = PartKind::DetailedTiming;
        return "Detailed Timing Descriptor";
    }
    const int t = b[o + 3];
    kind = PartKind::Descriptor;
    switch (t) {
    case 0xFC:
        kind = PartKind::MonitorName;
        return "Display Product Name";
    case 0xFD:
        kind = PartKind::RangeLimits;
        return "Display Range Limits";
    case 0xFF:
        kind = PartKind::SerialText;
        return "Display Product Serial Number";
    case 0xFE:
        return "Alphanumeric Data String";
    case 0xFB:
        return "Color Point Data";
    case 0xFA:
        return "Standard Timing Identifications";
    case 0xF9:
        return "Display Color Management Data";
    case 0xF8:
        return "CVT 3 Byte Timing Codes";
    case 0xF7:
        return "Established Timings III";
    case 0x10:
        return "Dummy Descriptor";
    default:
        if (t <= 0x0F) {
            bool empty = true;
            for (int i = 0; i < 18; ++i)
                empty = empty && b[o + i] == 0;
            if (empty) return "Empty Descriptor";
            return "Manufacturer-Specified Display Descriptor (" + Hex2(t) + ")";
        }
        return "Unknown Display Descriptor (" + Hex2(t) + ")";
    }
}

} // namespace

std::string ExtensionBlockName(int tag) {
    switch (tag) {
    case 0x10:
        return "Video Timing Extension Block";
    case 0x20:
        return "EDID 2.0 Extension Block";
    case 0x40:
        return "Display Information Extension Block";
    case 0x50:
        return "Localized String Extension Block";
    case 0x60:
        return "Microdisplay Interface Extension Block";
    case 0x70:
        return "DisplayID Extension Block";
    case 0xA7:
    case 0xAF:
    case 0xBF:
        return "Display Transfer Characteristics Data Block";
    case 0xF0:
        return "Block Map Extension Block";
    case 0xFF:
        return "Manufacturer-Specific Extension Block";
    default:
        return "Unknown EDID Extension Block " + Hex2(static_cast<unsigned>(tag));
    }
}

namespace {

std::string ExtensionName(int tag) {
    return ExtensionBlockName(tag);
}

void Add(BlockMap& map, int offset, int length, PartKind kind, std::string name) {
    if (length <= 0) return;
    BlockPart part;
    part.offset = offset;
    part.length = length;
    part.kind = kind;
    part.name = std::move(name);
    map.push_back(std::move(part));
}

// Block 1 of the image, a CTA-861 extension, as the walk reads it (EdidBlocks.h: byte 2 at 0 or 4
// gives no data blocks, past 127 the collection runs to the checksum).
void MapCtaExtension(const EdidImage& b, BlockMap& map) {
    constexpr int base = 128;
    Add(map, base, 4, PartKind::CtaHeader, "CTA-861 Extension Header");
    const EdidBlocks walked = ReadEdidBlocks(b);
    const EdidBlock& blk = walked.blocks[1];
    for (const CtaDataBlock& db : blk.dataBlocks) {
        BlockPart part;
        part.offset = db.offset;
        part.length = db.length;
        part.tag = db.tag;
        part.extendedTag = db.extendedTag;
        if (db.broken) {
            part.kind = PartKind::BrokenDataBlock;
            part.name =
                DataBlockName(b, db.offset, blk.collectionEnd) + " (runs past its collection)";
        } else {
            part.kind = PartKind::DataBlock;
            part.name = DataBlockName(b, db.offset, db.offset + db.length);
        }
        map.push_back(std::move(part));
    }
    for (const int at : blk.detailedTimings)
        Add(map, at, 18, PartKind::DetailedTiming, "Detailed Timing Descriptor");
    Add(map, blk.paddingOffset, blk.paddingLength, PartKind::Padding, "Padding");
    Add(map, 255, 1, PartKind::Checksum, "Checksum");
}

} // namespace

std::string_view OuiOwnerName(const std::string& oui) {
    return OuiOwner(oui);
}

std::string_view PartKindName(PartKind kind) {
    switch (kind) {
    case PartKind::Header:
        return "header";
    case PartKind::Vendor:
        return "vendor";
    case PartKind::Version:
        return "version";
    case PartKind::BasicParameters:
        return "basic_parameters";
    case PartKind::Colour:
        return "colour";
    case PartKind::EstablishedTimings:
        return "established_timings";
    case PartKind::StandardTimings:
        return "standard_timings";
    case PartKind::DetailedTiming:
        return "detailed_timing";
    case PartKind::MonitorName:
        return "monitor_name";
    case PartKind::RangeLimits:
        return "range_limits";
    case PartKind::SerialText:
        return "serial_text";
    case PartKind::Descriptor:
        return "descriptor";
    case PartKind::ExtensionCount:
        return "extension_count";
    case PartKind::Checksum:
        return "checksum";
    case PartKind::CtaHeader:
        return "cta_header";
    case PartKind::DataBlock:
        return "data_block";
    case PartKind::BrokenDataBlock:
        return "broken_data_block";
    case PartKind::Padding:
        return "padding";
    case PartKind::Extension:
        return "extension";
    case PartKind::Unused:
        return "unused";
    case PartKind::DisplayIdHeader:
        return "displayid_header";
    case PartKind::DisplayIdDataBlock:
        return "displayid_data_block";
    case PartKind::BrokenDisplayIdDataBlock:
        return "broken_displayid_data_block";
    case PartKind::DisplayIdChecksum:
        return "displayid_checksum";
    case PartKind::BlockMapBlock:
        return "block_map";
    case PartKind::Incomplete:
        return "incomplete";
    }
    return "unknown";
}

BlockMap MapBlocks(const EdidImage& b) {
    BlockMap map;
    map.reserve(40);
    Add(map, 0, 8, PartKind::Header, "Header");
    Add(map, 8, 10, PartKind::Vendor, "Vendor & Product Identification");
    Add(map, 18, 2, PartKind::Version, "EDID Structure Version & Revision");
    Add(map, 20, 5, PartKind::BasicParameters, "Basic Display Parameters & Features");
    Add(map, 25, 10, PartKind::Colour, "Color Characteristics");
    Add(map, 35, 3, PartKind::EstablishedTimings, "Established Timings I & II");
    Add(map, 38, 16, PartKind::StandardTimings, "Standard Timings");
    for (int i = 0; i < 4; ++i) {
        const int o = kBaseDescriptors + 18 * i;
        PartKind kind;
        std::string name = DescriptorName(b, o, kind);
        Add(map, o, 18, kind, std::move(name));
    }
    Add(map, 126, 1, PartKind::ExtensionCount, "Extension Block Count");
    Add(map, 127, 1, PartKind::Checksum, "Checksum");
    if (b[126] == 0)
        Add(map, 128, 128, PartKind::Unused, "Not Announced by the Extension Block Count");
    else if (b[128] == kCtaTag)
        MapCtaExtension(b, map);
    else
        Add(map, 128, 128, PartKind::Extension, ExtensionName(b[128]));
    return map;
}

std::string_view AudioFormatName(std::uint8_t firstByte) {
    static constexpr std::string_view kNames[16] = {
        "Reserved (0)",  "L-PCM",  "AC-3",   "MPEG-1", "MP3", "MPEG-2",  "AAC LC",  "DTS", "ATRAC",
        "One Bit Audio", "E-AC-3", "DTS-HD", "MAT",    "DST", "WMA Pro", "Extended"};
    return kNames[(firstByte >> 3) & 0x0F];
}

std::string BlockMapJson(std::string_view file, const BlockMap& map) {
    JsonWriter json(JsonSpacing::Spaced);
    json.BeginObject().Member("file", file).Key("parts").BeginArray();
    for (const auto& p : map) {
        json.BeginObject()
            .MemberNumber("offset", p.offset)
            .MemberNumber("length", p.length)
            .Member("kind", PartKindName(p.kind))
            .Member("name", p.name);
        if (p.IsDataBlock() || p.kind == PartKind::DisplayIdDataBlock ||
            p.kind == PartKind::BrokenDisplayIdDataBlock) {
            json.MemberNumber("tag", p.tag).Key("extended_tag");
            if (p.extendedTag < 0)
                json.Null();
            else
                json.Number(p.extendedTag);
        }
        json.EndObject();
    }
    return json.EndArray().EndObject().Text();
}

} // namespace tavo
