#include "discovery/Discovery.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "link/Crc16.h"

namespace tavo {
namespace {

std::string Hex2(std::uint8_t b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

std::string Dotted(const std::uint8_t* v, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += '.';
        s += std::to_string(v[i]);
    }
    return s;
}

// Decimal text (an optional sign, then digits, nothing else) to a value.
std::optional<long long> Decimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    long long v = 0;
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+') ++b;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) return std::nullopt;
    return v;
}

} // namespace

std::vector<std::uint8_t> BuildDiscoveryRequest() {
    return FrameDatagram(kDatagramRequest, {});
}

std::vector<std::uint8_t> FrameDatagram(std::uint8_t kind, const std::vector<std::uint8_t>& items) {
    const std::size_t n = std::min<std::size_t>(items.size(), 255);
    std::vector<std::uint8_t> d;
    d.reserve(n + 4);
    d.push_back(kind);
    d.push_back(static_cast<std::uint8_t>(n));
    d.insert(d.end(), items.begin(), items.begin() + static_cast<std::ptrdiff_t>(n));
    const std::uint16_t crc = Uart_Crc16(0xFFFF, items.data(), n);
    d.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    d.push_back(static_cast<std::uint8_t>(crc >> 8));
    return d;
}

std::string MacText(const std::array<std::uint8_t, 6>& mac) {
    std::string s;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i) s += ':';
        s += Hex2(mac[i]);
    }
    return s;
}

AnnouncementVerdict ParseAnnouncement(const std::uint8_t* data, std::size_t size,
                                      const std::vector<std::array<std::uint8_t, 6>>& known,
                                      NetDeviceRecord& out) {
    out = NetDeviceRecord{};
    if (data == nullptr || size == 0) return AnnouncementVerdict::Empty;
    if (size > kMaxDatagram) return AnnouncementVerdict::TooLong;
    if (data[0] != kDatagramAnnouncement) return AnnouncementVerdict::WrongKind;
    if (size < 2) return AnnouncementVerdict::BadCrc;
    const std::size_t L = data[1];
    if (size < 4 + L) return AnnouncementVerdict::BadCrc; // no room for the items and the CRC
    const std::uint16_t crc = Uart_Crc16(0xFFFF, data + 2, L);
    if (data[2 + L] != (crc & 0xFF) || data[3 + L] != (crc >> 8))
        return AnnouncementVerdict::BadCrc;
    if (L < 2) return AnnouncementVerdict::Accepted;

    std::size_t p = 2;
    while (p <= L) {
        if (p + 1 >= size) break; // no room for tag and length
        const std::uint8_t tag = data[p];
        const std::size_t n = data[p + 1];
        const std::uint8_t* v = data + p + 2;
        const std::size_t avail = size - (p + 2);
        if (n > avail && tag != TagIpMode && tag != TagWebPort && tag != TagTelnetPort)
            break; // the value runs past the datagram
        switch (tag) {
        case TagProductId: {
            std::string digits;
            for (std::size_t i = n; i > 0; --i)
                digits += Hex2(v[i - 1]);
            out.productId = digits + out.productId;
            break;
        }
        case TagMac: {
            std::string text;
            for (std::size_t i = 0; i < n; ++i) {
                if (i) text += ':';
                text += Hex2(v[i]);
            }
            out.macText += text;
            for (std::size_t i = 0; i < std::min<std::size_t>(n, 6); ++i)
                out.mac[i] = v[i];
            if (std::find(known.begin(), known.end(), out.mac) != known.end())
                return AnnouncementVerdict::DuplicateMac;
            break;
        }
        case TagIp:
            out.ip += Dotted(v, n);
            break;
        case TagMask:
            out.mask += Dotted(v, n);
            break;
        case TagGateway:
            out.gateway += Dotted(v, n);
            break;
        case TagDns:
            out.dns += Dotted(v, n);
            break;
        // these take their value at the value position whatever the length byte says
        case TagIpMode:
            if (avail < 1) return AnnouncementVerdict::Accepted;
            out.ipMode = v[0];
            break;
        case TagWebPort:
        case TagTelnetPort: {
            if (avail < 2) return AnnouncementVerdict::Accepted;
            const int port = v[0] | (v[1] << 8);
            (tag == TagWebPort ? out.webPort : out.telnetPort) = port;
            break;
        }
        case TagSerial:
            out.serial.append(reinterpret_cast<const char*>(v), n);
            break;
        case TagText1:
            out.text1.append(reinterpret_cast<const char*>(v), n);
            break;
        case TagText2:
            out.text2.append(reinterpret_cast<const char*>(v), n);
            break;
        case TagProductName:
            out.productName.append(reinterpret_cast<const char*>(v), n);
            break;
        case TagDescription:
            out.description.append(reinterpret_cast<const char*>(v), n);
            break;
        default:
            break; // unknown tags are skipped by their length
        }
        if (n > avail) break;
        p += 2 + n;
    }
    return AnnouncementVerdict::Accepted;
}

