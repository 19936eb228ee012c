#include "edid/Encoder.h"

#include <algorithm>
#include <vector>

#include "edid/EdidBlocks.h"

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
    int hdmi = -1;      // offset of the last HDMI block, -1 when none
    int hdmiLength = 0; // its payload bytes
    bool hasForum = false;
    Payload forum; // the last forum block's payload, byte 7 replaced
    bool hasColorimetry = false;
    std::uint8_t colorimetryFlags = 0; // the last colorimetry block's byte 3
};

// The data blocks of the template's CTA-861 extension (none when block 1 is not one), as the
// walk reads them: `at(k)` is byte k of the block, 0 past its end.
struct TemplateBlock {
    const EdidImage& image;
    int offset = 0;
    int length = 0; // payload bytes, cut at the collection's end
    int tag = 0;    // header bits 7..5 in place
    std::uint8_t at(int k) const {
        return k >= 0 && k <= length ? image[static_cast<std::size_t>(offset + k)] : 0;
    }
};

std::vector<TemplateBlock> TemplateDataBlocks(const EdidImage& image) {
    std::vector<TemplateBlock> out;
    const EdidBlocks walked = ReadEdidBlocks(image);
    if (const EdidBlock* cta = walked.FirstAnnouncedCta())
        for (const CtaDataBlock& db : cta->dataBlocks)
            out.push_back({image, db.offset, db.length - 1, db.tag << 5});
    return out;
}

TemplateBlocks ScanTemplate(const EdidRecord& rec, const std::vector<TemplateBlock>& blocks) {
    TemplateBlocks t;
    for (const TemplateBlock& blk : blocks) {
        if (blk.tag == kTagExtended && blk.at(1) == 5 && rec.colorimetry != 0) {
            t.hasColorimetry = true;
            t.colorimetryFlags = blk.at(3);
        }
    }
    for (const TemplateBlock& blk : blocks) {
        if (blk.tag != kTagVendor) continue;
        const int L = blk.length;
        const std::uint8_t o1 = blk.at(1), o2 = blk.at(2), o3 = blk.at(3);
        if (o1 == 0x03 && o2 == 0x0C && o3 == 0x00) {
            t.hdmi = blk.offset;
            t.hdmiLength = L;
        } else if (o1 == 0xD8 && o2 == 0x5D && o3 == 0xC4) {
            t.hasForum = true;
            t.forum = Payload{};
            for (int k = 1; k <= L; ++k)
                t.forum.Append(blk.at(k));
            if (L >= 7)
                t.forum.bytes[6] = static_cast<std::uint8_t>((t.forum.bytes[6] & 0xF8) |
                                                             (rec.yuv420DeepColor & 0x07));
        }
    }
    return t;
}

// The template's HDMI vendor-specific block, read by block byte number.
struct HdmiTemplate {
    const EdidImage& image;
    int offset; // the block's header, -1 without one
    int length;
    bool has(int byte) const { return offset >= 0 && length >= byte; }
    std::uint8_t at(int byte) const {
        return offset >= 0 && byte >= 0 && byte <= length
                   ? image[static_cast<std::size_t>(offset + byte)]
                   : 0;
    }
};

constexpr int kHdmiByte7 = 6, kHdmiByte8 = 7; // payload indices

// Block bytes 1 to 7: the IEEE identifier, the CEC address, the deep colour flags (Supports_AI
// from the template) and the TMDS clock in 5 MHz units. The template's clock stays as it is; a
// block without one, or a build that asks more than it gives (deep colour or a 4K format the
// template does not have), gets what those need: 165, 225 with deep colour, 300 for 4K formats.
// A template block that ends before byte 6 stays that short while the build adds nothing to it.
void AppendHdmiHeader(Payload& p, const EdidRecord& rec, const HdmiTemplate& t, bool new4k,
                      bool more) {
    p.Append(0x03);
    p.Append(0x0C);
    p.Append(0x00);
    p.Append(rec.cecAddress[0]);
    p.Append(rec.cecAddress[1]);
    const std::uint8_t deepColour =
        t.offset < 0 ? rec.deepColor
                     : static_cast<std::uint8_t>(rec.deepColor | (t.has(6) ? (t.at(6) & 0x80) : 0));
    if (t.offset >= 0 && !t.has(6) && deepColour == 0 && !new4k && !more) return;
    p.Append(deepColour);
    std::uint8_t needed = 0x21;
    if (rec.deepColor & 0x70) needed = 0x2D;
    if (rec.formatFlags & (kFormat4kLow | kFormat4kHigh)) needed = 0x3C;
    if (t.offset >= 0 && !t.has(7) && deepColour == (t.has(6) ? t.at(6) : 0) && !new4k && !more)
        return;
    std::uint8_t tmds = needed;
    if (t.has(7)) {
        tmds = t.at(7);
        const bool deeper = ((rec.deepColor & ~(t.has(6) ? t.at(6) : 0)) & 0x70) != 0;
        if ((deeper || new4k) && tmds != 0 && tmds < needed) tmds = needed;
    }
    p.Append(tmds);
}

