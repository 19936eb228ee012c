#pragma once
// The simulated networked devices: each answers a discovery request with its announcement and
// applies a configuration addressed to its MAC, so the next announcement shows the new settings.
// Sockets are the program's business; this part takes a datagram and says what to send.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/Discovery.h"

namespace tavo::devsim {

inline constexpr unsigned kMaxNetDevices = 255;

// The records of `count` devices: MAC 02:44:53:4E:00:nn, address 192.168.x.y, product name
// "DevSim Net n", description "Networked device n", serial "DSN0000n"; device 1 serves its web
// page on port 80, the others on 8080; telnet on 23; static mode.
std::vector<NetDeviceRecord> MakeNetDevices(unsigned count);

struct NetOutcome {
    std::vector<std::vector<std::uint8_t>> announcements; // to the group, in this order
    std::string note; // what happened, for the request log ("" for an ignored datagram)
};

class NetDevices {
public:
    explicit NetDevices(unsigned count) : records_(MakeNetDevices(count)) {}

    // A well-formed request (kind 1) is answered by every device; a configuration (kind 3) is
    // applied by the device whose MAC it carries; anything else is ignored.
    NetOutcome Handle(const std::uint8_t* data, std::size_t size);

    const std::vector<NetDeviceRecord>& Records() const { return records_; }

private:
    std::vector<NetDeviceRecord> records_;
};

// True inside a private network namespace: TAVO_ISOLATED=1 in `isolatedEnv`, or `sysClassNet`
// lists no interface but lo.
bool IsIsolatedNetwork(const char* isolatedEnv, const std::string& sysClassNet = "/sys/class/net");

} // namespace tavo::devsim