NetConfigResult BuildConfiguration(const NetDeviceRecord& record, const NetConfigEdits& edits) {
    NetConfigResult r;
    r.record = record;
    NetDeviceRecord& rec = r.record;
    std::vector<std::uint8_t> items;
    auto add = [&](std::uint8_t tag, const std::vector<std::uint8_t>& value) {
        items.push_back(tag);
        items.push_back(static_cast<std::uint8_t>(value.size()));
        items.insert(items.end(), value.begin(), value.end());
    };

    add(TagMac, std::vector<std::uint8_t>(rec.mac.begin(), rec.mac.end()));

    const bool chosen = edits.ipModeIndex == 0 || edits.ipModeIndex == 1;
    const int mode = chosen ? edits.ipModeIndex : rec.ipMode;
    if (mode != rec.ipMode) {
        add(TagIpMode, {static_cast<std::uint8_t>(mode)});
        rec.ipMode = mode;
        if (mode == 1) rec.ip = rec.mask = rec.gateway = "0.0.0.0";
    }

    struct Field {
        const char* name;
        std::uint8_t tag;
        const std::string& text;
        std::string NetDeviceRecord::*stored;
    };
    auto address = [&](const Field& f) -> bool {
        if (f.text == rec.*(f.stored)) return true;
        std::string why;
        const auto bytes = AddressBytes(f.text, &why);
        if (!bytes) {
            r.error = AddressRefusal(f.name, f.text, why);
            return false;
        }
        add(f.tag, std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
        rec.*(f.stored) = f.text;
        return true;
    };
    if (mode != 1) {
        if (!address({"IP Address", TagIp, edits.ip, &NetDeviceRecord::ip})) return r;
        if (!address({"SubNet Mask", TagMask, edits.mask, &NetDeviceRecord::mask})) return r;
        if (!address({"GateWay IP", TagGateway, edits.gateway, &NetDeviceRecord::gateway}))
            return r;
    }
    if (!address({"DNS", TagDns, edits.dns, &NetDeviceRecord::dns})) return r;

    auto port = [&](const char* name, std::uint8_t tag, const std::string& text, int& stored) {
        const auto v = Decimal(text);
        if (!v || *v < 0 || *v > 65535) {
            r.error =
                std::string(name) + ": \"" + text + "\" is not a port number from 0 to 65535.";
            return false;
        }
        if (*v != stored) {
            add(tag, {static_cast<std::uint8_t>(*v & 0xFF), static_cast<std::uint8_t>(*v >> 8)});
            stored = static_cast<int>(*v);
        }
        return true;
    };
    if (!port("WebGUI Port", TagWebPort, edits.webPort, rec.webPort)) return r;
    if (!port("Telnet Port", TagTelnetPort, edits.telnetPort, rec.telnetPort)) return r;

    r.datagram = FrameDatagram(kDatagramConfiguration, items);
    r.ok = true;
    return r;
}

std::string DescribeConfiguration(const NetConfigResult& sent) {
    // the items after the MAC say what changed; the record holds their values as stored
    const std::vector<std::uint8_t>& d = sent.datagram;
    const NetDeviceRecord& rec = sent.record;
    std::string changes;
    auto add = [&](const std::string& item) { changes += (changes.empty() ? "" : ", ") + item; };
    if (d.size() >= 4) {
        const std::size_t end = std::min<std::size_t>(d.size() - 2, 2u + d[1]);
        for (std::size_t p = 2; p + 1 < end;) {
            const std::uint8_t tag = d[p];
            const std::size_t n = d[p + 1];
            switch (tag) {
            case TagIpMode:
                add(std::string("IP Mode ") + (rec.ipMode == 1 ? "DHCP" : "STATIC"));
                break;
            case TagIp:
                add("IP Address " + rec.ip);
                break;
            case TagMask:
                add("SubNet Mask " + rec.mask);
                break;
            case TagGateway:
                add("GateWay IP " + rec.gateway);
                break;
            case TagDns:
                add("DNS " + rec.dns);
                break;
            case TagWebPort:
                add("WebGUI Port " + std::to_string(rec.webPort));
                break;
            case TagTelnetPort:
                add("Telnet Port " + std::to_string(rec.telnetPort));
                break;
            default:
                break;
            }
            p += 2 + n;
        }
    }
    return "Sent to " + MacText(rec.mac) + ": " + (changes.empty() ? "no change" : changes) + ".";
}

std::vector<std::uint8_t> BuildAnnouncement(const NetDeviceRecord& r) {
    std::vector<std::uint8_t> items;
    auto add = [&](std::uint8_t tag, const std::vector<std::uint8_t>& v) {
        items.push_back(tag);
        items.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(v.size(), 255)));
        items.insert(items.end(), v.begin(), v.begin() + std::min<std::ptrdiff_t>(v.size(), 255));
    };
    auto text = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    auto dotted = [](const std::string& s) { // a malformed address goes out as 0.0.0.0
        const auto bytes = AddressBytes(s).value_or(std::array<std::uint8_t, 4>{});
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    std::vector<std::uint8_t> pid;
    for (std::size_t i = r.productId.size(); i >= 2; i -= 2) {
        const std::string digits = r.productId.substr(i - 2, 2);
        pid.push_back(static_cast<std::uint8_t>(std::strtoul(digits.c_str(), nullptr, 16)));
    }
    if (!pid.empty()) add(TagProductId, pid);
    add(TagMac, std::vector<std::uint8_t>(r.mac.begin(), r.mac.end()));
    add(TagIp, dotted(r.ip));
    add(TagMask, dotted(r.mask));
    add(TagGateway, dotted(r.gateway));
    add(TagDns, dotted(r.dns));
    add(TagIpMode, {static_cast<std::uint8_t>(r.ipMode)});
    add(TagWebPort, {static_cast<std::uint8_t>(r.webPort & 0xFF),
                     static_cast<std::uint8_t>((r.webPort >> 8) & 0xFF)});
    add(TagTelnetPort, {static_cast<std::uint8_t>(r.telnetPort & 0xFF),
                        static_cast<std::uint8_t>((r.telnetPort >> 8) & 0xFF)});
    if (!r.serial.empty()) add(TagSerial, text(r.serial));
    if (!r.productName.empty()) add(TagProductName, text(r.productName));
    if (!r.description.empty()) add(TagDescription, text(r.description));
    return FrameDatagram(kDatagramAnnouncement, items);
}

