#include "workspace/compose/Compose.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>

#include "edid/BlockMap.h"
#include "edid/DisplayIdTimings.h"
#include "edid/Fit.h"
#include "edid/JsonWriter.h"
#include "edid/VideoFormats.h"

namespace tavo {
namespace {

constexpr std::uint32_t kOuiHdmi = 0x000C03;
constexpr std::uint32_t kOuiForum = 0xC45DD8;
constexpr std::uint32_t kOuiAmd = 0x00001A;
constexpr int kExtTagVideoCapability = 0;
constexpr int kExtTagColorimetry = 5;
constexpr int kExtTagHdrStatic = 6;
constexpr int kExtTagYuv420Video = 14;
constexpr int kExtTagYuv420Capability = 15;
constexpr int kExtTagForumSink = 0x79;
constexpr int kMaxAudioDescriptors = 10;
constexpr int kMaxVideoCodes = 31;

using Sad = std::array<std::uint8_t, 3>;

// A timing a source takes, its sync (a detailed timing's byte 17 bits 1-4: the kind of sync and
// the polarities or serrations), and whether it comes from a video code (which covers its
// 1000/1001 rate as well).
struct Timed {
    VideoTiming timing;
    bool vic = false;
    std::uint8_t sync = 0;
};

// The sync of a timing of the tables: digital separate, with its polarities.
std::uint8_t TableSync(const VideoTiming& t) {
    return static_cast<std::uint8_t>(0x18 | (t.vPositive ? 0x04 : 0) | (t.hPositive ? 0x02 : 0));
}

// How one EDID lists one format.
struct Listing {
    bool normal = false;   // RGB (and the YCbCr the EDID declares)
    bool yuv420 = false;   // takes the format in YCbCr 4:2:0
    std::vector<int> vics; // every video code it lists the format by in RGB
    std::vector<int> vics420;
    int hdmiVic = 0;
    bool dmt = false;           // as an established or standard timing
    std::vector<Timed> timings; // every exact timing it lists the format by
    std::vector<DetailedTiming> dtds;
};

// Everything compose reads of one EDID.
struct Parsed {
    EdidImage image{};
    std::map<VideoFormat, Listing> formats;
    bool cta = false;
    std::uint8_t ctaFlags = 0;
    std::vector<Sad> sads;       // the audio descriptors of known formats
    std::vector<Sad> audioBytes; // every descriptor of the audio blocks as it stands
    bool speakers = false;
    std::array<std::uint8_t, 3> speakerBytes{};
    // HDMI block
    bool hdmi = false;
    std::array<std::uint8_t, 2> address{};
    bool hdmiHasFlags = false, hdmiHasClock = false, hdmiHasByte8 = false;
    std::uint8_t hdmiFlags = 0, hdmiClock = 0, hdmiByte8 = 0;
    bool threeD = false;
    // HDMI Forum block (vendor-specific or sink capability form): its payload from the version on
    bool forum = false;
    std::vector<std::uint8_t> forumBytes;
    // other extended blocks
    bool vcdb = false;
    std::uint8_t vcdbByte = 0;
    bool colorimetry = false;
    std::array<std::uint8_t, 2> colorimetryBytes{};
    bool hdr = false;
    std::vector<std::uint8_t> hdrBytes; // EOTFs, descriptors, then the luminance codes present
    // the AMD vendor-specific block: its payload from the version on
    bool amd = false;
    std::vector<std::uint8_t> amdBytes;
    // the range limits descriptor (rates in Hz and kHz, the pixel clock in MHz)
    bool limits = false;
    int minV = 0, maxV = 0, minH = 0, maxH = 0, maxClockMhz = 0;
};

std::uint32_t Oui(const EdidImage& img, int at) {
    return ByteAt(img, at + 1) | ByteAt(img, at + 2) << 8 | ByteAt(img, at + 3) << 16;
}

Listing& At(Parsed& p, const VideoFormat& f) {
    return p.formats[f];
}

// The DMT timing of a format an established or standard timing names (nullopt when the table
// has none, or the format is one only a video code names).
std::optional<VideoTiming> DmtTiming(const VideoFormat& f) {
    const int vic = VicOfFormat(f);
    if (vic && vic != 1 && vic != 4 && vic != 16) return std::nullopt;
    if (f == VideoFormat{1920, 1200, false, 60}) { // the standard timing's, not reduced blanking
        VideoTiming t;
        t.format = f;
        t.pixelClockKhz = 193250;
        t.hFront = 136, t.hSync = 200, t.hBack = 336;
        t.vFront = 3, t.vSync = 6, t.vBack = 36;
        t.vPositive = true;
        return t;
    }
    return KnownTiming(f);
}

// The rates of a format whose exact timing compose does not write, for the range limits: the
// totals of the established timings (IBM, Apple and DMT), else an estimate with ample blanking.
VideoTiming RangeTiming(const VideoFormat& f, bool* estimated = nullptr) {
    if (const auto t = DmtTiming(f)) return *t;
    if (const auto t = VicTiming(VicOfFormat(f))) return *t;
    struct Totals {
        VideoFormat format;
        int clockKhz, hTotal, vTotal; // vTotal: lines of a field
    };
    static constexpr Totals kEstablished[] = {
        {{720, 400, false, 88}, 35500, 900, 449},    {{640, 480, false, 67}, 30240, 864, 525},
        {{640, 480, false, 72}, 31500, 832, 520},    {{640, 480, false, 75}, 31500, 840, 500},
        {{800, 600, false, 56}, 36000, 1024, 625},   {{800, 600, false, 72}, 50000, 1040, 666},
        {{800, 600, false, 75}, 49500, 1056, 625},   {{832, 624, false, 75}, 57284, 1152, 667},
        {{1024, 768, true, 87}, 44900, 1264, 408},   {{1024, 768, false, 70}, 75000, 1328, 806},
        {{1024, 768, false, 75}, 78750, 1312, 800},  {{1280, 1024, false, 75}, 135000, 1688, 1066},
        {{1152, 870, false, 75}, 100000, 1456, 915}, {{1152, 864, false, 75}, 108000, 1600, 900},
    };
    VideoTiming t;
    t.format = f;
    const int lines = f.interlaced ? f.height / 2 : f.height;
    for (const Totals& e : kEstablished)
        if (e.format == f) {
            t.pixelClockKhz = e.clockKhz;
            t.hBack = e.hTotal - f.width;
            t.vBack = e.vTotal - lines;
            return t;
        }
    if (estimated) *estimated = true;
    t.hBack = f.width * 3 / 10;
    t.vBack = lines / 25 + 3;
    t.pixelClockKhz = static_cast<int>(double(t.HTotal()) * t.VTotal() * f.rate / 1000.0);
    return t;
}

// Whether RangeTiming knows the format's rates rather than estimating them.
bool KnownRates(const VideoFormat& f) {
    bool estimated = false;
    RangeTiming(f, &estimated);
    return !estimated;
}

void AddDtd(Parsed& p, const std::uint8_t* d) {
    const auto t = ReadDetailedTiming(d);
    if (!t) return;
    Listing& l = At(p, t->format);
    l.normal = true;
    l.timings.push_back({*t, false, static_cast<std::uint8_t>(d[17] & 0x1E)});
    DetailedTiming bytes{};
    std::copy(d, d + kDetailedTimingSize, bytes.begin());
    l.dtds.push_back(bytes);
}

// An established or standard timing of `f`.
void AddDmt(Parsed& p, const VideoFormat& f) {
    Listing& l = At(p, f);
    l.normal = true;
    if (l.dmt) return;
    l.dmt = true;
    if (const auto t = DmtTiming(f)) l.timings.push_back({*t, false, TableSync(*t)});
}

void AddVic(Parsed& p, int vic) {
    const auto f = VicFormat(vic);
    if (!f) return;
    Listing& l = At(p, *f);
    l.normal = true;
    if (std::find(l.vics.begin(), l.vics.end(), vic) != l.vics.end()) return;
    l.vics.push_back(vic);
    if (const auto t = VicTiming(vic)) l.timings.push_back({*t, true, TableSync(*t)});
}

// An exact timing a DisplayID extension declares (digital separate sync, its polarities).
void AddTimed(Parsed& p, const VideoTiming& t) {
    if (t.format.width <= 0 || t.format.height <= 0 || t.pixelClockKhz <= 0) return;
    Listing& l = At(p, t.format);
    l.normal = true;
    l.timings.push_back({t, false, TableSync(t)});
}

void AddVic420(Parsed& p, int vic) {
    const auto f = VicFormat(vic);
    if (!f) return;
    Listing& l = At(p, *f);
    l.yuv420 = true;
    if (std::find(l.vics420.begin(), l.vics420.end(), vic) == l.vics420.end())
        l.vics420.push_back(vic);
}

void AddStandard(Parsed& p, std::uint8_t b0, std::uint8_t b1) {
    if (const auto f = StandardTimingFormat(b0, b1)) AddDmt(p, *f);
}

// The range limits descriptor: rates with the offsets of EDID 1.4, the pixel clock.
void AddRangeLimits(Parsed& p, const std::uint8_t* d) {
    const int vOffset = d[4] & 0x03, hOffset = (d[4] >> 2) & 0x03;
    p.limits = true;
    p.minV = d[5] + (vOffset == 3 ? 255 : 0);
    p.maxV = d[6] + (vOffset >= 2 ? 255 : 0);
    p.minH = d[7] + (hOffset == 3 ? 255 : 0);
    p.maxH = d[8] + (hOffset >= 2 ? 255 : 0);
    p.maxClockMhz = d[9] * 10;
}

void ParseBase(Parsed& p) {
    const EdidImage& img = p.image;
    const std::uint32_t est = img[35] << 16 | img[36] << 8 | img[37];
    for (int bit = 0; bit < kEstablishedTimingBits; ++bit)
        if (est & (0x800000u >> bit)) AddDmt(p, *EstablishedFormat(bit));
    for (int i = 0; i < 8; ++i)
        AddStandard(p, img[38 + 2 * i], img[39 + 2 * i]);
    for (int d = 54; d < 126; d += 18) {
        if (img[d] || img[d + 1]) {
            AddDtd(p, &img[d]);
        } else if (img[d + 3] == 0xFA) {
            for (int i = 0; i < 6; ++i)
                AddStandard(p, img[d + 5 + 2 * i], img[d + 6 + 2 * i]);
        } else if (img[d + 3] == 0xFD && !p.limits) {
            AddRangeLimits(p, &img[d]);
        }
    }
}

void ParseHdmi(Parsed& p, int at, int len) {
    const EdidImage& img = p.image;
    p.hdmi = true;
    p.address = {ByteAt(img, at + 4), ByteAt(img, at + 5)};
    if (len >= 6) p.hdmiHasFlags = true, p.hdmiFlags = img[at + 6];
    if (len >= 7) p.hdmiHasClock = true, p.hdmiClock = img[at + 7];
    if (len < 8) return;
    p.hdmiHasByte8 = true;
    const std::uint8_t b8 = img[at + 8];
    p.hdmiByte8 = b8;
    int i = at + 9;
    if (b8 & 0x80) i += 2;
    if (b8 & 0x40) i += 2;
    if (!(b8 & 0x20) || i + 1 > at + len) return;
    p.threeD = img[i] & 0x80;
    const int vicLen = img[i + 1] >> 5;
    for (int k = 0; k < vicLen && i + 2 + k <= at + len; ++k) {
        const int h = img[i + 2 + k];
        if (const int vic = VicOfHdmiVic(h)) {
            AddVic(p, vic);
            At(p, *VicFormat(vic)).hdmiVic = h;
        }
    }
}

// One branch per kind of data block: the chain is the table of what compose reads from an
// extension, and reads best whole. The data blocks and detailed timings are those of the block
// map: an extension whose byte 2 announces no data blocks has none, and a block that runs past
// its collection is not read.
void ParseCta(Parsed& p) {
    const EdidImage& img = p.image;
    p.cta = true;
    p.ctaFlags = img[131];
    std::vector<int> videoOrder; // the video blocks' codes in order, for the 4:2:0 map
    std::vector<int> map420;     // payload offsets of the 4:2:0 capability map
    bool map420All = false, has420Map = false;
    for (const BlockPart& part : MapBlocks(img)) {
        if (part.offset < 128) continue;
        if (part.kind == PartKind::DetailedTiming) {
            AddDtd(p, &img[part.offset]);
            continue;
        }
        if (part.kind != PartKind::DataBlock) continue;
        const int at = part.offset;
        const int tag = part.tag;
        const int len = part.length - 1;
        if (tag == 1) {
            for (int k = 0; k + 3 <= len; k += 3) {
                const Sad sad{img[at + 1 + k], img[at + 2 + k], img[at + 3 + k]};
                p.audioBytes.push_back(sad);
                if (sad[0] & 0x78) p.sads.push_back(sad);
            }
        } else if (tag == 2) {
            for (int k = 1; k <= len; ++k) {
                const int code = img[at + k];
                const int vic = (code >= 129 && code <= 192) ? code - 128 : code;
                videoOrder.push_back(vic);
                AddVic(p, vic);
            }
        } else if (tag == 3 && len >= 3) {
            const std::uint32_t oui = Oui(img, at);
            if (oui == kOuiHdmi && len >= 5) {
                ParseHdmi(p, at, len);
            } else if (oui == kOuiForum && len >= 4 && !p.forum) {
                p.forum = true;
                p.forumBytes.assign(img.begin() + at + 4, img.begin() + at + 1 + len);
            } else if (oui == kOuiAmd && len >= 8 && !p.amd) {
                p.amd = true;
                p.amdBytes.assign(img.begin() + at + 4, img.begin() + at + 1 + len);
            }
        } else if (tag == 4 && len >= 3) {
            p.speakers = true;
            p.speakerBytes = {img[at + 1], img[at + 2], img[at + 3]};
        } else if (tag == 7 && len >= 1) {
            const int ext = img[at + 1];
            if (ext == kExtTagVideoCapability && len >= 2) {
                p.vcdb = true;
                p.vcdbByte = img[at + 2];
            } else if (ext == kExtTagColorimetry && len >= 3) {
                p.colorimetry = true;
                p.colorimetryBytes = {img[at + 2], img[at + 3]};
            } else if (ext == kExtTagHdrStatic && len >= 3) {
                p.hdr = true;
                p.hdrBytes.assign(img.begin() + at + 2, img.begin() + at + 1 + std::min(len, 6));
            } else if (ext == kExtTagYuv420Video) {
                for (int k = 2; k <= len; ++k)
                    AddVic420(p, img[at + k]);
            } else if (ext == kExtTagYuv420Capability) {
                has420Map = true;
                if (len == 1) map420All = true;
                for (int k = 2; k <= len; ++k)
                    map420.push_back(at + k);
            } else if (ext == kExtTagForumSink && len >= 4 && !p.forum) {
                p.forum = true;
                p.forumBytes.assign(img.begin() + at + 4, img.begin() + at + 1 + len);
            }
        }
    }
    if (has420Map) {
        for (std::size_t i = 0; i < videoOrder.size(); ++i) {
            const std::size_t byte = i / 8;
            const bool set =
                map420All || (byte < map420.size() && (img[map420[byte]] & (1u << (i % 8))));
            if (set && VicFormat(videoOrder[i])) AddVic420(p, videoOrder[i]);
        }
    }
}

// The timings of the DisplayID extensions, the source's own as much as its other timings:
// exact timings as declared, codes as the video codes and DMT timings they name.
void ParseDisplayId(Parsed& p, std::span<const std::uint8_t> bytes) {
    for (const DisplayIdTiming& d : ReadDisplayIdTimings(bytes, ReadEdidBlocks(bytes))) {
        switch (d.kind) {
        case DisplayIdTimingKind::Detailed:
        case DisplayIdTimingKind::Formula:
            AddTimed(p, d.timing);
            break;
        case DisplayIdTimingKind::Dmt:
            if (const auto t = DmtIdTiming(d.code)) AddTimed(p, *t);
            break;
        case DisplayIdTimingKind::Vic:
            AddVic(p, d.code);
            break;
        case DisplayIdTimingKind::HdmiVic:
            if (const int vic = VicOfHdmiVic(d.code)) AddVic(p, vic);
            break;
        case DisplayIdTimingKind::Vic420:
            AddVic420(p, d.code);
            break;
        }
    }
}

// `bytes`: every byte of an EDID larger than `image`, or empty.
Parsed Parse(const EdidImage& image, std::span<const std::uint8_t> bytes = {}) {
    Parsed p;
    p.image = image;
    // of a larger EDID, its base block and first CTA-861 extension, wherever that stands (a
    // block map or DisplayID may come first)
    EdidImage two{};
    if (bytes.size() > kEdidSize && FirstTwoBlocks(bytes, two)) p.image = two;
    ParseBase(p);
    if (p.image[126] >= 1 && p.image[128] == 0x02) ParseCta(p);
    if (bytes.size() > kEdidSize)
        ParseDisplayId(p, bytes);
    else if (image[126] >= 1)
        ParseDisplayId(p, std::span<const std::uint8_t>(image.data(), kEdidSize));
    return p;
}

// A variable refresh range in Hz; max 0: up to each format's own rate (HDMI Forum block only).
struct VrrRange {
    int min = 0, max = 0;
};

// The variable refresh range `p` declares: its HDMI Forum block's, its AMD block's, the two
// ranges' overlap when it has both; nullopt when it declares none.
std::optional<VrrRange> SourceVrr(const Parsed& p) {
    std::optional<VrrRange> r;
    const auto& f = p.forumBytes;
    if (p.forum && f.size() > 5 && (f[5] & 0x3F))
        r = VrrRange{f[5] & 0x3F, (f[5] & 0xC0) << 2 | (f.size() > 6 ? f[6] : 0)};
    const auto& a = p.amdBytes;
    if (p.amd && a.size() > 3 && a[2] && a[3] > a[2]) {
        if (r) {
            r->min = std::max<int>(r->min, a[2]);
            r->max = r->max ? std::min<int>(r->max, a[3]) : a[3];
        } else {
            r = VrrRange{a[2], a[3]};
        }
    }
    if (r && r->max && r->min >= r->max) return std::nullopt;
    return r;
}

// The highest refresh rate among the formats `p` lists.
int TopRate(const Parsed& p) {
    int top = 0;
    for (const auto& [f, l] : p.formats)
        if (l.normal || l.yuv420) top = std::max(top, f.rate);
    return top;
}

// ----- claims ---------------------------------------------------------------------------------

std::string FormatName(const VideoFormat& f) {
    return std::to_string(f.width) + "x" + std::to_string(f.height) + (f.interlaced ? "i " : " ") +
           std::to_string(f.rate) + " Hz";
}

int AudioKey(const Sad& s) {
    const int code = (s[0] >> 3) & 0x0F;
    return code == 15 ? 15 << 8 | (s[2] >> 3) : code;
}

int SadChannels(const Sad& s) {
    return (s[0] & 0x07) + 1;
}

constexpr std::array<std::string_view, 24> kSpeakerNames = {
    "FL/FR",
    "LFE1",
    "FC",
    "BL/BR",
    "BC",
    "FLc/FRc",
    "RLc/RRc",
    "FLw/FRw",
    "TpFL/TpFR",
    "TpC",
    "TpFC",
    "LS/RS",
    "LFE2",
    "TpBC",
    "SiL/SiR",
    "TpSiL/TpSiR",
    "TpBL/TpBR",
    "BtFC",
    "BtFL/BtFR",
    "TpLS/TpRS",
    "speaker bit 20",
    "speaker bit 21",
    "speaker bit 22",
    "speaker bit 23",
};

double MaxLuminance(int code) {
    return 50.0 * std::pow(2.0, code / 32.0);
}

// A claim as compose compares them: what it is about in one number (its kind in the top bits),
// and a level. Names are made only for what is shown.
enum class Kind : std::uint64_t { Format = 1, Flag, AudioFormat, AudioRate, AudioSize, Speaker };
struct Claim {
    std::uint64_t key = 0;
    int level = 0;
};
using Claims = std::vector<Claim>; // sorted by key, one per key

constexpr std::uint64_t Key(Kind kind, std::uint64_t payload) {
    return static_cast<std::uint64_t>(kind) << 48 | payload;
}
Kind KindOf(std::uint64_t key) {
    return static_cast<Kind>(key >> 48);
}

// The plain claims, by index; those with a unit have a level.
struct FlagName {
    std::string_view name;
    std::string_view unit = {};
};
enum Flag : int {
    kUnderscan,
    kBasicAudio,
    kYcbcr444,
    kYcbcr422,
    kHdmi,
    kSupportsAi,
    kDeep48,
    kDeep36,
    kDeep30,
    kDeepY444,
    kDualLink,
    k3D,
    kForum,
    kFrlRate,
    kUhdVic,
    kForum48,
    kForum36,
    kForum30,
    kVrr,
    kDsc,
    kVrrMax,
    kMaxTmds,
    kQuantYcc,
    kQuantRgb,
    kDciP3,
    kHdr,
    kHdrType1,
    kHdrMax,
    kHdrAverage,
    kColorimetry,                   // 8 names follow
    kEotf = kColorimetry + 8,       // 6
    kForumFlag = kEotf + 6,         // 8
    kForumFeature = kForumFlag + 8, // 8
    kFlagCount = kForumFeature + 8,
};
constexpr std::array<FlagName, kFlagCount> kFlagNames = {{
    {"underscan"},
    {"basic audio"},
    {"YCbCr 4:4:4"},
    {"YCbCr 4:2:2"},
    {"HDMI"},
    {"AI (audio info) support"},
    {"48-bit colour"},
    {"36-bit colour"},
    {"30-bit colour"},
    {"deep colour in YCbCr 4:4:4"},
    {"DVI dual link"},
    {"3D"},
    {"HDMI Forum"},
    {"FRL rate", ""},
    {"UHD video codes"},
    {"48-bit colour in 4:2:0"},
    {"36-bit colour in 4:2:0"},
    {"30-bit colour in 4:2:0"},
    {"VRR"},
    {"DSC"},
    {"VRR maximum", " Hz"},
    {"Max TMDS clock", " MHz"},
    {"YCC quantization selectable"},
    {"RGB quantization selectable"},
    {"DCI-P3"},
    {"HDR static metadata"},
    {"HDR static metadata type 1"},
    {"HDR max luminance", " cd/m2"},
    {"HDR max frame-average luminance", " cd/m2"},
    {"xvYCC 601"},
    {"xvYCC 709"},
    {"sYCC 601"},
    {"opYCC 601"},
    {"opRGB"},
    {"BT.2020 cYCC"},
    {"BT.2020 YCC"},
    {"BT.2020 RGB"},
    {"HDR EOTF traditional SDR"},
    {"HDR EOTF traditional HDR"},
    {"HDR EOTF SMPTE ST 2084"},
    {"HDR EOTF HLG"},
    {"HDR EOTF bit 4"},
    {"HDR EOTF bit 5"},
    {"3D OSD disparity"},
    {"3D dual view"},
    {"3D independent view"},
    {"scrambling at 340 Mcsc and below"},
    {"colour component bits per component (CCBPCI)"},
    {"cable status"},
    {"read requests (RR)"},
    {"SCDC"},
    {"fast audio packets from the start (FAPA)"},
    {"ALLM (auto low latency mode)"},
    {"fast vactive (FVA)"},
    {"negative M VRR (CNMVRR)"},
    {"cinema VRR"},
    {"M delta"},
    {"quick media switching (QMS)"},
    {"extended FAPA end"},
}};
constexpr std::array<std::string_view, 7> kRateNames = {"32 kHz", "44.1 kHz",  "48 kHz", "88.2 kHz",
                                                        "96 kHz", "176.4 kHz", "192 kHz"};
constexpr std::array<std::string_view, 3> kSizeNames = {"16-bit", "20-bit", "24-bit"};

std::uint64_t FormatKey(const VideoFormat& f, bool yuv420) {
    const auto rate = static_cast<std::uint64_t>(std::clamp(f.rate, 0, 0xFFFF));
    return Key(Kind::Format, static_cast<std::uint64_t>(f.width & 0x3FFF) << 31 |
                                 static_cast<std::uint64_t>(f.height & 0x1FFF) << 18 |
                                 (f.interlaced ? 1u : 0u) << 17 | rate << 1 | (yuv420 ? 1u : 0u));
}

// The name of the audio format an audio key stands for.
std::string AudioKeyName(std::uint64_t audioKey) {
    if (audioKey >> 8) return "extended audio type " + std::to_string(audioKey & 0xFF);
    return std::string(AudioFormatName(static_cast<std::uint8_t>(audioKey << 3)));
}

ComposeCapability Capability(const Claim& c) {
    const std::uint64_t payload = c.key & ((1ULL << 48) - 1);
    ComposeCapability out;
    out.level = c.level;
    switch (KindOf(c.key)) {
    case Kind::Format: {
        const VideoFormat f{static_cast<int>(payload >> 31),
                            static_cast<int>(payload >> 18 & 0x1FFF), (payload >> 17 & 1) != 0,
                            static_cast<int>(payload >> 1 & 0xFFFF)};
        out.name = FormatName(f) + (payload & 1 ? " (4:2:0)" : "");
        break;
    }
    case Kind::Flag:
        out.name = kFlagNames[payload].name;
        out.unit = kFlagNames[payload].unit;
        out.audio = payload == kBasicAudio;
        break;
    case Kind::AudioFormat:
        out.name = AudioKeyName(payload);
        out.unit = " channels";
        out.audio = true;
        break;
    case Kind::AudioRate:
        out.name = AudioKeyName(payload >> 3) + " " + std::string(kRateNames[payload & 7]);
        out.audio = true;
        break;
    case Kind::AudioSize:
        out.name = AudioKeyName(payload >> 2) + " " + std::string(kSizeNames[payload & 3]);
        out.audio = true;
        break;
    case Kind::Speaker:
        out.name = "speaker " + std::string(kSpeakerNames[payload]);
        out.audio = true;
        break;
    }
    return out;
}

bool ByKey(const Claim& a, const Claim& b) {
    return a.key < b.key;
}

// Sorts the claims (unless they are sorted) and keeps one per key, with the highest level.
void Settle(Claims& claims, bool sorted = false) {
    if (!sorted) std::sort(claims.begin(), claims.end(), ByKey);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < claims.size(); ++i) {
        if (kept && claims[kept - 1].key == claims[i].key)
            claims[kept - 1].level = std::max(claims[kept - 1].level, claims[i].level);
        else
            claims[kept++] = claims[i];
    }
    claims.resize(kept);
}

const Claim* Find(const Claims& claims, std::uint64_t key) {
    const auto it = std::lower_bound(claims.begin(), claims.end(), Claim{key, 0}, ByKey);
    return it != claims.end() && it->key == key ? &*it : nullptr;
}

void AddClaims(const Parsed& p, Claims& out) {
    auto flag = [&](int index, int level = 0) { out.push_back({Key(Kind::Flag, index), level}); };
    for (const auto& [f, l] : p.formats) {
        if (l.normal) out.push_back({FormatKey(f, false), 0});
        if (l.yuv420) out.push_back({FormatKey(f, true), 0});
    }
    if (!p.cta) return;
    if (p.ctaFlags & 0x80) flag(kUnderscan);
    if (p.ctaFlags & 0x40) flag(kBasicAudio);
    if (p.ctaFlags & 0x20) flag(kYcbcr444);
    if (p.ctaFlags & 0x10) flag(kYcbcr422);
    for (const Sad& s : p.sads) {
        const auto audioKey = static_cast<std::uint64_t>(AudioKey(s));
        out.push_back({Key(Kind::AudioFormat, audioKey), SadChannels(s)});
        for (int r = 0; r < 7; ++r)
            if (s[1] & (1 << r)) out.push_back({Key(Kind::AudioRate, audioKey << 3 | r), 0});
        if (audioKey == 1)
            for (int b = 0; b < 3; ++b)
                if (s[2] & (1 << b)) out.push_back({Key(Kind::AudioSize, audioKey << 2 | b), 0});
    }
    if (p.speakers)
        for (int b = 0; b < 24; ++b)
            if (p.speakerBytes[b / 8] & (1 << (b % 8)))
                out.push_back({Key(Kind::Speaker, static_cast<std::uint64_t>(b)), 0});
    int clock = 0;
    if (p.hdmi) {
        flag(kHdmi);
        static constexpr std::array<std::pair<int, int>, 6> flags = {{
            {0x80, kSupportsAi},
            {0x40, kDeep48},
            {0x20, kDeep36},
            {0x10, kDeep30},
            {0x08, kDeepY444},
            {0x01, kDualLink},
        }};
        for (const auto& [bit, index] : flags)
            if (p.hdmiFlags & bit) flag(index);
        clock = p.hdmiClock * 5;
        if (p.threeD) flag(k3D);
    }
    if (p.forum) {
        flag(kForum);
        const auto& f = p.forumBytes;
        if (f.size() > 1) clock = std::max(clock, f[1] * 5);
        if (f.size() > 2)
            for (int b = 0; b < 8; ++b)
                if (f[2] & (1 << b)) flag(kForumFlag + b);
        if (f.size() > 3) {
            if (f[3] >> 4) flag(kFrlRate, f[3] >> 4);
            if (f[3] & 0x08) flag(kUhdVic);
            if (f[3] & 0x04) flag(kForum48);
            if (f[3] & 0x02) flag(kForum36);
            if (f[3] & 0x01) flag(kForum30);
        }
        if (f.size() > 4)
            for (int b = 0; b < 8; ++b)
                if (f[4] & (1 << b)) flag(kForumFeature + b);
        if (f.size() > 7 && f[7]) flag(kDsc);
    }
    if (clock) flag(kMaxTmds, clock);
    if (const auto vrr = SourceVrr(p)) {
        flag(kVrr);
        flag(kVrrMax, vrr->max ? vrr->max : TopRate(p)); // 0: up to each format's rate
    }
    if (p.vcdb) {
        if (p.vcdbByte & 0x80) flag(kQuantYcc);
        if (p.vcdbByte & 0x40) flag(kQuantRgb);
    }
    if (p.colorimetry) {
        for (int b = 0; b < 8; ++b)
            if (p.colorimetryBytes[0] & (1 << b)) flag(kColorimetry + b);
        if (p.colorimetryBytes[1] & 0x80) flag(kDciP3);
    }
    if (p.hdr) {
        flag(kHdr);
        for (int b = 0; b < 6; ++b)
            if (p.hdrBytes[0] & (1 << b)) flag(kEotf + b);
        if (p.hdrBytes[1] & 1) flag(kHdrType1);
        if (p.hdrBytes.size() > 2) flag(kHdrMax, static_cast<int>(MaxLuminance(p.hdrBytes[2])));
        if (p.hdrBytes.size() > 3) flag(kHdrAverage, static_cast<int>(MaxLuminance(p.hdrBytes[3])));
    }
}

// ----- building -------------------------------------------------------------------------------

// A detailed timing worth copying: blanking no larger than the picture, a line rate the range
// limits of EDID 1.3 can hold. (Some EDIDs carry odd ones, such as a frame-packed 3D timing.)
bool Plausible(const DetailedTiming& d) {
    const auto t = ReadDetailedTiming(d.data());
    if (!t || t->hFront < 0 || t->hBack < 0 || t->vBack < 0) return false;
    const int lines = t->format.interlaced ? t->format.height / 2 : t->format.height;
    return t->HTotal() <= 2 * t->format.width && t->VTotal() <= lines + lines / 2 &&
           t->HFrequencyKhz() < 255;
}

// The format's place in the result: bigger first, then the higher rate, progressive first.
bool Before(const VideoFormat& a, const VideoFormat& b) {
    const long long pa = 1LL * a.width * a.height, pb = 1LL * b.width * b.height;
    if (pa != pb) return pa > pb;
    if (a.rate != b.rate) return a.rate > b.rate;
    if (a.interlaced != b.interlaced) return !a.interlaced;
    return a < b;
}

struct Kept {
    VideoFormat format;
    bool normal = false;               // every source takes it in RGB
    bool yuv420 = false;               // every source takes it in 4:2:0
    int vic = 0;                       // a code every source takes, 0 when none
    int vic420 = 0;                    // the code of a format every source takes in 4:2:0 only
    bool dmt = false;                  // every source takes its established / standard timing
    bool hdmiVic = false;              // some source lists it as an HDMI VIC
    std::vector<VideoTiming> timings;  // of the forms it may be written in, for the range limits
    std::optional<DetailedTiming> dtd; // bytes to write as a detailed timing
};

// A short audio descriptor that both `a` and `b` take, nullopt when they share none.
std::optional<Sad> Meet(const Sad& a, const Sad& b) {
    if (AudioKey(a) != AudioKey(b)) return std::nullopt;
    const int code = AudioKey(a) & 0xFF;
    Sad r = a;
    r[1] = a[1] & b[1] & 0x7F;
    if (!r[1]) return std::nullopt;
    if (AudioKey(a) >> 8) { // extended types: the same descriptor or nothing
        if (a[0] != b[0]) return std::nullopt;
        r[2] = static_cast<std::uint8_t>((a[2] & 0xF8) | (a[2] & b[2] & 0x07));
        return r;
    }
    r[0] = static_cast<std::uint8_t>((a[0] & 0x78) | (std::min(a[0] & 7, b[0] & 7)));
    if (code == 1) {
        r[2] = a[2] & b[2] & 0x07;
        if (!r[2]) return std::nullopt;
    } else if (code >= 2 && code <= 8) {
        r[2] = std::min(a[2], b[2]);
    } else if (code == 14) {
        if (a[2] != b[2]) r[2] = 0;
    } else {
        r[2] = a[2] & b[2];
    }
    return r;
}

bool Covers(const Sad& big, const Sad& small) {
    if (AudioKey(big) != AudioKey(small)) return false;
    if ((small[1] & ~big[1]) & 0x7F) return false;
    const int code = AudioKey(big) & 0xFF;
    if (AudioKey(big) >> 8) return big[0] == small[0] && !((small[2] & ~big[2]) & 0x07);
    if ((small[0] & 7) > (big[0] & 7)) return false;
    if (code >= 2 && code <= 8) return small[2] <= big[2];
    if (code == 14) return small[2] == big[2] || small[2] == 0;
    return !(small[2] & ~big[2]);
}

std::vector<Sad> SharedAudio(const std::vector<Parsed>& parsed) {
    std::vector<Sad> shared = parsed[0].sads;
    for (std::size_t i = 1; i < parsed.size(); ++i) {
        std::vector<Sad> next;
        for (const Sad& a : shared)
            for (const Sad& b : parsed[i].sads)
                if (const auto m = Meet(a, b)) next.push_back(*m);
        shared.clear();
        for (std::size_t k = 0; k < next.size(); ++k) { // drop what another descriptor covers
            bool covered = false;
            for (std::size_t j = 0; j < next.size() && !covered; ++j)
                covered =
                    j != k && Covers(next[j], next[k]) && (!Covers(next[k], next[j]) || j < k);
            if (!covered) shared.push_back(next[k]);
        }
    }
    std::stable_sort(shared.begin(), shared.end(),
                     [](const Sad& a, const Sad& b) { return AudioKey(a) < AudioKey(b); });
    if (shared.size() > kMaxAudioDescriptors) shared.resize(kMaxAudioDescriptors);
    return shared;
}

std::string SourceList(const std::vector<int>& sources, const std::vector<ComposeSource>& in) {
    std::string text;
    for (int s : sources) {
        text += text.empty() ? (sources.size() == 1 ? "source " : "sources ") : ", ";
        text += std::to_string(s);
        if (!in[s - 1].label.empty()) text += " (\"" + in[s - 1].label + "\")";
    }
    return text;
}

void PutText(EdidImage& img, int at, std::uint8_t tag, std::string_view text) {
    img[at] = img[at + 1] = img[at + 2] = img[at + 4] = 0;
    img[at + 3] = tag;
    std::size_t n = std::min<std::size_t>(text.size(), 13);
    for (std::size_t i = 0; i < 13; ++i)
        img[at + 5 + i] = i < n ? static_cast<std::uint8_t>(text[i]) : i == n ? 0x0A : 0x20;
}

std::string CleanName(std::string_view name) {
    std::string out;
    for (char c : name)
        if (c >= 0x20 && c < 0x7F && out.size() < 13) out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out.empty() ? "Common EDID" : out;
}

void Checksum(EdidImage& img, int block) {
    unsigned sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i)
        sum += img[i];
    img[block * 128 + 127] = static_cast<std::uint8_t>(-sum & 0xFF);
}

