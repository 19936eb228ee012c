#include "workspace/creator/CreatorLoss.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/VideoFormats.h"
#include "edid/WholeDiff.h"
#include "workspace/creator/CreatorRebuild.h"

namespace tavo::creator {
namespace {

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // " → "

// "0x7F → 0x1F" as its two bytes.
bool ByteChange(const std::string& detail, unsigned& from, unsigned& to) {
    const auto arrow = detail.find(kArrow);
    if (arrow == std::string::npos) return false;
    return std::sscanf(detail.c_str(), "0x%2X", &from) == 1 &&
           std::sscanf(detail.c_str() + arrow + kArrow.size(), "0x%2X", &to) == 1;
}

// "a", "a and b", "a, b and c"
std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
        out += items[i];
    }
    return out;
}

// The names of the bits set in `bits`, bit 0 first.
std::vector<std::string> BitNames(unsigned bits, const std::vector<const char*>& names) {
    std::vector<std::string> out;
    for (std::size_t b = 0; b < names.size(); ++b)
        if (bits & (1u << b)) out.emplace_back(names[b]);
    return out;
}

const std::vector<const char*> kRates = {"32", "44.1", "48", "88.2", "96", "176.4", "192"};
const std::vector<const char*> kSampleSizes = {"16-bit", "20-bit", "24-bit"};

// A data block (or other part) as the page and an operator call it; empty for none.
std::string PartWords(const std::string& part) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"HDMI Forum Vendor-Specific Data Block",
         "HDMI Forum block (SCDC, TMDS rate, 4:2:0 deep colour)"},
        {"HDMI Vendor-Specific Data Block", "HDMI block (CEC address, deep colour, 3D, 4K codes)"},
        {"YCbCr 4:2:0 Capability Map Data Block", "YCbCr 4:2:0 capability map"},
        {"YCbCr 4:2:0 Video Data Block", "YCbCr 4:2:0 video formats"},
        {"HDR Static Metadata Data Block", "HDR (EOTFs, luminance)"},
        {"Colorimetry Data Block", "colorimetry"},
        {"Video Capability Data Block", "video capability (quantisation ranges)"},
        {"Speaker Allocation Data Block", "speaker allocation"},
        {"Audio Data Block", "audio"},
        {"Video Data Block", "video formats"},
        {"Extension Detailed Timing Descriptor", "a detailed timing of the extension"},
        {"Vendor-Specific Data Block", "another maker's vendor block"},
    };
    for (const auto& [name, words] : kNames)
        if (part.starts_with(name)) return words;
    return {};
}

bool IsAddition(const Difference& d) {
    return d.what == "added" || d.what.ends_with(" added");
}

// A part as the page calls it when something inside it changes; the part's own name otherwise.
std::string PartShort(const std::string& part) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"HDMI Forum Vendor-Specific Data Block", "HDMI Forum block"},
        {"HDMI Vendor-Specific Data Block", "HDMI block"},
        {"YCbCr 4:2:0 Capability Map Data Block", "YCbCr 4:2:0 capability map"},
        {"YCbCr 4:2:0 Video Data Block", "YCbCr 4:2:0 video formats"},
        {"HDR Static Metadata Data Block", "HDR"},
        {"Colorimetry Data Block", "colorimetry"},
        {"Video Capability Data Block", "video capability"},
        {"Speaker Allocation Data Block", "speaker allocation"},
        {"Audio Data Block", "audio"},
        {"Video Data Block", "video formats"},
    };
    for (const auto& [name, words] : kNames)
        if (part.starts_with(name)) return words;
    return part;
}

