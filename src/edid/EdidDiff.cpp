#include "edid/EdidDiff.h"

#include "edid/JsonWriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>

namespace tavo {
namespace {

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // " → "

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

// What matches a part of one image with a part of the other: a descriptor slot, a checksum, a
// data block's name and occurrence, an extension timing's number, or any other part's kind and
// name. Built without strings: the fuzzers and `diff` run it for every part of both images.
struct PartKey {
    enum class Type { Descriptor, Checksum, DataBlock, ExtensionTiming, Other } type;
    std::string_view name; // DataBlock, Other: the part's name
    int number = 0;        // Descriptor: slot; Checksum: block; DataBlock, ExtensionTiming:
                           // occurrence from 1; Other: the kind
    bool operator==(const PartKey&) const = default;
};

// A part with the key it is matched by and the label its differences carry (its name unless
// `ownLabel` says otherwise).
struct Keyed {
    const BlockPart* part;
    PartKey key;
    std::string ownLabel;
    const std::string& label() const { return ownLabel.empty() ? part->name : ownLabel; }
};

// How many parts before `index` in `map` are data blocks called `name`.
int DataBlocksBefore(const BlockMap& map, std::size_t index, const std::string& name) {
    int n = 0;
    for (std::size_t i = 0; i < index; ++i)
        n += map[i].IsDataBlock() && map[i].name == name;
    return n;
}

std::vector<Keyed> KeyParts(const BlockMap& map) {
    using Type = PartKey::Type;
    std::vector<Keyed> out;
    out.reserve(map.size());
    int extensionTimings = 0;
    for (const auto& p : map) {
        Keyed k{&p, {Type::Other, p.name, static_cast<int>(p.kind)}, {}};
        if (p.offset < 126 && p.length == 18) {
            const int slot = (p.offset - 54) / 18 + 1;
            k.key = {Type::Descriptor, {}, slot};
            k.ownLabel = "Descriptor " + std::to_string(slot);
        } else if (p.kind == PartKind::Checksum) {
            k.key = {Type::Checksum, {}, p.offset / 128};
            k.ownLabel = p.offset < 128 ? "Checksum" : "Extension Checksum";
        } else if (p.IsDataBlock()) {
            k.key = {Type::DataBlock, p.name, DataBlocksBefore(map, out.size(), p.name) + 1};
        } else if (p.kind == PartKind::DetailedTiming) {
            ++extensionTimings;
            k.key = {Type::ExtensionTiming, {}, extensionTimings};
            k.ownLabel = "Extension Detailed Timing Descriptor " + std::to_string(extensionTimings);
        }
        out.push_back(std::move(k));
    }
    return out;
}

// Whether a data block called `name` occurs more than once in `map`.
bool Repeats(const BlockMap& map, const std::string& name) {
    return DataBlocksBefore(map, map.size(), name) > 1;
}

// "340 MHz" and "225 MHz" give {"340", "225", "MHz"}; no shared unit gives an empty unit.
bool SplitUnit(const std::string& a, const std::string& b, std::string& na, std::string& nb,
               std::string& unit) {
    const auto sa = a.rfind(' '), sb = b.rfind(' ');
    if (sa == std::string::npos || sb == std::string::npos) return false;
    if (a.substr(sa) != b.substr(sb)) return false;
    const std::string u = a.substr(sa + 1);
    if (u.empty() || !std::all_of(u.begin(), u.end(), [](char c) {
            return std::isalpha(static_cast<unsigned char>(c));
        }))
        return false;
    na = a.substr(0, sa), nb = b.substr(0, sb), unit = u;
    return na.find(' ') == std::string::npos && nb.find(' ') == std::string::npos;
}

class Differ {
public:
    Differ(const EdidImage& a, const EdidImage& b) : a_(a), b_(b) {}

    std::vector<Difference> Run() {
        const BlockMap ma = MapBlocks(a_), mb = MapBlocks(b_);
        auto ka = KeyParts(ma), kb = KeyParts(mb);
        // a data block name that repeats in either image is numbered in both
        for (auto* keyed : {&ka, &kb})
            for (auto& k : *keyed)
                if (k.part->IsDataBlock() &&
                    (Repeats(ma, k.part->name) || Repeats(mb, k.part->name)))
                    k.ownLabel = k.part->name + " " + std::to_string(k.key.number);
        // each part of `a` against the part of `b` with its key (the last, should two share
        // one); the parts of `b` whose key `a` has are matched
        std::vector<bool> matched(kb.size(), false);
        for (const auto& k : ka) {
            const Keyed* other = nullptr;
            for (std::size_t i = 0; i < kb.size(); ++i)
                if (kb[i].key == k.key) other = &kb[i], matched[i] = true;
            if (other == nullptr)
                AddPresence(k, "removed");
            else
                ComparePart(k, *other);
        }
        for (std::size_t i = 0; i < kb.size(); ++i)
            if (!matched[i]) AddPresence(kb[i], "added");
        if (out_.empty()) out_ = std::move(structural_);
        if (out_.empty() && a_ != b_) Add("Image", "bytes differ"); // not reached: a guard
        return std::move(out_);
    }

private:
    // A part only one image has; the padding, checksum and unannounced bytes come and go with
    // their extension and are not named.
    void AddPresence(const Keyed& k, const char* what) {
        switch (k.part->kind) {
        case PartKind::Padding:
        case PartKind::Checksum:
        case PartKind::Unused:
            return;
        case PartKind::CtaHeader:
            Add("CTA-861 Extension Block", what);
            return;
        default:
            Add(k.label(), what);
            return;
        }
    }