// The template's byte 8 with the latency fields it announces and the 3D byte after them.
// Returns the payload index of the 3D byte, -1 when there is none.
int CopyHdmiLatency(Payload& p, const HdmiTemplate& t) {
    int threeD = -1;
    auto copy = [&](int byte) { p.Append(t.at(byte)); };
    if (!t.has(8)) return threeD;
    const std::uint8_t flags = t.at(8);
    copy(8);
    if (flags & 0x40) { // both latency pairs, then the 3D byte
        for (int i = 9; i <= 12; ++i)
            copy(i);
        if (t.has(13)) copy(13), threeD = p.size - 1;
    } else if (flags & 0x80) { // one latency pair, then the 3D byte
        copy(9), copy(10);
        if (t.has(11)) copy(11), threeD = p.size - 1;
    } else if (flags & 0x20) {
        if (t.has(9)) copy(9), threeD = p.size - 1;
    }
    return threeD;
}

// What the record's HDMI VICs and 3D flag make of byte 8 (HDMI_Video_present) and the 3D byte.
struct HdmiVideo {
    int vics = 0;
    bool is3D = false;
    int threeDLength = 0;
};

void SetHdmiVideoFlags(Payload& p, int threeD, const EdidRecord& rec, const HdmiVideo& v) {
    auto hasByte8 = [&] { return p.size > kHdmiByte8; };
    auto setThreeD = [&](std::uint8_t value) {
        if (threeD < 0) {
            p.Append(value);
            threeD = p.size - 1;
        } else {
            p.bytes[threeD] = value;
        }
    };
    if (v.vics > 0) {
        p.bytes[kHdmiByte7] = std::max<std::uint8_t>(p.bytes[kHdmiByte7], 0x3C);
        if (hasByte8())
            p.bytes[kHdmiByte8] |= 0x20;
        else
            p.Append(0x20);
    }
    if (v.is3D) {
        if (v.vics == 0) {
            if (hasByte8()) {
                p.bytes[kHdmiByte8] |= 0x20;
            } else {
                p.Append(0x20);
                setThreeD(0x80);
            }
        }
        if (v.threeDLength != 0)
            setThreeD(rec.threeDFlags);
        else
            setThreeD(threeD < 0 ? 0x80 : (p.bytes[threeD] | 0x80));
    } else if (v.vics > 0) {
        setThreeD(threeD < 0 ? 0x00 : (p.bytes[threeD] & 0x1F));
    } else if (hasByte8()) {
        const std::uint8_t flags = p.bytes[kHdmiByte8];
        if (!(flags & 0xC0)) {
            // Without latency fields, byte 8 stays only for its content-type bits (CNC).
            if ((flags & 0x0F) == 0) {
                p.size = kHdmiByte8;
            } else {
                p.bytes[kHdmiByte8] &= ~0x20;
                p.size = kHdmiByte8 + 1;
            }
        } else if (flags & 0x20) {
            // Latency fields stay; with nothing to describe, HDMI_Video_present and the 3D
            // byte go, so the block does not announce a VIC-length byte it does not have.
            p.bytes[kHdmiByte8] &= ~0x20;
            if (threeD >= 0) p.size = threeD;
        }
    }
}

