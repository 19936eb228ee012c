#include "edid/VideoFormats.h"

#include <array>
#include <cmath>

namespace tavo {
namespace {

struct Row {
    std::uint8_t vic;
    std::uint16_t w, h;
    bool i;
    std::uint16_t rate;
    int clock; // kHz
    std::uint16_t hf, hs, hb, vf, vs, vb;
    bool hp, vp;
};

// CTA-861 video codes 1..107. Interlaced rows give the frame height and per-field vertical
// blanking; pairs that differ only in picture aspect share one timing.
constexpr Row kCta[] = {
    {1, 640, 480, false, 60, 25175, 16, 96, 48, 10, 2, 33, false, false},
    {2, 720, 480, false, 60, 27000, 16, 62, 60, 9, 6, 30, false, false},
    {3, 720, 480, false, 60, 27000, 16, 62, 60, 9, 6, 30, false, false},
    {4, 1280, 720, false, 60, 74250, 110, 40, 220, 5, 5, 20, true, true},
    {5, 1920, 1080, true, 60, 74250, 88, 44, 148, 2, 5, 15, true, true},
    {6, 1440, 480, true, 60, 27000, 38, 124, 114, 4, 3, 15, false, false},
    {7, 1440, 480, true, 60, 27000, 38, 124, 114, 4, 3, 15, false, false},
    {8, 1440, 240, false, 60, 27000, 38, 124, 114, 4, 3, 15, false, false},
    {9, 1440, 240, false, 60, 27000, 38, 124, 114, 4, 3, 15, false, false},
    {10, 2880, 480, true, 60, 54000, 76, 248, 228, 4, 3, 15, false, false},
    {11, 2880, 480, true, 60, 54000, 76, 248, 228, 4, 3, 15, false, false},
    {12, 2880, 240, false, 60, 54000, 76, 248, 228, 4, 3, 15, false, false},
    {13, 2880, 240, false, 60, 54000, 76, 248, 228, 4, 3, 15, false, false},
    {14, 1440, 480, false, 60, 54000, 32, 124, 120, 9, 6, 30, false, false},
    {15, 1440, 480, false, 60, 54000, 32, 124, 120, 9, 6, 30, false, false},
    {16, 1920, 1080, false, 60, 148500, 88, 44, 148, 4, 5, 36, true, true},
    {17, 720, 576, false, 50, 27000, 12, 64, 68, 5, 5, 39, false, false},
    {18, 720, 576, false, 50, 27000, 12, 64, 68, 5, 5, 39, false, false},
    {19, 1280, 720, false, 50, 74250, 440, 40, 220, 5, 5, 20, true, true},
    {20, 1920, 1080, true, 50, 74250, 528, 44, 148, 2, 5, 15, true, true},
    {21, 1440, 576, true, 50, 27000, 24, 126, 138, 2, 3, 19, false, false},
    {22, 1440, 576, true, 50, 27000, 24, 126, 138, 2, 3, 19, false, false},
    {23, 1440, 288, false, 50, 27000, 24, 126, 138, 2, 3, 19, false, false},
    {24, 1440, 288, false, 50, 27000, 24, 126, 138, 2, 3, 19, false, false},
    {25, 2880, 576, true, 50, 54000, 48, 252, 276, 2, 3, 19, false, false},
    {26, 2880, 576, true, 50, 54000, 48, 252, 276, 2, 3, 19, false, false},
    {27, 2880, 288, false, 50, 54000, 48, 252, 276, 2, 3, 19, false, false},
    {28, 2880, 288, false, 50, 54000, 48, 252, 276, 2, 3, 19, false, false},
    {29, 1440, 576, false, 50, 54000, 24, 128, 136, 5, 5, 39, false, false},
    {30, 1440, 576, false, 50, 54000, 24, 128, 136, 5, 5, 39, false, false},
    {31, 1920, 1080, false, 50, 148500, 528, 44, 148, 4, 5, 36, true, true},
    {32, 1920, 1080, false, 24, 74250, 638, 44, 148, 4, 5, 36, true, true},
    {33, 1920, 1080, false, 25, 74250, 528, 44, 148, 4, 5, 36, true, true},
    {34, 1920, 1080, false, 30, 74250, 88, 44, 148, 4, 5, 36, true, true},
    {35, 2880, 480, false, 60, 108000, 64, 248, 240, 9, 6, 30, false, false},
    {36, 2880, 480, false, 60, 108000, 64, 248, 240, 9, 6, 30, false, false},
    {37, 2880, 576, false, 50, 108000, 48, 256, 272, 5, 5, 39, false, false},
    {38, 2880, 576, false, 50, 108000, 48, 256, 272, 5, 5, 39, false, false},
    {39, 1920, 1080, true, 50, 72000, 32, 168, 184, 23, 5, 57, true, false},
    {40, 1920, 1080, true, 100, 148500, 528, 44, 148, 2, 5, 15, true, true},
    {41, 1280, 720, false, 100, 148500, 440, 40, 220, 5, 5, 20, true, true},
    {42, 720, 576, false, 100, 54000, 12, 64, 68, 5, 5, 39, false, false},
    {43, 720, 576, false, 100, 54000, 12, 64, 68, 5, 5, 39, false, false},
    {44, 1440, 576, true, 100, 54000, 24, 126, 138, 2, 3, 19, false, false},
    {45, 1440, 576, true, 100, 54000, 24, 126, 138, 2, 3, 19, false, false},
    {46, 1920, 1080, true, 120, 148500, 88, 44, 148, 2, 5, 15, true, true},
    {47, 1280, 720, false, 120, 148500, 110, 40, 220, 5, 5, 20, true, true},
    {48, 720, 480, false, 120, 54000, 16, 62, 60, 9, 6, 30, false, false},
    {49, 720, 480, false, 120, 54000, 16, 62, 60, 9, 6, 30, false, false},
    {50, 1440, 480, true, 120, 54000, 38, 124, 114, 4, 3, 15, false, false},
    {51, 1440, 480, true, 120, 54000, 38, 124, 114, 4, 3, 15, false, false},
    {52, 720, 576, false, 200, 108000, 12, 64, 68, 5, 5, 39, false, false},
    {53, 720, 576, false, 200, 108000, 12, 64, 68, 5, 5, 39, false, false},
    {54, 1440, 576, true, 200, 108000, 24, 126, 138, 2, 3, 19, false, false},
    {55, 1440, 576, true, 200, 108000, 24, 126, 138, 2, 3, 19, false, false},
    {56, 720, 480, false, 240, 108000, 16, 62, 60, 9, 6, 30, false, false},
    {57, 720, 480, false, 240, 108000, 16, 62, 60, 9, 6, 30, false, false},
    {58, 1440, 480, true, 240, 108000, 38, 124, 114, 4, 3, 15, false, false},
    {59, 1440, 480, true, 240, 108000, 38, 124, 114, 4, 3, 15, false, false},
    {60, 1280, 720, false, 24, 59400, 1760, 40, 220, 5, 5, 20, true, true},
    {61, 1280, 720, false, 25, 74250, 2420, 40, 220, 5, 5, 20, true, true},
    {62, 1280, 720, false, 30, 74250, 1760, 40, 220, 5, 5, 20, true, true},
    {63, 1920, 1080, false, 120, 297000, 88, 44, 148, 4, 5, 36, true, true},
    {64, 1920, 1080, false, 100, 297000, 528, 44, 148, 4, 5, 36, true, true},
    {65, 1280, 720, false, 24, 59400, 1760, 40, 220, 5, 5, 20, true, true},
    {66, 1280, 720, false, 25, 74250, 2420, 40, 220, 5, 5, 20, true, true},
    {67, 1280, 720, false, 30, 74250, 1760, 40, 220, 5, 5, 20, true, true},
    {68, 1280, 720, false, 50, 74250, 440, 40, 220, 5, 5, 20, true, true},
    {69, 1280, 720, false, 60, 74250, 110, 40, 220, 5, 5, 20, true, true},
    {70, 1280, 720, false, 100, 148500, 440, 40, 220, 5, 5, 20, true, true},
    {71, 1280, 720, false, 120, 148500, 110, 40, 220, 5, 5, 20, true, true},
    {72, 1920, 1080, false, 24, 74250, 638, 44, 148, 4, 5, 36, true, true},
    {73, 1920, 1080, false, 25, 74250, 528, 44, 148, 4, 5, 36, true, true},
    {74, 1920, 1080, false, 30, 74250, 88, 44, 148, 4, 5, 36, true, true},
    {75, 1920, 1080, false, 50, 148500, 528, 44, 148, 4, 5, 36, true, true},
    {76, 1920, 1080, false, 60, 148500, 88, 44, 148, 4, 5, 36, true, true},
    {77, 1920, 1080, false, 100, 297000, 528, 44, 148, 4, 5, 36, true, true},
    {78, 1920, 1080, false, 120, 297000, 88, 44, 148, 4, 5, 36, true, true},
    {79, 1680, 720, false, 24, 59400, 1360, 40, 220, 5, 5, 20, true, true},
    {80, 1680, 720, false, 25, 59400, 1228, 40, 220, 5, 5, 20, true, true},
    {81, 1680, 720, false, 30, 59400, 700, 40, 220, 5, 5, 20, true, true},
    {82, 1680, 720, false, 50, 82500, 260, 40, 220, 5, 5, 20, true, true},
    {83, 1680, 720, false, 60, 99000, 260, 40, 220, 5, 5, 20, true, true},
    {84, 1680, 720, false, 100, 165000, 60, 40, 220, 5, 5, 95, true, true},
    {85, 1680, 720, false, 120, 198000, 60, 40, 220, 5, 5, 95, true, true},
    {86, 2560, 1080, false, 24, 99000, 998, 44, 148, 4, 5, 11, true, true},
    {87, 2560, 1080, false, 25, 90000, 448, 44, 148, 4, 5, 36, true, true},
    {88, 2560, 1080, false, 30, 118800, 768, 44, 148, 4, 5, 36, true, true},
    {89, 2560, 1080, false, 50, 185625, 548, 44, 148, 4, 5, 36, true, true},
    {90, 2560, 1080, false, 60, 198000, 248, 44, 148, 4, 5, 11, true, true},
    {91, 2560, 1080, false, 100, 371250, 218, 44, 148, 4, 5, 161, true, true},
    {92, 2560, 1080, false, 120, 495000, 548, 44, 148, 4, 5, 161, true, true},
    {93, 3840, 2160, false, 24, 297000, 1276, 88, 296, 8, 10, 72, true, true},
    {94, 3840, 2160, false, 25, 297000, 1056, 88, 296, 8, 10, 72, true, true},
    {95, 3840, 2160, false, 30, 297000, 176, 88, 296, 8, 10, 72, true, true},
    {96, 3840, 2160, false, 50, 594000, 1056, 88, 296, 8, 10, 72, true, true},
    {97, 3840, 2160, false, 60, 594000, 176, 88, 296, 8, 10, 72, true, true},
    {98, 4096, 2160, false, 24, 297000, 1020, 88, 296, 8, 10, 72, true, true},
    {99, 4096, 2160, false, 25, 297000, 968, 88, 128, 8, 10, 72, true, true},
    {100, 4096, 2160, false, 30, 297000, 88, 88, 128, 8, 10, 72, true, true},
    {101, 4096, 2160, false, 50, 594000, 968, 88, 128, 8, 10, 72, true, true},
    {102, 4096, 2160, false, 60, 594000, 88, 88, 128, 8, 10, 72, true, true},
    {103, 3840, 2160, false, 24, 297000, 1276, 88, 296, 8, 10, 72, true, true},
    {104, 3840, 2160, false, 25, 297000, 1056, 88, 296, 8, 10, 72, true, true},
    {105, 3840, 2160, false, 30, 297000, 176, 88, 296, 8, 10, 72, true, true},
    {106, 3840, 2160, false, 50, 594000, 1056, 88, 296, 8, 10, 72, true, true},
    {107, 3840, 2160, false, 60, 594000, 176, 88, 296, 8, 10, 72, true, true},
};

// Formats only (matching) of the codes 108..127 and 193..219.
struct FormatRow {
    std::uint8_t vic;
    std::uint16_t w, h, rate;
};
constexpr FormatRow kCtaHigh[] = {
    {108, 1280, 720, 48},   {109, 1280, 720, 48},    {110, 1680, 720, 48},
    {111, 1920, 1080, 48},  {112, 1920, 1080, 48},   {113, 2560, 1080, 48},
    {114, 3840, 2160, 48},  {115, 4096, 2160, 48},   {116, 3840, 2160, 48},
    {117, 3840, 2160, 100}, {118, 3840, 2160, 120},  {119, 3840, 2160, 100},
    {120, 3840, 2160, 120}, {121, 5120, 2160, 24},   {122, 5120, 2160, 25},
    {123, 5120, 2160, 30},  {124, 5120, 2160, 48},   {125, 5120, 2160, 50},
    {126, 5120, 2160, 60},  {127, 5120, 2160, 100},  {193, 5120, 2160, 120},
    {194, 7680, 4320, 24},  {195, 7680, 4320, 25},   {196, 7680, 4320, 30},
    {197, 7680, 4320, 48},  {198, 7680, 4320, 50},   {199, 7680, 4320, 60},
    {200, 7680, 4320, 100}, {201, 7680, 4320, 120},  {202, 7680, 4320, 24},
    {203, 7680, 4320, 25},  {204, 7680, 4320, 30},   {205, 7680, 4320, 48},
    {206, 7680, 4320, 50},  {207, 7680, 4320, 60},   {208, 7680, 4320, 100},
    {209, 7680, 4320, 120}, {210, 10240, 4320, 24},  {211, 10240, 4320, 25},
    {212, 10240, 4320, 30}, {213, 10240, 4320, 48},  {214, 10240, 4320, 50},
    {215, 10240, 4320, 60}, {216, 10240, 4320, 100}, {217, 10240, 4320, 120},
    {218, 4096, 2160, 100}, {219, 4096, 2160, 120},
};

// DMT timings of formats that have no CTA code.
constexpr Row kDmt[] = {
    {0, 720, 400, false, 70, 28322, 18, 108, 54, 12, 2, 35, false, true},
    {0, 800, 600, false, 60, 40000, 40, 128, 88, 1, 4, 23, true, true},
    {0, 1024, 768, false, 60, 65000, 24, 136, 160, 3, 6, 29, false, false},
    {0, 1280, 800, false, 60, 83500, 72, 128, 200, 3, 6, 22, false, true},
    {0, 1280, 960, false, 60, 108000, 96, 112, 312, 1, 3, 36, true, true},
    {0, 1280, 1024, false, 60, 108000, 48, 112, 248, 1, 3, 38, true, true},
    {0, 1366, 768, false, 60, 85500, 70, 143, 213, 3, 3, 24, true, true},
    {0, 1440, 900, false, 60, 106500, 80, 152, 232, 3, 6, 25, false, true},
    {0, 1600, 900, false, 60, 108000, 24, 80, 96, 1, 3, 96, true, true},
    {0, 1600, 1200, false, 60, 162000, 64, 192, 304, 1, 3, 46, true, true},
    {0, 1680, 1050, false, 60, 146250, 104, 176, 280, 3, 6, 30, false, true},
    {0, 1920, 1200, false, 60, 154000, 48, 32, 80, 3, 6, 26, true, false},
};

VideoTiming TimingOf(const Row& r) {
    VideoTiming t;
    t.format = {r.w, r.h, r.i, r.rate};
    t.pixelClockKhz = r.clock;
    t.hFront = r.hf, t.hSync = r.hs, t.hBack = r.hb;
    t.vFront = r.vf, t.vSync = r.vs, t.vBack = r.vb;
    t.hPositive = r.hp, t.vPositive = r.vp;
    return t;
}

constexpr VideoFormat kEstablished[kEstablishedTimingBits] = {
    {720, 400, false, 70},  {720, 400, false, 88},  {640, 480, false, 60},  {640, 480, false, 67},
    {640, 480, false, 72},  {640, 480, false, 75},  {800, 600, false, 56},  {800, 600, false, 60},
    {800, 600, false, 72},  {800, 600, false, 75},  {832, 624, false, 75},  {1024, 768, true, 87},
    {1024, 768, false, 60}, {1024, 768, false, 70}, {1024, 768, false, 75}, {1280, 1024, false, 75},
    {1152, 870, false, 75},
};

} // namespace

std::optional<VideoTiming> VicTiming(int vic) {
    if (vic < 1 || vic > 107) return std::nullopt;
    return TimingOf(kCta[vic - 1]);
}

std::optional<VideoFormat> VicFormat(int vic) {
    if (const auto t = VicTiming(vic)) return t->format;
    for (const FormatRow& r : kCtaHigh)
        if (r.vic == vic) return VideoFormat{r.w, r.h, false, r.rate};
    return std::nullopt;
}

int VicOfFormat(const VideoFormat& format) {
    for (const Row& r : kCta)
        if (VideoFormat{r.w, r.h, r.i, r.rate} == format) return r.vic;
    for (const FormatRow& r : kCtaHigh)
        if (VideoFormat{r.w, r.h, false, r.rate} == format) return r.vic;
    return 0;
}

int VicOfHdmiVic(int hdmiVic) {
    constexpr int vics[] = {0, 95, 94, 93, 98};
    return hdmiVic >= 1 && hdmiVic <= 4 ? vics[hdmiVic] : 0;
}

int HdmiVicOfVic(int vic) {
    for (int h = 1; h <= 4; ++h)
        if (VicOfHdmiVic(h) == vic) return h;
    return 0;
}

std::optional<VideoFormat> EstablishedFormat(int bit) {
    if (bit < 0 || bit >= kEstablishedTimingBits) return std::nullopt;
    return kEstablished[bit];
}

std::optional<VideoTiming> KnownTiming(const VideoFormat& format) {
    for (const Row& r : kCta)
        if (VideoFormat{r.w, r.h, r.i, r.rate} == format) return TimingOf(r);
    for (const Row& r : kDmt)
        if (VideoFormat{r.w, r.h, r.i, r.rate} == format) return TimingOf(r);
    return std::nullopt;
}

std::optional<VideoTiming> ReadDetailedTiming(const std::uint8_t* d) {
    const int clock = d[0] | d[1] << 8;
    if (clock == 0) return std::nullopt;
    VideoTiming t;
    t.pixelClockKhz = clock * 10;
    const int hActive = d[2] | (d[4] & 0xF0) << 4;
    const int hBlank = d[3] | (d[4] & 0x0F) << 8;
    const int vActive = d[5] | (d[7] & 0xF0) << 4;
    const int vBlank = d[6] | (d[7] & 0x0F) << 8;
    t.hFront = d[8] | (d[11] & 0xC0) << 2;
    t.hSync = d[9] | (d[11] & 0x30) << 4;
    t.vFront = (d[10] >> 4) | (d[11] & 0x0C) << 2;
    t.vSync = (d[10] & 0x0F) | (d[11] & 0x03) << 4;
    t.hBack = hBlank - t.hFront - t.hSync;
    t.vBack = vBlank - t.vFront - t.vSync;
    const bool interlaced = d[17] & 0x80;
    if (hActive == 0 || vActive == 0) return std::nullopt;
    t.hPositive = (d[17] & 0x18) == 0x18 ? (d[17] & 0x02) : false;
    t.vPositive = (d[17] & 0x18) == 0x18 ? (d[17] & 0x04) : false;
    const double htotal = hActive + hBlank;
    const double vtotal = vActive + vBlank + (interlaced ? 0.5 : 0.0);
    const double rate = t.pixelClockKhz * 1000.0 / (htotal * vtotal);
    t.format = {hActive, interlaced ? vActive * 2 : vActive, interlaced,
                static_cast<int>(std::lround(rate))};
    return t;
}

std::optional<DetailedTiming> WriteDetailedTiming(const VideoTiming& t) {
    DetailedTiming d{};
    const int clock = t.pixelClockKhz / 10;
    const int hActive = t.format.width;
    const int vActive = t.format.interlaced ? t.format.height / 2 : t.format.height;
    const int hBlank = t.hFront + t.hSync + t.hBack;
    const int vBlank = t.vFront + t.vSync + t.vBack;
    if (clock < 1 || clock > 0xFFFF || hActive > 4095 || vActive > 4095 || hBlank > 4095 ||
        vBlank > 4095 || t.hFront > 1023 || t.hSync > 1023 || t.vFront > 63 || t.vSync > 63)
        return std::nullopt;
    d[0] = clock & 0xFF;
    d[1] = (clock >> 8) & 0xFF;
    d[2] = hActive & 0xFF;
    d[3] = hBlank & 0xFF;
    d[4] = ((hActive >> 8) & 0x0F) << 4 | ((hBlank >> 8) & 0x0F);
    d[5] = vActive & 0xFF;
    d[6] = vBlank & 0xFF;
    d[7] = ((vActive >> 8) & 0x0F) << 4 | ((vBlank >> 8) & 0x0F);
    d[8] = t.hFront & 0xFF;
    d[9] = t.hSync & 0xFF;
    d[10] = (t.vFront & 0x0F) << 4 | (t.vSync & 0x0F);
    d[11] = ((t.hFront >> 8) & 3) << 6 | ((t.hSync >> 8) & 3) << 4 | ((t.vFront >> 4) & 3) << 2 |
            ((t.vSync >> 4) & 3);
    d[17] = (t.format.interlaced ? 0x80 : 0) | 0x18 | (t.vPositive ? 0x04 : 0) |
            (t.hPositive ? 0x02 : 0);
    return d;
}

std::optional<VideoFormat> StandardTimingFormat(std::uint8_t b0, std::uint8_t b1) {
    if (b0 <= 0x01 || (b0 == 0x20 && b1 == 0x20)) return std::nullopt; // unused entries
    const int w = (b0 + 31) * 8;
    static constexpr int num[] = {10, 3, 4, 9}, den[] = {16, 4, 5, 16};
    const int a = b1 >> 6;
    return VideoFormat{w, w * num[a] / den[a], false, (b1 & 0x3F) + 60};
}

std::uint16_t StandardTimingCode(const VideoFormat& f) {
    // the first byte is 2 at least (0 and 1 mark unused entries), the rate 60 to 123 Hz
    if (f.interlaced || f.width % 8 || f.width < 264 || f.width > 2288 || f.rate < 60 ||
        f.rate > 123)
        return 0;
    static constexpr int num[] = {10, 3, 4, 9}, den[] = {16, 4, 5, 16};
    for (int a = 0; a < 4; ++a)
        if (f.width * num[a] / den[a] == f.height) {
            const auto code =
                static_cast<std::uint16_t>((f.width / 8 - 31) << 8 | a << 6 | (f.rate - 60));
            return code == 0x2020 ? 0 : code;
        }
    return 0;
}

} // namespace tavo