    void Add(std::string part, std::string what, std::string detail = {}, bool list = false) {
        out_.push_back({std::move(part), std::move(what), std::move(detail), list});
    }

    void ComparePart(const Keyed& ka, const Keyed& kb) {
        const BlockPart& pa = *ka.part;
        const BlockPart& pb = *kb.part;
        if (std::equal(a_.begin() + pa.offset, a_.begin() + pa.end(), b_.begin() + pb.offset,
                       b_.begin() + pb.end()))
            return;
        const std::string& label = ka.label();
        if (pa.name != pb.name) { // a descriptor slot of another kind
            Add(label, pa.name + std::string(kArrow) + pb.name);
            return;
        }
        if (pa.kind == PartKind::Unused) {
            structural_.push_back({label, "contents differ", {}, false, true});
            return;
        }
        if (pa.kind == PartKind::Checksum) {
            structural_.push_back({label,
                                   Hex2(a_[pa.offset]) + std::string(kArrow) + Hex2(b_[pb.offset]),
                                   {},
                                   false,
                                   true});
            return;
        }
        if (pa.kind == PartKind::DataBlock && OnlyZerosApart(pa, pb)) {
            structural_.push_back({label, "length",
                                   std::to_string(pa.length - 1) + std::string(kArrow) +
                                       std::to_string(pb.length - 1) + " (zero bytes at the end)",
                                   false, true});
            return;
        }
        const std::size_t before = out_.size();
        if (pa.kind == PartKind::DataBlock && (pa.tag == 2 || pa.extendedTag == 14))
            CompareVideoCodes(label, pa, pb);
        else if (pa.kind == PartKind::DataBlock && pa.tag == 1)
            CompareAudio(label, pa, pb);
        else
            CompareFields(label, pa, pb);
        if (out_.size() == before) CompareBytes(label, pa, pb);
    }

    // Two data blocks whose payloads differ only by zero bytes at the end of the longer: the
    // fields there read as zero either way.
    bool OnlyZerosApart(const BlockPart& pa, const BlockPart& pb) const {
        const bool aLonger = pa.length > pb.length;
        const EdidImage& li = aLonger ? a_ : b_;
        const EdidImage& si = aLonger ? b_ : a_;
        const BlockPart& l = aLonger ? pa : pb;
        const BlockPart& sh = aLonger ? pb : pa;
        if (l.length == sh.length) return false;
        for (int i = 1; i < sh.length; ++i)
            if (li[l.offset + i] != si[sh.offset + i]) return false;
        for (int i = sh.length; i < l.length; ++i)
            if (li[l.offset + i] != 0) return false;
        return true;
    }

    void CompareFields(const std::string& label, const BlockPart& pa, const BlockPart& pb) {
        const auto fa = PartFields(a_, pa), fb = PartFields(b_, pb);
        const bool structuralOnly = pa.kind == PartKind::CtaHeader || pa.kind == PartKind::Padding;
        auto value = [](const std::vector<PartField>& fields,
                        const std::string& name) -> const std::string* {
            for (const auto& f : fields)
                if (f.name == name) return &f.value;
            return nullptr;
        };
        const std::size_t before = out_.size();
        bool structuralSeen = false;
        auto report = [&](const std::string& name, const std::string& va, const std::string& vb) {
            if (structuralOnly && (name == "detailed timing offset" || name == "bytes")) {
                structural_.push_back({label, name, va + std::string(kArrow) + vb, false, true});
                structuralSeen = true;
                return;
            }
            std::string na, nb, unit;
            if (SplitUnit(va, vb, na, nb, unit))
                Add(label, name + " " + na + std::string(kArrow) + nb + " " + unit);
            else
                Add(label, name, va + std::string(kArrow) + vb);
        };
        for (const auto& f : fa) {
            const std::string* vb = value(fb, f.name);
            if (vb == nullptr)
                report(f.name, f.value, "(absent)");
            else if (*vb != f.value)
                report(f.name, f.value, *vb);
        }
        for (const auto& f : fb)
            if (value(fa, f.name) == nullptr) report(f.name, "(absent)", f.value);
        // a header or padding whose only change is structural says nothing more
        if (structuralSeen && out_.size() == before) skipBytes_ = true;
    }