// The HDMI vendor-specific block's payload; payload index i is block byte i + 1. `new4k`: the
// build lists a 4K format the template does not.
Payload BuildHdmiPayload(const EdidRecord& rec, int tmpl, int tmplLength, bool new4k) {
    const HdmiTemplate t{rec.image, tmpl, tmpl >= 0 ? tmplLength : 0};
    Payload p;
    HdmiVideo v;
    for (std::uint8_t vic : rec.hdmiVics)
        v.vics += vic != 0;
    v.is3D = rec.formatFlags & kFormat3D;
    v.threeDLength = std::min<int>(rec.threeDLength, static_cast<int>(k3DByteCount));
    // an HDMI VIC (a 4K format) the template's block does not list counts as a new 4K format
    std::array<bool, 256> templateVics{};
    if (t.has(8) && (t.at(8) & 0x20)) {
        const std::uint8_t flags = t.at(8);
        const int lengths = (flags & 0x40) ? 14 : (flags & 0x80) ? 12 : 10;
        const int n = t.has(lengths) ? t.at(lengths) >> 5 : 0;
        for (int k = 0; k < n && t.has(lengths + 1 + k); ++k)
            templateVics[t.at(lengths + 1 + k)] = true;
    }
    for (std::uint8_t vic : rec.hdmiVics)
        new4k = new4k || (vic != 0 && !templateVics[vic]);
    AppendHdmiHeader(p, rec, t, new4k, v.vics > 0 || v.is3D);
    if (p.size <= kHdmiByte7) return p; // the template's short block, nothing added
    const int threeD = CopyHdmiLatency(p, t);
    SetHdmiVideoFlags(p, threeD, rec, v);
    if (v.vics > 0 || v.is3D) { // the VIC and 3D lengths, the VICs, the 3D bytes
        p.Append(static_cast<std::uint8_t>(v.vics * 32 + (v.is3D ? v.threeDLength : 0)));
        for (std::uint8_t vic : rec.hdmiVics)
            if (vic != 0) p.Append(vic);
        if (v.is3D)
            for (int k = 0; k < v.threeDLength; ++k)
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

// The payloads of the extension's data blocks, in the order they are laid out.
struct ExtensionPayloads {
    Payload video, audio, speaker, hdmi, forum, colorimetry, capability, hdr, yuv420;
    bool hasForum = false;
};

// E1/E2: the video and 4:2:0 lists (and the 4K bits they imply), the audio descriptors and the
// speaker allocation.
void CollectLists(EdidRecord& rec, ExtensionPayloads& x) {
    for (std::uint8_t v : rec.videoCodes) {
        if (v == 0) continue;
        x.video.Append(v);
        if (v >= 93 && v <= 95) rec.formatFlags |= kFormat4kLow;
        if (v >= 96 && v <= 107) rec.formatFlags |= kFormat4kHigh;
    }
    x.yuv420.Append(0x0E);
    for (std::uint8_t v : rec.yuv420VideoCodes) {
        if (v == 0) continue;
        x.yuv420.Append(v);
        if (v >= 96 && v <= 107) rec.formatFlags |= kFormat4kLow;
    }
    for (const auto& d : rec.audioDescriptors)
        if (d[0] != 0)
            for (std::uint8_t v : d)
                x.audio.Append(v);
    if (rec.speakerAllocation != 0) {
        x.speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation >> 16));
        x.speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation >> 8));
        x.speaker.Append(static_cast<std::uint8_t>(rec.speakerAllocation));
    }
}

// E9: a 4K format at 50 or 60 Hz in 4:4:4 that the template does not list, in an EDID without a
// forum block, gets one: SCDC and 600 MHz, which that format needs. 4:2:0 deep colour set in an
// EDID without a forum block gets one too, with no character rate of its own (0: the HDMI
// block's clock). Nothing else is claimed for the display: no HDR, no other feature.
void AddForumBlock(const EdidRecord& rec, const TemplateBlocks& t, bool new4kHigh,
                   ExtensionPayloads& x) {
    x.forum = t.forum;
    x.hasForum = t.hasForum;
    const std::uint8_t dc420 = rec.yuv420DeepColor & 0x07;
    if (x.hasForum || (!new4kHigh && dc420 == 0)) return;
    for (std::uint8_t v :
         {0xD8, 0x5D, 0xC4, 0x01, new4kHigh ? 0x78 : 0x00, new4kHigh ? 0x80 : 0x00, int(dc420)})
        x.forum.Append(static_cast<std::uint8_t>(v));
    x.hasForum = true;
}

