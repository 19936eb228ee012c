// The decoded fields of each part of the block map (BlockMap.h). Every read goes through the
// part's own bounds.
#include <cstdio>

#include "edid/BlockMap.h"

namespace tavo {
namespace {

// The bytes of one part; reads outside it give 0.
class PartBytes {
public:
    PartBytes(std::span<const std::uint8_t> image, const BlockPart& part)
        : image_(image), part_(part) {}
    int size() const { return part_.length; }
    std::uint8_t operator[](int i) const {
        return (i >= 0 && i < part_.length && part_.offset + i < static_cast<int>(image_.size()))
                   ? image_[static_cast<std::size_t>(part_.offset + i)]
                   : 0;
    }

private:
    std::span<const std::uint8_t> image_;
    const BlockPart& part_;
};

std::string Format(const char* format, double a) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, a);
    return buf;
}
std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}
std::string HexBytes(const PartBytes& p, int from, int to) {
    std::string out;
    char buf[4];
    for (int i = from; i < to && i < p.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", p[i]);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}
std::string YesNo(bool v) {
    return v ? "yes" : "no";
}

// Names of the bits set in `v`, most significant first, joined by ", "; "none" without any.
std::string Flags(unsigned v, const char* const (&names)[8]) {
    std::string out;
    for (int bit = 7; bit >= 0; --bit) {
        if (!(v & (1u << bit)) || names[7 - bit] == nullptr) continue;
        if (!out.empty()) out += ", ";
        out += names[7 - bit];
    }
    return out.empty() ? "none" : out;
}

// The text of a display descriptor (bytes 5..17, ended by a line feed).
std::string DescriptorText(const PartBytes& p) {
    std::string out;
    for (int i = 5; i < 18; ++i) {
        const std::uint8_t c = p[i];
        if (c == 0x0A) break;
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    return out;
}

void Vendor(const PartBytes& p, std::vector<PartField>& f) {
    const char id[4] = {static_cast<char>(64 + ((p[0] >> 2) & 0x1F)),
                        static_cast<char>(64 + (((p[0] & 3) << 3) | (p[1] >> 5))),
                        static_cast<char>(64 + (p[1] & 0x1F)), 0};
    f.push_back({"manufacturer", id});
    f.push_back({"product code", std::to_string(p[2] | (p[3] << 8))});
    f.push_back(
        {"serial number", std::to_string(static_cast<std::uint32_t>(p[4]) | (p[5] << 8) |
                                         (p[6] << 16) | (static_cast<std::uint32_t>(p[7]) << 24))});
    if (p[8] == 0xFF) {
        f.push_back({"model year", std::to_string(1990 + p[9])});
    } else {
        f.push_back({"week", std::to_string(p[8])});
        f.push_back({"year", std::to_string(1990 + p[9])});
    }
}

void Basic(const PartBytes& p, std::vector<PartField>& f) {
    const bool digital = p[0] & 0x80;
    f.push_back({"input", digital ? "digital" : "analog"});
    f.push_back({"input definition", Hex2(p[0])});
    f.push_back({"image size", std::to_string(p[1]) + " x " + std::to_string(p[2]) + " cm"});
    f.push_back({"gamma", p[3] == 0xFF ? "not given" : Format("%.2f", (p[3] + 100) / 100.0)});
    f.push_back({"features", Hex2(p[4])});
}

void Colour(const PartBytes& p, std::vector<PartField>& f) {
    // 10-bit coordinates: high 8 bits in bytes 2..9, low 2 bits packed in bytes 0 and 1
    const char* names[8] = {"red x",  "red y",  "green x", "green y",
                            "blue x", "blue y", "white x", "white y"};
    for (int i = 0; i < 8; ++i) {
        const int low = (p[i < 4 ? 0 : 1] >> (6 - 2 * (i % 4))) & 3;
        f.push_back({names[i], Format("%.4f", ((p[2 + i] << 2) | low) / 1024.0)});
    }
}

void Established(const PartBytes& p, std::vector<PartField>& f) {
    static const char* const kNames[17] = {
        "720x400@70",  "720x400@88",  "640x480@60",  "640x480@67",   "640x480@72", "640x480@75",
        "800x600@56",  "800x600@60",  "800x600@72",  "800x600@75",   "832x624@75", "1024x768@87i",
        "1024x768@60", "1024x768@70", "1024x768@75", "1280x1024@75", "1152x870@75"};
    std::string out;
    for (int i = 0; i < 17; ++i) {
        if (!(p[i / 8] & (0x80 >> (i % 8)))) continue;
        if (!out.empty()) out += ", ";
        out += kNames[i];
    }
    f.push_back({"timings", out.empty() ? "none" : out});
    if (p[2] & 0x7F) f.push_back({"manufacturer's timings", Hex2(p[2] & 0x7F)});
}

void Standard(const PartBytes& p, std::vector<PartField>& f) {
    for (int i = 0; i < 8; ++i) {
        const int b0 = p[2 * i], b1 = p[2 * i + 1];
        std::string value;
        if ((b0 == 0x01 && b1 == 0x01) || b0 == 0x00 || (b0 == 0x20 && b1 == 0x20)) {
            value = "unused";
        } else {
            const int h = (b0 + 31) * 8;
            static const int kRatio[4][2] = {{16, 10}, {4, 3}, {5, 4}, {16, 9}};
            const auto& r = kRatio[b1 >> 6];
            value = std::to_string(h) + "x" + std::to_string(h * r[1] / r[0]) + "@" +
                    std::to_string((b1 & 0x3F) + 60);
        }
        f.push_back({"timing " + std::to_string(i + 1), value});
    }
}

void Detailed(const PartBytes& p, std::vector<PartField>& f) {
    const int clock = p[0] | (p[1] << 8); // 10 kHz units
    const int hActive = p[2] | ((p[4] & 0xF0) << 4), hBlank = p[3] | ((p[4] & 0x0F) << 8);
    const int vActive = p[5] | ((p[7] & 0xF0) << 4), vBlank = p[6] | ((p[7] & 0x0F) << 8);
    const int hFront = p[8] | ((p[11] & 0xC0) << 2), hSync = p[9] | ((p[11] & 0x30) << 4);
    const int vFront = (p[10] >> 4) | ((p[11] & 0x0C) << 2),
              vSync = (p[10] & 0x0F) | ((p[11] & 0x03) << 4);
    const int hSize = p[12] | ((p[14] & 0xF0) << 4), vSize = p[13] | ((p[14] & 0x0F) << 8);
    const bool interlaced = p[17] & 0x80;
    f.push_back({"pixel clock", Format("%.2f MHz", clock / 100.0)});
    f.push_back({"active", std::to_string(hActive) + "x" + std::to_string(vActive) +
                               (interlaced ? "i" : "")});
    f.push_back({"blanking", std::to_string(hBlank) + " x " + std::to_string(vBlank)});
    const long total = static_cast<long>(hActive + hBlank) * (vActive + vBlank);
    if (total > 0) f.push_back({"refresh", Format("%.3f Hz", clock * 10000.0 / total)});
    f.push_back(
        {"horizontal front porch, sync", std::to_string(hFront) + ", " + std::to_string(hSync)});
    f.push_back(
        {"vertical front porch, sync", std::to_string(vFront) + ", " + std::to_string(vSync)});
    f.push_back({"image size", std::to_string(hSize) + " x " + std::to_string(vSize) + " mm"});
    f.push_back({"flags", Hex2(p[17])});
}

void RangeLimits(const PartBytes& p, std::vector<PartField>& f) {
    const int o = p[4];
    const int vMin = p[5] + ((o & 0x01) && (o & 0x02) ? 255 : 0),
              vMax = p[6] + ((o & 0x02) ? 255 : 0);
    const int hMin = p[7] + ((o & 0x04) && (o & 0x08) ? 255 : 0),
              hMax = p[8] + ((o & 0x08) ? 255 : 0);
    f.push_back({"vertical rate", std::to_string(vMin) + "-" + std::to_string(vMax) + " Hz"});
    f.push_back({"horizontal rate", std::to_string(hMin) + "-" + std::to_string(hMax) + " kHz"});
    f.push_back({"maximum pixel clock", std::to_string(p[9] * 10) + " MHz"});
    f.push_back({"timing support", Hex2(p[10])});
}

void CtaHeader(const PartBytes& p, std::vector<PartField>& f) {
    f.push_back({"revision", std::to_string(p[1])});
    f.push_back({"detailed timing offset", std::to_string(p[2])});
    f.push_back({"underscan", YesNo(p[3] & 0x80)});
    f.push_back({"basic audio", YesNo(p[3] & 0x40)});
    f.push_back({"YCbCr 4:4:4", YesNo(p[3] & 0x20)});
    f.push_back({"YCbCr 4:2:2", YesNo(p[3] & 0x10)});
    f.push_back({"native detailed timings", std::to_string(p[3] & 0x0F)});
}

std::string VicList(const PartBytes& p, int from, bool nativeFlags) {
    std::string out;
    for (int i = from; i < p.size(); ++i) {
        const int v = p[i];
        if (!out.empty()) out += ' ';
        if (nativeFlags && v >= 0x81 && v <= 0xC0)
            out += std::to_string(v & 0x7F) + "*";
        else
            out += std::to_string(v);
    }
    return out.empty() ? "none" : out;
}

void Audio(const PartBytes& p, std::vector<PartField>& f) {
    for (int i = 1; i + 2 < p.size(); i += 3) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%d ch, %02X %02X %02X", (p[i] & 7) + 1, p[i], p[i + 1],
                      p[i + 2]);
        f.push_back({std::string(AudioFormatName(p[i])) + " descriptor", buf});
    }
}

void Speaker(const PartBytes& p, std::vector<PartField>& f) {
    static const char* const kNames[8] = {"FLW/FRW", "RLC/RRC", "FLC/FRC", "BC",
                                          "BL/BR",   "FC",      "LFE",     "FL/FR"};
    f.push_back({"speakers", Flags(p[1], kNames)});
    f.push_back({"allocation", HexBytes(p, 1, 4)});
}

void HdmiVsdb(const PartBytes& p, std::vector<PartField>& f) {
    const int n = p.size();
    if (n > 5) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", p[4] >> 4, p[4] & 15, p[5] >> 4, p[5] & 15);
        f.push_back({"source physical address", buf});
    }
    if (n > 6) {
        static const char* const kNames[8] = {"Supports_AI", "DC_48bit", "DC_36bit", "DC_30bit",
                                              "DC_Y444",     nullptr,    nullptr,    "DVI_Dual"};
        f.push_back({"deep colour", Flags(p[6], kNames)});
    }
    if (n > 7) f.push_back({"maximum TMDS clock", std::to_string(p[7] * 5) + " MHz"});
    if (n > 8) {
        const int flags = p[8];
        f.push_back({"latency fields", YesNo(flags & 0x80)});
        f.push_back({"interlaced latency fields", YesNo(flags & 0x40)});
        f.push_back({"HDMI video present", YesNo(flags & 0x20)});
        f.push_back({"content types", Hex2(flags & 0x0F)});
        int at = 9 + ((flags & 0x80) ? 2 : 0) + ((flags & 0x40) ? 2 : 0);
        if ((flags & 0x20) && at + 1 < n) {
            f.push_back({"3D present", YesNo(p[at] & 0x80)});
            f.push_back({"3D flags", Hex2(p[at])});
            const int vicLen = p[at + 1] >> 5, len3d = p[at + 1] & 0x1F;
            std::string vics;
            for (int i = 0; i < vicLen && at + 2 + i < n; ++i)
                vics += (vics.empty() ? "" : " ") + std::to_string(p[at + 2 + i]);
            f.push_back({"HDMI VICs", vics.empty() ? "none" : vics});
            if (len3d > 0)
                f.push_back({"3D fields", HexBytes(p, at + 2 + vicLen, at + 2 + vicLen + len3d)});
        }
    }
}

