// The named repairs: each changes a claim of the EDID, so they run only when the operator names
// them. None adds a format, an audio or colour capability, or a clock the EDID does not list.
#include <algorithm>
#include <cmath>
#include <optional>

#include "edid/CheckModel.h"
#include "edid/RepairRules.h"
#include "edid/VideoFormats.h"

namespace tavo::repair {
namespace {

// The lowest and highest rates and the highest pixel clock of the listed timings, as the check
// collects them (established, standard, detailed, video codes, HDMI VICs).
struct Rates {
    double minV = 1e9, maxV = 0, minH = 1e9, maxH = 0;
    int maxClockKhz = 0;
    bool any = false;
};

Rates ListedRates(const Bytes& edid) {
    Rates r;
    const check::Model model = check::BuildModel(edid);
    for (const auto& t : model.timings) {
        if (t.refreshHz <= 0 || t.hFreqKhz <= 0) continue;
        r.minV = std::min(r.minV, t.refreshHz), r.maxV = std::max(r.maxV, t.refreshHz);
        r.minH = std::min(r.minH, t.hFreqKhz), r.maxH = std::max(r.maxH, t.hFreqKhz);
        r.maxClockKhz = std::max(r.maxClockKhz, t.pixelClockKhz);
        r.any = true;
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

// The range limits widened to hold every listed timing's rates and pixel clock, where the check
// finds one outside (half a Hz or kHz of rounding allowed, as it allows); never narrowed.
Bytes RepairRangeLimits(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1) return out;
    const int at = RangeDescriptor(out);
    const Rates r = ListedRates(out);
    if (at < 0 || !r.any) return out;
    const bool offsets = out[18] == 1 && out[19] >= 4;
    const auto limit = [&](Limit l) {
        return out[at + l.byte] + (offsets && (out[at + 4] & l.flag) ? 255 : 0);
    };
    const Limit minV{5, 0x01}, maxV{6, 0x02}, minH{7, 0x04}, maxH{8, 0x08};
    if (r.minV + 0.5 < limit(minV))
        Widen(out, at, minV, static_cast<int>(std::floor(r.minV)), true, offsets);
    // a maximum of 0 (and before EDID 1.4 a horizontal one of 255) reads as none: left
    if (limit(maxV) != 0 && r.maxV >= limit(maxV) + 0.5)
        Widen(out, at, maxV, static_cast<int>(std::ceil(r.maxV)), false, offsets);
    if (r.minH + 0.5 < limit(minH))
        Widen(out, at, minH, static_cast<int>(std::floor(r.minH)), true, offsets);
    if (limit(maxH) != 0 && (offsets || limit(maxH) != 255) && r.maxH >= limit(maxH) + 0.5)
        Widen(out, at, maxH, static_cast<int>(std::ceil(r.maxH)), false, offsets);
    const int clock = (r.maxClockKhz + 9999) / 10000;
    if (out[at + 9] && clock > out[at + 9])
        out[at + 9] = static_cast<std::uint8_t>(std::min(clock, 255));
    return out;
}

namespace {

// How many progressive native timings the first extension names, as the check counts them: the
// detailed timings its byte 3 counts, and the video codes with the native flag.
int NativeCount(const Bytes& edid) {
    const check::Model m = check::BuildModel(edid);
    if (m.cta < 0) return 0;
    int natives = 0;
    const int count = m.At(m.cta + 1) >= 2 ? m.At(m.cta + 3) & 0x0F : 0;
    for (int i = 0; i < count && i < static_cast<int>(m.dtds.size()); ++i) {
        const auto t = ReadDetailedTiming(edid.data() + m.dtds[i]);
        natives += t && !t->format.interlaced;
    }
    for (const auto& b : m.ctaBlocks)
        for (int i = 1; b.tag == 2 && i <= b.length; ++i) {
            const std::uint8_t svd = m.At(b.offset + i);
            const auto f = SvdNative(svd) ? VicFormat(SvdVic(svd)) : std::nullopt;
            natives += f && !f->interlaced;
        }
    return natives;
}

} // namespace

// One native timing, the first detailed timing's, where the extension names several: it counts
// one native detailed timing (none when the base block has no detailed timing, then the first
// native video code keeps its flag), and the video codes lose their native flags.
Bytes RepairNativeTimings(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1 || NativeCount(out) < 2) return out;
    const bool dtd = !IsDisplayDescriptor(out, kDescriptors[0]);
    bool keepVic = !dtd;
    for (const int ext : CtaBlocks(out)) {
        out[ext + 3] = static_cast<std::uint8_t>((out[ext + 3] & 0xF0) | (dtd ? 1 : 0));
        Collection c = ReadCollection(out, ext);
        for (auto& b : c.blocks)
            for (std::size_t i = 1; IsVideoBlock(b) && i < b.size(); ++i) {
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
// limits' timing class (bare limits, CVT: the plain range limits). Range limits whose maximum
// needs the 1.4 offsets (above 255 Hz or kHz) cannot be said in 1.3: then nothing changes.
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
    // a maximum above 255 Hz or kHz (the range limits repair only ever adds one)
    if (!hdmi || (range >= 0 && (out[range + 4] & 0x0A) != 0)) return out;
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

// The base block's serial number (bytes 12-15) is 0 when a serial number descriptor (in the base
// block or an extension) states it, in an EDID with a CTA-861 extension (where readers compare
// the two).
Bytes RepairSerialNumber(const Bytes& edid) {
    Bytes out = edid;
    if (CtaBlocks(out).empty()) return out;
    for (const int at : DescriptorSlots(out))
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