// The extended-tag blocks: colorimetry, video capability, HDR static metadata (luminance codes
// up to the last non-zero one of max, frame-average, min).
void CollectExtendedBlocks(const EdidRecord& rec, const TemplateBlocks& t, ExtensionPayloads& x) {
    if (rec.colorimetry != 0) {
        x.colorimetry.Append(0x05);
        x.colorimetry.Append(rec.colorimetry);
        x.colorimetry.Append(t.hasColorimetry ? t.colorimetryFlags : 0x00);
    }
    if (rec.videoCapability != 0) {
        x.capability.Append(0x00);
        x.capability.Append(rec.videoCapability);
    }
    if (rec.hdrEotfs != 0) {
        x.hdr.Append(0x06);
        x.hdr.Append(rec.hdrEotfs);
        x.hdr.Append(rec.hdrDescriptors);
        const auto& lum = rec.hdrLuminance;
        const int count = lum[2] != 0 ? 3 : lum[1] != 0 ? 2 : lum[0] != 0 ? 1 : 0;
        for (int i = 0; i < count; ++i)
            x.hdr.Append(lum[i]);
    }
}

// E10-E12: the new extension block into the image: the header, the data blocks, the detailed
// timings while one ends before offset 126, the checksum. False when the blocks do not fit.
bool LayOutExtension(EdidRecord& rec, const ExtensionPayloads& x) {
    std::array<std::uint8_t, 128> ext{};
    ext[0] = 0x02;
    ext[1] = 0x03;
    ext[3] = static_cast<std::uint8_t>((rec.image[131] & 0xCF) | (rec.ycbcrSupport & 0x30));
    int end = 4;
    bool fits = true;
    auto block = [&](bool present, std::uint8_t tag, const Payload& pl) {
        if (present && fits) fits = AppendBlock(ext, end, tag, pl.bytes.data(), pl.size);
    };
    block(!x.video.Empty(), kTagVideo, x.video);
    block(!x.audio.Empty(), kTagAudio, x.audio);
    block(!x.speaker.Empty(), kTagSpeaker, x.speaker);
    block(true, kTagVendor, x.hdmi);
    block(x.hasForum, kTagVendor, x.forum);
    block(!x.colorimetry.Empty(), kTagExtended, x.colorimetry);
    block(!x.capability.Empty(), kTagExtended, x.capability);
    block(!x.hdr.Empty(), kTagExtended, x.hdr);
    block(x.yuv420.size > 1, kTagExtended, x.yuv420);
    if (!fits) return false;

    ext[2] = static_cast<std::uint8_t>(end);
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

// Whether the record lists a video code of [from, to] that the template's video data blocks do
// not (native flags aside); with `yuv420` the 4:2:0 lists count on both sides.
bool ListsNewCode(const EdidRecord& rec, const std::vector<TemplateBlock>& blocks, int from, int to,
                  bool yuv420) {
    bool listed[256] = {};
    for (const TemplateBlock& blk : blocks) {
        if (blk.tag == kTagVideo) {
            for (int k = 1; k <= blk.length; ++k) {
                const std::uint8_t v = blk.at(k);
                listed[(v >= 0x81 && v <= 0xC0) ? (v & 0x7F) : v] = true;
            }
        } else if (yuv420 && blk.tag == kTagExtended && blk.at(1) == 14) {
            for (int k = 2; k <= blk.length; ++k)
                listed[blk.at(k)] = true;
        }
    }
    auto anyNew = [&](const auto& codes) {
        return std::any_of(codes.begin(), codes.end(),
                           [&](std::uint8_t v) { return v >= from && v <= to && !listed[v]; });
    };
    return anyNew(rec.videoCodes) || (yuv420 && anyNew(rec.yuv420VideoCodes));
}

bool EncodeExtension(EdidRecord& rec) {
    ExtensionPayloads x;
    CollectLists(rec, x);
    const std::vector<TemplateBlock> blocks = TemplateDataBlocks(rec.image);
    const TemplateBlocks t = ScanTemplate(rec, blocks);
    x.hdmi = BuildHdmiPayload(rec, t.hdmi, t.hdmiLength, ListsNewCode(rec, blocks, 93, 107, true));
    AddForumBlock(rec, t, ListsNewCode(rec, blocks, 96, 107, false), x);
    CollectExtendedBlocks(rec, t, x);
    return LayOutExtension(rec, x);
}

} // namespace

EncodeResult Encode(EdidRecord& record) {
    // Built on a copy: a build that does not fit leaves the record and its template untouched.
    EdidRecord work = record;
    EncodeBaseBlock(work);
    if (work.formatFlags & kFormatNoExtension) {
        // one block: the rest of the image reads as a 128-byte file does (and as an erased
        // device area), so that a one-block EDID opened and built is the image it was
        std::fill(work.image.begin() + 128, work.image.end(), 0xFF);
    } else if (!EncodeExtension(work)) {
        return {false, kEncodeOverSize};
    }
    record = work;
    return {};
}

} // namespace tavo
