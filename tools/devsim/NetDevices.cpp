#include "NetDevices.h"

#include <cstdio>
#include <filesystem>

#include "link/Crc16.h"

namespace tavo::devsim {

std::vector<NetDeviceRecord> MakeNetDevices(unsigned count) {
    std::vector<NetDeviceRecord> out;
    for (unsigned i = 0; i < count && i < kMaxNetDevices; ++i) {
        const unsigned n = i + 1;
        NetDeviceRecord r;
        char pid[8];
        std::snprintf(pid, sizeof pid, "%04X", 0x2001 + i);
        r.productId = pid;
        r.productName = "DevSim Net " + std::to_string(n);
        r.mac = {0x02, 0x44, 0x53, 0x4E, 0x00, static_cast<std::uint8_t>(n)};
        r.macText = MacText(r.mac);
        r.ip = "192.168." + std::to_string(1 + i / 200) + "." + std::to_string(10 + i % 200);
        r.mask = "255.255.255.0";
        r.gateway = "192.168." + std::to_string(1 + i / 200) + ".1";
        r.dns = "192.168.1.1";
        r.ipMode = 0;
        r.webPort = n == 1 ? 80 : 8080;
        r.telnetPort = 23;
        char serial[16];
        std::snprintf(serial, sizeof serial, "DSN%05u", n);
        r.serial = serial;
        r.description = "Networked device " + std::to_string(n);
        out.push_back(r);
    }
    return out;
}

NetOutcome NetDevices::Handle(const std::uint8_t* data, std::size_t size) {
    NetOutcome out;
    if (data == nullptr || size < 4 || size > kMaxDatagram) return out;
    const std::size_t L = data[1];
    if (size < 4 + L) return out;
    const std::uint16_t crc = Uart_Crc16(0xFFFF, data + 2, L);
    if (data[2 + L] != (crc & 0xFF) || data[3 + L] != (crc >> 8)) return out;

    if (data[0] == kDatagramRequest) {
        for (const auto& r : records_)
            out.announcements.push_back(BuildAnnouncement(r));
        out.note = "request: " + std::to_string(records_.size()) + " announcements";
    } else if (data[0] == kDatagramConfiguration) {
        for (auto& r : records_) {
            if (ApplyConfiguration(data, size, r)) {
                out.note = "configuration for " + r.macText +
                           " applied: " + (r.ipMode == 1 ? "dhcp" : "static") + " " + r.ip + " " +
                           r.mask + " " + r.gateway + " " + r.dns + " web " +
                           std::to_string(r.webPort) + " telnet " + std::to_string(r.telnetPort);
                return out;
            }
        }
        out.note = "configuration for no simulated device";
    }
    return out;
}

bool IsIsolatedNetwork(const char* isolatedEnv, const std::string& sysClassNet) {
    if (isolatedEnv && std::string(isolatedEnv) == "1") return true;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(sysClassNet, ec);
    if (ec) return false;
    bool any = false;
    for (const auto& entry : it) {
        if (entry.path().filename() != "lo") return false;
        any = true;
    }
    return any;
}

} // namespace tavo::devsim
