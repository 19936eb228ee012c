// The named repairs: each changes a claim of the EDID, so they run only when the operator names
// them. None adds a format, an audio or colour capability, or a clock the EDID does not list.
#include <algorithm>
#include <cmath>
#include <optional>

#include "edid/RepairRules.h"
#include "edid/VideoFormats.h"

namespace tavo::repair {
namespace {

struct Rates {
    double minV = 1e9, maxV = 0, minH = 1e9, maxH = 0, maxClockMhz = 0;
    bool any = false;
    void Add(const VideoTiming& t) {
        const int vTotal = t.VTotal();
        if (t.HTotal() <= 0 || vTotal <= 0 || t.pixelClockKhz <= 0) return;
        const double h = t.HFrequencyKhz();
        const double v = h * 1000.0 / vTotal;
        minV = std::min(minV, v), maxV = std::max(maxV, v);
        minH = std::min(minH, h), maxH = std::max(maxH, h);
        maxClockMhz = std::max(maxClockMhz, t.pixelClockKhz / 1000.0);
        any = true;
    }
    void Add(const std::optional<VideoFormat>& f) {
        if (!f) return;
        if (const auto t = KnownTiming(*f))
            Add(*t);
        else
            AddGtf(*f);
    }
    // A format without a known timing as a reader computes it: the GTF default formula
    // (C = 40, M = 600, K = 128, J = 20; 550 us of vertical sync and back porch).
    void AddGtf(const VideoFormat& f) {
        if (f.width <= 0 || f.height <= 0 || f.rate <= 0 || f.interlaced) return;
        const double estimate = (1.0 / f.rate - 550e-6) / (f.height + 1) * 1e6; // us
        const double syncAndBack = std::round(550.0 / estimate);
        const double fieldRate = 1e6 / estimate / (f.height + syncAndBack + 1);
        const double period = estimate / (f.rate / fieldRate);
        const double duty = 30.0 - 300.0 * period / 1000.0;
        const double blank = std::round(f.width * duty / (100.0 - duty) / 16.0) * 16.0;
        const double h = 1000.0 / period;
        const double clockMhz = (f.width + blank) / period;
        minV = std::min<double>(minV, f.rate), maxV = std::max<double>(maxV, f.rate);
        minH = std::min(minH, h), maxH = std::max(maxH, h);
        maxClockMhz = std::max(maxClockMhz, clockMhz);
        any = true;
    }
};

// The rates of every timing the EDID lists: established and standard timings (where their
// timing is known), detailed timings of every block, and the video codes of the extensions.
Rates ListedRates(const Bytes& edid) {
    Rates r;
    for (int bit = 0; bit < kEstablishedTimingBits; ++bit)
        if (edid[35 + bit / 8] & (0x80 >> (bit % 8))) r.Add(EstablishedFormat(bit));
    for (int i = 38; i < 54; i += 2)
        r.Add(StandardTimingFormat(edid[i], edid[i + 1]));
    for (const int at : kDescriptors)
        if (const auto t = ReadDetailedTiming(&edid[at])) r.Add(*t);
    for (const int ext : CtaBlocks(edid)) {
        for (int p = ext + std::max<int>(edid[ext + 2], 4); p < TimingsEnd(edid, ext); p += 18)
            if (const auto t = ReadDetailedTiming(&edid[p])) r.Add(*t);
        const Collection c = ReadCollection(edid, ext);
        for (const auto& b : c.blocks) {
            if (IsVideoBlock(b))
                for (std::size_t i = 1; i < b.size(); ++i)
                    if (const auto t = VicTiming(SvdVic(b[i]))) r.Add(*t);
            if (IsVendor(b, kOuiHdmi) && b.size() > 8 && (b[8] & 0x20)) {
                // HDMI VICs follow the latency fields that byte 8 announces
                std::size_t p = 9 + ((b[8] & 0x80) ? 2 : 0) + ((b[8] & 0x40) ? 2 : 0) + 1;
                const std::size_t n = p < b.size() ? b[p] >> 5 : 0;
                for (std::size_t i = 0; i < n && p + 1 + i < b.size(); ++i)
                    if (const auto t = VicTiming(VicOfHdmiVic(b[p + 1 + i]))) r.Add(*t);
            }
        }
    }
    return r;
}

int RangeDescriptor(const Bytes& edid) {
    for (const int at : kDescriptors)
        if (IsDisplayDescriptor(edid, at) && edid[at + 3] == 0xFD) return at;
    return -1;
}

// One limit of the range descriptor: its byte and the offset flag that adds 255 (EDID 1.4:
// byte 4 bit 0 minimum vertical, bit 1 maximum vertical, bit 2 minimum horizontal, bit 3
// maximum horizontal).
struct Limit {
    int byte, flag;
};

void Widen(Bytes& edid, int at, Limit l, int wanted, bool lower, bool offsets) {
    const int flag = offsets ? (edid[at + 4] & l.flag) : 0;
    const int now = edid[at + l.byte] + (flag ? 255 : 0);
    const int value = lower ? std::min(now, wanted) : std::max(now, wanted);
    if (value == now) return;
    if (value > 255 && offsets) {
        edid[at + 4] |= static_cast<std::uint8_t>(l.flag);
        edid[at + l.byte] = static_cast<std::uint8_t>(value - 255);
    } else {
        edid[at + 4] &= static_cast<std::uint8_t>(~(offsets ? l.flag : 0));
        edid[at + l.byte] = static_cast<std::uint8_t>(std::clamp(value, 1, 255));
    }
}

} // namespace

// The range limits widened to hold every listed timing's rates and pixel clock; never narrowed.
Bytes RepairRangeLimits(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1) return out;
    const int at = RangeDescriptor(out);
    const Rates r = ListedRates(out);
    if (at < 0 || !r.any) return out;
    const bool offsets = out[18] == 1 && out[19] >= 4;
    Widen(out, at, {5, 0x01}, static_cast<int>(std::floor(r.minV)), true, offsets);
    Widen(out, at, {6, 0x02}, static_cast<int>(std::ceil(r.maxV)), false, offsets);
    Widen(out, at, {7, 0x04}, static_cast<int>(std::floor(r.minH)), true, offsets);
    Widen(out, at, {8, 0x08}, static_cast<int>(std::ceil(r.maxH)), false, offsets);
    const int clock = static_cast<int>(std::ceil(r.maxClockMhz / 10.0 - 1e-9));
    if (clock > out[at + 9]) out[at + 9] = static_cast<std::uint8_t>(std::min(clock, 255));
    return out;
}