std::vector<std::uint8_t> DataBlock(int tag, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> b;
    b.push_back(static_cast<std::uint8_t>(tag << 5 | payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// The range limits every source's hold: the highest minimum and the lowest maximum of each rate,
// the lowest maximum pixel clock. Sources without the descriptor set no limit.
struct Limits {
    int minV = 1, maxV = 255, minH = 1, maxH = 255, maxClockMhz = 2550;
    bool any = false; // a source gives range limits
};

Limits SharedLimits(const std::vector<Parsed>& parsed) {
    Limits l;
    for (const Parsed& p : parsed) {
        if (!p.limits) continue;
        l.any = true;
        l.minV = std::max(l.minV, p.minV);
        l.maxV = std::min(l.maxV, p.maxV);
        l.minH = std::max(l.minH, p.minH);
        l.maxH = std::min(l.maxH, p.maxH);
        if (p.maxClockMhz) l.maxClockMhz = std::min(l.maxClockMhz, p.maxClockMhz);
    }
    return l;
}

// Why the sources' range limits share no rate ("" when they share some): no EDID can lie within
// them all.
std::string EmptyLimits(const Limits& l, const std::vector<Parsed>& parsed,
                        const std::vector<ComposeSource>& sources) {
    const bool v = l.minV > std::min(l.maxV, 255), h = l.minH > std::min(l.maxH, 255);
    if (!v && !h) return {};
    std::string text = std::string("The sources' range limits share no ") +
                       (v ? "vertical" : "horizontal") + " rate (";
    bool first = true;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const Parsed& p = parsed[i];
        if (!p.limits) continue;
        text += (first ? "" : ", ") + std::to_string(v ? p.minV : p.minH) + "-" +
                std::to_string(v ? p.maxV : p.maxH) + (v ? " Hz in " : " kHz in ") +
                SourceList({static_cast<int>(i) + 1}, sources);
        first = false;
    }
    return text + "): no EDID can lie within them all.";
}

double FieldRate(const VideoTiming& t) {
    const double total = double(t.HTotal()) * (t.VTotal() + (t.format.interlaced ? 0.5 : 0.0));
    return total > 0 ? t.pixelClockKhz * 1000.0 / total : 0;
}

// Whether `p`'s range limits hold `t` (a format of no known timing: its rate).
bool Holds(int minV, int maxV, int minH, int maxH, int maxClockMhz, const VideoFormat& f,
           const VideoTiming* t) {
    if (!t) return f.rate >= minV && f.rate <= maxV;
    const double v = FieldRate(*t), h = t->HFrequencyKhz();
    return v >= minV - 0.5 && v <= maxV + 0.5 && h >= minH - 0.5 && h <= maxH + 0.5 &&
           t->pixelClockKhz <= maxClockMhz * 1000;
}

// A format taken in YCbCr 4:2:0 only carries half its pixels on the link: half the clock and
// half the line rate count against the range limits.
VideoTiming Halved(VideoTiming t) {
    t.pixelClockKhz /= 2;
    t.format.width /= 2;
    t.hFront /= 2, t.hSync /= 2, t.hBack /= 2;
    return t;
}

bool HoldsKept(int minV, int maxV, int minH, int maxH, int maxClockMhz, const Kept& k) {
    return std::all_of(k.timings.begin(), k.timings.end(), [&](const VideoTiming& t) {
        const VideoTiming held = k.normal ? t : Halved(t);
        return Holds(minV, maxV, minH, maxH, maxClockMhz, k.format, &held);
    });
}

// The range limits: the kept timings' rates and clock, within what every source's limits allow.
void PutRangeLimits(EdidImage& img, int at, const std::vector<Kept>& kept, const Limits& shared,
                    const std::optional<VrrRange>& vrr) {
    double minV = 1000, maxV = 0, minH = 1e9, maxH = 0;
    if (vrr) { // the variable refresh range too
        minV = vrr->min;
        maxV = std::max(vrr->max, vrr->min);
    }
    int maxClock = 0;
    for (const Kept& k : kept) {
        if (!k.normal && !k.yuv420) continue;
        std::vector<VideoTiming> timings = k.timings;
        if (!k.normal)
            for (VideoTiming& t : timings)
                t = Halved(t);
        if (timings.empty() || !KnownRates(k.format)) { // an estimate: generous blanking too
            VideoTiming t;
            t.format = k.format;
            t.vBack = k.format.height / 10 + 40;
            t.hBack = k.format.width / 3 + 160;
            t.pixelClockKhz = static_cast<int>(
                double(t.HTotal()) * t.VTotal() * (k.format.rate + 1) / 1000.0 + 1);
            timings.push_back(t);
        }
        for (const VideoTiming& t : timings) {
            const double v = FieldRate(t), h = t.HFrequencyKhz();
            minV = std::min(minV, std::min<double>(v, k.format.rate) - 1);
            maxV = std::max(maxV, std::max<double>(v, k.format.rate) + 1);
            minH = std::min(minH, h * 0.99 - 1);
            maxH = std::max(maxH, h * 1.01 + 1);
            maxClock = std::max(maxClock, t.pixelClockKhz);
        }
    }
    if (maxV == 0) { // no timing to hold: the shared limits
        minV = shared.minV, maxV = shared.maxV, minH = shared.minH, maxH = shared.maxH;
        maxClock = shared.maxClockMhz * 1000;
    }
    // EDID 1.3 has no offsets: the rates stop at 255
    // within the shared limits (not empty: compose refuses sources whose limits share no rate)
    const int topV = std::min(shared.maxV, 255), topH = std::min(shared.maxH, 255);
    const int lowV = std::clamp(static_cast<int>(std::floor(minV)), shared.minV, topV);
    const int highV = std::clamp(static_cast<int>(std::ceil(maxV)), shared.minV, topV);
    const int lowH = std::clamp(static_cast<int>(std::floor(minH)), shared.minH, topH);
    const int highH = std::clamp(static_cast<int>(std::ceil(maxH)), shared.minH, topH);
    const int clock = std::min((maxClock + 9999) / 10000, shared.maxClockMhz / 10);
    auto fit = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 1, 255)); };
    img[at] = img[at + 1] = img[at + 2] = img[at + 4] = 0;
    img[at + 3] = 0xFD;
    img[at + 5] = fit(lowV);
    img[at + 6] = fit(highV);
    img[at + 7] = fit(lowH);
    img[at + 8] = fit(highH);
    img[at + 9] = fit(clock);
    img[at + 10] = 0x00; // no secondary curve
    img[at + 11] = 0x0A;
    for (int i = 12; i < 18; ++i)
        img[at + i] = 0x20;
}

