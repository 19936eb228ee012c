// The check's rules about the display descriptors' text and the CTA-861 extensions.
#include <algorithm>
#include <bitset>

#include "edid/CheckModel.h"
#include "edid/VideoFormats.h"

namespace tavo::check {
namespace {

constexpr Severity kFail = Severity::Failure;
constexpr Severity kWarn = Severity::Warning;

// What is wrong with a descriptor's 13 text bytes, "" when nothing.
std::string TextProblem(const Model& m, int at) {
    bool newline = false;
    for (int i = 0; i < 13; ++i) {
        const int c = m.At(at + i);
        if (newline) {
            // printable text after the line feed is ignored by sources; other bytes are not
            // the padding the line feed asks for
            if (c < 0x20 || c >= 0x7F) return "has bytes other than spaces after its line feed";
        } else if (c == 0x0A) {
            newline = true;
            if (i == 0) return "is empty";
            if (m.At(at + i - 1) == 0x20) return "ends in spaces";
        } else if (c < 0x20 || c >= 0x7F) {
            return "holds a character that cannot be shown (" + std::to_string(c) + ")";
        }
    }
    if (!newline && m.At(at + 12) == 0x20) return "ends in spaces";
    return {};
}

void DescriptorText(const Model& m, std::vector<Finding>& out) {
    for (int at = 54; at < 126; at += 18) {
        if (m.At(at) || m.At(at + 1)) continue;
        const int tag = m.At(at + 3);
        if (tag != 0xFC && tag != 0xFE && tag != 0xFF) continue;
        const std::string problem = TextProblem(m, at + 5);
        const char* what = tag == 0xFC   ? "The display product name"
                           : tag == 0xFF ? "The serial number text"
                                         : "The text descriptor";
        if (!problem.empty())
            Add(out, m, "descriptor-text", kFail, at, std::string(what) + " " + problem + ".");
    }
}

void EmptyDescriptors(const Model& m, std::vector<Finding>& out) {
    for (int at = 54; at < 126; at += 18) {
        bool zero = true;
        for (int i = 0; i < 18; ++i)
            zero = zero && !m.At(at + i);
        if (zero)
            Add(out, m, "empty-descriptor", kFail, at,
                "A descriptor is all zeroes; an unused descriptor should be a dummy descriptor "
                "(tag 0x10).");
    }
}

void Padding(const Model& m, const CtaExtension& e, std::vector<Finding>& out) {
    const int x = e.offset;
    const int start = m.At(x + 2);
    if (start < 4) return;
    int p = x + start;
    while (p + 18 <= x + 127) {
        bool zero = true;
        for (int i = 0; i < 18; ++i)
            zero = zero && !m.At(p + i);
        if (zero) break;
        p += 18;
    }
    for (int i = p; i < x + 127; ++i)
        if (m.At(i)) {
            Add(out, m, "padding", kFail, i,
                "The extension's unused bytes after its detailed timings are not all zero.");
            return;
        }
}

void DuplicateVics(const Model& m, std::vector<Finding>& out) {
    std::bitset<256> seen;
    for (const CtaBlock& b : m.ctaBlocks) {
        if (b.tag != 2) continue;
        for (int i = 1; i <= b.length; ++i) {
            int v = m.At(b.offset + i);
            if (v >= 129 && v <= 192) v &= 0x7F;
            if (seen.test(static_cast<std::size_t>(v)))
                Add(out, m, "duplicate-vic", kFail, b.offset,
                    "The video data block lists VIC " + std::to_string(v) + " twice.");
            seen.set(static_cast<std::size_t>(v));
        }
    }
}

// A source reads the video capability data block of the first extension: one that only a later
// extension carries comes too late.
void MissingVcdb(const Model& m, std::vector<Finding>& out) {
    if (!m.ctas.front().FindBlock(7, 0))
        Add(out, m, "missing-vcdb", kFail, m.cta,
            "The extension has no video capability data block, so a source cannot know whether "
            "the display takes full or limited range RGB.");
}

void Vcdb(const Model& m, const CtaExtension& e, std::vector<Finding>& out) {
    for (const CtaBlock& v : e.blocks) {
        if (v.tag != 7 || v.extendedTag != 0 || v.length < 2) continue;
        const int b = m.At(v.offset + 2);
        if (!(b & 0x40))
            Add(out, m, "vcdb-quantization", kFail, v.offset,
                "The video capability data block does not say that RGB quantization range can "
                "be selected.");
        const bool ycbcr = m.At(e.offset + 3) & 0x30;
        if (!(b & 0x80) && ycbcr)
            Add(out, m, "vcdb-quantization", kWarn, v.offset,
                "The video capability data block does not say that YCbCr quantization range can "
                "be selected.");
    }
}

void Overscan(const Model& m, const CtaExtension& e, std::vector<Finding>& out) {
    if (m.At(e.offset + 1) >= 2 && !(m.At(e.offset + 3) & 0x80))
        Add(out, m, "it-overscan", kWarn, e.offset + 3,
            "The extension says IT video formats are overscanned by default; they should be "
            "underscanned.");
}

void Colorimetry(const Model& m, const CtaExtension& e, std::vector<Finding>& out) {
    for (const CtaBlock& c : e.blocks)
        if (c.tag == 7 && c.extendedTag == 5 && c.length >= 3 && (m.At(c.offset + 3) & 0x0F))
            Add(out, m, "colorimetry-reserved", kFail, c.offset,
                "The colorimetry data block sets reserved metadata bits (MD0-MD3).");
}

void NativeTimings(const Model& m, std::vector<Finding>& out) {
    std::vector<std::pair<int, int>> native; // progressive native timings: width, height
    const int count = m.At(m.cta + 1) >= 2 ? m.At(m.cta + 3) & 0x0F : 0;
    for (int i = 0; i < count && i < static_cast<int>(m.dtds.size()); ++i) {
        const auto t = ReadDetailedTiming(m.bytes.data() + m.dtds[i]);
        if (t && !t->format.interlaced) native.emplace_back(t->format.width, t->format.height);
    }
    for (const CtaBlock& b : m.ctaBlocks)
        if (b.tag == 2)
            for (int i = 1; i <= b.length; ++i) {
                const int v = m.At(b.offset + i);
                const auto f = v >= 129 && v <= 192 ? VicFormat(v & 0x7F) : std::nullopt;
                if (f && !f->interlaced) native.emplace_back(f->width, f->height);
            }
    if (native.size() < 2) return;
    const bool mixed = std::any_of(native.begin(), native.end(),
                                   [&](const auto& n) { return n != native.front(); });
    Add(out, m, "native-timings", mixed ? kFail : kWarn, m.cta + 3,
        mixed ? "The native progressive timings have different resolutions: a source cannot "
                "tell which is the panel's own."
              : "Several native progressive timings are given.");
}

void RequiredTimings(const Model& m, std::vector<Finding>& out) {
    const auto& vics = m.vics;
    if (!(m.At(35) & 0x20) && std::find(vics.begin(), vics.end(), 1) == vics.end())
        Add(out, m, "required-timings", kFail, 35,
            "Neither the established timings nor the video codes list 640x480 at 60 Hz (VIC 1), "
            "which every display must take.");
}

// The HDMI VICs of the HDMI block, and where they are.
std::vector<int> HdmiVics(const Model& m, const CtaBlock& h) {
    std::vector<int> out;
    const int p = h.offset + 1;
    if (h.length < 8) return out;
    const int flags = m.At(p + 7);
    int at = p + 8;
    if (flags & 0x80) at += 2;
    if (flags & 0x40) at += 2;
    if (!(flags & 0x20) || at + 1 > h.offset + h.length) return out;
    const int count = m.At(at + 1) >> 5;
    for (int i = 0; i < count && at + 2 + i <= h.offset + h.length; ++i)
        out.push_back(m.At(at + 2 + i));
    return out;
}

void Hdmi(const Model& m, const CtaBlock& h, std::vector<Finding>& out) {
    if (m.minor != 3)
        Add(out, m, "hdmi-version", kFail, h.offset,
            "HDMI asks for EDID 1.3, but this EDID is version 1." + std::to_string(m.minor) + ".");
    if (h.length >= 7 && m.At(h.offset + 7) * 5 > 340)
        Add(out, m, "hdmi-tmds", kFail, h.offset,
            "The HDMI block claims a " + std::to_string(m.At(h.offset + 7) * 5) +
                " MHz TMDS clock; it may claim at most 340 MHz (higher rates belong in the HDMI "
                "Forum block).");
    const auto& vics = m.vics;
    for (int hv : HdmiVics(m, h)) {
        const int vic = VicOfHdmiVic(hv);
        if (vic && std::find(vics.begin(), vics.end(), vic) == vics.end())
            Add(out, m, "hdmi-vic-equivalent", kFail, h.offset,
                "The HDMI block lists HDMI VIC " + std::to_string(hv) +
                    ", but the video data block lacks its equivalent VIC " + std::to_string(vic) +
                    ".");
    }
}

void HdmiForum(const Model& m, const CtaBlock& f, std::vector<Finding>& out) {
    if (f.length < 5) return;
    const int rate = m.At(f.offset + 5) * 5;
    if (rate && (rate <= 340 || rate > 600))
        Add(out, m, "hf-tmds", kFail, f.offset,
            "The HDMI Forum block claims a " + std::to_string(rate) +
                " MHz TMDS character rate; it must be above 340 and at most 600 MHz (or 0).");
}

} // namespace

void CheckDescriptors(const Model& m, std::vector<Finding>& out) {
    DescriptorText(m, out);
    EmptyDescriptors(m, out);
}

// Each extension is checked on its own; video codes count over all of them (a code listed twice,
// in one extension or two, is a duplicate; 640x480 may be listed in any).
void CheckCta(const Model& m, std::vector<Finding>& out) {
    if (m.ctas.empty()) return;
    for (const CtaExtension& e : m.ctas)
        Padding(m, e, out);
    DuplicateVics(m, out);
    MissingVcdb(m, out);
    for (const CtaExtension& e : m.ctas) {
        Vcdb(m, e, out);
        Overscan(m, e, out);
        Colorimetry(m, e, out);
    }
    NativeTimings(m, out);
    RequiredTimings(m, out);
}

void CheckHdmi(const Model& m, std::vector<Finding>& out) {
    for (const CtaBlock& b : m.ctaBlocks) {
        if (b.tag != 3) continue;
        if (b.oui == kOuiHdmi) Hdmi(m, b, out);
        if (b.oui == kOuiHdmiForum) HdmiForum(m, b, out);
    }
}

} // namespace tavo::check