// One native timing: the first detailed timing's. The extensions count one native detailed
// timing (none when the base block has no detailed timing, then the first native video code
// keeps its flag), and the video codes lose their native flags.
Bytes RepairNativeTimings(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1) return out;
    const bool dtd = !IsDisplayDescriptor(out, kDescriptors[0]);
    bool keepVic = !dtd;
    for (const int ext : CtaBlocks(out)) {
        out[ext + 3] = static_cast<std::uint8_t>((out[ext + 3] & 0xF0) | (dtd ? 1 : 0));
        Collection c = ReadCollection(out, ext);
        for (auto& b : c.blocks)
            if (IsVideoBlock(b))
                for (std::size_t i = 1; i < b.size(); ++i) {
                    if (!SvdNative(b[i])) continue;
                    if (!keepVic) b[i] &= 0x7F;
                    keepVic = false;
                }
        WriteCollection(out, ext, c);
    }
    return out;
}

// HDMI asks for EDID 1.3: a 1.4 EDID with an HDMI block says 1.3, and what 1.3 cannot say goes
// with it: the digital input's colour depth and interface (byte 20 bits 6-0) and the range
// limits' timing class (bare limits, CVT: the plain range limits). Range limits that need the
// 1.4 offsets (above 255 Hz or kHz) cannot be said in 1.3: then nothing changes.
Bytes RepairHdmiVersion(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1 || out[18] != 1 || out[19] <= 3) return out;
    bool hdmi = false;
    for (const int ext : CtaBlocks(out)) {
        const Collection c = ReadCollection(out, ext);
        hdmi = hdmi || std::any_of(c.blocks.begin(), c.blocks.end(),
                                   [](const Bytes& b) { return IsVendor(b, kOuiHdmi); });
    }
    const int range = RangeDescriptor(out);
    if (!hdmi || (range >= 0 && (out[range + 4] & 0x0F) != 0)) return out;
    out[19] = 3;
    if (out[20] & 0x80) out[20] = 0x80;
    if (range >= 0 && out[range + 10] != 0x00 && out[range + 10] != 0x02) {
        out[range + 10] = 0x00;
        out[range + 11] = 0x0A;
        std::fill(out.begin() + range + 12, out.begin() + range + 18, 0x20);
    }
    return out;
}

// A video capability block that says only "RGB quantization range selectable", added to the
// first extension without one where the padding has room for its three bytes.
Bytes RepairMissingVcdb(const Bytes& edid) {
    Bytes out = edid;
    for (const int ext : CtaBlocks(out)) {
        Collection c = ReadCollection(out, ext);
        const bool has = std::any_of(c.blocks.begin(), c.blocks.end(), [](const Bytes& b) {
            return IsExtended(b, kExtVideoCapability);
        });
        if (has || !c.whole) return out;
        c.blocks.push_back({0xE2, 0x00, 0x40});
        WriteCollection(out, ext, c);
        return out;
    }
    return out;
}

// The base block's serial number (bytes 12-15) is 0 when a serial number descriptor states it.
Bytes RepairSerialNumber(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1) return out;
    for (const int at : kDescriptors)
        if (IsDisplayDescriptor(out, at) && out[at + 3] == 0xFF) {
            std::fill(out.begin() + 12, out.begin() + 16, 0);
            break;
        }
    return out;
}

// The display size (bytes 21-22, cm) from the first detailed timing's image size (mm), rounded.
Bytes RepairImageSize(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1 || IsDisplayDescriptor(out, kDescriptors[0])) return out;
    const std::uint8_t* d = &out[kDescriptors[0]];
    const int hmm = d[12] | (d[14] & 0xF0) << 4;
    const int vmm = d[13] | (d[14] & 0x0F) << 8;
    if (hmm == 0 || vmm == 0) return out;
    out[21] = static_cast<std::uint8_t>(std::clamp((hmm + 5) / 10, 1, 255));
    out[22] = static_cast<std::uint8_t>(std::clamp((vmm + 5) / 10, 1, 255));
    return out;
}

} // namespace tavo::repair
