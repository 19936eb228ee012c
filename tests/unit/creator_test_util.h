#pragma once
// Helpers for the creator tests: images made from the built-in template's base block and a
// chosen data block collection, and a fixed date.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "edid/BlockMap.h"
#include "edid/EdidDiff.h"
#include "edid/EdidImage.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/creator/CreatorLoad.h"

namespace creator_test {

// Wednesday of week 15 of 2015, the template's own week.
inline constexpr tavo::creator::CalendarDate kTemplateWeek{2015, 4, 8};

inline void FixChecksum(tavo::EdidImage& img, int bank) {
    const int base = bank * 128;
    unsigned s = 0;
    for (int i = base; i < base + 127; ++i)
        s += img[i];
    img[base + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

inline void FixChecksums(tavo::EdidImage& img) {
    FixChecksum(img, 0);
    if (img[126] == 1) FixChecksum(img, 1);
}

// The template's base block and extension header with `blocks` as the data block collection and
// no detailed timing descriptors.
inline tavo::EdidImage WithBlocks(const std::vector<std::uint8_t>& blocks,
                                  std::uint8_t byte3 = 0x71) {
    tavo::EdidImage img = tavo::NewEdidTemplate();
    std::fill(img.begin() + 128, img.end(), 0);
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] = static_cast<std::uint8_t>(4 + blocks.size());
    img[131] = byte3;
    std::copy(blocks.begin(), blocks.end(), img.begin() + 132);
    FixChecksums(img);
    return img;
}

namespace detail {

constexpr std::string_view kArrow = " \xE2\x86\x92 ";

inline bool Hex(const std::string& text, unsigned& v) {
    char tail = 0;
    return std::sscanf(text.c_str(), "0x%x%c", &v, &tail) == 1;
}

inline bool Number(const std::string& text, double& v) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%lf%c", &v, &tail) == 1;
}

// The members of a list value: "DC_30bit, DC_36bit" or "16 31 4" (native marks dropped).
inline std::set<std::string> Members(const std::string& text) {
    std::set<std::string> out;
    std::string item;
    std::istringstream in(text);
    while (in >> item) {
        while (!item.empty() && (item.back() == ',' || item.back() == '*'))
            item.pop_back();
        if (!item.empty() && item != "none") out.insert(item);
    }
    return out;
}

// Whether a value changing from `from` to `to` claims more: a flag set, a bit set, a number
// raised, a member added to a list, a field that was absent.
inline bool ValueGains(const std::string& from, const std::string& to) {
    if (from == "(absent)") return to != "no" && to != "none" && to != "0" && to != "0x00";
    if (to == "(absent)") return false;
    if (from == "no" || from == "yes") return from == "no" && to == "yes";
    unsigned hf = 0, ht = 0;
    if (Hex(from, hf) && Hex(to, ht)) return (ht & ~hf) != 0;
    double nf = 0, nt = 0;
    if (Number(from, nf) && Number(to, nt)) return nt > nf;
    const auto a = Members(from), b = Members(to);
    return std::any_of(b.begin(), b.end(), [&](const std::string& m) { return !a.count(m); });
}

} // namespace detail

// What `built` claims that `opened` does not, in the semantic diff's terms: a part or a list
// member added, a flag or bit set, a clock or rate raised, a short audio descriptor's channels,
// rates or sizes extended.
inline std::vector<std::string> ClaimsAdded(const tavo::EdidImage& opened,
                                            const tavo::EdidImage& built) {
    using detail::kArrow;
    std::vector<std::string> out;
    // the standard timings are a set: a timing moved to another entry is no new claim
    auto timings = [](const tavo::EdidImage& image) {
        std::set<std::string> set;
        for (const auto& part : tavo::MapBlocks(image))
            if (part.name == "Standard Timings")
                for (const auto& f : tavo::PartFields(image, part))
                    if (f.value != "unused") set.insert(f.value);
        return set;
    };
    const auto before = timings(opened);
    for (const auto& t : timings(built))
        if (!before.count(t)) out.push_back("Standard Timings: added: " + t);
    for (const auto& d : tavo::DiffImages(opened, built)) {
        if (d.structural || d.part == "Standard Timings") continue;
        // texts (a name, a serial number) claim no capability
        if (d.what == "name" || d.what == "serial number" || d.what == "text") continue;
        const std::string line = tavo::DifferenceTexts({d}).front();
        if (d.what == "added" || d.what.ends_with(" added")) {
            out.push_back(line);
            continue;
        }
        std::string from, to;
        if (const auto at = d.detail.find(kArrow); at != std::string::npos) {
            from = d.detail.substr(0, at);
            to = d.detail.substr(at + kArrow.size());
        } else if (const auto at = d.what.find(kArrow); at != std::string::npos) {
            // "maximum TMDS clock 340 → 225 MHz"
            const auto nameEnd = d.what.rfind(' ', at - 1);
            from = d.what.substr(nameEnd + 1, at - nameEnd - 1);
            to = d.what.substr(at + kArrow.size());
            to = to.substr(0, to.find(' '));
        } else {
            continue;
        }
        if (const auto at = d.what.find(" descriptor, byte "); at != std::string::npos) {
            unsigned f = 0, t = 0;
            detail::Hex(from, f), detail::Hex(to, t);
            const int byte = d.what.back() - '0';
            const bool lpcm = d.what.starts_with("L-PCM");
            const bool gain = byte == 1   ? ((t & 0x78) != (f & 0x78) || (t & 7) > (f & 7))
                              : byte == 2 ? (t & ~f & 0x7F) != 0
                                          : (lpcm ? (t & ~f & 7) != 0 : t > f);
            if (gain) out.push_back(line);
            continue;
        }
        if (detail::ValueGains(from, to)) out.push_back(line);
    }
    return out;
}

} // namespace creator_test
