// The check's rules about the blocks as a whole and the base block.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "edid/CheckModel.h"

namespace tavo::check {
namespace {

constexpr Severity kFail = Severity::Failure;
constexpr Severity kWarn = Severity::Warning;

std::string Format(const char* fmt, double a, double b = 0, double c = 0, double d = 0) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
    return buf;
}

std::string Hex(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

bool AllZero(const Model& m, int at, int n) {
    for (int i = 0; i < n; ++i)
        if (m.At(at + i)) return false;
    return true;
}

constexpr std::uint8_t kSrgb[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};

// The range limits descriptor's values.
struct Ranges {
    int minV = 0, maxV = 0; // Hz
    int minH = 0, maxH = 0; // kHz
    int maxClockKhz = 0;    // 0: not stated
};

Ranges ReadRanges(const Model& m, int at) {
    const int flags = m.minor >= 4 ? m.At(at + 4) : 0;
    Ranges r;
    r.minV = m.At(at + 5) + ((flags & 0x03) == 0x03 ? 255 : 0);
    r.maxV = m.At(at + 6) + ((flags & 0x02) ? 255 : 0);
    r.minH = m.At(at + 7) + ((flags & 0x0C) == 0x0C ? 255 : 0);
    r.maxH = m.At(at + 8) + ((flags & 0x08) ? 255 : 0);
    // before EDID 1.4 (no offsets) the largest value reads as no limit
    if (r.maxH == 255 && m.minor < 4) r.maxH = 0;
    r.maxClockKhz = m.At(at + 9) * 10000;
    return r;
}

// The timing with the lowest (or highest) value of `key`.
template <class Key> const ListedTiming* Extreme(const Model& m, Key key, bool highest) {
    const ListedTiming* best = nullptr;
    for (const ListedTiming& t : m.timings) {
        if (key(t) <= 0) continue;
        if (!best || (highest ? key(t) > key(*best) : key(t) < key(*best))) best = &t;
    }
    return best;
}

// The sentence for the timing furthest outside the limits.
std::string RangeText(const Ranges& r, const ListedTiming* loV, const ListedTiming* hiV,
                      const ListedTiming* loH, const ListedTiming* hiH, const ListedTiming* clk) {
    const std::string allow = "The range limits allow " + std::to_string(r.minH) + "-" +
                              std::to_string(r.maxH) + " kHz and " + std::to_string(r.minV) + "-" +
                              std::to_string(r.maxV) + " Hz";
    const std::string refuse = ": a source may refuse it.";
    if (hiH && hiH->hFreqKhz >= r.maxH + 0.5)
        return allow + ", but the " + TimingName(*hiH) + " needs " + Format("%.1f", hiH->hFreqKhz) +
               " kHz" + refuse;
    if (loH && loH->hFreqKhz + 0.5 < r.minH)
        return allow + ", but the " + TimingName(*loH) + " needs " + Format("%.1f", loH->hFreqKhz) +
               " kHz" + refuse;
    if (hiV && hiV->refreshHz >= r.maxV + 0.5)
        return allow + ", but the " + TimingName(*hiV) + " needs " +
               Format("%.2f", hiV->refreshHz) + " Hz" + refuse;
    if (loV && loV->refreshHz + 0.5 < r.minV)
        return allow + ", but the " + TimingName(*loV) + " needs " +
               Format("%.2f", loV->refreshHz) + " Hz" + refuse;
    return "The range limits allow a pixel clock up to " + std::to_string(r.maxClockKhz / 1000) +
           " MHz, but the " + (clk ? TimingName(*clk) : std::string("timing")) + " needs " +
           Format("%.2f", clk ? clk->pixelClockKhz / 1000.0 : 0) + " MHz" + refuse;
}

void RangeLimits(const Model& m, std::vector<Finding>& out) {
    const int at = m.RangeLimitsAt();
    if (at < 0 || m.timings.empty()) return;
    const Ranges r = ReadRanges(m, at);
    const auto v = [](const ListedTiming& t) { return t.refreshHz; };
    const auto h = [](const ListedTiming& t) { return t.hFreqKhz; };
    const auto c = [](const ListedTiming& t) { return double(t.pixelClockKhz); };
    const ListedTiming *loV = Extreme(m, v, false), *hiV = Extreme(m, v, true);
    const ListedTiming *loH = Extreme(m, h, false), *hiH = Extreme(m, h, true);
    const ListedTiming* clk = Extreme(m, c, true);
    if (!loV || !loH || !clk) return;
    const double minV = loV->refreshHz, maxV = hiV->refreshHz;
    const double minH = loH->hFreqKhz, maxH = hiH->hFreqKhz;
    const int maxClock = clk->pixelClockKhz;
    const bool outside = minV + 0.5 < r.minV || (r.maxV && maxV >= r.maxV + 0.5) ||
                         minH + 0.5 < r.minH || (r.maxH && maxH >= r.maxH + 0.5) ||
                         (r.maxClockKhz && maxClock > r.maxClockKhz);
    if (!outside) return;
    const bool clearly = minV + 1.0 <= r.minV || (r.maxV && maxV >= r.maxV + 1.0) ||
                         minH + 1.0 <= r.minH || (r.maxH && maxH >= r.maxH + 1.0) ||
                         (r.maxClockKhz && maxClock >= r.maxClockKhz + 10000);
    // EDID 1.4 lets listed timings go beyond the limits; a rounding slip is only a warning
    const Severity s = clearly && m.minor < 4 ? kFail : kWarn;
    Add(out, m, "range-limits", s, at,
        RangeText(r, minV + 0.5 < r.minV ? loV : nullptr,
                  r.maxV && maxV >= r.maxV + 0.5 ? hiV : nullptr,
                  minH + 0.5 < r.minH ? loH : nullptr,
                  r.maxH && maxH >= r.maxH + 0.5 ? hiH : nullptr, clk));
}

void Srgb(const Model& m, std::vector<Finding>& out) {
    const bool flag = m.At(24) & 0x04;
    const bool match = std::equal(kSrgb, kSrgb + 10, m.bytes.begin() + 25);
    if (flag && !match)
        Add(out, m, "srgb", kFail, 24,
            "The EDID says its colours are sRGB, but its chromaticities are not sRGB's.");
    if (!flag && match)
        Add(out, m, "srgb", kFail, 24,
            "The chromaticities are sRGB's, but the EDID does not say its colours are sRGB.");
}

void VideoInterface(const Model& m, std::vector<Finding>& out) {
    const int b = m.At(20);
    if (!(b & 0x80)) return;
    if (m.minor < 4) {
        // before 1.4 only bit 0 (DFP 1.x compatible) may be set beside the digital bit
        if (b & 0x7E)
            Add(out, m, "video-interface", kFail, 20,
                "The digital video interface byte sets reserved bits (" + Hex(b & 0x7E) + ").");
        return;
    }
    if ((b & 0x70) == 0x70)
        Add(out, m, "video-interface", kFail, 20,
            "The colour bit depth is set to a reserved value (7).");
    if ((b & 0x0F) > 5)
        Add(out, m, "video-interface", kFail, 20,
            "The digital interface is set to a reserved value (" + std::to_string(b & 0x0F) + ").");
}

void DtdOrder(const Model& m, std::vector<Finding>& out) {
    if (m.minor == 3 && !(m.At(24) & 0x02))
        Add(out, m, "dtd-order", kFail, 24,
            "EDID 1.3 requires the first detailed timing to be the preferred timing, but the "
            "preferred timing flag is clear.");
}

void Gtf(const Model& m, std::vector<Finding>& out) {
    const int at = m.RangeLimitsAt();
    if (at < 0 || m.minor < 4) return;
    const int cls = m.At(at + 10);
    if (cls != 0x00 && cls != 0x02) return;
    if (!(m.At(24) & 0x01))
        Add(out, m, "gtf", kFail, at,
            "The range limits offer GTF timings, but the display does not take continuous "
            "frequencies.");
    Add(out, m, "gtf", kWarn, at, "The range limits offer GTF timings, which EDID 1.4 deprecates.");
}

void MissingDescriptors(const Model& m, std::vector<Finding>& out) {
    if (m.minor < 3) return;
    bool name = false;
    for (int at = 54; at < 126; at += 18)
        if (!m.At(at) && !m.At(at + 1) && m.At(at + 3) == 0xFC) name = true;
    if (!name)
        Add(out, m, "missing-name", kFail, 54,
            "The EDID has no display product name; a source shows no name for the display.");
    if ((m.minor == 3 || (m.At(24) & 0x01)) && !m.HasRangeLimits())
        Add(out, m, "missing-range-limits", kFail, 54,
            "The EDID has no range limits descriptor, which EDID " +
                std::string(m.minor == 3 ? "1.3" : "1.4 with continuous frequencies") +
                " requires.");
}

// A serial number descriptor, in the base block or an extension's descriptor area.
bool SerialText(const Model& m) {
    std::vector<int> places;
    for (int at = 54; at < 126; at += 18)
        places.push_back(at);
    for (const CtaExtension& e : m.ctas)
        if (m.At(e.offset + 2) >= 4)
            for (int p = e.offset + m.At(e.offset + 2); p + 18 <= e.offset + 127; p += 18)
                places.push_back(p);
    for (int at : places)
        if (!m.At(at) && !m.At(at + 1) && m.At(at + 3) == 0xFF) return true;
    return false;
}

// Only with a CTA-861 extension, as the reference decoder checks it there.
void SerialNumber(const Model& m, std::vector<Finding>& out) {
    if (AllZero(m, 12, 4) || m.cta < 0 || !SerialText(m)) return;
    Add(out, m, "serial-number", kWarn, 12,
        "The serial number is given in a descriptor, so the base block's serial number should "
        "be 0.");
}

// The image size of each detailed timing against the display size of the base block.
void ImageSize(const Model& m, std::vector<Finding>& out) {
    const int w = m.At(21) && m.At(22) ? m.At(21) * 10 : 0;
    const int h = m.At(21) && m.At(22) ? m.At(22) * 10 : 0;
    int maxW = 0, maxH = 0;
    for (int at : m.dtds) {
        const int hs = m.At(at + 12) | (m.At(at + 14) & 0xF0) << 4;
        const int vs = m.At(at + 13) | (m.At(at + 14) & 0x0F) << 8;
        maxW = std::max(maxW, hs), maxH = std::max(maxH, vs);
        if (!w && !h) continue;
        if (!hs && !vs)
            Add(out, m, "image-size", kFail, at,
                "A detailed timing gives no image size, but the display size is " +
                    std::to_string(w) + "x" + std::to_string(h) + " mm.");
        else if (hs > w + 9 || vs > h + 9 || (hs < w - 9 && vs < h - 9))
            Add(out, m, "image-size", kFail, at,
                "A detailed timing gives an image size of " + std::to_string(hs) + "x" +
                    std::to_string(vs) + " mm, but the display size is " + std::to_string(w) + "x" +
                    std::to_string(h) + " mm.");
    }
    if ((!w && maxW) || (!h && maxH))
        Add(out, m, "image-size", kFail, 21,
            "The detailed timings give an image size of " + std::to_string(maxW) + "x" +
                std::to_string(maxH) + " mm, but the base block gives no display size.");
}

void NearTimings(const Model& m, std::vector<Finding>& out) {
    for (int at : m.dtds) {
        const std::string near = NearTiming(m.bytes.data() + at);
        if (!near.empty())
            Add(out, m, "dtd-vs-vic", kWarn, at,
                "A detailed timing is close to but not the same as " + near +
                    ": a source may use the standard timing instead.");
    }
    for (const DisplayIdTiming& d : m.displayId) {
        if (d.kind != DisplayIdTimingKind::Detailed) continue;
        const std::string near = NearTiming(d.timing);
        if (!near.empty())
            Add(out, m, "dtd-vs-vic", kWarn, d.offset,
                "A DisplayID detailed timing is close to but not the same as " + near +
                    ": a source may use the standard timing instead.");
    }
}

} // namespace

void CheckBlocks(const Model& m, std::vector<Finding>& out) {
    static constexpr std::uint8_t kHeader[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    if (!std::equal(kHeader, kHeader + 8, m.bytes.begin()))
        Add(out, m, "header", kFail, 0,
            "The EDID does not start with the header 00 FF FF FF FF FF FF 00.");
    for (int b = 0; b < m.blocks; ++b) {
        unsigned sum = 0;
        for (int i = 0; i < 128; ++i)
            sum += m.At(b * 128 + i);
        if (sum & 0xFF) {
            const unsigned want = (m.At(b * 128 + 127) - sum) & 0xFF;
            Add(out, m, "checksum", kFail, b * 128 + 127,
                "Block " + std::to_string(b) + "'s checksum is " + Hex(m.At(b * 128 + 127)) +
                    " but should be " + Hex(want) + ": a source may ignore the whole EDID.");
        }
    }
    const int announced = m.At(126);
    const bool override = m.FindBlock(7, 0x78) != nullptr;
    if (announced + 1 != m.blocks && !override)
        Add(out, m, "extension-count", kFail, 126,
            "The base block announces " + std::to_string(announced) +
                " extension block(s), but the EDID holds " + std::to_string(m.blocks - 1) + ".");
}

void CheckBase(const Model& m, std::vector<Finding>& out) {
    Srgb(m, out);
    VideoInterface(m, out);
    DtdOrder(m, out);
    Gtf(m, out);
    MissingDescriptors(m, out);
    SerialNumber(m, out);
}

void CheckTimings(const Model& m, std::vector<Finding>& out) {
    RangeLimits(m, out);
    ImageSize(m, out);
    NearTimings(m, out);
}

} // namespace tavo::check
