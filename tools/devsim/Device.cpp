#include "Device.h"

#include "BuiltinEdid.h"

#include "link/Crc16.h"
#include <algorithm>

namespace tavo::devsim {
namespace {

constexpr char kFieldEnd = '\x0C';

void AddField(std::string& body, std::string_view text) {
    body += text;
    body += kFieldEnd;
}

void AddNumber(std::string& body, unsigned value) {
    AddField(body, std::to_string(value));
}
void AddFlag(std::string& body, bool value) {
    AddField(body, value ? "T" : "F");
}

std::string Ack(bool applied) {
    return AnswerLine(applied ? "OK\x0C" : "NG\x0C");
}

DeviceResult SetResult(bool applied, std::string note = {}) {
    DeviceResult r;
    r.answered = true;
    r.answer = Ack(applied);
    r.note = std::move(note);
    return r;
}

DeviceResult Silent(std::string note) {
    DeviceResult r;
    r.note = std::move(note);
    return r;
}

} // namespace

std::string AnswerLine(std::string_view body) {
    std::string line(body);
    line += CrcText(Uart_Crc16(body));
    line += '\n';
    return line;
}

std::string FieldText(std::string_view text) {
    if (text.empty()) return " ";
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') c = '?';
    return out;
}

Device::Device(DeviceConfig config) : config_(std::move(config)) {
    const EdidImage builtin = BuiltinNewEdid();
    for (unsigned k = 0; k < kSlotKinds; ++k) {
        slots_[k].assign(config_.counts[k], builtin);
        for (std::size_t i = 0; i < slots_[k].size() && i < config_.slots[k].size(); ++i)
            slots_[k][i] = config_.slots[k][i];
    }
    mode_ = config_.mode;
    SetDescription(config_.description);
    if (config_.ispBanner.empty()) config_.ispBanner = config_.product;
    // after power-up the device addresses input 1
    selected_ = SlotSelector::Make(SlotKind::Input, 0);
    selectionValid_ = SlotExists(selected_);
}

bool Device::SlotExists(SlotSelector s) const {
    return s.kindCode() < kSlotKinds && s.index() < slots_[s.kindCode()].size();
}

const EdidImage& Device::Slot(SlotSelector s) const {
    return slots_[s.kindCode()][s.index()];
}

void Device::SetSlot(SlotSelector s, const EdidImage& image) {
    if (SlotExists(s)) slots_[s.kindCode()][s.index()] = image;
}

unsigned Device::ModeCount() const {
    return Count(SlotKind::Internal) + Count(SlotKind::Output) + Count(SlotKind::User);
}

void Device::SetDescription(std::string_view text) {
    description_ = std::string(text.substr(0, kDescriptionMax));
    for (char& c : description_)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') c = '?';
}

std::string Device::SystemDescriptorBody() const {
    std::string b;
    AddField(b, FieldText(config_.vid));
    AddField(b, FieldText(config_.pid));
    AddField(b, FieldText(config_.product));
    AddField(b, FieldText(description_));
    AddField(b, FieldText(config_.field5));
    AddField(b, FieldText(config_.firmwareVersion));
    AddFlag(b, config_.descriptorFlag);
    AddNumber(b, Count(SlotKind::Input));
    AddNumber(b, Count(SlotKind::Output));
    AddNumber(b, Count(SlotKind::User));
    AddNumber(b, Count(SlotKind::Internal));
    return b;
}

std::string Device::PortDescriptorBody(SlotSelector s) const {
    std::string b;
    AddNumber(b, s.index() + 1); // port number
    AddNumber(b, s.kindCode());  // kind of slot
    AddNumber(b, mode_);         // current EDID mode
    AddFlag(b, true);            // connected
    AddFlag(b, config_.modesSelectable);
    AddFlag(b, config_.copyPanel);
    AddFlag(b, config_.modePoll);
    AddFlag(b, false); // spare
    return b;
}

std::string Device::ChunkBody(SlotSelector s, unsigned chunk) const {
    const EdidImage& image = Slot(s);
    std::string b;
    b.reserve(128);
    for (unsigned i = 0; i < 64; ++i) {
        const auto hex = Uart_ByteToHex(image[chunk * 64 + i]);
        b.append(hex.begin(), hex.end());
    }
    return b;
}

std::string Device::ModeBody() const {
    std::string b;
    AddNumber(b, mode_);
    return b;
}

std::string Device::ImageVersion(const std::vector<std::uint8_t>& image) {
    static constexpr std::string_view kMark = "FW VER:";
    constexpr std::size_t kMarkAt = 512, kVersionAt = 520, kVersionMax = 8;
    if (image.size() < kVersionAt ||
        !std::equal(kMark.begin(), kMark.end(), image.begin() + kMarkAt))
        return {};
    std::string version;
    for (std::size_t i = kVersionAt; i < std::min(image.size(), kVersionAt + kVersionMax); ++i) {
        if (image[i] == 0) break;
        version += static_cast<char>(image[i]);
    }
    return FieldText(version) == " " ? std::string() : FieldText(version);
}

std::string Device::HandshakeBody() const {
    return config_.isp ? "$ISP029" + FieldText(config_.ispBanner) : std::string("$ACCEPT");
}

DeviceResult Device::Handle(const Request& r) {
    if (r.verb == RequestVerb::Entrance) {
        DeviceResult res;
        res.answered = true;
        res.answer = AnswerLine(HandshakeBody());
        return res;
    }
    return config_.isp ? HandleIsp(r) : HandleNormal(r);
}

DeviceResult Device::HandleIsp(const Request& r) {
    if (r.verb != RequestVerb::Set) return Silent("not in ISP mode");
    switch (r.command) {
    case FW_ADDR:
        if (r.payload.size() != 2) return SetResult(false, "address needs 2 bytes");
        fwAddress_ = static_cast<std::size_t>(r.payload[0]) << 8 | r.payload[1];
        return SetResult(true);
    case FW_DATA: {
        if (r.payload.size() != kFirmwareBlock) return SetResult(false, "block needs 64 bytes");
        if (fwAddress_ + kFirmwareBlock > kFirmwareMax) return SetResult(false, "past 64 KiB");
        if (firmware_.size() < fwAddress_ + kFirmwareBlock)
            firmware_.resize(fwAddress_ + kFirmwareBlock, 0xFF);
        std::copy(r.payload.begin(), r.payload.end(),
                  firmware_.begin() + static_cast<std::ptrdiff_t>(fwAddress_));
        // a block without its own address follows the previous one
        fwAddress_ += kFirmwareBlock;
        return SetResult(true);
    }
    case FW_END: {
        lastFirmware_ = std::move(firmware_);
        firmware_.clear();
        fwAddress_ = 0;
        const bool stored = firmwareSink ? firmwareSink(lastFirmware_) : true;
        DeviceResult res = SetResult(stored, "firmware " + std::to_string(lastFirmware_.size()) +
                                                 " bytes" + (stored ? "" : ", not stored"));
        if (stored && config_.restartAfterFirmware) {
            const std::string version = config_.restartVersion.empty() ? ImageVersion(lastFirmware_)
                                                                       : config_.restartVersion;
            if (!version.empty()) config_.firmwareVersion = version;
            config_.isp = false;
            selected_ = SlotSelector{0}; // as after start-up
            selectionValid_ = true;
            res.restarted = true;
            res.note += ", restarts with version " + config_.firmwareVersion;
        }
        return res;
    }
    default:
        return Silent("not in ISP mode");
    }
}

DeviceResult Device::HandleNormal(const Request& r) {
    return r.verb == RequestVerb::Set ? HandleSet(r) : HandleGet(r);
}

DeviceResult Device::HandleGet(const Request& r) {
    DeviceResult res;
    switch (r.command) {
    case SYS_DSCPT:
        res.answer = AnswerLine(SystemDescriptorBody());
        break;
    case ND_DSCPT:
        if (!selectionValid_) return Silent("no slot selected");
        res.answer = AnswerLine(PortDescriptorBody(selected_));
        break;
    case ND_ED0A:
    case ND_ED0B:
    case ND_ED1A:
    case ND_ED1B:
        if (!selectionValid_) return Silent("no slot selected");
        res.answer = AnswerLine(ChunkBody(selected_, r.command - ND_ED0A));
        for (auto it = uncommitted_.begin(); it != uncommitted_.end(); ++it) {
            if (!(it->first == selected_)) continue;
            // the slot's former bytes, once: the read that reaches the last chunk commits it
            const unsigned chunk = r.command - ND_ED0A;
            std::string body;
            static const char* const kHex = "0123456789ABCDEF";
            for (unsigned i = 0; i < 64; ++i) {
                const std::uint8_t b = it->second[chunk * 64 + i];
                body += kHex[b >> 4];
                body += kHex[b & 15];
            }
            res.answer = AnswerLine(body);
            res.note = "not yet committed";
            if (r.command == ND_ED1B) uncommitted_.erase(it);
            break;
        }
        break;
    case RXEDMD:
        res.answer = AnswerLine(ModeBody());
        break;
    default:
        return Silent("no GET form");
    }
    res.answered = true;
    return res;
}

DeviceResult Device::HandleSet(const Request& r) {
    const auto& p = r.payload;
    switch (r.command) {
    case SYS_STM:
    case SYS_CTM:
        return SetResult(true);
    case SYS_STR: {
        SetDescription(std::string_view(reinterpret_cast<const char*>(p.data()), p.size()));
        DeviceResult res = SetResult(true);
        res.changes.description = true;
        return res;
    }
    case SYS_DEF: {
        if (p.size() != 1 || p[0] != kDefaultsKey) return SetResult(false, "not the defaults key");
        DeviceResult res = SetResult(true, "defaults restored");
        SetDescription(config_.description);
        mode_ = config_.mode;
        const unsigned user = static_cast<unsigned>(SlotKind::User);
        const EdidImage builtin = BuiltinNewEdid();
        for (std::size_t i = 0; i < slots_[user].size(); ++i) {
            slots_[user][i] = i < config_.slots[user].size() ? config_.slots[user][i] : builtin;
            res.changes.slots.push_back(
                SlotSelector::Make(SlotKind::User, static_cast<unsigned>(i)));
        }
        res.changes.mode = res.changes.description = true;
        return res;
    }
    case ND_SEL: {
        // An unknown slot leaves no slot selected, so that later writes cannot land in the
        // previously selected one.
        selectionValid_ = false;
        if (p.size() != 2) return SetResult(false, "selector needs 2 bytes");
        selected_ = SlotSelector{static_cast<std::uint16_t>(p[0] << 8 | p[1])};
        selectionValid_ = SlotExists(selected_);
        return SetResult(selectionValid_, selectionValid_ ? "" : "no such slot");
    }
    case ND_ED0A:
    case ND_ED0B:
    case ND_ED1A:
    case ND_ED1B: {
        if (!selectionValid_) return SetResult(false, "no slot selected");
        if (!SlotWritable(selected_)) return SetResult(false, "read-only slot");
        if (p.size() != 64) return SetResult(false, "chunk needs 64 bytes");
        EdidImage& image = slots_[selected_.kindCode()][selected_.index()];
        if (config_.lateCommit && std::none_of(uncommitted_.begin(), uncommitted_.end(),
                                               [&](const auto& u) { return u.first == selected_; }))
            uncommitted_.emplace_back(selected_, image);
        std::copy(p.begin(), p.end(), image.begin() + (r.command - ND_ED0A) * 64);
        if (config_.corruptWrites) image[(r.command - ND_ED0A) * 64] ^= 0xFF;
        DeviceResult res = SetResult(true, config_.corruptWrites ? "stored corrupted" : "");
        res.changes.slots.push_back(selected_);
        return res;
    }
    case RXEDMD: {
        if (p.size() != 1) return SetResult(false, "mode needs 1 byte");
        if (p[0] >= ModeCount()) return SetResult(false, "no such mode");
        mode_ = p[0];
        DeviceResult res = SetResult(true);
        res.changes.mode = true;
        return res;
    }
    case FW_ADDR:
    case FW_DATA:
    case FW_END:
        return SetResult(false, "firmware only in ISP mode");
    default:
        return SetResult(false, "no SET form");
    }
}

} // namespace tavo::devsim