bool ApplyConfiguration(const std::uint8_t* data, std::size_t size, NetDeviceRecord& record) {
    if (data == nullptr || size < 4 || size > kMaxDatagram || data[0] != kDatagramConfiguration)
        return false;
    const std::size_t L = data[1];
    if (size < 4 + L) return false;
    const std::uint16_t crc = Uart_Crc16(0xFFFF, data + 2, L);
    if (data[2 + L] != (crc & 0xFF) || data[3 + L] != (crc >> 8)) return false;
    // the first item must be our MAC
    if (L < 8 || data[2] != TagMac || data[3] != 6 ||
        !std::equal(record.mac.begin(), record.mac.end(), data + 4))
        return false;
    NetDeviceRecord next = record;
    for (std::size_t p = 10; p + 2 <= 2 + L;) {
        const std::uint8_t tag = data[p];
        const std::size_t n = data[p + 1];
        if (p + 2 + n > 2 + L) return false;
        const std::uint8_t* v = data + p + 2;
        switch (tag) {
        case TagIp:
            if (n == 4) next.ip = Dotted(v, 4);
            break;
        case TagMask:
            if (n == 4) next.mask = Dotted(v, 4);
            break;
        case TagGateway:
            if (n == 4) next.gateway = Dotted(v, 4);
            break;
        case TagDns:
            if (n == 4) next.dns = Dotted(v, 4);
            break;
        case TagIpMode:
            if (n == 1) {
                next.ipMode = v[0];
                if (v[0] == 1) next.ip = next.mask = next.gateway = "0.0.0.0";
            }
            break;
        case TagWebPort:
            if (n == 2) next.webPort = v[0] | (v[1] << 8);
            break;
        case TagTelnetPort:
            if (n == 2) next.telnetPort = v[0] | (v[1] << 8);
            break;
        default:
            break;
        }
        p += 2 + n;
    }
    record = next;
    return true;
}