// A flag of the block map's field lists in plain words.
std::string FlagWords(const std::string& flag) {
    static const std::pair<const char*, const char*> kWords[] = {
        {"Supports_AI", "audio content and ISRC packets (Supports_AI)"},
        {"DC_48bit", "48-bit deep colour"},
        {"DC_36bit", "36-bit deep colour"},
        {"DC_30bit", "30-bit deep colour"},
        {"DC_Y444", "deep colour in YCbCr 4:4:4"},
        {"DVI_Dual", "dual-link DVI"},
        {"SCDC_Present", "SCDC"},
        {"RR_Capable", "SCDC read requests"},
        {"CABLE_STATUS", "cable status"},
        {"CCBPCI", "colour depth indication"},
        {"LTE_340Mcsc_scramble", "scrambling at 340 MHz and below"},
        {"3D_Independent_View", "3D independent view"},
        {"3D_Dual_View", "3D dual view"},
        {"3D_OSD_Disparity", "3D OSD disparity"},
        {"UHD_VIC", "4K formats sent by their video codes (UHD VIC)"},
        {"DC_48bit_420", "48-bit deep colour in 4:2:0"},
        {"DC_36bit_420", "36-bit deep colour in 4:2:0"},
        {"DC_30bit_420", "30-bit deep colour in 4:2:0"},
        {"BT2020RGB", "BT.2020 RGB"},
        {"BT2020YCC", "BT.2020 YCbCr"},
        {"BT2020cYCC", "BT.2020 constant-luminance YCbCr"},
        {"opRGB", "opRGB"},
        {"opYCC601", "opYCC 601"},
        {"sYCC601", "sYCC 601"},
        {"xvYCC709", "xvYCC 709"},
        {"xvYCC601", "xvYCC 601"},
    };
    for (const auto& [name, words] : kWords)
        if (flag == name) return words;
    std::string out = flag;
    std::replace(out.begin(), out.end(), '_', ' ');
    return out;
}

// The fields of the block map whose value is a list of flags ("DC_36bit, DC_30bit" or "none").
bool IsFlagField(const std::string& field) {
    return field == "deep colour" || field == "features" || field == "4:2:0 deep colour" ||
           field == "gaming features" || field == "colorimetry" || field == "speakers" ||
           field == "EOTFs";
}

std::vector<std::string> Split(const std::string& text, const std::string& between) {
    std::vector<std::string> out;
    if (text == "none" || text.empty() || text == "(absent)") return out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(between, start);
        out.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return out;
        start = end + between.size();
    }
}

// The names of `a` that `b` lacks.
std::vector<std::string> Without(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b) {
    std::vector<std::string> out;
    for (const auto& x : a)
        if (std::find(b.begin(), b.end(), x) == b.end()) out.push_back(x);
    return out;
}

// A video format as an operator reads it: "3840x2160p60"; the code itself when it is unknown.
std::string VicWords(int vic) {
    const auto f = VicFormat(vic);
    if (!f) return "video code " + std::to_string(vic);
    return std::to_string(f->width) + "x" + std::to_string(f->height) +
           (f->interlaced ? "i" : "p") + std::to_string(f->rate);
}

std::vector<std::string> VicList(const std::vector<int>& vics) {
    std::vector<std::string> out;
    for (int v : vics)
        out.push_back(VicWords(v));
    return out;
}

// One short audio descriptor's byte, in the terms of the audio panels: the rates, sizes,
// channels or bit rate that go (`lost`) or come (!`lost`).
std::string AudioByteWords(const std::string& format, int byte, unsigned from, unsigned to,
                           bool lost) {
    const unsigned gone = from & ~to, come = to & ~from;
    const unsigned bits = lost ? gone : come;
    switch (byte) {
    case 1:
        if (((from ^ to) & 7) != 0 && lost)
            return format + ": " + std::to_string((from & 7) + 1) + " channels" +
                   std::string(kArrow) + std::to_string((to & 7) + 1);
        return {};
    case 2:
        if ((bits & 0x7F) == 0) return {};
        return format + ": " + Joined(BitNames(bits, kRates)) + " kHz";
    case 3:
        if (format.starts_with("L-PCM")) {
            if ((bits & 7) == 0) return {};
            return format + ": " + Joined(BitNames(bits, kSampleSizes)) + " samples";
        }
        if (!lost) return {};
        // formats 2-8 give a maximum bit rate in 8 kbit/s units, the others details of their own
        for (const std::string name : {"AC-3", "MPEG-1", "MP3", "MPEG-2", "AAC LC", "DTS", "ATRAC"})
            if (format == name || format.starts_with(name + " "))
                return format + ": maximum bit rate " + std::to_string(from * 8) +
                       std::string(kArrow) + std::to_string(to * 8) + " kbit/s";
        return format + ": format details";
    default:
        return {};
    }
}