    void CompareBytes(const std::string& label, const BlockPart& pa, const BlockPart& pb) {
        if (skipBytes_) {
            skipBytes_ = false;
            return;
        }
        const int n = std::min(pa.length, pb.length);
        for (int i = 0; i < n; ++i) {
            const auto x = a_[pa.offset + i], y = b_[pb.offset + i];
            if (x != y)
                Add(label, "byte " + std::to_string(i), Hex2(x) + std::string(kArrow) + Hex2(y));
        }
        if (pa.length != pb.length)
            Add(label, "length",
                std::to_string(pa.length) + std::string(kArrow) + std::to_string(pb.length));
    }

    // VICs of a video or 4:2:0 video data block with their native flags.
    struct Vic {
        int code;
        bool native;
    };
    std::vector<Vic> Vics(const EdidImage& img, const BlockPart& p) {
        std::vector<Vic> out;
        const int from = p.tag == 7 ? 2 : 1;
        for (int i = from; i < p.length; ++i) {
            const int v = img[p.offset + i];
            const bool native = p.tag == 2 && v >= 0x81 && v <= 0xC0;
            out.push_back({native ? v & 0x7F : v, native});
        }
        return out;
    }

    void CompareVideoCodes(const std::string& label, const BlockPart& pa, const BlockPart& pb) {
        const auto va = Vics(a_, pa), vb = Vics(b_, pb);
        auto find = [](const std::vector<Vic>& list, int code) -> const Vic* {
            for (const auto& v : list)
                if (v.code == code) return &v;
            return nullptr;
        };
        const std::size_t before = out_.size();
        for (const auto& v : va) {
            const Vic* other = find(vb, v.code);
            if (other == nullptr)
                Add(label, "video codes removed", std::to_string(v.code), true);
            else if (v.native && !other->native)
                Add(label, "native flags removed", std::to_string(v.code), true);
            else if (!v.native && other->native)
                Add(label, "native flags added", std::to_string(v.code), true);
        }
        for (const auto& v : vb)
            if (find(va, v.code) == nullptr)
                Add(label, "video codes added", std::to_string(v.code), true);
        if (out_.size() == before && va.size() == vb.size())
            Add(label, "order of video codes changed");
    }

    void CompareAudio(const std::string& label, const BlockPart& pa, const BlockPart& pb) {
        struct Sad {
            std::string key;
            std::string name;
            std::array<std::uint8_t, 3> bytes;
        };
        auto sads = [](const EdidImage& img, const BlockPart& p) {
            std::vector<Sad> out;
            std::map<std::string, int> seen;
            for (int i = 1; i + 2 < p.length; i += 3) {
                const auto* d = &img[p.offset + i];
                std::string name(AudioFormatName(d[0]));
                const int n = ++seen[name];
                out.push_back({name + "#" + std::to_string(n), name, {d[0], d[1], d[2]}});
            }
            for (auto& s : out)
                if (seen[s.name] > 1) s.name += " " + s.key.substr(s.key.find('#') + 1);
            return out;
        };
        const auto sa = sads(a_, pa), sb = sads(b_, pb);
        for (const auto& s : sa) {
            const auto it =
                std::find_if(sb.begin(), sb.end(), [&](const Sad& o) { return o.key == s.key; });
            if (it == sb.end()) {
                Add(label, s.name + " descriptor removed");
                continue;
            }
            for (int i = 0; i < 3; ++i)
                if (s.bytes[i] != it->bytes[i])
                    Add(label, s.name + " descriptor, byte " + std::to_string(i + 1),
                        Hex2(s.bytes[i]) + std::string(kArrow) + Hex2(it->bytes[i]));
        }
        for (const auto& s : sb)
            if (std::none_of(sa.begin(), sa.end(), [&](const Sad& o) { return o.key == s.key; }))
                Add(label, s.name + " descriptor added");
    }

    const EdidImage& a_;
    const EdidImage& b_;
    std::vector<Difference> out_;
    std::vector<Difference> structural_;
    bool skipBytes_ = false;
};

} // namespace

std::vector<Difference> DiffImages(const EdidImage& a, const EdidImage& b) {
    if (a == b) return {};
    return Differ(a, b).Run();
}

std::vector<std::string> DifferenceTexts(const std::vector<Difference>& differences) {
    std::vector<std::string> out;
    std::map<std::pair<std::string, std::string>, std::size_t> lists; // part, what -> line
    for (const auto& d : differences) {
        if (d.listItem) {
            const auto [it, added] = lists.try_emplace({d.part, d.what}, out.size());
            if (!added) {
                out[it->second] += ", " + d.detail;
                continue;
            }
        }
        out.push_back(d.part + ": " + d.what + (d.detail.empty() ? "" : ": " + d.detail));
    }
    return out;
}

std::string DiffJson(std::string_view fileA, std::string_view fileB,
                     const std::vector<std::string>& texts) {
    JsonWriter json(JsonSpacing::Spaced);
    json.BeginObject().Member("a", fileA).Member("b", fileB).Key("differences").BeginArray();
    for (const std::string& text : texts)
        json.String(text);
    return json.EndArray().EndObject().Text();
}

} // namespace tavo