std::optional<std::array<std::uint8_t, 4>> AddressBytes(const std::string& text, std::string* why) {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t parts = 0;
    for (std::size_t at = 0;; ++parts) {
        const std::size_t dot = text.find('.', at);
        const std::string part = text.substr(at, dot == std::string::npos ? dot : dot - at);
        if (parts >= bytes.size() || part.empty()) break; // five parts, or an empty one
        if (part.find_first_not_of("0123456789") != std::string::npos || part.size() > 3 ||
            std::stoi(part) > 255) {
            if (why) *why = "\"" + part + "\" is not a number from 0 to 255.";
            return std::nullopt;
        }
        bytes[parts] = static_cast<std::uint8_t>(std::stoi(part));
        if (dot == std::string::npos) {
            if (parts + 1 == bytes.size()) return bytes;
            break; // three parts or fewer
        }
        at = dot + 1;
    }
    if (why) *why = "four numbers from 0 to 255 between dots.";
    return std::nullopt;
}

std::string AddressRefusal(std::string_view name, const std::string& text, const std::string& why) {
    return std::string(name) + " \"" + text + "\" is not an address: " + why;
}

const NetDeviceRecord* AddressHolder(const std::vector<NetDeviceRecord>& devices,
                                     const std::array<std::uint8_t, 6>& mac,
                                     const std::string& address) {
    const auto wanted = AddressBytes(address);
    if (!wanted) return nullptr;
    for (const NetDeviceRecord& d : devices)
        if (d.mac != mac && d.ipMode != 1 && AddressBytes(d.ip) == wanted) return &d;
    return nullptr;
}

std::string AddressTakenText(const std::vector<NetDeviceRecord>& devices,
                             const std::array<std::uint8_t, 6>& mac, const std::string& address,
                             bool dhcp) {
    if (dhcp) return {};
    const NetDeviceRecord* holder = AddressHolder(devices, mac, address);
    if (holder == nullptr) return {};
    return address + " is the address of " + MacText(holder->mac) + " (" + holder->productName +
           ")";
}

std::optional<std::string> WebAddress(const NetDeviceRecord& record) {
    if (record.webPort == 0) return std::nullopt;
    if (record.webPort == 80) return "Http://" + record.ip + "/";
    return "Http://" + record.ip + ":" + std::to_string(record.webPort) + "/";
}

} // namespace tavo