class Changes {
public:
    explicit Changes(std::vector<BuildChange>& out) : out_(out) {}

    void Add(const Difference& d) {
        const std::string detail = DifferenceTexts({d}).front();
        // a short audio descriptor's byte: what goes and what comes, each in its own words
        if (const auto at = d.what.find(" descriptor, byte "); at != std::string::npos) {
            unsigned from = 0, to = 0;
            const std::string format = d.what.substr(0, at);
            const int byte = std::atoi(d.what.c_str() + at + 18);
            if (ByteChange(d.detail, from, to)) {
                const std::string lost = AudioByteWords(format, byte, from, to, true);
                const std::string gained = AudioByteWords(format, byte, from, to, false);
                if (!lost.empty()) Push(false, lost, detail);
                if (!gained.empty()) Push(true, gained, detail);
                if (!lost.empty() || !gained.empty()) return;
            }
            Push(false, format + " audio", detail);
            return;
        }
        if (d.what.ends_with(" descriptor removed") || d.what.ends_with(" descriptor added")) {
            const std::string format = d.what.substr(0, d.what.find(" descriptor "));
            Push(IsAddition(d), format + " audio", detail);
            return;
        }
        if (d.what == "removed" || d.what == "added") {
            Push(IsAddition(d), PartWords(d.part), detail);
            return;
        }
        // the same video codes in another order: nothing goes or comes
        if (d.what == "order of video codes changed") {
            Push(false, "the order of the " + PartShort(d.part), detail, true);
            return;
        }
        const std::string part = PartShort(d.part);
        // a byte, or a field of one byte's flags: the bits set are gained, those cleared lost
        unsigned from = 0, to = 0;
        if (ByteChange(d.detail, from, to)) {
            AddBits(part + ": " + d.what, from, to, detail);
            return;
        }
        const auto arrow = d.detail.find(kArrow);
        if (arrow != std::string::npos) {
            const std::string a = d.detail.substr(0, arrow);
            const std::string b = d.detail.substr(arrow + kArrow.size());
            if (AddField(part, d.what, a, b, detail)) return;
        }
        // "maximum TMDS clock 340 → 225 MHz": more is a gain, less a loss
        if (const auto at = d.what.find(kArrow); at != std::string::npos && at > 0) {
            const auto space = d.what.rfind(' ', at - 1);
            const char* first = d.what.c_str() + (space == std::string::npos ? 0 : space + 1);
            const char* second = d.what.c_str() + at + kArrow.size();
            char* endA = nullptr;
            char* endB = nullptr;
            const double a = std::strtod(first, &endA), b = std::strtod(second, &endB);
            if (endA == d.what.c_str() + at && endB != second && *endB == ' ') {
                Push(b > a, part + ": " + d.what, detail);
                return;
            }
        }
        Push(IsAddition(d), {}, detail);
    }

    // A byte-wide field or byte from `from` to `to`: bits set are a gain, bits cleared a loss.
    void AddBits(const std::string& what, unsigned from, unsigned to, const std::string& detail) {
        const bool sets = (to & ~from) != 0, clears = (from & ~to) != 0;
        const char* how = sets && clears ? " changed" : sets ? ", a flag set" : ", a flag cleared";
        Push(sets && !clears, what + how, detail, sets && clears);
    }

