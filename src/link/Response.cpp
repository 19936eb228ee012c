#include "link/Response.h"

#include "link/Crc16.h"

namespace tavo {

LineVerdict CheckResponseLine(std::string_view line) {
    LineVerdict v;
    if (line.size() < 5) return v;
    const std::string_view body = line.substr(0, line.size() - 5);
    const std::string_view crc = line.substr(line.size() - 5, 4);
    if (CrcText(Uart_Crc16(body)) != crc) return v;
    v.crcOk = true;
    v.body = body;
    return v;
}

std::string MakeResponseLine(std::string_view body) {
    std::string line(body);
    line += CrcText(Uart_Crc16(body));
    line += '\n';
    return line;
}

std::optional<std::vector<std::string_view>> SplitFields(std::string_view body, std::size_t count) {
    std::vector<std::string_view> fields;
    fields.reserve(count);
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // the first field may be empty; a later one ends at a 0x0C found from its second
        // character on, so it always has at least one character
        const std::size_t from = (i == 0) ? start : start + 1;
        if (from > body.size()) return std::nullopt;
        const std::size_t end = body.find(kFieldSeparator, from);
        if (end == std::string_view::npos) return std::nullopt;
        fields.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::optional<std::uint8_t> ParseNumberField(std::string_view field) {
    if (field.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = (value * 10u + static_cast<unsigned>(c - '0')) & 0xFFu; // only the low byte stays
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<SystemDescriptor> ParseSystemDescriptor(std::string_view body) {
    const auto f = SplitFields(body, 11);
    if (!f) return std::nullopt;
    const auto& v = *f;
    const auto i = ParseNumberField(v[7]), o = ParseNumberField(v[8]), u = ParseNumberField(v[9]),
               n = ParseNumberField(v[10]);
    if (!i || !o || !u || !n) return std::nullopt;
    SystemDescriptor d;
    d.vid = v[0];
    d.pid = v[1];
    d.product = v[2];
    d.description = v[3];
    d.field5 = v[4];
    d.firmwareVersion = v[5];
    d.descriptorFlag = ParseFlagField(v[6]);
    d.inputs = *i;
    d.outputs = *o;
    d.users = *u;
    d.internals = *n;
    return d;
}

std::optional<PortDescriptorAnswer> ParsePortDescriptor(std::string_view body) {
    const auto f = SplitFields(body, 8);
    if (!f) return std::nullopt;
    const auto& v = *f;
    const auto a = ParseNumberField(v[0]), b = ParseNumberField(v[1]), c = ParseNumberField(v[2]);
    if (!a || !b || !c) return std::nullopt;
    PortDescriptorAnswer d;
    d.number1 = *a;
    d.number2 = *b;
    d.number3 = *c;
    d.flag4 = ParseFlagField(v[3]);
    d.modesSelectable = ParseFlagField(v[4]);
    d.copyPanel = ParseFlagField(v[5]);
    d.modePoll = ParseFlagField(v[6]);
    d.flag8 = ParseFlagField(v[7]);
    return d;
}

std::optional<EdidChunk> DecodeEdidChunk(std::string_view body) {
    if (body.size() < 128) return std::nullopt;
    EdidChunk chunk{};
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const unsigned hi = Uart_HexToNibble(body[2 * i]);
        const unsigned lo = Uart_HexToNibble(body[2 * i + 1]) & 0x0Fu;
        chunk[i] = static_cast<std::uint8_t>((hi * 16u + lo) & 0xFFu);
    }
    return chunk;
}

int EdidChunkOffset(std::uint16_t command) {
    switch (command) {
    case ND_ED0A:
        return 0;
    case ND_ED0B:
        return 64;
    case ND_ED1A:
        return 128;
    case ND_ED1B:
        return 192;
    default:
        return -1;
    }
}

std::optional<std::uint8_t> ParseEdidMode(std::string_view body) {
    const auto f = SplitFields(body, 1);
    if (!f) return std::nullopt;
    return ParseNumberField((*f)[0]);
}

void ApplySystemDescriptor(DeviceRecord& record, const SystemDescriptor& d) {
    record.vid = d.vid;
    record.pid = d.pid;
    record.product = d.product;
    record.description = d.description;
    record.firmwareVersion = d.firmwareVersion;
    record.descriptorFlag = d.descriptorFlag ? 1 : 0;
    record.inputCount = d.inputs;
    record.outputCount = d.outputs;
    record.userCount = d.users;
    record.internalCount = d.internals;
}

bool ApplyPortDescriptor(DeviceRecord& record, const PortDescriptorAnswer& d) {
    const SlotSelector sel = record.selected;
    const unsigned index = sel.index();
    if (index >= static_cast<unsigned>(kMaxPorts)) return false; // no room in the model
    PortDescriptor* port = nullptr;
    if (sel.kind() == SlotKind::Input)
        port = &record.inputs[index];
    else if (sel.kind() == SlotKind::Output)
        port = &record.outputs[index];
    else
        return false;
    port->number1 = d.number1;
    port->number2 = d.number2;
    port->number3 = d.number3;
    port->flag4 = d.flag4 ? 1 : 0;
    port->modesSelectable = d.modesSelectable ? 1 : 0;
    port->copyPanel = d.copyPanel ? 1 : 0;
    port->modePoll = d.modePoll ? 1 : 0;
    port->flag8 = d.flag8 ? 1 : 0;
    return true;
}

bool ApplyEdidChunk(EdidImage& image, std::uint16_t command, const EdidChunk& chunk) {
    const int offset = EdidChunkOffset(command);
    if (offset < 0) return false;
    for (std::size_t i = 0; i < chunk.size(); ++i)
        image[static_cast<std::size_t>(offset) + i] = chunk[i];
    return true;
}

ResponseResult ProcessResponse(UartLink& link, DeviceTable& devices, EdidImage& transfer) {
    ResponseResult r;
    if ((link.flags & kLinkResponseWaiting) == 0) return r;
    link.flags = static_cast<std::uint8_t>(link.flags & ~kLinkResponseWaiting);
    r.command = link.expectedCommand;
    r.line = std::string(link.Text());

    const LineVerdict verdict = CheckResponseLine(r.line);
    if (!verdict.crcOk) {
        r.outcome = ResponseOutcome::CrcError;
        link.rxCount = 0;
        return r;
    }
    const std::string_view body = verdict.body;
    const bool afterGet = link.lastSendMode != kModeSet;
    DeviceRecord& record = devices.Current();
    bool readable = true;

    switch (link.expectedCommand) {
    case SYS_DSCPT:
        if (const auto d = ParseSystemDescriptor(body)) {
            ApplySystemDescriptor(record, *d);
            r.slotListsChanged = true;
        } else {
            readable = false;
        }
        break;
    case ND_DSCPT: {
        const SlotKind kind = record.selected.kind();
        if (kind != SlotKind::Input && kind != SlotKind::Output) break; // not stored
        if (const auto d = ParsePortDescriptor(body))
            r.portStored = ApplyPortDescriptor(record, *d);
        else
            readable = false;
        break;
    }
    case ND_ED0A:
    case ND_ED0B:
    case ND_ED1A:
    case ND_ED1B:
        if (!afterGet) break; // the answer to a write carries nothing to store
        if (const auto chunk = DecodeEdidChunk(body))
            r.chunkStored = ApplyEdidChunk(transfer, link.expectedCommand, *chunk);
        else
            readable = false;
        break;
    case RXEDMD:
        if (!afterGet) break;
        if (const auto mode = ParseEdidMode(body))
            r.showMode = *mode;
        else
            readable = false;
        break;
    default:
        break;
    }

    link.rxCount = 0;
    if (!readable) {
        // like a CRC error: the expected command stays, a further line is still handled against it
        r.outcome = ResponseOutcome::Dropped;
        return r;
    }
    r.outcome = ResponseOutcome::Handled;
    link.expectedCommand = ENTRANCE;
    return r;
}

} // namespace tavo