// Max_FRL_Rate: the fastest fixed rate link, per lane and on how many lanes.
std::string FrlRate(int code) {
    static const char* const kRates[7] = {"not supported (TMDS only)", "3 Gbps on 3 lanes",
                                          "3 and 6 Gbps on 3 lanes",   "up to 6 Gbps on 4 lanes",
                                          "up to 8 Gbps on 4 lanes",   "up to 10 Gbps on 4 lanes",
                                          "up to 12 Gbps on 4 lanes"};
    return code < 7 ? kRates[code] : "reserved (" + std::to_string(code) + ")";
}

void ForumVsdb(const PartBytes& p, std::vector<PartField>& f) {
    const int n = p.size();
    if (n > 4) f.push_back({"version", std::to_string(p[4])});
    if (n > 5) f.push_back({"maximum TMDS character rate", std::to_string(p[5] * 5) + " MHz"});
    if (n > 6) {
        static const char* const kNames[8] = {
            "SCDC_Present",         "RR_Capable",          "CABLE_STATUS", "CCBPCI",
            "LTE_340Mcsc_scramble", "3D_Independent_View", "3D_Dual_View", "3D_OSD_Disparity"};
        f.push_back({"SCDC present", YesNo(p[6] & 0x80)});
        f.push_back({"features", Flags(p[6], kNames)});
    }
    if (n > 7) {
        f.push_back({"maximum FRL rate", FrlRate(p[7] >> 4)});
        static const char* const kNames[8] = {nullptr,        nullptr,       nullptr,
                                              nullptr,        "UHD_VIC",     "DC_48bit_420",
                                              "DC_36bit_420", "DC_30bit_420"};
        f.push_back({"4:2:0 deep colour", Flags(p[7] & 0x0F, kNames)});
    }
    if (n > 8) {
        f.push_back({"ALLM (auto low latency mode)", YesNo(p[8] & 0x02)});
        static const char* const kNames[8] = {
            "FAPA_End_Extended", "QMS", "M_Delta", "CinemaVRR", "CNMVRR", "FVA", nullptr,
            "FAPA_Start"};
        f.push_back({"gaming features", Flags(p[8] & ~0x02u, kNames)});
    }
    if (n > 9) {
        // VRRmin: 6 bits; VRRmax: 10 bits, its top two in byte 9. 0 means no VRR / the mode's
        // own rate.
        const int vrrMin = p[9] & 0x3F;
        const int vrrMax = ((p[9] & 0xC0) << 2) | (n > 10 ? p[10] : 0);
        std::string vrr = "not supported";
        if (vrrMin != 0)
            vrr = std::to_string(vrrMin) + " Hz to " +
                  (vrrMax != 0 ? std::to_string(vrrMax) + " Hz" : "the video format's rate");
        f.push_back({"VRR range", vrr});
    }
    if (n > 11) f.push_back({"further fields", HexBytes(p, 11, n)});
}

