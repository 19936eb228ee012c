#include "maintenance/Firmware.h"

#include <algorithm>
#include <cstring>

#include "link/Response.h"
#include "link/SlotName.h"

namespace tavo {
namespace {

std::uint8_t At(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    return offset < size ? data[offset] : 0xFF;
}

std::string TextAt(const std::uint8_t* data, std::size_t size, std::size_t offset,
                   std::size_t max) {
    std::string s;
    for (std::size_t i = 0; i < max; ++i) {
        const std::uint8_t c = At(data, size, offset + i);
        if (c == 0) break;
        s += static_cast<char>(c);
    }
    return s;
}

} // namespace

FirmwareHeader CheckFirmwareHeader(const std::uint8_t* data, std::size_t size) {
    FirmwareHeader h;
    if (data == nullptr) size = 0;
    static constexpr char kMark[] = "FW VER:";
    bool mark = size >= kFwHeaderOffset + 7;
    for (std::size_t i = 0; mark && i < 7; ++i)
        mark = At(data, size, kFwHeaderOffset + i) == static_cast<std::uint8_t>(kMark[i]);
    if (!mark) return h;
    h.version = TextAt(data, size, 520, 8);
    h.vid = TextAt(data, size, 528, 4);
    h.pid = TextAt(data, size, 532, 4);
    h.tooLarge = size > kFwMaxSize;
    h.accepted = !h.tooLarge;
    return h;
}

std::string TargetLine(const FirmwareHeader& header) {
    if (!header.accepted) return "Target :";
    return "Target :   VID-" + header.vid + "     PID-" + header.pid + "     Version-" +
           header.version;
}

std::string CurrentLine(const std::string& vid, const std::string& pid,
                        const std::string& version) {
    return "Current :   VID-" + vid + "    PID-" + pid + "    Version-" + version;
}

std::vector<FirmwareStep> FirmwarePlan(const std::uint8_t* data, std::size_t size) {
    std::vector<FirmwareStep> plan;
    if (data == nullptr) size = 0;
    const std::size_t blocks = (size + kFwBlock - 1) / kFwBlock;
    plan.reserve(2 * blocks + 1);
    for (std::size_t a = 0; a < size; a += kFwBlock) {
        FirmwareStep addr{FirmwareStep::Address, static_cast<std::uint16_t>(a), {}, {}};
        plan.push_back(addr);
        FirmwareStep block{FirmwareStep::Data, static_cast<std::uint16_t>(a), {}, {}};
        block.data.fill(0xFF);
        std::memcpy(block.data.data(), data + a, std::min(kFwBlock, size - a));
        const std::size_t next = a + kFwBlock;
        block.label = next < size ? std::to_string(next * 100 / size) + "%" : "100%";
        plan.push_back(std::move(block));
    }
    plan.push_back(FirmwareStep{FirmwareStep::End, 0, {}, {}});
    return plan;
}

std::optional<std::string> FirmwareRefusal(std::string_view received) {
    while (!received.empty()) {
        const std::size_t end = received.find('\n');
        if (end == std::string_view::npos) break; // a line still on its way says nothing yet
        const std::string_view line = received.substr(0, end + 1);
        received.remove_prefix(end + 1);
        const LineVerdict verdict = CheckResponseLine(line);
        std::string_view body = verdict.crcOk ? verdict.body : line.substr(0, end);
        while (!body.empty() && (body.back() == '\r' || body.back() == ' '))
            body.remove_suffix(1);
        body = body.substr(0, body.find(kFieldSeparator));
        if (body == "NG" || body == "ERR") return std::string(body);
    }
    return std::nullopt;
}

namespace {

std::string_view BareVersion(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.remove_suffix(1);
    if (!v.empty() && (v.front() == 'V' || v.front() == 'v')) v.remove_prefix(1);
    return v;
}

std::string VersionLabel(const std::string& v) {
    return "V" + std::string(BareVersion(v));
}

} // namespace

FirmwareCheck CheckRunningVersion(const std::optional<std::string>& running,
                                  const std::string& image) {
    if (!running || BareVersion(image).empty()) return FirmwareCheck::NotConfirmed;
    return BareVersion(*running) == BareVersion(image) ? FirmwareCheck::Confirmed
                                                       : FirmwareCheck::Mismatch;
}

std::string FirmwareCheckText(FirmwareCheck check, const std::string& running,
                              const std::string& image) {
    switch (check) {
    case FirmwareCheck::Confirmed:
        return VersionLabel(image) + " running: update confirmed";
    case FirmwareCheck::Mismatch:
        return "the device runs " + VersionLabel(running) + ", not " + VersionLabel(image) +
               ": the update did not take";
    case FirmwareCheck::NotConfirmed:
        break;
    }
    return "Image sent; not confirmed: check the version once the device restarts";
}

std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    // the byte after the cut continues a character: the cut moves back to that character's
    // first byte (a UTF-8 character has at most three continuation bytes)
    std::size_t n = limit;
    const auto continuation = [&](std::size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    while (n > 0 && limit - n < 3 && continuation(n))
        --n;
    if (continuation(n)) return text.substr(0, limit); // not UTF-8: bytes are characters
    return text.substr(0, n);
}

std::vector<std::uint8_t> DescriptionPayload(const std::string& text) {
    if (text.empty()) return {0x20};
    const std::string_view cut = CutAtCharacter(text, kDescriptionLimit);
    return std::vector<std::uint8_t>(cut.begin(), cut.end());
}

std::vector<SlotSelector> SlotsResetByDefaults(unsigned userCount) {
    std::vector<SlotSelector> out;
    for (unsigned i = 0; i < userCount; ++i)
        out.push_back(SlotSelector::Make(SlotKind::User, i));
    return out;
}

std::string DefaultsQuestion(unsigned userCount, bool keptInHistory) {
    std::string text = "Warning!\r\nReset system to default.\r\n";
    if (userCount == 0)
        return text + "The description and the EDID mode go back to the device's defaults.";
    const std::string first = SlotTitle(SlotSelector::Make(SlotKind::User, 0));
    const std::string last = SlotTitle(SlotSelector::Make(SlotKind::User, userCount - 1));
    const std::string slots = userCount == 1   ? "the EDID in " + first
                              : userCount == 2 ? "the EDIDs in " + first + " and " + last
                                               : "the EDIDs in " + first + " to " + last;
    text += "The description, the EDID mode and " + slots + " go back to the device's defaults.";
    if (keptInHistory)
        text += std::string(userCount == 1 ? " That EDID is" : " Those EDIDs are") +
                " kept in the history first (Device > History).";
    return text;
}

std::string DefaultsKeepingText(SlotSelector slot, int n, int total) {
    return "Keeping " + SlotTitle(slot) + " in the history (" + std::to_string(n) + " of " +
           std::to_string(total) + ")...";
}

} // namespace tavo