// ---- the steps of Compose ----------------------------------------------------------------------

template <class Pred> bool All(const std::vector<Parsed>& parsed, Pred pred) {
    return std::all_of(parsed.begin(), parsed.end(), pred);
}

// The same timing: sizes, blanking, sync polarity, and the pixel clock closer than the 10 kHz a
// detailed timing counts in (a video code's 25.175 MHz is a detailed timing's 25.17 or 25.18).
bool SameTiming(const VideoTiming& a, const VideoTiming& b) {
    return a.format.width == b.format.width && a.format.height == b.format.height &&
           a.format.interlaced == b.format.interlaced && a.hFront == b.hFront &&
           a.hSync == b.hSync && a.hBack == b.hBack && a.vFront == b.vFront && a.vSync == b.vSync &&
           a.vBack == b.vBack && a.hPositive == b.hPositive && a.vPositive == b.vPositive &&
           std::abs(a.pixelClockKhz - b.pixelClockKhz) < 10;
}

// A video code's timing at its 1000/1001 rate (59.94 for 60 Hz), which the code covers too.
VideoTiming Slower(VideoTiming t) {
    t.pixelClockKhz = static_cast<int>(std::lround(t.pixelClockKhz * 1000.0 / 1001.0));
    return t;
}

// Whether the listing holds `t` with `sync` exactly: one of its timings, or a video code's at
// either rate.
bool Takes(const Listing& l, const VideoTiming& t, std::uint8_t sync) {
    return std::any_of(l.timings.begin(), l.timings.end(), [&](const Timed& s) {
        return s.sync == sync &&
               (SameTiming(s.timing, t) || (s.vic && SameTiming(Slower(s.timing), t)));
    });
}