// The AMD block (OUI 00-00-1A) carries its variable refresh range after the OUI: version major and
// minor, minimum and maximum rate in Hz, then flags.
void AmdVsdb(const PartBytes& p, std::vector<PartField>& f) {
    const int n = p.size();
    if (n > 5) f.push_back({"version", std::to_string(p[4]) + "." + std::to_string(p[5])});
    if (n > 7)
        f.push_back({"VRR range", std::to_string(p[6]) + " Hz to " + std::to_string(p[7]) + " Hz"});
}

void Extended(const PartBytes& p, int ext, std::vector<PartField>& f) {
    switch (ext) {
    case 0:
        f.push_back({"video capability", Hex2(p[2])});
        return;
    case 5: {
        static const char* const kNames[8] = {"BT2020RGB", "BT2020YCC", "BT2020cYCC", "opRGB",
                                              "opYCC601",  "sYCC601",   "xvYCC709",   "xvYCC601"};
        f.push_back({"colorimetry", Flags(p[2], kNames)});
        if (p.size() > 3) f.push_back({"metadata profiles", Hex2(p[3])});
        return;
    }
    case 6: {
        // bits 0..3: traditional SDR, traditional HDR, ST 2084, HLG
        unsigned e = p[2];
        std::string eotfs;
        const char* names[4] = {"traditional SDR", "traditional HDR", "SMPTE ST 2084", "HLG"};
        for (int bit = 0; bit < 4; ++bit)
            if (e & (1u << bit)) eotfs += std::string(eotfs.empty() ? "" : ", ") + names[bit];
        f.push_back({"EOTFs", eotfs.empty() ? "none" : eotfs});
        f.push_back({"static metadata descriptors", Hex2(p[3])});
        const char* lum[3] = {"desired content max luminance",
                              "desired content max frame-average luminance",
                              "desired content min luminance"};
        for (int i = 0; i < 3 && 4 + i < p.size(); ++i)
            f.push_back({lum[i], "code " + std::to_string(p[4 + i])});
        return;
    }
    case 14:
        f.push_back({"4:2:0 video codes", VicList(p, 2, false)});
        return;
    case 15:
        f.push_back(
            {"capability map", p.size() > 2 ? HexBytes(p, 2, p.size()) : "every video code"});
        return;
    default:
        return;
    }
}

