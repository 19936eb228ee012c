#include "workspace/creator/CreatorLoad.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "edid/Decoder.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"

namespace tavo::creator {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// 1 = Monday .. 7 = Sunday
int IsoWeekday(int y, int m, int d) {
    const long days = DaysFromCivil(y, m, d); // 1970-01-01 was a Thursday
    const long w = ((days % 7) + 7 + 3) % 7;  // 0 = Monday
    return static_cast<int>(w) + 1;
}

int IsoWeeksInYear(int y) {
    // a year has 53 weeks when it starts on a Thursday, or is a leap year starting on Wednesday
    const int jan1 = IsoWeekday(y, 1, 1);
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return (jan1 == 4 || (leap && jan1 == 3)) ? 53 : 52;
}

using Page = CreatorPage;

void Text(Page& page, std::uint16_t& status, std::string_view name, std::string text) {
    ChangeText(page, status, name, std::move(text));
}

void Check(Page& page, std::uint16_t& status, std::string_view name, bool checked) {
    ChangeCheck(page, status, name, checked);
}

void ResetAudio2(Page& page, std::uint16_t& status) {
    for (int n = 1; n <= 9; ++n)
        Check(page, status, ControlName(kAudioFormatPrefix, n), false);
    for (const auto& panel : kAudioPanels) {
        Text(page, status, AudioMaxChannelsName(panel), "0");
        if (panel.hasBitRate) Text(page, status, AudioBitRateName(panel), "     0");
        for (const auto& rate : kAudioRates)
            Check(page, status, AudioRateName(panel, rate.number), false);
        Check(page, status, AudioDetailName(panel), false);
    }
}

// An EDID without an L-PCM descriptor must not inherit the previous EDID's L-PCM settings, or
// its next build would add L-PCM descriptors it never had.
void ResetLpcm(Page& page, std::uint16_t& status) {
    Text(page, status, kLpcmMaxChannels, "0");
    for (const auto& rate : kAudioRates)
        Check(page, status, ControlName(kLpcmRatePrefix, rate.number), false);
    for (const auto& size : kLpcmSampleSizes)
        Check(page, status, ControlName(kLpcmSampleSizePrefix, size.number), false);
}

void ShowResetPage(Page& page, std::uint16_t& status) {
    Text(page, status, kManufacturerName, "Error.");
    Text(page, status, kMonitorName, "Error.");
    for (auto name : {kProductCode, kSerialNumber, kManufactureYear, kManufactureWeek})
        Text(page, status, name, "0");
    Text(page, status, kCecAddress, "0000");

    for (const auto& box : kEstablishedTimings)
        Check(page, status, ControlName(kEstablishedTimingPrefix, box.number), false);
    for (const auto& box : kStandardTimings)
        Check(page, status, ControlName(kStandardTimingPrefix, box.number), false);
    for (const auto& box : kColorSpaces)
        Check(page, status, ControlName(kColorSpacePrefix, box.number), false);
    for (const auto& box : kColorDepths)
        Check(page, status, ControlName(kColorDepthPrefix, box.number), false);
    for (const auto& box : kColorimetries)
        Check(page, status, ControlName(kColorimetryPrefix, box.number), false);
    for (const auto& box : kVideoBoxes)
        Check(page, status, ControlName(kVideoCodePrefix, box.vic), false);
    for (const auto& box : kYuv420Boxes)
        Check(page, status, ControlName(kYuv420Prefix, box.vic), false);
    for (const auto& rate : kAudioRates)
        Check(page, status, ControlName(kLpcmRatePrefix, rate.number), false);
    for (const auto& size : kLpcmSampleSizes)
        Check(page, status, ControlName(kLpcmSampleSizePrefix, size.number), false);
    for (const auto& box : kSpeakers)
        Check(page, status, SpeakerName(box), false);
    for (int n = 1; n <= 9; ++n)
        Check(page, status, ControlName(kAudioFormatPrefix, n), false);
    for (const auto& panel : kAudioPanels)
        for (const auto& rate : kAudioRates)
            Check(page, status, AudioRateName(panel, rate.number), false);
    Check(page, status, k3DPresent, false);
    for (const auto& box : kHdrDeepColours)
        Check(page, status, ControlName(kHdrDeepColourPrefix, box.number), false);
    for (const auto& box : kHdrEotfs)
        Check(page, status, ControlName(kHdrEotfPrefix, box.number), false);
    Check(page, status, kHdrDescriptorType1, false);

    Text(page, status, kLpcmMaxChannels, "0");
    for (const auto& panel : kAudioPanels) {
        Text(page, status, AudioMaxChannelsName(panel), "0");
        if (panel.hasBitRate) Text(page, status, AudioBitRateName(panel), "     0");
    }
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
        Text(page, status, ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), "    0");
}

