#include "edid/Encoder.h"

#include <algorithm>

namespace tavo {
namespace {

// A data block payload under construction. Its capacity is larger than any payload the encoder
// builds, so appends never overflow; whether the payload fits a block header (31 bytes) is
// checked when the extension is assembled.
struct Payload {
    std::array<std::uint8_t, 48> bytes{};
    int size = 0;
    void Append(std::uint8_t v) {
        if (size < static_cast<int>(bytes.size())) bytes[size++] = v;
    }
    bool Empty() const { return size == 0; }
};

constexpr int FloorDiv8(int v) {
    return v >= 0 ? v / 8 : -((-v + 7) / 8);
}

void EncodeBaseBlock(EdidRecord& rec) {
    EdidImage& b = rec.image;
    const bool dvi = rec.formatFlags & kFormatNoExtension;
    if (!dvi) rec.formatFlags &= kFormat3D;

    // Manufacturer ID: compressed ASCII, A = 1; a letter outside A-Z is encoded all the same.
    const int c1 = static_cast<unsigned char>(rec.manufacturer[0]) - 64;
    const int c2 = static_cast<unsigned char>(rec.manufacturer[1]) - 64;
    const int c3 = static_cast<unsigned char>(rec.manufacturer[2]) - 64;
    b[8] = static_cast<std::uint8_t>(4 * c1 + FloorDiv8(c2));
    b[9] = static_cast<std::uint8_t>(32 * c2 + c3);

    b[10] = static_cast<std::uint8_t>(rec.productCode);
    b[11] = static_cast<std::uint8_t>(rec.productCode >> 8);
    for (int i = 0; i < 4; ++i)
        b[12 + i] = static_cast<std::uint8_t>(rec.serialNumber >> (8 * i));
    b[16] = rec.week;
    // The record holds the calendar year's low byte; byte 17 counts from 1990 (1990 = 198 + 58).
    b[17] = static_cast<std::uint8_t>(rec.year + 58);

    // The name goes into every monitor-name descriptor (00 00 00 FC 00). A line feed ends a
    // shorter name and spaces fill the rest, as displays write it, so nothing of a longer
    // former name remains. Offsets below 3 have no 3-byte prefix.
    for (int p = 3; p < 128; ++p) {
        if (b[p] != 0xFC || b[p - 1] != 0 || b[p - 2] != 0 || b[p - 3] != 0 || b[p + 1] != 0)
            continue;
        bool ended = false;
        for (int k = 0; k < 13 && p + 2 + k < 128; ++k) {
            const char c = rec.monitorName[k];
            if (ended) {
                b[p + 2 + k] = 0x20;
            } else if (c == 0) {
                b[p + 2 + k] = 0x0A;
                ended = true;
            } else {
                b[p + 2 + k] = static_cast<std::uint8_t>(c);
            }
        }
    }

    b[35] = static_cast<std::uint8_t>(rec.establishedTimings >> 16);
    b[36] = static_cast<std::uint8_t>(rec.establishedTimings >> 8);
    b[37] = static_cast<std::uint8_t>(rec.establishedTimings);

    // One compaction pass: each unused entry moves at most one place towards the end.
    auto& st = rec.standardTimings;
    for (int i = 1; i < 8; ++i) {
        if (st[i - 1] == kStandardTimingUnused) {
            st[i - 1] = st[i];
            st[i] = kStandardTimingUnused;
        }
    }
    for (int i = 0; i < 8; ++i) {
        b[38 + 2 * i] = static_cast<std::uint8_t>(st[i] >> 8);
        b[39 + 2 * i] = static_cast<std::uint8_t>(st[i]);
    }

    b[126] = dvi ? 0 : 1;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += b[i];
    b[127] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

// What the encoder takes over from the template's extension block.
struct TemplateBlocks {
    int hdmi = -1; // offset of the last HDMI block, -1 when none
    bool hasForum = false;
    Payload forum; // the last forum block's payload, byte 7 replaced
    bool hasColorimetry = false;
    std::uint8_t colorimetryFlags = 0; // the last colorimetry block's byte 3
};

TemplateBlocks ScanTemplate(const EdidRecord& rec) {
    const EdidImage& b = rec.image;
    TemplateBlocks t;
    int r = kFirstDataBlock;
    while (FindDataBlock(b, kTagExtended, r)) {
        const int L = DataBlockLength(b, r);
        if (ByteAt(b, r + 1) == 5 && rec.colorimetry != 0) {
            t.hasColorimetry = true;
            t.colorimetryFlags = ByteAt(b, r + 3);
        }
        r += L + 1;
    }
    r = kFirstDataBlock;
    while (FindDataBlock(b, kTagVendor, r)) {
        const int L = DataBlockLength(b, r);
        const std::uint8_t o1 = ByteAt(b, r + 1), o2 = ByteAt(b, r + 2), o3 = ByteAt(b, r + 3);
        if (o1 == 0x03 && o2 == 0x0C && o3 == 0x00) {
            t.hdmi = r;
        } else if (o1 == 0xD8 && o2 == 0x5D && o3 == 0xC4) {
            t.hasForum = true;
            t.forum = Payload{};
            for (int k = 1; k <= L; ++k)
                t.forum.Append(ByteAt(b, r + k));
            if (L >= 7) t.forum.bytes[6] = rec.yuv420DeepColor & 0x07;
        }
        r += L + 1;
    }
    return t;
}

// The HDMI vendor-specific block's payload; payload index i is block byte i + 1.
Payload BuildHdmiPayload(const EdidRecord& rec, int tmpl) {
    const EdidImage& b = rec.image;
    const int tmplLength = tmpl >= 0 ? DataBlockLength(b, tmpl) : 0;
    auto has = [&](int byte) { return tmpl >= 0 && tmplLength >= byte; };
    auto at = [&](int byte) { return ByteAt(b, tmpl + byte); };

    Payload p;
    p.Append(0x03);
    p.Append(0x0C);
    p.Append(0x00);
    p.Append(rec.cecAddress[0]);
    p.Append(rec.cecAddress[1]);
    if (tmpl < 0)
        p.Append(rec.deepColor);
    else // Supports_AI comes from the template (set when its block has no byte 6)
        p.Append(rec.deepColor | (has(6) ? (at(6) & 0x80) : 0x80));
    // Max_TMDS_Clock in 5 MHz units: 165, 225 with deep colour, 300 for 4K formats.
    std::uint8_t tmds = 0x21;
    if (rec.deepColor != 0) tmds = 0x2D;
    if (rec.formatFlags & (kFormat4kLow | kFormat4kHigh)) tmds = 0x3C;
    p.Append(tmds);

    constexpr int kByte7 = 6, kByte8 = 7; // payload indices
    int threeD = -1;                      // payload index of the 3D byte, -1 when absent
    auto copy = [&](int byte) { p.Append(at(byte)); };
    if (has(8)) {
        const std::uint8_t flags = at(8);
        copy(8);
        if (flags & 0x40) { // both latency pairs, then the 3D byte
            for (int i = 9; i <= 12; ++i)
                copy(i);
            if (has(13)) copy(13), threeD = p.size - 1;
        } else if (flags & 0x80) { // one latency pair, then the 3D byte
            copy(9), copy(10);
            if (has(11)) copy(11), threeD = p.size - 1;
        } else if (flags & 0x20) {
            if (has(9)) copy(9), threeD = p.size - 1;
        }
    }
    auto hasByte8 = [&] { return p.size > kByte8; };
    auto setThreeD = [&](std::uint8_t v) {
        if (threeD < 0) {
            p.Append(v);
            threeD = p.size - 1;
        } else {
            p.bytes[threeD] = v;
        }
    };

    int vics = 0;
    for (std::uint8_t v : rec.hdmiVics)
        vics += v != 0;
    const bool is3D = rec.formatFlags & kFormat3D;
    const int threeDLength = std::min<int>(rec.threeDLength, static_cast<int>(k3DByteCount));

    if (vics > 0) {
        p.bytes[kByte7] = std::max<std::uint8_t>(p.bytes[kByte7], 0x3C);
        if (hasByte8())
            p.bytes[kByte8] |= 0x20;
        else
            p.Append(0x20);
    }
    if (is3D) {
        if (vics == 0) {
            if (hasByte8()) {
                p.bytes[kByte8] |= 0x20;
            } else {
                p.Append(0x20);
                setThreeD(0x80);
            }
        }
        if (threeDLength != 0)
            setThreeD(rec.threeDFlags);
        else
            setThreeD(threeD < 0 ? 0x80 : (p.bytes[threeD] | 0x80));
    } else if (vics > 0) {
        setThreeD(threeD < 0 ? 0x00 : (p.bytes[threeD] & 0x1F));
    } else if (hasByte8()) {
        const std::uint8_t flags = p.bytes[kByte8];
        if (!(flags & 0xC0)) {
            // Without latency fields, byte 8 stays only for its content-type bits (CNC).
            if ((flags & 0x0F) == 0) {
                p.size = kByte8;
            } else {
                p.bytes[kByte8] &= ~0x20;
                p.size = kByte8 + 1;
            }
        } else if (flags & 0x20) {
            // Latency fields stay; with nothing to describe, HDMI_Video_present and the 3D
            // byte go, so the block does not announce a VIC-length byte it does not have.
            p.bytes[kByte8] &= ~0x20;
            if (threeD >= 0) p.size = threeD;
        }
    }
    if (vics > 0 || is3D) {
        p.Append(static_cast<std::uint8_t>(vics * 32 + (is3D ? threeDLength : 0)));
        for (std::uint8_t v : rec.hdmiVics)
            if (v != 0) p.Append(v);
        if (is3D)
            for (int k = 0; k < threeDLength; ++k)
                p.Append(rec.threeDBytes[k]);
    }
    return p;
}

// Appends one data block to the extension under construction; false when it would pass
// offset 126 or its payload does not fit a block header.
bool AppendBlock(std::array<std::uint8_t, 128>& ext, int& end, std::uint8_t tag,
                 const std::uint8_t* payload, int size) {
    if (size > 31 || end + 1 + size > 127) return false;
    ext[end++] = static_cast<std::uint8_t>(tag | size);
    std::copy_n(payload, size, ext.begin() + end);
    end += size;
    return true;
}

bool EncodeExtension(EdidRecord& rec) {
    // E1/E2: the video and 4:2:0 lists, and the 4K bits they imply.
    Payload video, yuv420, audio, speaker;
    for (std::uint8_t v : rec.videoCodes) {
        if (v == 0) continue;
        video.Append(v);
        if (v >= 93 && v <= 95) rec.formatFlags |= kFormat4kLow;
        if (v >= 96 && v <= 107) rec.formatFlags |= kFormat4kHigh;
    }
    yuv420.Append(0x0E);
    for (std::uint8_t v : rec.yuv420VideoCodes) {
        if (v == 0) continue;
        yuv420.Append(v);
        if (v >= 96 && v <= 107) rec.formatFlags |= kFormat4kLow;
    }
    for (const auto& d : rec.audioDescriptors)
        if (d[0] != 0)
            for (std::uint8_t v : d)
                audio.Append(v);
    if (rec.speakerAllocation != 0) {
        speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation >> 16));
        speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation >> 8));
        speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation));
    }

    const TemplateBlocks t = ScanTemplate(rec);
    const Payload hdmi = BuildHdmiPayload(rec, t.hdmi);

    // E9: a 4K format without a forum block in the template gets one (SCDC, 600 or 300 MHz).
    Payload forum = t.forum;
    bool hasForum = t.hasForum;
    const std::uint8_t dc420 = rec.yuv420DeepColor & 0x07;
    if (!hasForum && (rec.formatFlags & (kFormat4kHigh | kFormat4kLow))) {
        const bool high = rec.formatFlags & kFormat4kHigh;
        for (std::uint8_t v : {0xD8, 0x5D, 0xC4, 0x01, high ? 0x78 : 0x3C, 0x80, int(dc420)})
            forum.Append(static_cast<std::uint8_t>(v));
        hasForum = true;
        if (rec.hdrEotfs == 0 && (!high || dc420 != 0)) {
            rec.hdrEotfs = 0x03;
            rec.hdrDescriptors = 0x01;
        }
    }

    Payload colorimetry;
    if (rec.colorimetry != 0) {
        colorimetry.Append(0x05);
        colorimetry.Append(rec.colorimetry);
        colorimetry.Append(t.hasColorimetry ? (t.colorimetryFlags | 0x01) : 0x01);
    }
    Payload capability;
    if (rec.videoCapability != 0) {
        capability.Append(0x00);
        capability.Append(rec.videoCapability);
    }
    Payload hdr;
    if (rec.hdrEotfs != 0) {
        hdr.Append(0x06);
        hdr.Append(rec.hdrEotfs);
        hdr.Append(rec.hdrDescriptors);
        // Luminance codes up to the last non-zero one of max, frame-average, min.
        const auto& lum = rec.hdrLuminance;
        const int count = lum[2] != 0 ? 3 : lum[1] != 0 ? 2 : lum[0] != 0 ? 1 : 0;
        for (int i = 0; i < count; ++i)
            hdr.Append(lum[i]);
    }

    // E10-E12: the new extension block.
    std::array<std::uint8_t, 128> ext{};
    ext[0] = 0x02;
    ext[1] = 0x03;
    ext[3] = static_cast<std::uint8_t>((rec.image[131] & 0xCF) | (rec.ycbcrSupport & 0x30));
    int end = 4;
    bool fits = true;
    auto block = [&](bool present, std::uint8_t tag, const Payload& pl) {
        if (present && fits) fits = AppendBlock(ext, end, tag, pl.bytes.data(), pl.size);
    };
    block(!video.Empty(), kTagVideo, video);
    block(!audio.Empty(), kTagAudio, audio);
    block(!speaker.Empty(), kTagSpeaker, speaker);
    block(true, kTagVendor, hdmi);
    block(hasForum, kTagVendor, forum);
    block(!colorimetry.Empty(), kTagExtended, colorimetry);
    block(!capability.Empty(), kTagExtended, capability);
    block(!hdr.Empty(), kTagExtended, hdr);
    block(yuv420.size > 1, kTagExtended, yuv420);
    if (!fits) return false;

    ext[2] = static_cast<std::uint8_t>(end);
    // Detailed timing descriptors while one ends before offset 126.
    for (const auto& dtd : rec.extTimings) {
        if (126 - end <= 18) break;
        std::copy(dtd.begin(), dtd.end(), ext.begin() + end);
        end += 18;
    }
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += ext[i];
    ext[127] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    std::copy(ext.begin(), ext.end(), rec.image.begin() + 128);
    return true;
}

} // namespace

EncodeResult Encode(EdidRecord& record) {
    // Built on a copy: a build that does not fit leaves the record and its template untouched.
    EdidRecord work = record;
    EncodeBaseBlock(work);
    if (work.formatFlags & kFormatNoExtension) {
        std::fill(work.image.begin() + 128, work.image.end(), 0);
    } else if (!EncodeExtension(work)) {
        return {false, kEncodeOverSize};
    }
    record = work;
    return {};
}

} // namespace tavo