void DataBlock(const PartBytes& p, const BlockPart& part, std::vector<PartField>& f) {
    f.push_back({"length", std::to_string(p.size() - 1)});
    switch (part.tag) {
    case 1:
        Audio(p, f);
        return;
    case 2:
        f.push_back({"video codes", VicList(p, 1, true)});
        return;
    case 4:
        Speaker(p, f);
        return;
    case 3:
        if (part.name == "HDMI Vendor-Specific Data Block")
            HdmiVsdb(p, f);
        else if (part.name == "HDMI Forum Vendor-Specific Data Block")
            ForumVsdb(p, f);
        else if (part.name == "Vendor-Specific Data Block (AMD)")
            AmdVsdb(p, f);
        return;
    case 7:
        if (part.extendedTag >= 0) Extended(p, part.extendedTag, f);
        return;
    default:
        return;
    }
}

} // namespace

// One case per part kind, the longer ones in a function of their own: the switch is the table
// of what each kind shows, and reads best whole.
std::vector<PartField> PartFields(const EdidImage& image, const BlockPart& part) {
    return PartFields(std::span<const std::uint8_t>(image), part);
}

std::vector<PartField> PartFields(std::span<const std::uint8_t> image, const BlockPart& part) {
    std::vector<PartField> f;
    f.reserve(8); // every part but a few data blocks: one allocation instead of four
    const PartBytes p(image, part);
    switch (part.kind) {
    case PartKind::Header: {
        bool ok = p[0] == 0 && p[7] == 0;
        for (int i = 1; i < 7; ++i)
            ok = ok && p[i] == 0xFF;
        f.push_back({"header", ok ? "valid" : "not the fixed pattern"});
        break;
    }
    case PartKind::Vendor:
        Vendor(p, f);
        break;
    case PartKind::Version:
        f.push_back({"version", std::to_string(p[0]) + "." + std::to_string(p[1])});
        break;
    case PartKind::BasicParameters:
        Basic(p, f);
        break;
    case PartKind::Colour:
        Colour(p, f);
        break;
    case PartKind::EstablishedTimings:
        Established(p, f);
        break;
    case PartKind::StandardTimings:
        Standard(p, f);
        break;
    case PartKind::DetailedTiming:
        Detailed(p, f);
        break;
    case PartKind::MonitorName:
        f.push_back({"name", DescriptorText(p)});
        break;
    case PartKind::SerialText:
        f.push_back({"serial number", DescriptorText(p)});
        break;
    case PartKind::RangeLimits:
        RangeLimits(p, f);
        break;
    case PartKind::Descriptor:
        f.push_back({"descriptor tag", Hex2(p[3])});
        if (p[3] == 0xFE) f.push_back({"text", DescriptorText(p)});
        break;
    case PartKind::ExtensionCount:
        f.push_back({"extensions", std::to_string(p[0])});
        break;
    case PartKind::Checksum: {
        unsigned sum = 0;
        const int block = part.offset / 128 * 128;
        for (int i = block; i < block + 128 && i < static_cast<int>(image.size()); ++i)
            sum += image[static_cast<std::size_t>(i)];
        f.push_back({"checksum", Hex2(p[0])});
        f.push_back({"block sums to zero", YesNo((sum & 0xFF) == 0)});
        break;
    }
    case PartKind::CtaHeader:
        CtaHeader(p, f);
        break;
    case PartKind::DataBlock:
        DataBlock(p, part, f);
        break;
    case PartKind::BrokenDataBlock:
        f.push_back({"declared length", std::to_string(p[0] & 0x1F)});
        f.push_back({"bytes left in the collection", std::to_string(p.size() - 1)});
        break;
    case PartKind::Padding: {
        int nonZero = 0;
        for (int i = 0; i < p.size(); ++i)
            nonZero += p[i] != 0;
        f.push_back({"bytes", std::to_string(p.size())});
        f.push_back({"non-zero bytes", std::to_string(nonZero)});
        break;
    }
    case PartKind::Extension:
        f.push_back({"extension tag", Hex2(p[0])});
        break;
    case PartKind::Unused:
        break;
    case PartKind::DisplayIdHeader:
    case PartKind::DisplayIdDataBlock:
    case PartKind::BrokenDisplayIdDataBlock:
    case PartKind::DisplayIdChecksum:
    case PartKind::BlockMapBlock:
    case PartKind::Incomplete:
        DisplayIdFields(image, part, f);
        break;
    }
    return f;
}

} // namespace tavo
