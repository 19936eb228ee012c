#include "workspace/CreatorLoss.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

#include "workspace/CreatorRebuild.h"

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
        Push(IsAddition(d), {}, detail);
    }

    // Members of one list (video codes removed: 102, 101) as one change.
    void AddList(const std::vector<Difference>& members) {
        const Difference& first = members.front();
        std::string codes;
        for (const auto& m : members)
            codes += (codes.empty() ? "" : ", ") + m.detail;
        std::string words = PartWords(first.part);
        if (words.empty()) words = first.part;
        if (first.what.starts_with("native flags"))
            words = "native format flag of " + words + " (VIC " + codes + ")";
        else
            words += " (VIC " + codes + ")";
        Push(IsAddition(first), words, first.part + ": " + first.what + ": " + codes);
    }

    void Push(bool added, std::string words, std::string detail) {
        out_.push_back({added, std::move(words), std::move(detail)});
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

std::string LossQuestion(const std::vector<BuildChange>& changes) {
    std::string lost, gained;
    for (const auto& c : changes)
        (c.added ? gained : lost) += "\n" + c.Line();
    std::string out;
    if (!lost.empty()) out = "This EDID will lose:" + lost;
    if (!gained.empty()) out += (out.empty() ? "This EDID will gain:" : "\nIt will gain:") + gained;
    return out;
}

} // namespace tavo::creator
