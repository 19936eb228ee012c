#include "edid/Decoder.h"

#include <algorithm>
#include <vector>

#include "edid/EdidBlocks.h"
#include "edid/Fit.h"

namespace tavo {
namespace {

constexpr std::string_view kUndefined = "UNDEFINE.";

// Best video format names, searched in this order; the first VIC the video data block lists
// names the maximum resolution.
struct VideoFormatName {
    std::uint8_t vic;
    std::string_view name;
};
constexpr VideoFormatName kVideoFormatNames[] = {
    {102, "2160p@60Hz"}, {97, "2160p@60Hz"}, {101, "2160p@50Hz"}, {96, "2160p@50Hz"},
    {100, "2160p@30Hz"}, {95, "2160p@30Hz"}, {99, "2160p@25Hz"},  {94, "2160p@25Hz"},
    {98, "2160p@24Hz"},  {93, "2160p@24Hz"}, {16, "1080p@60Hz"},  {31, "1080p@50Hz"},
    {34, "1080p@30Hz"},  {33, "1080p@25Hz"}, {32, "1080p@24Hz"},  {5, "1080i@60Hz"},
    {20, "1080i@50Hz"},  {4, "720p@60Hz"},   {19, "720p@50Hz"},   {18, "576p@50Hz"},
    {17, "576p@50Hz"},   {22, "576i@50Hz"},  {21, "576i@50Hz"},   {3, "480p@60Hz"},
    {2, "480p@60Hz"},    {1, "480p@60Hz"},
};

// A short video descriptor as the record keeps it: 0 for the values that carry no VIC (0, 0x80,
// 0xFE, 0xFF), the native flag removed from VICs 1..64 (0x81..0xC0), anything else as it is.
constexpr std::uint8_t StoredVic(std::uint8_t v) {
    if (v == 0x00 || v == 0x80 || v == 0xFE || v == 0xFF) return 0;
    if ((v >= 1 && v <= 64) || (v >= 0x81 && v <= 0xC0)) return v & 0x7F;
    return v;
}

void ResetFields(EdidRecord& r) {
    SetFieldText(r.monitorName, kUndefined);
    SetFieldText(r.maxResolutionName, kUndefined);
    r.videoCodes.fill(0);
    for (auto& d : r.audioDescriptors)
        d.fill(0);
    r.yuv420VideoCodes.fill(0);
    r.hdmiVics.fill(0);
    r.threeDLength = 0;
    r.threeDFlags = 0;
    r.threeDBytes.fill(0);
    r.hdrEotfs = 0;
    r.hdrDescriptors = 0;
    r.hdrLuminance.fill(0);
    r.status = static_cast<std::uint16_t>(r.status & (kStatusNewTemplate | kStatusHoldsEdid));
    r.productCode = 0;
    r.formatFlags = 0;
    r.support600MHz = 0;
    r.yuv420DeepColor = 0;
    r.scdc = 0;
    r.yuv420Selection = 0;
    r.forumYuv420DeepColor = 0;
    r.ycbcrSupport = 0;
    r.deepColor = 0;
    r.colorDepth = 8;
    r.videoCapability = 0;
    r.colorimetry = 0;
    r.cecAddress = {0, 0};
    r.audioFormatsPresent = 0;
    r.maxChannels = 0;
    r.speakerAllocation = 0;
    for (auto& t : r.extTimings)
        t.fill(0);
}

void DecodeBaseBlock(EdidRecord& r) {
    const EdidImage& b = r.image;
    // Manufacturer ID, bytes 8-9: three 5-bit letters, compressed ASCII with A = 1.
    r.manufacturer[0] = static_cast<char>(64 + (b[8] >> 2));
    r.manufacturer[1] = static_cast<char>(64 + ((b[8] & 3) << 3) + (b[9] >> 5));
    r.manufacturer[2] = static_cast<char>(64 + (b[9] & 0x1F));
    r.manufacturer[3] = 0;

    r.productCode = static_cast<std::uint16_t>(b[10] | (b[11] << 8));
    r.serialNumber = static_cast<std::uint32_t>(b[12]) | (static_cast<std::uint32_t>(b[13]) << 8) |
                     (static_cast<std::uint32_t>(b[14]) << 16) |
                     (static_cast<std::uint32_t>(b[15]) << 24);
    r.week = b[16];
    r.year = b[17];

    // Monitor-name descriptor: 00 00 00 FC 00 then 13 text bytes ended by a line feed. Every
    // match is taken, a later one over an earlier one. The header is valid, so p < 3 never
    // matches.
    for (int p = 3; p < 128; ++p) {
        if (b[p] != 0xFC || b[p - 1] != 0 || b[p - 2] != 0 || b[p - 3] != 0 || b[p + 1] != 0)
            continue;
        for (int k = 0; k < 13; ++k) {
            const std::uint8_t c = b[p + 2 + k];
            if (c == 0x0A) {
                r.monitorName[k] = 0;
                break;
            }
            r.monitorName[k] = static_cast<char>(c);
        }
    }
    r.monitorName[13] = 0;

    r.establishedTimings = (static_cast<std::uint32_t>(b[35]) << 16) |
                           (static_cast<std::uint32_t>(b[36]) << 8) | b[37];
    for (int i = 0; i < 8; ++i)
        r.standardTimings[i] = static_cast<std::uint16_t>((b[38 + 2 * i] << 8) | b[39 + 2 * i]);
}

// One data block of the extension as the walk gives it: its payload bytes 1..length (a block
// whose header claims bytes past the collection ends there); a byte past the block reads 0.
struct Block {
    const EdidImage& image;
    int offset = 0; // the header
    int length = 0; // payload bytes
    int tag = 0;    // header bits 7..5 in place: kTagAudio ... kTagExtended
    std::uint8_t at(int k) const {
        return k >= 0 && k <= length ? image[static_cast<std::size_t>(offset + k)] : 0;
    }
};

// The data blocks of the image's CTA-861 extension, in order; none without one.
std::vector<Block> DataBlocks(const EdidImage& image, const EdidBlock* cta) {
    std::vector<Block> out;
    if (cta == nullptr) return out;
    out.reserve(cta->dataBlocks.size());
    for (const CtaDataBlock& db : cta->dataBlocks)
        out.push_back({image, db.offset, db.length - 1, db.tag << 5});
    return out;
}

// HDMI vendor-specific block (OUI 00-0C-03).
void DecodeHdmiBlock(EdidRecord& rec, const Block& blk) {
    const int L = blk.length;
    rec.formatFlags =
        static_cast<std::uint16_t>((rec.formatFlags & ~kFormatCeaWithoutHdmi) | kFormatHdmiBlock);
    if (L >= 5) rec.cecAddress = {blk.at(4), blk.at(5)};
    if (L >= 6) {
        rec.deepColor = blk.at(6);
        if (rec.deepColor & 0x40)
            rec.colorDepth = 16;
        else if (rec.deepColor & 0x20)
            rec.colorDepth = 12;
        else if (rec.deepColor & 0x10)
            rec.colorDepth = 10;
    }
    // Byte 7 is Max_TMDS_Clock (not needed). Byte 8 holds the presence bits of what follows:
    // 0x80 latency fields (2 bytes), 0x40 interlaced latency fields (2 more), 0x20
    // HDMI_Video_present: then the 3D byte, the HDMI_VIC_LEN/HDMI_3D_LEN byte and the VICs.
    if (L < 9) return;
    const std::uint8_t flags = blk.at(8);
    if (!(flags & 0x20)) return;
    int f = 9, v = 10, h = 11;
    if (flags & 0x40) {
        f = 13, v = 14, h = 15;
    } else if (flags & 0x80) {
        f = 11, v = 12, h = 13;
    }
    const std::uint8_t lengths = blk.at(v);
    const int n = lengths >> 5;
    const std::uint8_t threeD = blk.at(f);
    if (threeD & 0x80) {
        rec.formatFlags |= kFormat3D;
        // HDMI_3D_LEN can claim up to 31 bytes; the record keeps 14.
        const int len = std::min<int>(lengths & 0x1F, static_cast<int>(k3DByteCount));
        rec.threeDLength = static_cast<std::uint8_t>(len);
        rec.threeDFlags = threeD;
        for (int k = 0; k < len; ++k)
            rec.threeDBytes[k] = blk.at(v + 1 + n + k);
    }
    if (L >= h && n > 0) {
        const std::uint8_t first = blk.at(h);
        if (first >= 1 && first <= 4) rec.formatFlags |= kFormat4kLow;
        for (int k = 0; k < n && k < static_cast<int>(kHdmiVicCount); ++k)
            rec.hdmiVics[k] = blk.at(h + k);
    }
}

// HDMI Forum vendor-specific block (OUI C4-5D-D8).
void DecodeForumBlock(EdidRecord& rec, const Block& blk) {
    const int L = blk.length;
    // Byte 5: Max_TMDS_Character_Rate in 5 MHz units; 0x78 is 600 MHz.
    if (L >= 5 && blk.at(5) >= 0x78) rec.support600MHz = 1;
    // Byte 6 bit 7: SCDC_Present.
    if (L >= 6 && (blk.at(6) & 0x80)) rec.scdc = 1;
    // Byte 7 bits 2-0: DC_48bit_420, DC_36bit_420, DC_30bit_420.
    if (L >= 7) rec.forumYuv420DeepColor = blk.at(7) & 0x07;
}

void DecodeVendorBlocks(EdidRecord& rec, const std::vector<Block>& blocks) {
    for (const Block& blk : blocks) {
        if (blk.tag != kTagVendor) continue;
        const std::uint8_t o1 = blk.at(1), o2 = blk.at(2), o3 = blk.at(3);
        if (o1 == 0x03 && o2 == 0x0C && o3 == 0x00)
            DecodeHdmiBlock(rec, blk);
        else if (o1 == 0xD8 && o2 == 0x5D && o3 == 0xC4)
            DecodeForumBlock(rec, blk);
    }
}

void DecodeVideoBlocks(EdidRecord& rec, const std::vector<Block>& blocks) {
    for (const Block& blk : blocks) {
        if (blk.tag != kTagVideo) continue;
        // Which VICs (as stored) the block lists, for the name search below.
        bool listed[128] = {};
        for (int k = 0; k < blk.length; ++k) {
            const std::uint8_t raw = blk.at(1 + k);
            const std::uint8_t vic = StoredVic(raw);
            if (raw >= 93 && raw <= 107) rec.formatFlags |= kFormat4kHigh;
            if (vic == 0) continue;
            if (k < static_cast<int>(kVideoCodeCount)) rec.videoCodes[k] = vic;
            if (vic < 128) listed[vic] = true;
        }
        for (const auto& entry : kVideoFormatNames) {
            if (listed[entry.vic]) {
                SetFieldText(rec.maxResolutionName, entry.name);
                break;
            }
        }
    }
}

void DecodeExtendedBlocks(EdidRecord& rec, const std::vector<Block>& blocks) {
    for (const Block& blk : blocks) {
        if (blk.tag != kTagExtended) continue;
        const int L = blk.length;
        switch (blk.at(1)) {
        case 0: // video capability
            if (L == 2) rec.videoCapability = blk.at(2);
            break;
        case 5: // colorimetry
            if (L == 3) rec.colorimetry = blk.at(2);
            break;
        case 6: { // HDR static metadata: EOTFs, descriptors, then up to three luminance codes
            std::uint8_t* const fields[5] = {&rec.hdrEotfs, &rec.hdrDescriptors,
                                             &rec.hdrLuminance[0], &rec.hdrLuminance[1],
                                             &rec.hdrLuminance[2]};
            for (int k = 0; k < 5 && 2 + k <= L; ++k)
                *fields[k] = blk.at(2 + k);
            // The HDR summary: the deep colours available with HDR. The vendor pass has run.
            if (rec.forumYuv420DeepColor != 0)
                rec.yuv420DeepColor = rec.forumYuv420DeepColor;
            else if (rec.scdc == 1) {
                if (rec.colorDepth == 12)
                    rec.yuv420DeepColor |= 0x03;
                else if (rec.colorDepth == 10)
                    rec.yuv420DeepColor |= 0x01;
            } else
                rec.yuv420DeepColor = 0x80;
            break;
        }
        case 14: // YCbCr 4:2:0 video data block
            for (int k = 0; k <= L - 2 && k < static_cast<int>(kYuv420CodeCount); ++k)
                rec.yuv420VideoCodes[k] = blk.at(2 + k);
            if (L >= 2 && blk.at(2) != 0) rec.yuv420Selection = 1;
            break;
        case 15: // YCbCr 4:2:0 capability map
            rec.yuv420Selection = 1;
            break;
        default:
            break;
        }
    }
}

void DecodeAudioBlocks(EdidRecord& rec, const std::vector<Block>& blocks) {
    for (const Block& blk : blocks) {
        if (blk.tag != kTagAudio) continue;
        const int L = blk.length;
        for (int i = 0; 3 * i < L && i < static_cast<int>(kAudioDescriptorCount); ++i)
            rec.audioDescriptors[i] = {blk.at(1 + 3 * i), blk.at(2 + 3 * i), blk.at(3 + 3 * i)};
        for (int s = 1; s <= L; s += 3) {
            const std::uint8_t d = blk.at(s);
            const int code = (d & 0x78) >> 3;
            const int channels = (d & 7) + 1;
            switch (code) {
            case 1:
                rec.audioFormatsPresent |= channels <= 2 ? kAudioLpcm2 : kAudioLpcmMulti;
                break;
            case 2:
                rec.audioFormatsPresent |= kAudioAc3;
                break;
            case 10:
                rec.audioFormatsPresent |= kAudioEac3;
                break;
            case 12:
                rec.audioFormatsPresent |= kAudioMat;
                break;
            case 7:
                rec.audioFormatsPresent |= kAudioDts;
                break;
            case 11:
                rec.audioFormatsPresent |= kAudioDtsHd;
                break;
            case 6:
                rec.audioFormatsPresent |= kAudioAac;
                break;
            case 9:
                rec.audioFormatsPresent |= kAudioOneBit;
                break;
            default:
                break;
            }
            if (channels > rec.maxChannels) rec.maxChannels = static_cast<std::uint8_t>(channels);
        }
    }
}

// The first speaker allocation block only.
void DecodeSpeakerBlock(EdidRecord& rec, const std::vector<Block>& blocks) {
    for (const Block& blk : blocks) {
        if (blk.tag != kTagSpeaker) continue;
        rec.speakerAllocation = (static_cast<std::uint32_t>(blk.at(1)) << 16) |
                                (static_cast<std::uint32_t>(blk.at(2)) << 8) | blk.at(3);
        return;
    }
}

// Detailed timing descriptors of the extension from its byte 2 (d) on; a slot whose 18 bytes
// would pass offset 125 stays empty (all zero), and so do all three when d is below 4 (0: the
// extension has neither data blocks nor timings).
void DecodeExtensionTimings(EdidRecord& rec, const EdidBlock& cta) {
    const EdidImage& b = rec.image;
    const int d = cta.dtdOffset;
    if (d < 4) return;
    for (int i = 0; i < static_cast<int>(kExtTimingCount); ++i) {
        const int s = d + 18 * i;
        if (126 - s < 18) continue;
        std::copy_n(b.begin() + cta.offset + s, kDetailedTimingSize, rec.extTimings[i].begin());
    }
}

} // namespace

void Decode(EdidRecord& record, const EdidImage& source) {
    ResetFields(record);
    record.image = source;
    if (!ValidateImage(record.image, record.status)) return;

    DecodeBaseBlock(record);
    // block 1 holds data blocks only as a CTA-861 extension, and only as many as its byte 2
    // leaves room for (0 and 4: none)
    const EdidBlocks walked = ReadEdidBlocks(record.image);
    const EdidBlock* cta = walked.FirstAnnouncedCta();
    const std::vector<Block> blocks = DataBlocks(record.image, cta);
    if (record.image[126] != 1) {
        record.formatFlags = kFormatNoExtension;
    } else {
        record.formatFlags = kFormatCeaWithoutHdmi;
        if (cta != nullptr) record.ycbcrSupport = record.image[131];
        DecodeVendorBlocks(record, blocks);
    }
    DecodeVideoBlocks(record, blocks);
    DecodeExtendedBlocks(record, blocks);
    DecodeAudioBlocks(record, blocks);
    DecodeSpeakerBlock(record, blocks);
    if (cta != nullptr) DecodeExtensionTimings(record, *cta);
}

void DecodeEdid(EdidRecord& record, std::span<const std::uint8_t> bytes) {
    EdidImage image{};
    if (!FirstTwoBlocks(bytes, image)) image = ImageFromBytes(bytes.data(), bytes.size());
    Decode(record, image);
}

} // namespace tavo