bool TakesVic(const Listing& l, int vic) {
    if (std::find(l.vics.begin(), l.vics.end(), vic) != l.vics.end()) return true;
    const auto t = VicTiming(vic);
    return t && (Takes(l, *t, TableSync(*t)) || Takes(l, Slower(*t), TableSync(*t)));
}

bool TakesDmt(const Listing& l, const VideoFormat& f) {
    if (l.dmt) return true;
    const auto t = DmtTiming(f);
    return t && Takes(l, *t, TableSync(*t));
}

std::string ClockText(int khz) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f MHz", khz / 1000.0);
    return buf;
}

// The formats every source takes (in RGB, or in 4:2:0), biggest first, each with the forms it
// may be written in: a video code, an established or standard timing, a detailed timing, each
// only when every source lists that very timing. A format every source lists, but not by one
// timing, is left out with a note.
std::vector<Kept> SharedFormats(const std::vector<Parsed>& parsed,
                                const std::vector<ComposeSource>& sources,
                                std::map<std::string, ComposeOmission>& notes) {
    const int n = static_cast<int>(parsed.size());
    std::vector<Kept> kept;
    for (const auto& entry : parsed[0].formats) {
        const VideoFormat& format = entry.first;
        const Listing& listing = entry.second;
        std::vector<const Listing*> all;
        for (const Parsed& p : parsed) {
            const auto it = p.formats.find(format);
            if (it == p.formats.end()) break;
            all.push_back(&it->second);
        }
        if (static_cast<int>(all.size()) < n) continue;
        auto every = [&](auto pred) { return std::all_of(all.begin(), all.end(), pred); };
        Kept k;
        k.format = format;
        const bool listedNormal = every([](const Listing* l) { return l->normal; });
        if (listedNormal) {
            // a code every source takes: the one all list, else the first source's, else any
            std::vector<int> codes;
            for (const Listing* l : all)
                codes.insert(codes.end(), l->vics.begin(), l->vics.end());
            codes.insert(codes.end(), listing.vics.begin(), listing.vics.end());
            if (const int v = VicOfFormat(format)) codes.push_back(v);
            std::map<int, int> counts;
            for (const Listing* l : all)
                for (int v : l->vics)
                    ++counts[v];
            std::stable_sort(codes.begin(), codes.end(),
                             [&](int a, int b) { return (counts[a] == n) > (counts[b] == n); });
            for (int v : codes)
                if (every([&](const Listing* l) { return TakesVic(*l, v); })) {
                    k.vic = v;
                    break;
                }
            k.dmt = every([&](const Listing* l) { return TakesDmt(*l, format); });
            // a detailed timing: one of the first source's timings that every source lists
            std::vector<Timed> candidates;
            for (const Timed& t : listing.timings) {
                candidates.push_back(t);
                if (t.vic) candidates.push_back({Slower(t.timing), true, t.sync});
            }
            const Timed* unwritable = nullptr; // a timing all list that no descriptor holds
            for (const Timed& c : candidates) {
                const VideoTiming& t = c.timing;
                if (!every([&](const Listing* l) { return Takes(*l, t, c.sync); })) continue;
                if (!unwritable) unwritable = &c;
                for (const Listing* l : all)
                    for (const DetailedTiming& d : l->dtds) {
                        const auto read = ReadDetailedTiming(d.data());
                        if (!k.dtd && read && SameTiming(*read, t) && (d[17] & 0x1E) == c.sync)
                            k.dtd = d;
                    }
                if (!k.dtd && c.sync == TableSync(t)) k.dtd = WriteDetailedTiming(t);
                if (k.dtd && !Plausible(*k.dtd)) k.dtd.reset();
                if (k.dtd) break;
            }
            if (k.dtd) {
                (*k.dtd)[12] = (*k.dtd)[13] = (*k.dtd)[14] = 0; // no image size
                (*k.dtd)[17] &= 0x9E;                           // no stereo
                k.timings.push_back(*ReadDetailedTiming(k.dtd->data()));
            }
            if (k.vic) k.timings.push_back(VicTiming(k.vic).value_or(RangeTiming(format)));
            if (k.dmt) k.timings.push_back(RangeTiming(format));
            k.normal = k.vic || k.dmt || k.dtd;
            if (!k.normal && unwritable) {
                ComposeOmission note;
                note.capability = FormatName(format);
                note.text = note.capability + ": every source lists its timing (" +
                            ClockText(unwritable->timing.pixelClockKhz) +
                            "), which a detailed timing of the composed EDID cannot carry";
                notes[note.capability] = note;
            } else if (!k.normal) {
                ComposeOmission note;
                note.capability = FormatName(format);
                note.text = note.capability + ": the sources list different timings of it (";
                for (int i = 0; i < n; ++i) {
                    const auto& timings = all[i]->timings;
                    note.text += (i ? ", " : "") +
                                 (timings.empty() ? std::string("no known timing")
                                                  : ClockText(timings[0].timing.pixelClockKhz)) +
                                 " in " + SourceList({i + 1}, sources);
                }
                note.text += ")";
                notes[note.capability] = note;
            }
        }
        k.yuv420 = every([](const Listing* l) { return l->yuv420; });
        if (k.yuv420) {
            std::map<int, int> counts;
            for (const Listing* l : all)
                for (int v : l->vics420)
                    ++counts[v];
            for (const auto& [code, count] : counts)
                if (count == n) k.vic420 = code;
            if (!k.vic420) k.vic420 = listing.vics420.empty() ? 0 : listing.vics420[0];
            if (!k.normal) k.timings.push_back(VicTiming(k.vic420).value_or(RangeTiming(format)));
            if (k.normal && !k.vic) k.yuv420 = false; // the capability map needs a code
        }
        for (const Listing* l : all)
            k.hdmiVic = k.hdmiVic || l->hdmiVic;
        if (k.normal || k.yuv420) kept.push_back(k);
    }
    std::sort(kept.begin(), kept.end(),
              [](const Kept& a, const Kept& b) { return Before(a.format, b.format); });
    return kept;
}

