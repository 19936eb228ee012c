// The timings an EDID lists, with the rates a source drives them at: the check's range limits
// and near-timing rules read them.
#include <cmath>
#include <cstdio>

#include "edid/CheckModel.h"
#include "edid/VideoFormats.h"

namespace tavo {
namespace check {
namespace {

// A VESA DMT timing: id, active size, pixel clock, totals, and (where listed) its porches and
// sync polarities (hf == 0: porches not listed here).
struct Dmt {
    std::uint8_t id;
    std::uint16_t w, h, rate;
    bool interlaced;
    int clock; // kHz
    std::uint16_t htotal, vtotal;
    std::uint16_t hf, hs, hb, vf, vs, vb;
    bool hp, vp;
};

constexpr Dmt kDmt[] = {
    {0x01, 640, 350, 85, false, 31500, 832, 445, 32, 64, 96, 32, 3, 60, true, false},
    {0x02, 640, 400, 85, false, 31500, 832, 445, 32, 64, 96, 1, 3, 41, false, true},
    {0x03, 720, 400, 85, false, 35500, 936, 446, 36, 72, 108, 1, 3, 42, false, true},
    {0x04, 640, 480, 60, false, 25175, 800, 525, 16, 96, 48, 10, 2, 33, false, false},
    {0x05, 640, 480, 72, false, 31500, 832, 520, 24, 40, 128, 9, 3, 28, false, false},
    {0x06, 640, 480, 75, false, 31500, 840, 500, 16, 64, 120, 1, 3, 16, false, false},
    {0x07, 640, 480, 85, false, 36000, 832, 509, 56, 56, 80, 1, 3, 25, false, false},
    {0x08, 800, 600, 56, false, 36000, 1024, 625, 24, 72, 128, 1, 2, 22, true, true},
    {0x09, 800, 600, 60, false, 40000, 1056, 628, 40, 128, 88, 1, 4, 23, true, true},
    {0x0A, 800, 600, 72, false, 50000, 1040, 666, 56, 120, 64, 37, 6, 23, true, true},
    {0x0B, 800, 600, 75, false, 49500, 1056, 625, 16, 80, 160, 1, 3, 21, true, true},
    {0x0C, 800, 600, 85, false, 56250, 1048, 631, 32, 64, 152, 1, 3, 27, true, true},
    {0x0D, 800, 600, 120, false, 73250, 960, 636, 48, 32, 80, 3, 4, 29, true, false},
    {0x0E, 848, 480, 60, false, 33750, 1088, 517, 16, 112, 112, 6, 8, 23, true, true},
    {0x0F, 1024, 768, 43, true, 44900, 1264, 817, 8, 176, 56, 0, 4, 20, true, true},
    {0x10, 1024, 768, 60, false, 65000, 1344, 806, 24, 136, 160, 3, 6, 29, false, false},
    {0x11, 1024, 768, 70, false, 75000, 1328, 806, 24, 136, 144, 3, 6, 29, false, false},
    {0x12, 1024, 768, 75, false, 78750, 1312, 800, 16, 96, 176, 1, 3, 28, true, true},
    {0x13, 1024, 768, 85, false, 94500, 1376, 808, 48, 96, 208, 1, 3, 36, true, true},
    {0x14, 1024, 768, 120, false, 115500, 1184, 813, 48, 32, 80, 3, 4, 38, true, false},
    {0x15, 1152, 864, 75, false, 108000, 1600, 900, 64, 128, 256, 1, 3, 32, true, true},
    {0x16, 1280, 768, 60, false, 68250, 1440, 790, 48, 32, 80, 3, 7, 12, true, false},
    {0x17, 1280, 768, 60, false, 79500, 1664, 798, 64, 128, 192, 3, 7, 20, false, true},
    {0x18, 1280, 768, 75, false, 102250, 1696, 805, 80, 128, 208, 3, 7, 27, false, true},
    {0x19, 1280, 768, 85, false, 117500, 1712, 809, 80, 136, 216, 3, 7, 31, false, true},
    {0x1A, 1280, 768, 120, false, 140250, 1440, 813, 48, 32, 80, 3, 7, 35, true, false},
    {0x1B, 1280, 800, 60, false, 71000, 1440, 823, 48, 32, 80, 3, 6, 14, true, false},
    {0x1C, 1280, 800, 60, false, 83500, 1680, 831, 72, 128, 200, 3, 6, 22, false, true},
    {0x1D, 1280, 800, 75, false, 106500, 1696, 838, 80, 128, 208, 3, 6, 29, false, true},
    {0x1E, 1280, 800, 85, false, 122500, 1712, 843, 80, 136, 216, 3, 6, 34, false, true},
    {0x1F, 1280, 800, 120, false, 146250, 1440, 847, 48, 32, 80, 3, 6, 38, true, false},
    {0x20, 1280, 960, 60, false, 108000, 1800, 1000, 96, 112, 312, 1, 3, 36, true, true},
    {0x21, 1280, 960, 85, false, 148500, 1728, 1011, 64, 160, 224, 1, 3, 47, true, true},
    {0x22, 1280, 960, 120, false, 175500, 1440, 1017, 48, 32, 80, 3, 4, 50, true, false},
    {0x23, 1280, 1024, 60, false, 108000, 1688, 1066, 48, 112, 248, 1, 3, 38, true, true},
    {0x24, 1280, 1024, 75, false, 135000, 1688, 1066, 16, 144, 248, 1, 3, 38, true, true},
    {0x25, 1280, 1024, 85, false, 157500, 1728, 1072, 64, 160, 224, 1, 3, 44, true, true},
    {0x26, 1280, 1024, 120, false, 187250, 1440, 1084, 48, 32, 80, 3, 7, 50, true, false},
    {0x27, 1360, 768, 60, false, 85500, 1792, 795, 64, 112, 256, 3, 6, 18, true, true},
    {0x28, 1360, 768, 120, false, 148250, 1520, 813, 48, 32, 80, 3, 5, 37, true, false},
    {0x29, 1400, 1050, 60, false, 101000, 1560, 1080, 48, 32, 80, 3, 4, 23, true, false},
    {0x2A, 1400, 1050, 60, false, 121750, 1864, 1089, 88, 144, 232, 3, 4, 32, false, true},
    {0x2B, 1400, 1050, 75, false, 156000, 1896, 1099, 104, 144, 248, 3, 4, 42, false, true},
    {0x2C, 1400, 1050, 85, false, 179500, 1912, 1105, 104, 152, 256, 3, 4, 48, false, true},
    {0x2D, 1400, 1050, 120, false, 208000, 1560, 1112, 48, 32, 80, 3, 4, 55, true, false},
    {0x2E, 1440, 900, 60, false, 88750, 1600, 926, 48, 32, 80, 3, 6, 17, true, false},
    {0x2F, 1440, 900, 60, false, 106500, 1904, 934, 80, 152, 232, 3, 6, 25, false, true},
    {0x30, 1440, 900, 75, false, 136750, 1936, 942, 96, 152, 248, 3, 6, 33, false, true},
    {0x31, 1440, 900, 85, false, 157000, 1952, 948, 104, 152, 256, 3, 6, 39, false, true},
    {0x32, 1440, 900, 120, false, 182750, 1600, 953, 48, 32, 80, 3, 6, 44, true, false},
    {0x33, 1600, 1200, 60, false, 162000, 2160, 1250, 64, 192, 304, 1, 3, 46, true, true},
    {0x34, 1600, 1200, 65, false, 175500, 2160, 1250, 64, 192, 304, 1, 3, 46, true, true},
    {0x35, 1600, 1200, 70, false, 189000, 2160, 1250, 64, 192, 304, 1, 3, 46, true, true},
    {0x36, 1600, 1200, 75, false, 202500, 2160, 1250, 64, 192, 304, 1, 3, 46, true, true},
    {0x37, 1600, 1200, 85, false, 229500, 2160, 1250, 64, 192, 304, 1, 3, 46, true, true},
    {0x38, 1600, 1200, 120, false, 268250, 1760, 1271, 48, 32, 80, 3, 4, 64, true, false},
    {0x39, 1680, 1050, 60, false, 119000, 1840, 1080, 48, 32, 80, 3, 6, 21, true, false},
    {0x3A, 1680, 1050, 60, false, 146250, 2240, 1089, 104, 176, 280, 3, 6, 30, false, true},
    {0x3B, 1680, 1050, 75, false, 187000, 2272, 1099, 120, 176, 296, 3, 6, 40, false, true},
    {0x3C, 1680, 1050, 85, false, 214750, 2288, 1105, 128, 176, 304, 3, 6, 46, false, true},
    {0x3D, 1680, 1050, 120, false, 245500, 1840, 1112, 48, 32, 80, 3, 6, 53, true, false},
    {0x3E, 1792, 1344, 60, false, 204750, 2448, 1394, 128, 200, 328, 1, 3, 46, false, true},
    {0x3F, 1792, 1344, 75, false, 261000, 2456, 1417, 96, 216, 352, 1, 3, 69, false, true},
    {0x40, 1792, 1344, 120, false, 333250, 1952, 1423, 48, 32, 80, 3, 4, 72, true, false},
    {0x41, 1856, 1392, 60, false, 218250, 2528, 1439, 96, 224, 352, 1, 3, 43, false, true},
    {0x42, 1856, 1392, 75, false, 288000, 2560, 1500, 128, 224, 352, 1, 3, 104, false, true},
    {0x43, 1856, 1392, 120, false, 356500, 2016, 1474, 48, 32, 80, 3, 4, 75, true, false},
    {0x44, 1920, 1200, 60, false, 154000, 2080, 1235, 48, 32, 80, 3, 6, 26, true, false},
    {0x45, 1920, 1200, 60, false, 193250, 2592, 1245, 136, 200, 336, 3, 6, 36, false, true},
    {0x46, 1920, 1200, 75, false, 245250, 2608, 1255, 136, 208, 344, 3, 6, 46, false, true},
    {0x47, 1920, 1200, 85, false, 281250, 2624, 1262, 144, 208, 352, 3, 6, 53, false, true},
    {0x48, 1920, 1200, 120, false, 317000, 2080, 1271, 48, 32, 80, 3, 6, 62, true, false},
    {0x49, 1920, 1440, 60, false, 234000, 2600, 1500, 128, 208, 344, 1, 3, 56, false, true},
    {0x4A, 1920, 1440, 75, false, 297000, 2640, 1500, 144, 224, 352, 1, 3, 56, false, true},
    {0x4B, 1920, 1440, 120, false, 380500, 2080, 1525, 48, 32, 80, 3, 4, 78, true, false},
    {0x4C, 2560, 1600, 60, false, 268500, 2720, 1646, 48, 32, 80, 3, 6, 37, true, false},
    {0x4D, 2560, 1600, 60, false, 348500, 3504, 1658, 192, 280, 472, 3, 6, 49, false, true},
    {0x4E, 2560, 1600, 75, false, 443250, 3536, 1672, 208, 280, 488, 3, 6, 63, false, true},
    {0x4F, 2560, 1600, 85, false, 505250, 3536, 1682, 208, 280, 488, 3, 6, 73, false, true},
    {0x50, 2560, 1600, 120, false, 552750, 2720, 1694, 48, 32, 80, 3, 6, 85, true, false},
    {0x51, 1366, 768, 60, false, 85500, 1792, 798, 70, 143, 213, 3, 3, 24, true, true},
    {0x52, 1920, 1080, 60, false, 148500, 2200, 1125, 88, 44, 148, 4, 5, 36, true, true},
    {0x53, 1600, 900, 60, false, 108000, 1800, 1000, 24, 80, 96, 1, 3, 96, true, true},
    {0x54, 2048, 1152, 60, false, 162000, 2250, 1200, 26, 80, 96, 1, 3, 44, true, true},
    {0x55, 1280, 720, 60, false, 74250, 1650, 750, 110, 40, 220, 5, 5, 20, true, true},
    {0x56, 1366, 768, 60, false, 72000, 1500, 800, 14, 56, 64, 1, 3, 28, true, true},
    {0x57, 4096, 2160, 60, false, 556744, 4176, 2222, 8, 32, 40, 48, 8, 6, true, false},
    {0x58, 4096, 2160, 59, false, 556188, 4176, 2222, 8, 32, 40, 48, 8, 6, true, false},
};

// The timings of video codes 1..107, read once.
const VideoTiming* VicTable(int vic) {
    static const std::vector<VideoTiming> table = [] {
        std::vector<VideoTiming> out;
        for (int v = 1; v <= 107; ++v)
            out.push_back(*VicTiming(v));
        return out;
    }();
    return vic >= 1 && vic <= 107 ? &table[static_cast<std::size_t>(vic - 1)] : nullptr;
}

const Dmt* FindDmt(int id) {
    for (const Dmt& d : kDmt)
        if (d.id == id) return &d;
    return nullptr;
}

// The established timings I and II as DMT ids; 0 for the four that are no DMT timing.
constexpr std::uint8_t kEstablishedDmt[17] = {0,    0, 0x04, 0,    0x05, 0x06, 0x08, 0x09, 0x0A,
                                              0x0B, 0, 0x0F, 0x10, 0x11, 0x12, 0x24, 0};
// The four others: pixel clock and totals.
struct Legacy {
    int bit, clock, htotal, vtotal;
};
constexpr Legacy kLegacy[] = {
    {0, 28320, 900, 449},   {1, 35500, 900, 449},    {3, 30240, 864, 525},
    {10, 57284, 1152, 667}, {16, 100000, 1456, 915},
};

// Established timings III, byte 6 bit 7 onwards.
constexpr std::uint8_t kEstablished3[44] = {
    0x01, 0x02, 0x03, 0x07, 0x0E, 0x0C, 0x13, 0x15, 0x16, 0x17, 0x18, 0x19, 0x20, 0x21, 0x23,
    0x25, 0x27, 0x2E, 0x2F, 0x30, 0x31, 0x29, 0x2A, 0x2B, 0x2C, 0x39, 0x3A, 0x3B, 0x3C, 0x33,
    0x34, 0x35, 0x36, 0x37, 0x3E, 0x3F, 0x41, 0x42, 0x44, 0x45, 0x46, 0x47, 0x49, 0x4A};

// A timing from its totals: rates as a source drives it (an interlaced timing's field rate).
ListedTiming FromTotals(int w, int h, bool interlaced, int clock, double htotal, double vtotal,
                        TimingSource what, int at) {
    ListedTiming t;
    t.width = w, t.height = h, t.interlaced = interlaced;
    t.pixelClockKhz = clock;
    t.hFreqKhz = htotal > 0 ? clock / htotal : 0;
    const double lines = interlaced ? vtotal / 2.0 : vtotal;
    t.refreshHz = htotal > 0 && lines > 0 ? clock * 1000.0 / (htotal * lines) : 0;
    t.source = what;
    t.partOffset = at;
    return t;
}

ListedTiming FromDmt(const Dmt& d, int at, TimingSource what) {
    return FromTotals(d.w, d.h, d.interlaced, d.clock, d.htotal, d.vtotal, what, at);
}

char HexDigit(int v) {
    return "0123456789ABCDEF"[v & 15];
}
std::string DmtName(int id) {
    return std::string("DMT 0x") + HexDigit(id >> 4) + HexDigit(id);
}

// The generalized timing formula's default curve, as a source computes a standard timing that
// is no DMT timing (EDID 1.3 and earlier).
ListedTiming Gtf(int w, int h, int rate, TimingSource what, int at) {
    const double hPeriodEst = (1.0 / rate - 550e-6) / (h + 1) * 1e6;
    const double vSyncBp = std::round(550.0 / hPeriodEst);
    const double vTotal = h + vSyncBp + 1;
    const double vFieldEst = 1e6 / hPeriodEst / vTotal;
    const double hPeriod = hPeriodEst / (rate / vFieldEst);
    const double duty = 30.0 - 300.0 * hPeriod / 1000.0;
    const double hBlank = std::round(w * duty / (100.0 - duty) / 16.0) * 16.0;
    const double hTotal = w + hBlank;
    const int clock = static_cast<int>(hTotal / hPeriod * 1000.0);
    return FromTotals(w, h, false, clock, hTotal, vTotal, what, at);
}

// The coordinated video timing (normal blanking), as EDID 1.4 asks for such standard timings.
ListedTiming Cvt(int w, int h, int rate, TimingSource what, int at) {
    const int vSync = w * 3 == h * 4 ? 4 : w * 9 == h * 16 ? 5 : w * 10 == h * 16 ? 6 : 7;
    const double hPeriodEst = (1.0 / rate - 550e-6) / (h + 3) * 1e6;
    double vSyncBp = std::floor(550.0 / hPeriodEst) + 1;
    if (vSyncBp < vSync + 6) vSyncBp = vSync + 6;
    const double vTotal = h + vSyncBp + 3;
    double duty = 30.0 - 300.0 * hPeriodEst / 1000.0;
    if (duty < 20) duty = 20;
    const double hBlank = std::floor(w * duty / (100.0 - duty) / 16.0) * 16.0;
    const double hTotal = w + hBlank;
    const int clock = static_cast<int>(std::floor(hTotal / hPeriodEst / 0.25) * 250);
    return FromTotals(w, h, false, clock, hTotal, vTotal, what, at);
}

void Established(const Model& m, std::vector<ListedTiming>& out) {
    for (int bit = 0; bit < kEstablishedTimingBits; ++bit) {
        if (!(m.At(35 + bit / 8) & (0x80 >> (bit % 8)))) continue;
        if (const Dmt* d = FindDmt(kEstablishedDmt[bit])) {
            out.push_back(FromDmt(*d, 35, TimingSource{"established timing"}));
            continue;
        }
        const auto f = EstablishedFormat(bit);
        for (const Legacy& l : kLegacy)
            if (l.bit == bit && f)
                out.push_back(FromTotals(f->width, f->height, false, l.clock, l.htotal, l.vtotal,
                                         TimingSource{"established timing"}, 35));
    }
}

void Standard(const Model& m, int at, std::vector<ListedTiming>& out) {
    const std::uint8_t b0 = m.At(at), b1 = m.At(at + 1);
    if (b0 <= 1) return; // unused (0x0101, or one of the codes taken for it)
    const int w = (b0 + 31) * 8;
    const int a = b1 >> 6; // aspect 16:10, 4:3, 5:4, 16:9 (as the reference decoder reads it)
    int h = a == 0 ? w * 10 / 16 : a == 1 ? w * 3 / 4 : a == 2 ? w * 4 / 5 : w * 9 / 16;
    const int rate = (b1 & 0x3F) + 60;
    // DMT timings named by their standard code: 1360x765 is 1360x768, 1366x768 has none
    if (w == 1360 && h == 765) h = 768;
    // the normal blanking DMT timing of this format, else its reduced blanking one
    const Dmt* found = nullptr;
    for (const Dmt& d : kDmt)
        if (d.w == w && d.h == h && d.rate == rate && !d.interlaced &&
            (!found || (found->hs == 32 && found->hb == 80)))
            found = &d;
    if (found) {
        out.push_back(FromDmt(*found, at, TimingSource{"standard timing"}));
        return;
    }
    out.push_back(m.minor >= 4 ? Cvt(w, h, rate, TimingSource{"standard timing"}, at)
                               : Gtf(w, h, rate, TimingSource{"standard timing"}, at));
}

void Detailed(const Model& m, int at, int number, std::vector<ListedTiming>& out) {
    const auto t = ReadDetailedTiming(m.bytes.data() + at);
    if (!t) return;
    const double hTotal = t->HTotal();
    const double vTotal = t->format.interlaced ? (t->VTotal() * 2 + 1) : t->VTotal();
    out.push_back(FromTotals(t->format.width, t->format.height, t->format.interlaced,
                             t->pixelClockKhz, hTotal, vTotal,
                             TimingSource{"detailed timing", number}, at));
}

// Pixel clock and totals of the video codes past 107.
struct HighVic {
    std::uint8_t vic;
    int clock;
    std::uint16_t htotal, vtotal;
};
constexpr HighVic kHighVics[] = {
    {108, 90000, 2500, 750},     {109, 90000, 2500, 750},     {110, 99000, 2750, 750},
    {111, 148500, 2750, 1125},   {112, 148500, 2750, 1125},   {113, 198000, 3750, 1100},
    {114, 594000, 5500, 2250},   {115, 594000, 5500, 2250},   {116, 594000, 5500, 2250},
    {117, 1188000, 5280, 2250},  {118, 1188000, 4400, 2250},  {119, 1188000, 5280, 2250},
    {120, 1188000, 4400, 2250},  {121, 396000, 7500, 2200},   {122, 396000, 7200, 2200},
    {123, 396000, 6000, 2200},   {124, 742500, 6250, 2475},   {125, 742500, 6600, 2250},
    {126, 742500, 5500, 2250},   {127, 1485000, 6600, 2250},  {193, 1485000, 5500, 2250},
    {194, 1188000, 11000, 4500}, {195, 1188000, 10800, 4400}, {196, 1188000, 9000, 4400},
    {197, 2376000, 11000, 4500}, {198, 2376000, 10800, 4400}, {199, 2376000, 9000, 4400},
    {200, 4752000, 10560, 4500}, {201, 4752000, 8800, 4500},  {202, 1188000, 11000, 4500},
    {203, 1188000, 10800, 4400}, {204, 1188000, 9000, 4400},  {205, 2376000, 11000, 4500},
    {206, 2376000, 10800, 4400}, {207, 2376000, 9000, 4400},  {208, 4752000, 10560, 4500},
    {209, 4752000, 8800, 4500},  {210, 1485000, 12500, 4950}, {211, 1485000, 13500, 4400},
    {212, 1485000, 11000, 4500}, {213, 2970000, 12500, 4950}, {214, 2970000, 13500, 4400},
    {215, 2970000, 11000, 4500}, {216, 5940000, 13200, 4500}, {217, 5940000, 11000, 4500},
    {218, 1188000, 5280, 2250},  {219, 1188000, 4400, 2250},
};

// A video code's timing; `half`: only as YCbCr 4:2:0, whose line rate and pixel rate are half
// the RGB timing's (the field rate stays).
void Vic(int vic, bool half, int at, TimingSource what, std::vector<ListedTiming>& out) {
    ListedTiming t;
    if (const VideoTiming* v = VicTable(vic)) {
        const double vTotal = v->format.interlaced ? v->VTotal() * 2 + 1 : v->VTotal();
        t = FromTotals(v->format.width, v->format.height, v->format.interlaced, v->pixelClockKhz,
                       v->HTotal(), vTotal, what, at);
    } else {
        const auto f = VicFormat(vic);
        const HighVic* h = nullptr;
        for (const HighVic& r : kHighVics)
            if (r.vic == vic) h = &r;
        if (!f || !h) return;
        t = FromTotals(f->width, f->height, false, h->clock, h->htotal, h->vtotal, what, at);
    }
    if (half) {
        t.pixelClockKhz /= 2;
        t.hFreqKhz /= 2;
    }
    out.push_back(std::move(t));
}

void CtaVideo(const Model& m, std::vector<ListedTiming>& out) {
    for (const CtaBlock& b : m.ctaBlocks) {
        const bool y420 = b.tag == 7 && b.extendedTag == 14;
        if (b.tag != 2 && !y420) continue;
        for (int i = y420 ? 2 : 1; i <= b.length; ++i) {
            int vic = m.At(b.offset + i);
            if (!y420 && vic >= 129 && vic <= 192) vic &= 0x7F;
            Vic(vic, y420, b.offset, TimingSource{"VIC", vic, y420}, out);
        }
    }
    // video codes the 4:2:0 capability map marks (by their index among all codes) also count
    // at half their pixel rate
    const CtaBlock* map = m.FindBlock(7, 15);
    const std::vector<int>& vics = m.vics;
    for (int i = 0; map && i < static_cast<int>(vics.size()); ++i)
        if (i / 8 + 2 <= map->length && (m.At(map->offset + 2 + i / 8) & (1 << (i % 8))))
            Vic(vics[i], true, map->offset, TimingSource{"VIC", vics[i], true}, out);
    // HDMI VICs of the HDMI block
    const CtaBlock* h = m.FindBlock(3, -1, kOuiHdmi);
    if (!h || h->length < 8) return;
    const int p = h->offset + 1;
    const int flags = m.At(p + 7);
    int at = p + 8;
    if (flags & 0x80) at += 2;
    if (flags & 0x40) at += 2;
    if (!(flags & 0x20) || at + 1 > h->offset + h->length) return;
    const int count = m.At(at + 1) >> 5;
    for (int i = 0; i < count && at + 2 + i <= h->offset + h->length; ++i) {
        const int hv = m.At(at + 2 + i);
        if (const int vic = VicOfHdmiVic(hv))
            Vic(vic, false, h->offset, TimingSource{"HDMI VIC", hv}, out);
    }
}

// CVT 3-byte codes (display descriptor 0xF8) and established timings III (0xF7).
void DescriptorTimings(const Model& m, int at, std::vector<ListedTiming>& out) {
    const int tag = m.At(at + 3);
    if (tag == 0xF7) {
        for (int i = 0; i < 44; ++i)
            if (m.At(at + 6 + i / 8) & (0x80 >> (i % 8)))
                if (const Dmt* d = FindDmt(kEstablished3[i]))
                    out.push_back(FromDmt(*d, at, TimingSource{"established timing"}));
        return;
    }
    if (tag != 0xF8) return;
    for (int c = 0; c < 4; ++c) {
        const int p = at + 6 + c * 3;
        const int b0 = m.At(p), b1 = m.At(p + 1), b2 = m.At(p + 2);
        if (!b0 && !b1 && !b2) continue;
        const int h = ((b0 | (b1 & 0xF0) << 4) + 1) * 2;
        const int a = (b1 >> 2) & 3;
        static constexpr int num[] = {4, 16, 16, 15}, den[] = {3, 9, 10, 9};
        const int w = 8 * (h * num[a] / den[a] / 8);
        static constexpr int rates[] = {50, 60, 75, 85};
        for (int r = 0; r < 4; ++r)
            if (b2 & (0x10 >> r)) out.push_back(Cvt(w, h, rates[r], TimingSource{"CVT code"}, at));
        if (b2 & 0x01) {
            // reduced blanking, 60 Hz
            const double vTotal = h + std::ceil(460.0 / ((1e6 / 60 - 460) / h));
            const double hTotal = w + 160;
            const int clock = static_cast<int>(std::floor(hTotal * vTotal * 60 / 250000.0) * 250);
            out.push_back(
                FromTotals(w, h, false, clock, hTotal, vTotal, TimingSource{"CVT code"}, at));
        }
    }
}

// The timings of the DisplayID extensions, as the reference decoder counts them: all types but
// X, which it does not read.
void DisplayIdVideo(const Model& m, std::vector<ListedTiming>& out) {
    int number = 0;
    for (const DisplayIdTiming& d : m.displayId) {
        switch (d.kind) {
        case DisplayIdTimingKind::Detailed:
        case DisplayIdTimingKind::Formula: {
            if (d.tag == 0x2A) break;
            const VideoTiming& t = d.timing;
            const double vTotal = t.format.interlaced ? t.VTotal() * 2 + 1 : t.VTotal();
            const bool detailed = d.kind == DisplayIdTimingKind::Detailed;
            out.push_back(FromTotals(
                t.format.width, t.format.height, t.format.interlaced, t.pixelClockKhz, t.HTotal(),
                vTotal,
                TimingSource{detailed ? "DisplayID detailed timing" : "DisplayID CVT timing",
                             detailed ? ++number : -1},
                d.offset));
            break;
        }
        case DisplayIdTimingKind::Dmt:
            if (const Dmt* dmt = FindDmt(d.code))
                out.push_back(FromDmt(*dmt, d.offset, TimingSource{"DisplayID DMT code", d.code}));
            break;
        case DisplayIdTimingKind::Vic:
            Vic(d.code, false, d.offset, TimingSource{"DisplayID VIC", d.code}, out);
            break;
        case DisplayIdTimingKind::HdmiVic:
            if (const int vic = VicOfHdmiVic(d.code))
                Vic(vic, false, d.offset, TimingSource{"DisplayID HDMI VIC", d.code}, out);
            break;
        case DisplayIdTimingKind::Vic420:
            Vic(d.code, true, d.offset, TimingSource{"DisplayID VIC", d.code, true}, out);
            break;
        }
    }
}

} // namespace
} // namespace check

// The DMT table lives with the check's timings.
std::optional<VideoTiming> DmtIdTiming(int id) {
    const check::Dmt* d = check::FindDmt(id);
    if (!d) return std::nullopt;
    VideoTiming t;
    t.format = {d->w, d->h, d->interlaced, d->rate};
    t.pixelClockKhz = d->clock;
    t.hFront = d->hf, t.hSync = d->hs, t.hBack = d->hb;
    t.vFront = d->vf, t.vSync = d->vs, t.vBack = d->vb;
    t.hPositive = d->hp, t.vPositive = d->vp;
    return t;
}

namespace check {

std::string TimingName(const ListedTiming& t) {
    char buf[128];
    char number[16] = "";
    if (t.source.number >= 0) std::snprintf(number, sizeof number, " %d", t.source.number);
    std::snprintf(buf, sizeof buf, "%dx%d%s at %.0f Hz (%s%s%s)", t.width, t.height,
                  t.interlaced ? "i" : "", t.refreshHz, t.source.kind, number,
                  t.source.y420 ? " as YCbCr 4:2:0" : "");
    return buf;
}

std::vector<ListedTiming> CollectTimings(const Model& m) {
    std::vector<ListedTiming> out;
    out.reserve(64);
    Established(m, out);
    for (int at = 38; at < 54; at += 2)
        Standard(m, at, out);
    int number = 0;
    for (int at = 54; at < 126; at += 18) {
        if (m.At(at) || m.At(at + 1)) {
            Detailed(m, at, ++number, out);
            continue;
        }
        if (m.At(at + 3) == 0xFA)
            for (int p = at + 5; p + 1 < at + 17; p += 2)
                Standard(m, p, out);
        DescriptorTimings(m, at, out);
    }
    for (int at : m.dtds)
        if (at >= 128) Detailed(m, at, ++number, out);
    CtaVideo(m, out);
    DisplayIdVideo(m, out);
    return out;
}

std::string NearTiming(const std::uint8_t* d) {
    const auto t = ReadDetailedTiming(d);
    if (!t || (d[15] | d[16])) return {};
    return NearTiming(*t);
}

std::string NearTiming(const VideoTiming& t) {
    const int hBlank = t.hFront + t.hSync + t.hBack;
    const int vBlank = t.vFront + t.vSync + t.vBack;
    auto near = [&](const VideoTiming& o) {
        if (o.format.width != t.format.width || o.format.height != t.format.height ||
            o.format.interlaced != t.format.interlaced || o.pixelClockKhz != t.pixelClockKhz ||
            o.hFront + o.hSync + o.hBack != hBlank || o.vFront + o.vSync + o.vBack != vBlank)
            return false;
        return !(o.hFront == t.hFront && o.hSync == t.hSync && o.vFront == t.vFront &&
                 o.vSync == t.vSync && o.hPositive == t.hPositive && o.vPositive == t.vPositive);
    };
    const VideoTiming* vics = VicTable(1); // codes 1..107 in a row
    for (int vic = 1; vic <= 107; ++vic)
        if (near(vics[vic - 1])) return "VIC " + std::to_string(vic);
    for (const Dmt& d : kDmt) {
        if (d.w != t.format.width || d.clock != t.pixelClockKhz) continue;
        if (near(*DmtIdTiming(d.id))) return DmtName(d.id);
    }
    return {};
}

} // namespace check
} // namespace tavo