void ShowAudio(const EdidRecord& r, Page& page, std::uint16_t& status) {
    ResetAudio2(page, status);
    ResetLpcm(page, status);
    int lpcmChannels = 0;
    for (const auto& sad : r.audioDescriptors) {
        const int code = (sad[0] & 0x78) >> 3;
        const int channels = (sad[0] & 7) + 1;
        const auto rates = [&](auto rateName) {
            for (const auto& rate : kAudioRates)
                Check(page, status, rateName(rate.number), (sad[1] & rate.bit) != 0);
        };
        if (code == kLpcmCode) {
            // MaxCH shows the largest L-PCM count and "Basic" stands for the two-channel
            // descriptor: a two-channel descriptor listed after a multichannel one must not
            // hide it, or the next build would remove the multichannel descriptor
            lpcmChannels = std::max(lpcmChannels, channels);
            Text(page, status, kLpcmMaxChannels, std::to_string(lpcmChannels));
            if (channels == 2) Check(page, status, kBasicAudio, true);
            rates([](int k) { return ControlName(kLpcmRatePrefix, k); });
            for (const auto& size : kLpcmSampleSizes)
                Check(page, status, ControlName(kLpcmSampleSizePrefix, size.number),
                      (sad[2] & size.bit) != 0);
            continue;
        }
        for (const auto& panel : kAudioPanels) {
            if (panel.code != code) continue;
            Check(page, status, AudioFormatBoxName(panel), true);
            Text(page, status, AudioMaxChannelsName(panel), std::to_string(channels));
            rates([&](int k) -> const std::string& { return AudioRateName(panel, k); });
            if (panel.hasBitRate)
                Text(page, status, AudioBitRateName(panel), BitRateText(8u * sad[2]));
        }
    }
}