    // A field of a part from `a` to `b`, said in words; false when it has none of its own.
    bool AddField(const std::string& part, const std::string& field, const std::string& a,
                  const std::string& b, const std::string& detail) {
        if ((a == "no" && b == "yes") || (a == "yes" && b == "no")) {
            Push(b == "yes", part + ": " + field, detail);
            return true;
        }
        if (field == "HDMI VICs") { // the HDMI block's 4K formats, by their format
            std::vector<int> va, vb;
            for (const auto& v : Split(a, " "))
                va.push_back(VicOfHdmiVic(std::atoi(v.c_str())));
            for (const auto& v : Split(b, " "))
                vb.push_back(VicOfHdmiVic(std::atoi(v.c_str())));
            std::vector<int> gone, come;
            for (int v : va)
                if (std::find(vb.begin(), vb.end(), v) == vb.end()) gone.push_back(v);
            for (int v : vb)
                if (std::find(va.begin(), va.end(), v) == va.end()) come.push_back(v);
            if (!gone.empty()) Push(false, "4K video formats " + Joined(VicList(gone)), detail);
            if (!come.empty()) Push(true, "4K video formats " + Joined(VicList(come)), detail);
            if (gone.empty() && come.empty())
                Push(false, "the order of the " + part + "'s 4K video formats", detail, true);
            return true;
        }
        if (IsFlagField(field)) {
            const auto fa = Split(a, ", "), fb = Split(b, ", ");
            auto words = [&](const std::vector<std::string>& flags) {
                std::vector<std::string> out;
                for (const auto& f : flags)
                    out.push_back(field == "speakers" ? "speakers " + f : FlagWords(f));
                return part + ": " + Joined(out);
            };
            const auto gone = Without(fa, fb), come = Without(fb, fa);
            if (!gone.empty()) Push(false, words(gone), detail);
            if (!come.empty()) Push(true, words(come), detail);
            return !gone.empty() || !come.empty();
        }
        if (a == "(absent)" || b == "(absent)") {
            Push(a == "(absent)", part + ": " + field, detail);
            return true;
        }
        return false;
    }

    // Members of one list (video codes removed: 102, 101) as one change, each code named by
    // its format.
    void AddList(const std::vector<Difference>& members) {
        const Difference& first = members.front();
        std::string codes;
        std::vector<int> vics;
        for (const auto& m : members) {
            codes += (codes.empty() ? "" : ", ") + m.detail;
            vics.push_back(std::atoi(m.detail.c_str()));
        }
        std::string words = PartWords(first.part);
        if (words.empty()) words = first.part;
        const std::string formats = Joined(VicList(vics));
        if (first.what.starts_with("native flags"))
            words = "the native format flag of " + formats;
        else if (first.part.starts_with("YCbCr 4:2:0"))
            words = "YCbCr 4:2:0 of " + formats;
        else
            words = "video formats " + formats;
        Push(IsAddition(first), words, first.part + ": " + first.what + ": " + codes);
    }

    void Push(bool added, std::string words, std::string detail, bool changed = false) {
        out_.push_back({added && !changed, std::move(words), std::move(detail), changed});
    }

private:
    std::vector<BuildChange>& out_;
};

// The data blocks and timings of the opened extension, in the page's words.
std::string ExtensionContents(const EdidImage& opened) {
    std::vector<std::string> items;
    auto add = [&](const std::string& item) {
        if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
    };
    for (const auto& p : MapBlocks(opened)) {
        if (p.offset < 128) continue;
        if (p.kind == PartKind::DetailedTiming) add("detailed timings");
        if (!p.IsDataBlock()) continue;
        switch (p.tag) {
        case 1:
            add("audio");
            break;
        case 2:
            add("video codes");
            break;
        case 4:
            add("speakers");
            break;
        case 3:
            add(p.name.starts_with("HDMI Forum") ? "HDMI Forum block"
                : p.name.starts_with("HDMI")     ? "HDMI block"
                                                 : "vendor block");
            break;
        default:
            if (p.extendedTag == 6) add("HDR");
            if (p.extendedTag == 5) add("colorimetry");
            if (p.extendedTag == 14 || p.extendedTag == 15) add("YCbCr 4:2:0");
            if (p.extendedTag == 0) add("video capability");
            break;
        }
    }
    return items.empty() ? std::string("its header") : Joined(items);
}

// Whether a difference is about the extension (its parts are named after the opened map's).
bool InExtension(const Difference& d, const EdidImage& opened) {
    if (d.part == "CTA-861 Extension Block" || d.part.starts_with("Extension")) return true;
    for (const auto& p : MapBlocks(opened))
        if (p.offset >= 128 && p.kind != PartKind::Checksum && d.part.starts_with(p.name))
            return true;
    return false;
}

} // namespace

