#include "edid/DisplayIdTimings.h"

#include <algorithm>
#include <cmath>

namespace tavo {
namespace {

constexpr int kTypeI = 0x03, kTypeII = 0x04, kTypeIII = 0x05, kTypeIV = 0x06;
constexpr int kTypeVII = 0x22, kTypeVIII = 0x23, kTypeIX = 0x24, kTypeX = 0x2A;
constexpr int kCtaInside = 0x81;

int Le16(std::span<const std::uint8_t> b, int at) {
    return b[static_cast<std::size_t>(at)] | b[static_cast<std::size_t>(at) + 1] << 8;
}

// The exact field rate; an interlaced timing's field has half a line more.
double Refresh(const VideoTiming& t) {
    const double lines = t.VTotal() + (t.format.interlaced ? 0.5 : 0.0);
    return t.HTotal() && lines > 0 ? t.pixelClockKhz * 1000.0 / (t.HTotal() * lines) : 0;
}

DisplayIdTiming WithTiming(DisplayIdTimingKind kind, int tag, int at, VideoTiming t) {
    DisplayIdTiming d;
    d.kind = kind, d.tag = tag, d.offset = at;
    d.refreshHz = Refresh(t);
    t.format.rate = static_cast<int>(std::lround(d.refreshHz));
    d.timing = t;
    return d;
}

// Sizes and porches of an interlaced timing are given for the frame; a field has half of each.
void Interlace(VideoTiming& t, bool interlaced) {
    if (!interlaced) return;
    t.format.interlaced = true;
    t.vFront /= 2, t.vSync /= 2, t.vBack /= 2;
}

// Types I and VII: 20 bytes, every value stored as value - 1; the clock in 10 kHz (type I) or
// 1 kHz (type VII) units.
DisplayIdTiming TypeI(std::span<const std::uint8_t> b, int d, int tag) {
    VideoTiming t;
    const int unit = tag == kTypeVII ? 1 : 10;
    t.pixelClockKhz = unit * (1 + (b[d] | b[d + 1] << 8 | b[d + 2] << 16));
    t.format.width = 1 + Le16(b, d + 4);
    const int hBlank = 1 + Le16(b, d + 6);
    t.hFront = 1 + (Le16(b, d + 8) & 0x7FFF);
    t.hPositive = b[d + 9] & 0x80;
    t.hSync = 1 + Le16(b, d + 10);
    t.hBack = hBlank - t.hFront - t.hSync;
    t.format.height = 1 + Le16(b, d + 12);
    const int vBlank = 1 + Le16(b, d + 14);
    t.vFront = 1 + (Le16(b, d + 16) & 0x7FFF);
    t.vPositive = b[d + 17] & 0x80;
    t.vSync = 1 + Le16(b, d + 18);
    t.vBack = vBlank - t.vFront - t.vSync;
    Interlace(t, b[d + 3] & 0x10);
    DisplayIdTiming out = WithTiming(DisplayIdTimingKind::Detailed, tag, d, t);
    out.preferred = b[d + 3] & 0x80;
    return out;
}

// Type II: 11 bytes, horizontal values in units of 8 pixels.
DisplayIdTiming TypeII(std::span<const std::uint8_t> b, int d) {
    VideoTiming t;
    t.pixelClockKhz = 10 * (1 + (b[d] | b[d + 1] << 8 | b[d + 2] << 16));
    t.hPositive = b[d + 3] & 0x08;
    t.vPositive = b[d + 3] & 0x04;
    t.format.width = 8 + 8 * (b[d + 4] | (b[d + 5] & 0x01) << 8);
    const int hBlank = 8 + 8 * (b[d + 5] >> 1);
    t.hFront = 8 + 8 * (b[d + 6] >> 4);
    t.hSync = 8 + 8 * (b[d + 6] & 0x0F);
    t.hBack = hBlank - t.hFront - t.hSync;
    t.format.height = 1 + (b[d + 7] | (b[d + 8] & 0x0F) << 8);
    const int vBlank = 1 + b[d + 9];
    t.vFront = 1 + (b[d + 10] >> 4);
    t.vSync = 1 + (b[d + 10] & 0x0F);
    t.vBack = vBlank - t.vFront - t.vSync;
    Interlace(t, b[d + 3] & 0x10);
    DisplayIdTiming out = WithTiming(DisplayIdTimingKind::Detailed, kTypeII, d, t);
    out.preferred = b[d + 3] & 0x80;
    return out;
}

// Type III: 3 bytes: the formula and aspect, the width in units of 8 pixels, the rate.
bool TypeIII(std::span<const std::uint8_t> b, int d, DisplayIdTiming& out) {
    static constexpr int kNum[] = {1, 5, 4, 15, 16, 16, 64, 256};
    static constexpr int kDen[] = {1, 4, 3, 9, 9, 10, 27, 135};
    const int aspect = b[d] & 0x0F;
    if (aspect > 7) return false;
    const int w = 8 + 8 * b[d + 1];
    const int h = w * kDen[aspect] / kNum[aspect];
    const int reduced = ((b[d] >> 4) & 7) == 1 ? 1 : 0;
    out = WithTiming(DisplayIdTimingKind::Formula, kTypeIII, d,
                     CvtTiming(w, h, 1 + (b[d + 2] & 0x7F), reduced));
    out.preferred = b[d] & 0x80;
    return true;
}

// Types IX and X: the formula, width - 1, height - 1, rate - 1 (type X: 10 bits when its
// descriptors are 7 bytes).
DisplayIdTiming Formula(std::span<const std::uint8_t> b, int d, int tag, int size) {
    int rate = 1 + b[d + 5];
    if (size >= 7) rate += (b[d + 6] & 0x03) << 8;
    const int formula = b[d] & 0x07;
    DisplayIdTiming out =
        WithTiming(DisplayIdTimingKind::Formula, tag, d,
                   CvtTiming(1 + Le16(b, d + 1), 1 + Le16(b, d + 3), rate, std::min(formula, 2)));
    out.preferred = b[d] & 0x80;
    return out;
}

DisplayIdTiming Code(DisplayIdTimingKind kind, int tag, int at, int code) {
    DisplayIdTiming d;
    d.kind = kind, d.tag = tag, d.offset = at, d.code = code;
    return d;
}

// Types IV and VIII: codes of one kind (revision bits 7-6: DMT ids, video codes, HDMI VICs);
// type VIII's codes take two bytes when revision bit 3 says so.
void Codes(std::span<const std::uint8_t> b, const DisplayIdDataBlock& db,
           std::vector<DisplayIdTiming>& out) {
    const int kind = db.revision >> 6;
    if (kind > 2) return;
    const DisplayIdTimingKind k = kind == 0   ? DisplayIdTimingKind::Dmt
                                  : kind == 1 ? DisplayIdTimingKind::Vic
                                              : DisplayIdTimingKind::HdmiVic;
    const int size = db.tag == kTypeVIII && (db.revision & 0x08) ? 2 : 1;
    for (int at = db.offset + 3; at + size <= db.offset + db.length; at += size)
        out.push_back(Code(k, db.tag, at, size == 2 ? Le16(b, at) : b[at]));
}

void CtaVideo(std::span<const std::uint8_t> b, const DisplayIdDataBlock& db,
              std::vector<DisplayIdTiming>& out) {
    for (const CtaDataBlock& c : db.cta) {
        if (c.broken) continue;
        if (c.tag == 2)
            for (int at = c.offset + 1; at < c.offset + c.length; ++at) {
                const int v = b[at];
                out.push_back(Code(DisplayIdTimingKind::Vic, db.tag, at,
                                   v >= 129 && v <= 192 ? v & 0x7F : v));
            }
        if (c.tag == 7 && c.extendedTag == 14)
            for (int at = c.offset + 2; at < c.offset + c.length; ++at)
                out.push_back(Code(DisplayIdTimingKind::Vic420, db.tag, at, b[at]));
    }
}

// A computed pixel clock in kHz, held below what an int takes (a formula timing of the largest
// sizes and rates would need more).
int ClockKhz(double khz) {
    return static_cast<int>(std::clamp(khz, 0.0, 1e9));
}

} // namespace

VideoTiming CvtTiming(int width, int height, int rate, int reduced) {
    VideoTiming t;
    const int w = width / 8 * 8, h = height;
    t.format = {w, h, false, rate};
    if (w <= 0 || h <= 0 || rate <= 0) return t;
    const int vSync = w * 3 == h * 4 ? 4 : w * 9 == h * 16 ? 5 : w * 10 == h * 16 ? 6 : 7;
    if (reduced) {
        const double hPeriod = (1e6 / rate - 460.0) / h;
        const int vbi = hPeriod > 0 ? static_cast<int>(std::floor(460.0 / hPeriod)) + 1 : 0;
        if (reduced == 2) {
            const int lines = std::max(vbi, 15);
            t.hFront = 8, t.hSync = 32, t.hBack = 40;
            t.vSync = 8, t.vBack = 6, t.vFront = lines - 14;
            t.pixelClockKhz = ClockKhz(std::floor(double(rate) * (w + 80) * (h + lines) / 1000.0));
        } else {
            const int lines = std::max(vbi, 3 + vSync + 6);
            t.hFront = 48, t.hSync = 32, t.hBack = 80;
            t.vFront = 3, t.vSync = vSync, t.vBack = lines - 3 - vSync;
            t.pixelClockKhz =
                ClockKhz(std::floor(double(rate) * (w + 160) * (h + lines) / 250000.0) * 250);
        }
        t.hPositive = true;
        return t;
    }
    const double hPeriod = (1e6 / rate - 550.0) / (h + 3);
    if (hPeriod <= 0) return t;
    const int syncBp = std::max(static_cast<int>(std::floor(550.0 / hPeriod)) + 1, vSync + 6);
    const double duty = std::max(30.0 - 300.0 * hPeriod / 1000.0, 20.0);
    const int hBlank = static_cast<int>(std::floor(w * duty / (100.0 - duty) / 16.0)) * 16;
    const int hTotal = w + hBlank;
    t.hSync = hTotal * 8 / 100 / 8 * 8;
    t.hBack = hBlank / 2;
    t.hFront = hBlank - t.hBack - t.hSync;
    t.vFront = 3, t.vSync = vSync, t.vBack = syncBp - vSync;
    t.pixelClockKhz = ClockKhz(std::floor(hTotal / hPeriod / 0.25) * 250);
    t.vPositive = true;
    return t;
}

std::vector<DisplayIdTiming> ReadDisplayIdTimings(std::span<const std::uint8_t> bytes,
                                                  const EdidBlocks& blocks) {
    std::vector<DisplayIdTiming> out;
    for (const EdidBlock& blk : blocks.blocks) {
        if (blk.kind != BlockKind::DisplayId || !blk.hasSection) continue;
        for (const DisplayIdDataBlock& db : blk.section.dataBlocks) {
            if (db.broken) continue;
            const int end = db.offset + db.length;
            const int first = db.offset + 3;
            switch (db.tag) {
            case kTypeI:
            case kTypeVII:
                for (int d = first; d + 20 <= end; d += 20)
                    out.push_back(TypeI(bytes, d, db.tag));
                break;
            case kTypeII:
                for (int d = first; d + 11 <= end; d += 11)
                    out.push_back(TypeII(bytes, d));
                break;
            case kTypeIII:
                for (int d = first; d + 3 <= end; d += 3) {
                    DisplayIdTiming t;
                    if (TypeIII(bytes, d, t)) out.push_back(t);
                }
                break;
            case kTypeIV:
            case kTypeVIII:
                Codes(bytes, db, out);
                break;
            case kTypeIX:
            case kTypeX: {
                const int size = db.tag == kTypeX ? 6 + ((db.revision >> 4) & 7) : 6;
                for (int d = first; d + size <= end; d += size)
                    out.push_back(Formula(bytes, d, db.tag, size));
                break;
            }
            case kCtaInside:
                CtaVideo(bytes, db, out);
                break;
            default:
                break;
            }
        }
    }
    return out;
}

} // namespace tavo