void ShowRecord(const EdidRecord& r, Page& page, std::uint16_t& status, const CalendarDate& today) {
    // Descriptor
    Text(page, status, kManufacturerName, std::string(FieldText(r.manufacturer)));
    const auto name = FieldText(r.monitorName);
    Text(page, status, kMonitorName, name.empty() ? std::string("-") : std::string(name));
    Text(page, status, kProductCode, std::to_string(r.productCode));
    Text(page, status, kSerialNumber, SerialNumberText(r.serialNumber));
    const bool isNew = (r.status & kStatusNewTemplate) != 0;
    Text(page, status, kManufactureYear, std::to_string(isNew ? today.year : r.year + 1990));
    Text(page, status, kManufactureWeek, std::to_string(isNew ? IsoWeek(today) : r.week));

    // PC Timing
    for (const auto& box : kEstablishedTimings)
        Check(page, status, ControlName(kEstablishedTimingPrefix, box.number),
              (r.establishedTimings & box.bit) != 0);
    for (const auto& box : kStandardTimings)
        Check(page, status, ControlName(kStandardTimingPrefix, box.number), false);
    for (auto code : r.standardTimings)
        for (const auto& box : kStandardTimings)
            if (code == box.code)
                Check(page, status, ControlName(kStandardTimingPrefix, box.number), true);

    // Color Space
    Check(page, status, ControlName(kColorSpacePrefix, 1), (r.ycbcrSupport & 0x20) != 0);
    Check(page, status, ControlName(kColorSpacePrefix, 2), (r.ycbcrSupport & 0x10) != 0);
    Check(page, status, ControlName(kColorSpacePrefix, 3), r.yuv420Selection == 1);
    for (const auto& box : kColorDepths)
        Check(page, status, ControlName(kColorDepthPrefix, box.number),
              (r.deepColor & box.bit) != 0);
    for (const auto& box : kColorimetries)
        Check(page, status, ControlName(kColorimetryPrefix, box.number),
              (r.colorimetry & box.bit) != 0);

    // SD/HD/UHD: each box is cleared and then ticked, as the page's own handlers see it
    const auto has = [](const auto& list, int vic) {
        return std::find(list.begin(), list.end(), vic) != list.end();
    };
    for (const auto& box : kVideoBoxes) {
        const auto boxName = ControlName(kVideoCodePrefix, box.vic);
        Check(page, status, boxName, false);
        if (has(r.videoCodes, box.vic)) Check(page, status, boxName, true);
    }
    for (const auto& box : kYuv420Boxes) {
        const auto boxName = ControlName(kYuv420Prefix, box.vic);
        Check(page, status, boxName, false);
        if (has(r.yuv420VideoCodes, box.vic)) Check(page, status, boxName, true);
    }
    for (auto vic : r.hdmiVics)
        if (vic >= 1 && vic < kVideoBoxOfHdmiVic.size())
            Check(page, status, ControlName(kVideoCodePrefix, kVideoBoxOfHdmiVic[vic]), true);
    Check(page, status, k3DPresent, (r.formatFlags & kFormat3D) != 0);

    // HDR
    for (const auto& box : kHdrDeepColours)
        Check(page, status, ControlName(kHdrDeepColourPrefix, box.number),
              (r.forumYuv420DeepColor & box.bit) != 0);
    for (const auto& box : kHdrEotfs)
        Check(page, status, ControlName(kHdrEotfPrefix, box.number), (r.hdrEotfs & box.bit) != 0);
    for (std::size_t i = 0; i < r.hdrLuminance.size(); ++i)
        Text(page, status, ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1),
             LuminanceText(r.hdrLuminance[i]));
    Check(page, status, kHdrDescriptorType1, (r.hdrDescriptors & 0x01) != 0);

    ShowAudio(r, page, status);

    for (const auto& box : kSpeakers)
        Check(page, status, SpeakerName(box), (r.speakerAllocation & box.bit) != 0);

    char cec[8];
    std::snprintf(cec, sizeof cec, "%02X%02X", r.cecAddress[0], r.cecAddress[1]);
    Text(page, status, kCecAddress, cec);
    const bool dvi = (r.formatFlags & (kFormatNoExtension | kFormatCeaWithoutHdmi)) != 0;
    Check(page, status, dvi ? kFormatDvi : kFormatHdmi, true);
}

} // namespace

CalendarDate Today() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return {1970, 1, 1};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday};
}

int IsoWeek(const CalendarDate& date) {
    const int ordinal = static_cast<int>(DaysFromCivil(date.year, date.month, date.day) -
                                         DaysFromCivil(date.year, 1, 1)) +
                        1;
    const int week = (ordinal - IsoWeekday(date.year, date.month, date.day) + 10) / 7;
    if (week < 1) return IsoWeeksInYear(date.year - 1);
    if (week > IsoWeeksInYear(date.year)) return 1;
    return week;
}

std::string LuminanceText(unsigned code) {
    const char* pad = code < 10 ? "    " : code < 100 ? "   " : "  ";
    return pad + std::to_string(code);
}

std::string BitRateText(unsigned kbits) {
    return (kbits >= 1000 ? " " : "  ") + std::to_string(kbits);
}

std::string SerialNumberText(std::uint32_t serial) {
    return std::to_string(static_cast<std::int32_t>(serial));
}

void ShowInCreator(EdidRecord& record, CreatorPage& page, const EdidImage& image,
                   const CalendarDate& today) {
    const EdidImage source = image; // the image may be the record's own
    Decode(record, source);
    if (record.status & kStatusValidationMask)
        ShowResetPage(page, record.status);
    else
        ShowRecord(record, page, record.status, today);
}

void OpenImage(EdidRecord& record, CreatorPage& page, const EdidImage& image,
               const CalendarDate& today) {
    record.status =
        static_cast<std::uint16_t>((record.status & ~kStatusNewTemplate) | kStatusHoldsEdid);
    ShowInCreator(record, page, image, today);
}

void OpenNew(EdidRecord& record, CreatorPage& page, const CalendarDate& today) {
    record.status |= kStatusNewTemplate | kStatusHoldsEdid;
    ShowInCreator(record, page, NewEdidTemplate(), today);
}

bool OpenFromAnalyzer(EdidRecord& record, CreatorPage& page, const EdidRecord& transfer,
                      const CalendarDate& today) {
    if (transfer.status & kStatusValidationMask) return false;
    OpenImage(record, page, transfer.image, today);
    return true;
}

} // namespace tavo::creator