// Drops the kept formats that the shared range limits do not hold, with a note naming the
// sources whose limits exclude them.
void KeepWithinLimits(std::vector<Kept>& kept, const std::vector<Parsed>& parsed,
                      const std::vector<ComposeSource>& sources,
                      std::map<std::string, ComposeOmission>& notes, bool cta) {
    auto excluding = [&](const Kept& k) {
        std::vector<int> out;
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            const Parsed& p = parsed[i];
            if (p.limits &&
                !HoldsKept(p.minV, p.maxV, p.minH, p.maxH, p.maxClockMhz ? p.maxClockMhz : 2550, k))
                out.push_back(static_cast<int>(i) + 1);
        }
        return out;
    };
    auto note = [&](const std::string& capability, const std::vector<int>& lacking) {
        ComposeOmission o;
        o.capability = capability;
        o.lackingSources = lacking;
        o.text = capability + ": outside the range limits of " + SourceList(lacking, sources);
        notes[capability] = o;
    };
    std::vector<Kept> within;
    for (Kept& k : kept) {
        std::vector<int> lacking = excluding(k);
        // 640x480 at 60 Hz, which CTA-861 asks every display to take, stays in a CTA-861 EDID
        // where all list it
        if (lacking.empty() || (cta && k.normal && k.format == VideoFormat{640, 480, false, 60})) {
            within.push_back(std::move(k));
            continue;
        }
        if (!k.normal || !k.yuv420 || !k.vic) {
            note(FormatName(k.format) + (k.normal ? "" : " (4:2:0)"), lacking);
            if (k.normal && k.yuv420) note(FormatName(k.format) + " (4:2:0)", lacking);
            continue;
        }
        // taken in 4:2:0 by all, at half the clock: perhaps within the limits so
        note(FormatName(k.format), lacking);
        k.normal = false;
        k.vic420 = k.vic;
        k.vic = 0;
        k.dmt = false;
        k.dtd.reset();
        k.timings = {VicTiming(k.vic420).value_or(RangeTiming(k.format))};
        lacking = excluding(k);
        if (lacking.empty())
            within.push_back(std::move(k));
        else
            note(FormatName(k.format) + " (4:2:0)", lacking);
    }
    kept = std::move(within);
}