std::string BuildChange::Line() const {
    return words.empty() ? detail : words + " (" + detail + ")";
}

std::string BuildChange::Said() const {
    if (!words.empty()) return words;
    // the detail up to its values: "Descriptor 4: name" of "Descriptor 4: name: A → B"
    std::string said = detail;
    if (const auto arrow = said.find(kArrow); arrow != std::string::npos) {
        const auto colon = said.rfind(": ", arrow);
        said = colon == std::string::npos ? said.substr(0, arrow) : said.substr(0, colon);
    }
    return said;
}

std::vector<BuildChange> BuildChanges(const EdidImage& opened, const EdidImage& unedited,
                                      const EdidImage& built) {
    const auto byCreator = DiffImages(opened, unedited);
    auto kept = DiffImages(opened, built);
    std::erase_if(kept, [&](const Difference& d) {
        return d.structural || std::find(byCreator.begin(), byCreator.end(), d) == byCreator.end();
    });

    std::vector<BuildChange> out;
    Changes changes(out);
    // saved as DVI: the extension goes as a whole
    const bool extensionGone = std::any_of(kept.begin(), kept.end(), [](const Difference& d) {
        return d.part == "CTA-861 Extension Block" && d.what == "removed";
    });
    if (extensionGone) {
        changes.Push(false,
                     "the whole CTA extension (" + ExtensionContents(opened) +
                         ") because the EDID is saved as DVI",
                     "CTA-861 Extension Block: removed");
        std::erase_if(kept, [&](const Difference& d) { return InExtension(d, opened); });
    }
    std::map<std::pair<std::string, std::string>, std::vector<Difference>> lists;
    for (const auto& d : kept)
        if (d.listItem) lists[{d.part, d.what}].push_back(d);
    for (const auto& d : kept) {
        if (!d.listItem) {
            changes.Add(d);
            continue;
        }
        const auto it = lists.find({d.part, d.what});
        if (it == lists.end()) continue; // said with the list's first member
        changes.AddList(it->second);
        lists.erase(it);
    }
    return out;
}

std::vector<BuildChange> BuildChanges(const EdidImage& opened, const EdidImage& built,
                                      const CalendarDate& today) {
    EdidImage unedited;
    if (!Rebuild(opened, today, unedited)) return {};
    return BuildChanges(opened, unedited, built);
}

std::vector<BuildChange> BuildChanges(std::span<const std::uint8_t> opened, const EdidImage& built,
                                      const CalendarDate& today) {
    EdidImage two{};
    if (!ImageOfLargerEdid(opened, two))
        return BuildChanges(ImageFromBytes(opened.data(), opened.size()), built, today);
    std::vector<BuildChange> out = BuildChanges(two, built, today);
    const EdidBlocks blocks = ReadEdidBlocks(opened);
    // the base block's and the first CTA-861 extension's losses are said above; without a
    // CTA-861 extension the base block alone was opened
    const int kept = blocks.FirstCta() ? blocks.FirstCta()->index : 0;
    for (const EdidBlock& blk : blocks.blocks) {
        if (blk.index == 0 || blk.index == kept) continue;
        const Difference d = BlockDifference(opened, blk.index, "removed");
        BuildChange c;
        c.words = d.detail.empty() ? d.part : d.part + ": " + d.detail;
        c.detail = d.part + ": " + d.what;
        out.push_back(std::move(c));
    }
    return out;
}

std::string LossQuestion(const std::vector<BuildChange>& changes) {
    std::string lost, gained, changed;
    for (const auto& c : changes)
        (c.changed ? changed : c.added ? gained : lost) += "\n" + c.Said();
    std::string out;
    if (!lost.empty()) out = "This EDID will lose:" + lost;
    if (!gained.empty()) out += (out.empty() ? "This EDID will gain:" : "\nIt will gain:") + gained;
    if (!changed.empty())
        out += (out.empty() ? "This EDID will change:" : "\nIt will change:") + changed;
    return out;
}

} // namespace tavo::creator
