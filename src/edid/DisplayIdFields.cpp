// The decoded fields of DisplayID parts (and of the other parts only larger EDIDs have). Every
// read goes through the part's own bounds; offsets below are from the data block's tag byte, so
// the payload starts at 3.
#include <cmath>
#include <cstdio>

#include "edid/BlockMap.h"

namespace tavo {
namespace {

class Bytes {
public:
    Bytes(std::span<const std::uint8_t> all, const BlockPart& part) : all_(all), part_(part) {}
    int size() const { return part_.length; }
    int operator[](int i) const {
        const int at = part_.offset + i;
        return (i >= 0 && i < part_.length && at < static_cast<int>(all_.size()))
                   ? all_[static_cast<std::size_t>(at)]
                   : 0;
    }
    int Le16(int i) const { return (*this)[i] | ((*this)[i + 1] << 8); }
    int Le24(int i) const { return Le16(i) | ((*this)[i + 2] << 16); }

private:
    std::span<const std::uint8_t> all_;
    const BlockPart& part_;
};

std::string Hex2(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}

// "240 Hz", or "59.94 Hz" when the rate is not whole.
std::string Hz(double rate) {
    char buf[32];
    if (std::fabs(rate - std::round(rate)) < 0.01)
        std::snprintf(buf, sizeof buf, "%.0f Hz", std::round(rate));
    else
        std::snprintf(buf, sizeof buf, "%.2f Hz", rate);
    return buf;
}

std::string Timing(int w, int h, double rate) {
    return std::to_string(w) + "x" + std::to_string(h) + " at " + Hz(rate);
}

// Type I (10 kHz units) and type VII (1 kHz units) descriptors: 20 bytes each, every value
// stored as value - 1.
void DetailedTimings(const Bytes& p, int khzPerUnit, std::vector<PartField>& f) {
    int n = 0;
    for (int d = 3; d + 20 <= p.size(); d += 20) {
        const double khz = (p.Le24(d) + 1.0) * khzPerUnit;
        const int hActive = p.Le16(d + 4) + 1, hBlank = p.Le16(d + 6) + 1;
        const int vActive = p.Le16(d + 12) + 1, vBlank = p.Le16(d + 14) + 1;
        const double rate =
            khz * 1000.0 / (static_cast<double>(hActive + hBlank) * (vActive + vBlank));
        std::string value = Timing(hActive, vActive, rate);
        if (p[d + 3] & 0x80) value += " (preferred)";
        f.push_back({"timing " + std::to_string(++n), value});
    }
}

// Type IX and type X descriptors: flags, active width and height - 1, refresh rate - 1 (type X:
// its top two bits in a seventh byte when the descriptors are 7 bytes long).
void FormulaTimings(const Bytes& p, int size, std::vector<PartField>& f) {
    int n = 0;
    for (int d = 3; d + size <= p.size(); d += size) {
        int rate = p[d + 5] + 1;
        if (size >= 7) rate += (p[d + 6] & 0x03) << 8;
        f.push_back(
            {"timing " + std::to_string(++n), Timing(p.Le16(d + 1) + 1, p.Le16(d + 3) + 1, rate)});
    }
}

void ProductId(const Bytes& p, bool v2, std::vector<PartField>& f) {
    char vendor[16];
    if (v2)
        std::snprintf(vendor, sizeof vendor, "%02X-%02X-%02X", p[3], p[4], p[5]);
    else
        std::snprintf(vendor, sizeof vendor, "%c%c%c", p[3], p[4], p[5]);
    f.push_back({"vendor", vendor});
    f.push_back({"product code", std::to_string(p.Le16(6))});
    f.push_back({"serial number", std::to_string(static_cast<unsigned>(p.Le16(8)) |
                                                 (static_cast<unsigned>(p.Le16(10)) << 16))});
    f.push_back({"week", std::to_string(p[12])});
    f.push_back({"year", std::to_string(2000 + p[13])});
    std::string name;
    for (int i = 0; i < p[14] && 15 + i < p.size(); ++i) {
        const int c = p[15 + i];
        name.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    f.push_back({"name", name});
}

// Tiled display topology: tile counts and location split over bytes 1..3 of the payload.
void Tiled(const Bytes& p, std::vector<PartField>& f) {
    const int hi = p[6];
    const int hTiles = ((p[4] >> 4) | ((hi >> 6) & 3) << 4) + 1;
    const int vTiles = ((p[4] & 0x0F) | ((hi >> 4) & 3) << 4) + 1;
    const int hAt = (p[5] >> 4) | ((hi >> 2) & 3) << 4;
    const int vAt = (p[5] & 0x0F) | (hi & 3) << 4;
    f.push_back({"tiles", std::to_string(hTiles) + " x " + std::to_string(vTiles)});
    f.push_back({"tile location", std::to_string(hAt) + ", " + std::to_string(vAt)});
    f.push_back({"tile size", std::to_string(p.Le16(7) + 1) + "x" + std::to_string(p.Le16(9) + 1)});
    f.push_back({"single enclosure", (p[3] & 0x80) ? "yes" : "no"});
}

// Adaptive sync: descriptors of 6 bytes (more when the revision says so): flags, the longest
// single-frame increase, minimum rate, maximum rate - 1 (10 bits), the longest decrease.
void AdaptiveSync(const Bytes& p, std::vector<PartField>& f) {
    const int size = 6 + ((p[1] >> 4) & 7);
    int n = 0;
    const int count = (p.size() - 3) / size;
    for (int d = 3; d + size <= p.size(); d += size) {
        ++n;
        const std::string suffix = count > 1 ? " " + std::to_string(n) : "";
        const int maxHz = (p[d + 3] | ((p[d + 4] & 3) << 8)) + 1;
        f.push_back({"VRR range" + suffix,
                     std::to_string(p[d + 2]) + " Hz to " + std::to_string(maxHz) + " Hz"});
        f.push_back({"native panel range" + suffix, (p[d] & 0x01) ? "yes" : "no"});
    }
}

void DataBlock(const Bytes& p, int tag, std::vector<PartField>& f) {
    f.push_back({"revision", std::to_string(p[1])});
    f.push_back({"length", std::to_string(p[2])});
    switch (tag) {
    case 0x00:
    case 0x20:
        ProductId(p, tag == 0x20, f);
        return;
    case 0x01:
        f.push_back({"image size", std::to_string(p.Le16(3) / 10) + " x " +
                                       std::to_string(p.Le16(5) / 10) + " mm"});
        f.push_back(
            {"native resolution", std::to_string(p.Le16(7)) + "x" + std::to_string(p.Le16(9))});
        return;
    case 0x03:
        DetailedTimings(p, 10, f);
        return;
    case 0x22:
        DetailedTimings(p, 1, f);
        return;
    case 0x24:
        FormulaTimings(p, 6, f);
        return;
    case 0x2A:
        FormulaTimings(p, 6 + ((p[1] >> 4) & 7), f);
        return;
    case 0x04:
        f.push_back({"timings", std::to_string((p.size() - 3) / 11)});
        return;
    case 0x05:
        f.push_back({"timings", std::to_string((p.size() - 3) / 3)});
        return;
    case 0x23: {
        std::string codes;
        for (int i = 3; i < p.size(); ++i)
            codes += (codes.empty() ? "" : " ") + Hex2(p[i]);
        f.push_back({"timing codes", codes.empty() ? "none" : codes});
        return;
    }
    case 0x12:
    case 0x28:
        Tiled(p, f);
        return;
    case 0x2B:
        AdaptiveSync(p, f);
        return;
    default:
        return;
    }
}

} // namespace

void DisplayIdFields(std::span<const std::uint8_t> bytes, const BlockPart& part,
                     std::vector<PartField>& f) {
    const Bytes p(bytes, part);
    switch (part.kind) {
    case PartKind::DisplayIdHeader:
        f.push_back({"version", std::to_string(p[1] >> 4) + "." + std::to_string(p[1] & 0x0F)});
        f.push_back({"section bytes", std::to_string(p[2])});
        f.push_back({p[1] >= 0x20 ? "primary use case" : "product type", std::to_string(p[3])});
        f.push_back({"extension count", std::to_string(p[4])});
        return;
    case PartKind::DisplayIdDataBlock:
        DataBlock(p, part.tag, f);
        return;
    case PartKind::BrokenDisplayIdDataBlock:
        f.push_back({"declared length", std::to_string(p[2])});
        f.push_back({"bytes left in the section", std::to_string(std::max(0, p.size() - 3))});
        return;
    case PartKind::DisplayIdChecksum: {
        // the section from its version byte (byte 1 of the block) to this byte sums to 0
        unsigned sum = 0;
        const int from = part.offset / 128 * 128 + 1;
        for (int i = from; i <= part.offset && i < static_cast<int>(bytes.size()); ++i)
            sum += bytes[static_cast<std::size_t>(i)];
        f.push_back({"checksum", Hex2(p[0])});
        f.push_back({"section sums to zero", (sum & 0xFF) == 0 ? "yes" : "no"});
        return;
    }
    case PartKind::BlockMapBlock: {
        std::string tags;
        for (int i = 1; i < p.size(); ++i)
            if (p[i] != 0) tags += (tags.empty() ? "" : " ") + Hex2(p[i]);
        f.push_back({"block tags", tags.empty() ? "none" : tags});
        return;
    }
    case PartKind::Incomplete:
        f.push_back({"bytes", std::to_string(p.size())});
        return;
    default:
        return;
    }
}

} // namespace tavo