// What the composed EDID holds, decided before a byte is written.
struct Plan {
    std::vector<Kept> kept;
    bool allCta = false; // every source has a CTA-861 extension
    bool withCta = false, hdmi = false, forum = false;
    std::vector<Sad> sads;
    bool speakers = false;
    std::array<std::uint8_t, 3> speakerBytes{};
    bool basicAudio = false;
    int clockLimitKhz = 0; // no detailed timing above it; 0: no limit
    const Kept* preferred = nullptr;
    std::vector<DetailedTiming> dtds; // after the preferred one
    std::vector<int> vics;            // the video block, in order
    std::vector<bool> vics420;        // ... and which of them also take 4:2:0
    std::vector<int> only420;         // the 4:2:0 video block
    std::vector<int> hdmiVics;
    std::uint32_t est = 0;
    std::vector<std::uint16_t> standard;
    std::uint8_t ycbcr = 0;
    Limits limits;                                // what every source's range limits hold
    std::optional<VrrRange> vrr;                  // the variable refresh range all share
    bool vrrForum = false, vrrAmd = false;        // ... written in which blocks
    std::map<std::string, ComposeOmission> notes; // why a claim all sources make is left out

    bool DtdFits(const Kept& k) const {
        return k.dtd && (!clockLimitKhz || ((*k.dtd)[0] | (*k.dtd)[1] << 8) * 10 <= clockLimitKhz);
    }
};

// The variable refresh range every source declares, within the shared range limits, and the
// blocks that carry it: the HDMI Forum block when the result has one, the AMD block when every
// source has one. A note says why a range all declare is not carried.
void ShareVrr(const std::vector<Parsed>& parsed, const std::vector<ComposeSource>& sources,
              Plan& plan) {
    std::vector<VrrRange> ranges;
    for (const Parsed& p : parsed)
        if (const auto r = SourceVrr(p)) ranges.push_back(*r);
    if (ranges.size() != parsed.size()) return; // "VRR: not in" the sources without it
    // a maximum of 0 (each format's own rate) stays 0 only when every source says so; else it
    // stands for the highest rate the source lists
    const bool allOpen =
        std::all_of(ranges.begin(), ranges.end(), [](const VrrRange& r) { return r.max == 0; });
    VrrRange shared{plan.limits.minV, 0};
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const VrrRange& r = ranges[i];
        shared.min = std::max(shared.min, r.min);
        const int max = r.max || allOpen ? r.max : TopRate(parsed[i]);
        if (max) shared.max = shared.max ? std::min(shared.max, max) : max;
    }
    if (plan.limits.any) shared.max = shared.max ? std::min(shared.max, plan.limits.maxV) : 0;
    const bool allAmd = All(parsed, [](const Parsed& p) { return p.amd; });
    ComposeOmission note;
    note.capability = "VRR";
    if (shared.max && shared.min >= shared.max) {
        note.text = "VRR: the sources' ranges share no rate (";
        for (std::size_t i = 0; i < ranges.size(); ++i)
            note.text += (i ? ", " : "") + std::to_string(ranges[i].min) + "-" +
                         (ranges[i].max ? std::to_string(ranges[i].max) : "") + " Hz in " +
                         SourceList({static_cast<int>(i) + 1}, sources);
        note.text += ")";
        plan.notes[note.capability] = note;
        return;
    }
    // the HDMI Forum block's maximum is 0 (each format's rate) or 100 Hz at least
    plan.vrrForum = plan.forum && shared.min <= 63 && (!shared.max || shared.max >= 100);
    plan.vrrAmd = allAmd && shared.max && shared.max <= 255;
    if (!plan.vrrForum && !plan.vrrAmd) {
        note.text = "VRR: every source has it, but no block the composed EDID carries can hold " +
                    std::to_string(shared.min) + "-" +
                    (shared.max ? std::to_string(shared.max) : std::string("")) +
                    " Hz (the HDMI Forum block: a maximum of 100 Hz at least; the AMD block: "
                    "only when every source has one)";
        plan.notes[note.capability] = note;
        return;
    }
    plan.vrr = shared;
}

// Source N's audio as it stands, or (with no N) what every source takes.
void ChooseAudio(const std::vector<Parsed>& parsed, int audioFrom, Plan& plan) {
    if (audioFrom) {
        const Parsed& source = parsed[audioFrom - 1];
        plan.sads = source.audioBytes; // as they stand, reserved codes too
        if (plan.sads.size() > kMaxAudioDescriptors) plan.sads.resize(kMaxAudioDescriptors);
        plan.speakers = source.speakers && !plan.sads.empty();
        plan.speakerBytes = source.speakerBytes;
        plan.basicAudio = (source.ctaFlags & 0x40) && !plan.sads.empty();
    } else if (plan.allCta) {
        plan.sads = SharedAudio(parsed);
        plan.speakers =
            !plan.sads.empty() && All(parsed, [](const Parsed& p) { return p.speakers; });
        for (int b = 0; b < 3; ++b) {
            plan.speakerBytes[b] = 0xFF;
            for (const Parsed& p : parsed)
                plan.speakerBytes[b] &= p.speakerBytes[b];
        }
        plan.speakers =
            plan.speakers && (plan.speakerBytes[0] | plan.speakerBytes[1] | plan.speakerBytes[2]);
        plan.basicAudio =
            !plan.sads.empty() && All(parsed, [](const Parsed& p) { return p.ctaFlags & 0x40; });
    }
}

// The TMDS clock every source takes (HDMI only; 165 MHz where a source gives none).
int ClockLimitKhz(const std::vector<Parsed>& parsed) {
    int limit = 1 << 30;
    for (const Parsed& p : parsed) {
        int mhz = p.hdmiHasClock ? p.hdmiClock * 5 : 0;
        if (p.forum && p.forumBytes.size() > 1) mhz = std::max(mhz, p.forumBytes[1] * 5);
        limit = std::min(limit, (mhz ? mhz : 165) * 1000);
    }
    return limit;
}

// Where each kept format goes: the preferred detailed timing (the biggest format one can carry),
// the established timings, the video block, the standard timings, further detailed timings.
void PlaceFormats(Plan& plan) {
    for (const Kept& k : plan.kept) // a progressive format, where there is one
        if (k.normal && plan.DtdFits(k) &&
            (!plan.preferred || (plan.preferred->format.interlaced && !k.format.interlaced)))
            plan.preferred = &k;
    for (const Kept& k : plan.kept) {
        const bool isPreferred = &k == plan.preferred;
        if (!k.normal) {
            if (plan.withCta && k.vic420) plan.only420.push_back(k.vic420);
            continue;
        }
        bool shown = isPreferred;
        for (int bit = 0; bit < kEstablishedTimingBits && k.dmt; ++bit)
            if (*EstablishedFormat(bit) == k.format) {
                plan.est |= 0x800000u >> bit;
                shown = true;
            }
        if (plan.withCta && k.vic) {
            plan.vics.push_back(k.vic);
            plan.vics420.push_back(k.yuv420);
            if (plan.hdmi && k.hdmiVic && HdmiVicOfVic(k.vic))
                plan.hdmiVics.push_back(HdmiVicOfVic(k.vic));
            shown = true;
        }
        if (shown) continue;
        if (const std::uint16_t code = k.dmt ? StandardTimingCode(k.format) : 0;
            code && plan.standard.size() < 8) {
            plan.standard.push_back(code);
            continue;
        }
        if (plan.DtdFits(k)) plan.dtds.push_back(*k.dtd);
    }
    // the preferred format leads the video block
    std::vector<int>& vics = plan.vics;
    std::vector<bool>& vics420 = plan.vics420;
    if (plan.preferred && plan.preferred->vic && !vics.empty()) {
        const auto it = std::find(vics.begin(), vics.end(), plan.preferred->vic);
        if (it != vics.end()) {
            const auto i = it - vics.begin();
            const bool y = vics420[i];
            vics.erase(it);
            vics420.erase(vics420.begin() + i);
            vics.insert(vics.begin(), plan.preferred->vic);
            vics420.insert(vics420.begin(), y);
        }
    }
}

// Block 0: the first source's identity, EDID 1.3, what every source's features have, the timings
// the plan put here, the range limits and the name. The first detailed timing after the preferred
// one leaves the plan's list.
void WriteBaseBlock(EdidImage& img, Plan& plan, const std::vector<Parsed>& parsed,
                    const std::string& name) {
    static constexpr std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), img.begin());
    const EdidImage& f = parsed[0].image;
    std::copy(f.begin() + 8, f.begin() + 12, img.begin() + 8); // manufacturer, product
    img[16] = f[16];
    img[17] = f[17];
    // EDID 1.3, as HDMI asks; the image size stays undefined, as in the detailed timings, which
    // come from different displays
    img[18] = 1;
    img[19] = 3;
    img[20] = 0x80;
    img[23] = f[23] == 0xFF ? 0x78 : f[23];
    std::uint8_t features = 0xE4; // standby, suspend, active off, sRGB: as all sources have them
    for (const Parsed& p : parsed)
        features &= p.image[24];
    features |= 0x08 | (plan.preferred ? 0x02 : 0); // RGB colour, detailed timing 1 preferred
    img[24] = features;
    // the colour characteristics of the first source that says sRGB as the result does: sRGB
    // chromaticities go with the sRGB flag
    const auto colour = std::find_if(parsed.begin(), parsed.end(), [&](const Parsed& p) {
        return (p.image[24] & 0x04) == (features & 0x04);
    });
    const EdidImage& c = colour != parsed.end() ? colour->image : f;
    std::copy(c.begin() + 25, c.begin() + 35, img.begin() + 25);
    img[35] = (plan.est >> 16) & 0xFF;
    img[36] = (plan.est >> 8) & 0xFF;
    img[37] = plan.est & 0xFF;
    for (int i = 0; i < 8; ++i) {
        const std::uint16_t code =
            i < int(plan.standard.size()) ? plan.standard[i] : kStandardTimingUnused;
        img[38 + 2 * i] = code >> 8;
        img[39 + 2 * i] = code & 0xFF;
    }
    if (plan.preferred) {
        std::copy(plan.preferred->dtd->begin(), plan.preferred->dtd->end(), img.begin() + 54);
    } else {
        img[57] = 0x10; // dummy descriptor
    }
    if (!plan.dtds.empty()) {
        std::copy(plan.dtds[0].begin(), plan.dtds[0].end(), img.begin() + 72);
        plan.dtds.erase(plan.dtds.begin());
    } else {
        img[75] = 0x10; // dummy descriptor
    }
    PutRangeLimits(img, 90, plan.kept, plan.limits, plan.vrr);
    PutText(img, 108, 0xFC, CleanName(name));
    img[126] = plan.withCta ? 1 : 0;
    Checksum(img, 0);
}

// The HDMI block, its HDMI VICs those whose video code is in the video block.
std::vector<std::uint8_t> HdmiBlock(const Plan& plan, const std::vector<Parsed>& parsed) {
    if (!plan.hdmi) return {};
    std::vector<int> hdmiVics;
    for (int h : plan.hdmiVics)
        if (std::find(plan.vics.begin(), plan.vics.end(), VicOfHdmiVic(h)) != plan.vics.end())
            hdmiVics.push_back(h);
    const Parsed& first = parsed[0];
    std::vector<std::uint8_t> block = {0x03, 0x0C, 0x00, first.address[0], first.address[1]};
    const bool flags = All(parsed, [](const Parsed& p) { return p.hdmiHasFlags; });
    const bool clock = All(parsed, [](const Parsed& p) { return p.hdmiHasClock && p.hdmiClock; });
    if (flags || clock || !hdmiVics.empty()) {
        std::uint8_t b6 = flags ? 0xF9 : 0;
        for (const Parsed& p : parsed)
            b6 &= p.hdmiFlags;
        if (!(plan.ycbcr & 0x20)) b6 &= ~0x08;
        if (!(b6 & 0x70)) b6 &= ~0x08;
        block.push_back(b6);
    }
    if (clock || !hdmiVics.empty()) {
        std::uint8_t c = clock ? 0xFF : 0;
        for (const Parsed& p : parsed)
            c = std::min(c, p.hdmiClock);
        block.push_back(c);
    }
    if (!hdmiVics.empty()) {
        std::uint8_t cnc = All(parsed, [](const Parsed& p) { return p.hdmiHasByte8; }) ? 0x0F : 0;
        for (const Parsed& p : parsed)
            cnc &= p.hdmiByte8;
        block.push_back(0x20 | cnc);
        block.push_back(0x00);
        block.push_back(static_cast<std::uint8_t>(hdmiVics.size() << 5));
        for (int h : hdmiVics)
            block.push_back(static_cast<std::uint8_t>(h));
    }
    return block;
}

// The HDMI Forum block: what every source's takes, the lowest rates.
std::vector<std::uint8_t> ForumBlock(const Plan& plan, const std::vector<Parsed>& parsed) {
    if (!plan.forum) return {};
    std::size_t len = 8;
    for (const Parsed& p : parsed)
        len = std::min(len, p.forumBytes.size());
    len = std::min<std::size_t>(len, 5);
    std::vector<std::uint8_t> b(len, 0xFF);
    for (const Parsed& p : parsed)
        for (std::size_t i = 0; i < len; ++i)
            b[i] &= p.forumBytes[i];
    if (len > 1) {
        int rate = 255;
        for (const Parsed& p : parsed)
            rate = std::min<int>(rate, p.forumBytes[1]);
        b[1] = static_cast<std::uint8_t>(rate);
    }
    b[0] = 1;
    if (len > 2) b[2] &= 0xF8;                          // no 3D
    if (len > 2 && !(b[2] & 0x80) && len > 1) b[1] = 0; // above 340 MHz needs SCDC
    if (len > 3) {
        int frl = 15;
        for (const Parsed& p : parsed)
            frl = std::min(frl, p.forumBytes[3] >> 4);
        b[3] = static_cast<std::uint8_t>((frl << 4) | (b[3] & 0x0F));
        if (!(plan.ycbcr & 0x30) && plan.only420.empty() &&
            std::find(plan.vics420.begin(), plan.vics420.end(), true) == plan.vics420.end())
            b[3] &= 0xF8;
    }
    if (len > 4) {
        b[4] &= 0x3E; // ALLM, FVA, CNMVRR, CinemaVRR, M delta
        if (!b[4]) len = 4;
        b.resize(len);
    }
    while (b.size() < 4)
        b.push_back(0);
    if (plan.vrrForum) { // the shared variable refresh range: 6 bits of minimum, 10 of maximum
        b.resize(7, 0);
        b[5] = static_cast<std::uint8_t>((plan.vrr->min & 0x3F) | ((plan.vrr->max >> 2) & 0xC0));
        b[6] = static_cast<std::uint8_t>(plan.vrr->max & 0xFF);
    }
    std::vector<std::uint8_t> block = {0xD8, 0x5D, 0xC4};
    block.insert(block.end(), b.begin(), b.end());
    return block;
}

// Quantization selectable only as all sources say it; the overscan behaviour when all say the
// same (else "not supported"). A source without a CTA-861 extension takes no InfoFrame and has
// no say; a source with one but without the block leaves it out (an extension lacks it then, as
// that source's does).
std::vector<std::uint8_t> VideoCapabilityBlock(const std::vector<Parsed>& parsed,
                                               std::uint8_t underscan) {
    std::vector<const Parsed*> say;
    for (const Parsed& p : parsed) {
        if (p.cta && !p.vcdb) return {};
        if (p.vcdb) say.push_back(&p);
    }
    if (say.empty()) return {};
    const Parsed& first = *say[0];
    std::uint8_t vcdb = 0xC0;
    for (const Parsed* p : say)
        vcdb &= p->vcdbByte;
    if (std::all_of(say.begin(), say.end(), [&](const Parsed* p) {
            return (p->vcdbByte & 0x3F) == (first.vcdbByte & 0x3F);
        }))
        vcdb |= first.vcdbByte & 0x3F;
    if ((vcdb & 0x0C) == 0x08 && !(underscan & 0x80))
        vcdb &= ~0x0C; // "always underscanned" needs the underscan bit
    return {kExtTagVideoCapability, vcdb};
}

std::vector<std::uint8_t> ColorimetryBlock(const std::vector<Parsed>& parsed) {
    if (!All(parsed, [](const Parsed& p) { return p.colorimetry; })) return {};
    std::uint8_t c0 = 0xFF, c1 = 0xFF;
    for (const Parsed& p : parsed) {
        c0 &= p.colorimetryBytes[0];
        c1 &= p.colorimetryBytes[1];
    }
    if (!c0 && !(c1 & 0x80)) return {};
    return {kExtTagColorimetry, c0, static_cast<std::uint8_t>(c1 & 0x80)};
}

// The HDR static metadata every source takes: the common curves, the lowest maximum luminances
// and the highest minimum, under the result's maximum.
std::vector<std::uint8_t> HdrBlock(const std::vector<Parsed>& parsed) {
    if (!All(parsed, [](const Parsed& p) { return p.hdr; })) return {};
    std::size_t len = 5;
    for (const Parsed& p : parsed)
        len = std::min(len, p.hdrBytes.size());
    std::vector<std::uint8_t> h(len, 0xFF);
    h[0] = 0x3F;
    h[1] = 0xFF;
    for (const Parsed& p : parsed)
        h[0] &= p.hdrBytes[0], h[1] &= p.hdrBytes[1];
    for (std::size_t i = 2; i < len && i < 4; ++i)
        for (const Parsed& p : parsed)
            h[i] = std::min(h[i], p.hdrBytes[i]);
    if (len > 4) {
        double need = 0;
        for (const Parsed& p : parsed) {
            const double cv = p.hdrBytes[4] / 255.0;
            need = std::max(need, MaxLuminance(p.hdrBytes[2]) * cv * cv / 100.0);
        }
        const double maxLum = MaxLuminance(h[2]);
        int code = static_cast<int>(std::ceil(255.0 * std::sqrt(need * 100.0 / maxLum)));
        while (code > 0 && maxLum * ((code - 1) / 255.0) * ((code - 1) / 255.0) / 100.0 >= need)
            --code;
        h[4] = static_cast<std::uint8_t>(std::clamp(code, 0, 255));
    }
    if (!h[0]) return {};
    std::vector<std::uint8_t> block = {kExtTagHdrStatic};
    block.insert(block.end(), h.begin(), h.end());
    return block;
}

// The data blocks that do not shrink while the extension is fitted.
struct FixedBlocks {
    std::vector<std::uint8_t> hdmi, forum, amd, vcdb, colorimetry, hdr, speakers;
};

// The AMD block with the shared variable refresh range (version 1.1, no further flags).
std::vector<std::uint8_t> AmdBlock(const Plan& plan) {
    if (!plan.vrrAmd) return {};
    return {0x1A,
            0x00,
            0x00,
            0x01,
            0x01,
            static_cast<std::uint8_t>(plan.vrr->min),
            static_cast<std::uint8_t>(plan.vrr->max),
            0x00};
}

// The extension's data blocks in order; returns the bytes they and the plan's detailed timings
// take.
int ExtensionData(const Plan& plan, const FixedBlocks& blocks, std::vector<std::uint8_t>& out) {
    out.clear();
    auto add = [&out](int tag, const std::vector<std::uint8_t>& payload) {
        const auto b = DataBlock(tag, payload);
        out.insert(out.end(), b.begin(), b.end());
    };
    if (!plan.vics.empty()) add(2, std::vector<std::uint8_t>(plan.vics.begin(), plan.vics.end()));
    if (!plan.sads.empty()) {
        std::vector<std::uint8_t> a;
        for (const Sad& s : plan.sads)
            a.insert(a.end(), s.begin(), s.end());
        add(1, a);
    }
    if (!blocks.speakers.empty()) add(4, blocks.speakers);
    if (!blocks.hdmi.empty()) add(3, blocks.hdmi);
    if (!blocks.forum.empty()) add(3, blocks.forum);
    if (!blocks.amd.empty()) add(3, blocks.amd);
    if (!blocks.vcdb.empty()) add(7, blocks.vcdb);
    if (!blocks.colorimetry.empty()) add(7, blocks.colorimetry);
    if (!blocks.hdr.empty()) add(7, blocks.hdr);
    if (!plan.only420.empty()) {
        std::vector<std::uint8_t> y{kExtTagYuv420Video};
        y.insert(y.end(), plan.only420.begin(), plan.only420.end());
        add(7, y);
    }
    const std::vector<bool>& vics420 = plan.vics420;
    if (std::find(vics420.begin(), vics420.end(), true) != vics420.end()) {
        std::vector<std::uint8_t> m{kExtTagYuv420Capability};
        std::size_t last = 0;
        for (std::size_t i = 0; i < vics420.size(); ++i)
            if (vics420[i]) last = i;
        m.resize(1 + last / 8 + 1, 0);
        for (std::size_t i = 0; i < vics420.size(); ++i)
            if (vics420[i]) m[1 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        add(7, m);
    }
    return static_cast<int>(out.size() + 18 * plan.dtds.size());
}

// Block 1, the CTA-861 extension. It fits in its 123 bytes: detailed timings go first, then the
// smallest video formats, then 4:2:0-only formats, then audio descriptors.
void WriteExtension(EdidImage& img, Plan& plan, const std::vector<Parsed>& parsed) {
    std::uint8_t underscan = plan.allCta ? 0x80 : 0;
    for (const Parsed& p : parsed)
        underscan &= p.ctaFlags;
    FixedBlocks blocks;
    blocks.hdmi = HdmiBlock(plan, parsed);
    blocks.forum = ForumBlock(plan, parsed);
    blocks.amd = AmdBlock(plan);
    blocks.vcdb = VideoCapabilityBlock(parsed, underscan);
    blocks.colorimetry = ColorimetryBlock(parsed);
    blocks.hdr = HdrBlock(parsed);
    if (plan.speakers) blocks.speakers.assign(plan.speakerBytes.begin(), plan.speakerBytes.end());

    std::vector<std::uint8_t> data;
    while (plan.vics.size() > kMaxVideoCodes) {
        plan.vics.pop_back();
        plan.vics420.pop_back();
    }
    while (plan.only420.size() > 30)
        plan.only420.pop_back();
    while (ExtensionData(plan, blocks, data) > 123) {
        if (!plan.dtds.empty()) {
            plan.dtds.pop_back();
        } else if (plan.vics.size() > 1) {
            plan.vics.pop_back();
            plan.vics420.pop_back();
        } else if (!plan.only420.empty()) {
            plan.only420.pop_back();
        } else if (!plan.sads.empty()) {
            plan.sads.pop_back();
        } else {
            break;
        }
    }
    blocks.hdmi = HdmiBlock(plan, parsed); // without the HDMI VICs whose video code did not fit
    ExtensionData(plan, blocks, data);
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] = static_cast<std::uint8_t>(4 + data.size());
    img[131] =
        static_cast<std::uint8_t>(plan.ycbcr | (plan.basicAudio ? 0x40 : 0) |
                                  (plan.preferred && !plan.preferred->format.interlaced ? 1 : 0));
    img[131] |= underscan;
    std::copy(data.begin(), data.end(), img.begin() + 132);
    int at = 132 + static_cast<int>(data.size());
    for (const DetailedTiming& d : plan.dtds) {
        std::copy(d.begin(), d.end(), img.begin() + at);
        at += 18;
    }
    Checksum(img, 1);
}

// Text order with numbers by their value: "640x480" before "1024x768".
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            const std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// What the sources claim and `img` does not, each with the sources that lack it.
std::vector<ComposeOmission> Omissions(const EdidImage& img, const std::vector<Parsed>& parsed,
                                       const std::vector<ComposeSource>& sources,
                                       const std::map<std::string, ComposeOmission>& notes,
                                       int audioFrom) {
    const int n = static_cast<int>(parsed.size());
    Claims mine;
    AddClaims(Parse(img), mine);
    Settle(mine);
    std::vector<Claims> theirs(parsed.size());
    Claims any;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        AddClaims(parsed[i], theirs[i]);
        Settle(theirs[i]);
        Claims merged;
        merged.reserve(any.size() + theirs[i].size());
        std::merge(any.begin(), any.end(), theirs[i].begin(), theirs[i].end(),
                   std::back_inserter(merged), ByKey);
        any = std::move(merged);
    }
    Settle(any, true);
    std::vector<ComposeOmission> omissions;
    std::vector<std::string> audioCapabilities; // taken from one source
    for (const Claim& c : any) {
        const Claim* held = Find(mine, c.key);
        if (held && held->level >= c.level) continue;
        ComposeOmission o;
        // "E-AC-3" when the sources that lack it have none of it, else "E-AC-3 8 channels"
        bool lower = held != nullptr;
        const ComposeCapability capability = Capability(c);
        // the audio comes from source N alone: only it can lack an audio claim
        const bool fromOne = audioFrom && capability.audio;
        for (int i = 0; i < n; ++i) {
            if (fromOne && i + 1 != audioFrom) continue;
            const Claim* t = Find(theirs[i], c.key);
            if (!t || t->level < c.level) o.lackingSources.push_back(i + 1);
            lower = lower || (t && t->level < c.level);
        }
        o.capability = lower ? capability.Text() : capability.name;
        if (fromOne) audioCapabilities.push_back(o.capability);
        omissions.push_back(std::move(o));
    }
    std::sort(omissions.begin(), omissions.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.capability, b.capability); });
    // "DTS 48 kHz" says nothing more when "DTS" is left out for the same sources
    std::vector<ComposeOmission> told;
    for (ComposeOmission& o : omissions) {
        const bool covered = std::any_of(told.begin(), told.end(), [&](const ComposeOmission& p) {
            const std::string& a = o.capability;
            const std::string& b = p.capability;
            return a.size() > b.size() && a[b.size()] == ' ' && a.compare(0, b.size(), b) == 0 &&
                   p.lackingSources == o.lackingSources;
        });
        if (covered) continue;
        if (const auto note = notes.find(o.capability);
            note != notes.end() && o.lackingSources.empty()) {
            told.push_back(note->second);
            continue;
        }
        const bool fromOne = std::find(audioCapabilities.begin(), audioCapabilities.end(),
                                       o.capability) != audioCapabilities.end();
        o.text =
            o.capability + ": " +
            (!o.lackingSources.empty() ? "not in " + SourceList(o.lackingSources, sources)
             : fromOne
                 ? SourceList({audioFrom}, sources) + " has it, the composed EDID does not carry it"
                 : std::string("every source has it, the composed EDID does not carry it"));
        told.push_back(std::move(o));
    }
    return told;
}

// Why compose cannot read a source ("" when it can): its image fails validation, or, for an
// EDID of more blocks, its first two blocks as an EDID of two, or another block's checksum.
std::string SourceProblem(const ComposeSource& s) {
    std::uint16_t status = 0;
    if (s.bytes.size() <= kEdidSize)
        return ValidateImage(s.image, status) ? "" : std::string(ValidationMessage(status));
    EdidImage two = s.image;
    two[126] = std::min<std::uint8_t>(two[126], 1);
    two[127] = static_cast<std::uint8_t>(two[127] + s.image[126] - two[126]); // same sum
    if (!ValidateImage(two, status)) return std::string(ValidationMessage(status));
    for (const EdidBlock& b : ReadEdidBlocks(s.bytes).blocks)
        if (b.index >= 2 && !b.checksumOk)
            return "Illegal checksum of block " + std::to_string(b.index) + ".";
    return {};
}

} // namespace

std::vector<ComposeCapability> ComposeCapabilities(const EdidImage& image,
                                                   std::span<const std::uint8_t> bytes) {
    Claims claims;
    AddClaims(Parse(image, bytes), claims);
    Settle(claims);
    std::vector<ComposeCapability> out;
    out.reserve(claims.size());
    for (const Claim& c : claims)
        out.push_back(Capability(c));
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return out;
}

ComposeResult Compose(const std::vector<ComposeSource>& sources, const ComposeOptions& options) {
    ComposeResult result;
    const int n = static_cast<int>(sources.size());
    if (n < kComposeMinSources || n > kComposeMaxSources) {
        result.message = "Compose takes " + std::to_string(kComposeMinSources) + " to " +
                         std::to_string(kComposeMaxSources) + " sources, not " + std::to_string(n) +
                         ".";
        return result;
    }
    if (options.audioFrom < 0 || options.audioFrom > n) {
        result.message = "There is no source " + std::to_string(options.audioFrom) +
                         " to take the audio from (sources 1 to " + std::to_string(n) + ").";
        return result;
    }
    std::vector<Parsed> parsed;
    parsed.reserve(sources.size());
    for (int i = 0; i < n; ++i) {
        if (const std::string why = SourceProblem(sources[i]); !why.empty()) {
            result.message = SourceList({i + 1}, sources) + ": " + why;
            return result;
        }
        parsed.push_back(Parse(sources[i].image, sources[i].bytes));
    }

    Plan plan;
    plan.allCta = All(parsed, [](const Parsed& p) { return p.cta; });
    ChooseAudio(parsed, options.audioFrom, plan);
    plan.withCta = plan.allCta || !plan.sads.empty();
    plan.kept = SharedFormats(parsed, sources, plan.notes);
    plan.limits = SharedLimits(parsed);
    if (const std::string empty = EmptyLimits(plan.limits, parsed, sources); !empty.empty()) {
        result.outcome = ComposeOutcome::NothingShared;
        result.message = empty;
        return result;
    }
    const bool sharedAny = !plan.kept.empty();
    KeepWithinLimits(plan.kept, parsed, sources, plan.notes, plan.withCta);
    if (plan.kept.empty()) {
        std::vector<int> every;
        for (int i = 1; i <= n; ++i)
            every.push_back(i);
        result.outcome = ComposeOutcome::NothingShared;
        result.message = std::string("The sources share no timing") +
                         (sharedAny ? " within every source's range limits: " : ": ") +
                         SourceList(every, sources) + ".";
        return result;
    }
    plan.hdmi = plan.withCta && All(parsed, [](const Parsed& p) { return p.hdmi; });
    plan.forum = plan.hdmi && All(parsed, [](const Parsed& p) { return p.forum; });
    if (!plan.hdmi && All(parsed, [](const Parsed& p) { return p.forum; })) {
        ComposeOmission note;
        note.capability = "HDMI Forum";
        std::vector<int> without;
        for (int i = 0; i < n; ++i)
            if (!parsed[i].hdmi) without.push_back(i + 1);
        note.text = "HDMI Forum: every source has it, but it goes only with an HDMI block, which " +
                    SourceList(without, sources) + " lack" + (without.size() == 1 ? "s" : "");
        plan.notes[note.capability] = note;
    }
    if (plan.hdmi) plan.clockLimitKhz = ClockLimitKhz(parsed);
    ShareVrr(parsed, sources, plan);
    PlaceFormats(plan);
    if (plan.allCta) {
        plan.ycbcr = 0x30;
        for (const Parsed& p : parsed)
            plan.ycbcr &= p.ctaFlags;
    }

    EdidImage& img = result.image;
    img.fill(0);
    WriteBaseBlock(img, plan, parsed, options.name);
    if (plan.withCta) WriteExtension(img, plan, parsed);
    result.outcome = ComposeOutcome::Built;
    result.omissions = Omissions(img, parsed, sources, plan.notes, options.audioFrom);
    return result;
}

void WriteComposeMembers(JsonWriter& json, const ComposeResult& result) {
    json.Member("outcome", result.outcome == ComposeOutcome::Built           ? "built"
                           : result.outcome == ComposeOutcome::NothingShared ? "nothing_shared"
                                                                             : "bad_input")
        .Member("message", result.message)
        .Key("omissions")
        .BeginArray();
    for (const ComposeOmission& o : result.omissions) {
        json.BeginObject().Member("capability", o.capability).Key("lacking_sources").BeginArray();
        for (const auto source : o.lackingSources)
            json.Number(source);
        json.EndArray().Member("text", o.text).EndObject();
    }
    json.EndArray();
}

std::string ComposeJson(const ComposeResult& result) {
    JsonWriter json(JsonSpacing::Spaced);
    json.BeginObject();
    WriteComposeMembers(json, result);
    return json.EndObject().Text();
}

} // namespace tavo
