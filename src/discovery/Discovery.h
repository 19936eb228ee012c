#pragma once
// The discovery datagrams of networked devices: request, announcement and configuration, the
// table of devices found, and the web page address.
//
// Every datagram: kind (1 byte), L (1 byte), L item bytes, CRC-16 of the items (low byte first).
// Items are tag (1), length n (1), n value bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

inline constexpr std::uint8_t kDatagramRequest = 0x01;
inline constexpr std::uint8_t kDatagramAnnouncement = 0x02;
inline constexpr std::uint8_t kDatagramConfiguration = 0x03;
inline constexpr std::size_t kMaxDatagram = 1024; // longer datagrams are ignored
inline constexpr int kMaxNetDevices = 255;
inline constexpr std::uint16_t kDiscoveryOutPort = 31001;
inline constexpr std::uint16_t kDiscoveryInPort = 31002;
inline constexpr const char* kDiscoveryGroup = "225.12.13.14";
inline constexpr const char* kDiscoveryBroadcast = "255.255.255.255";

enum NetTag : std::uint8_t {
    TagProductId = 1,
    TagMac = 2,
    TagIp = 3,
    TagMask = 4,
    TagGateway = 5,
    TagDns = 6,
    TagIpMode = 7,
    TagWebPort = 8,
    TagTelnetPort = 9,
    TagSerial = 10,
    TagText1 = 11,
    TagText2 = 12,
    TagProductName = 13,
    TagDescription = 14,
};

struct NetDeviceRecord {
    std::string productId; // two upper-case hex digits per byte, last byte first
    std::string productName;
    std::string macText; // "00:1C:91:..." as received
    std::array<std::uint8_t, 6> mac{};
    std::string ip, mask, gateway, dns; // dotted decimal
    int ipMode = 0;                     // 0 static, 1 DHCP
    int webPort = 0;
    int telnetPort = 0;
    std::string serial;
    std::string text1, text2; // kept, never shown
    std::string description;
};

struct NetDeviceTable {
    std::array<NetDeviceRecord, kMaxNetDevices> records{};
};

// The request: 01 00 FF FF.
std::vector<std::uint8_t> BuildDiscoveryRequest();

// Frames items into a datagram of the given kind (items longer than 255 bytes are cut).
std::vector<std::uint8_t> FrameDatagram(std::uint8_t kind, const std::vector<std::uint8_t>& items);

enum class AnnouncementVerdict {
    Accepted,
    Empty,
    TooLong,
    WrongKind,
    BadCrc,
    DuplicateMac,
};

// Parses an announcement into a fresh record. `known` are the raw MACs of the rows already listed:
// an announcement carrying one of them is a DuplicateMac. The item walk never reads past `size`:
// an item whose length runs past the datagram ends the walk.
AnnouncementVerdict ParseAnnouncement(const std::uint8_t* data, std::size_t size,
                                      const std::vector<std::array<std::uint8_t, 6>>& known,
                                      NetDeviceRecord& out);

// What "IP Configure" holds when the configuration is sent.
struct NetConfigEdits {
    int ipModeIndex = 0; // 0 STATIC, 1 DHCP, anything else: none chosen (the mode stays)
    std::string ip, mask, gateway, dns;
    std::string webPort, telnetPort;
};

struct NetConfigResult {
    bool ok = false;
    std::string error;                  // a clear message when !ok; nothing is sent then
    std::vector<std::uint8_t> datagram; // kind 0x03
    NetDeviceRecord record;             // the record as it stands after the send
};

// Builds the configuration datagram for the edits against the record: the MAC item always; the IP
// mode when one was chosen and it changed (DHCP clears IP, mask and gateway to "0.0.0.0"; with
// none chosen a mode the device reported, known or not, is kept); unless in DHCP mode IP, mask and
// gateway that changed; DNS likewise in either mode; the ports when their value changed. A changed
// address that is not four dot-separated decimal numbers from 0 to 255, or a port that is no
// number from 0 to 65535, stops it with a message.
NetConfigResult BuildConfiguration(const NetDeviceRecord& record, const NetConfigEdits& edits);

// One line saying what a built configuration carries, for the operator: "Sent to
// 00:11:22:33:44:55: IP Mode DHCP, DNS 8.8.8.8." ("no change" when it holds the MAC only).
std::string DescribeConfiguration(const NetConfigResult& sent);

// The four bytes of an address text as the configuration sends it: exactly four parts between
// three dots, each one to three decimal digits with a value from 0 to 255. nullopt otherwise, with
// why in `why`: "four numbers from 0 to 255 between dots." (a part missing or empty, as in
// "10..0.0.5", or a fifth part) or "\"x\" is not a number from 0 to 255.".
std::optional<std::array<std::uint8_t, 4>> AddressBytes(const std::string& text,
                                                        std::string* why = nullptr);
// The refusal of an address, in the same words wherever it is typed: `name` "TEXT" is not an
// address: WHY ("IP Address \"10..0.0.5\" is not an address: four numbers ...").
std::string AddressRefusal(std::string_view name, const std::string& text, const std::string& why);

// Another device of `devices` (a MAC other than `mac`) whose static address is `address`, the
// same four numbers however written; null when none is.
const NetDeviceRecord* AddressHolder(const std::vector<NetDeviceRecord>& devices,
                                     const std::array<std::uint8_t, 6>& mac,
                                     const std::string& address);

// What the window and `net configure` say before sending a configuration that gives the device
// `mac` the static `address` another device of `devices` holds (AddressHolder): "10.0.0.5 is the
// address of 00:11:22:33:44:55 (Product)"; empty when none holds it or the mode sent is DHCP.
std::string AddressTakenText(const std::vector<NetDeviceRecord>& devices,
                             const std::array<std::uint8_t, 6>& mac, const std::string& address,
                             bool dhcp);

// "Http://" + IP + "/" for port 80, "Http://" + IP + ":" + port + "/" otherwise; none for port 0.
std::optional<std::string> WebAddress(const NetDeviceRecord& record);

// The device's side: an announcement carrying every field of the record (tags 1..14; the product
// ID text is written back as bytes, last byte first, when it is hex digits).
std::vector<std::uint8_t> BuildAnnouncement(const NetDeviceRecord& record);

// The device's side of a configuration: true when the datagram is a well-formed kind 0x03 whose MAC
// item equals the record's MAC; then the items it carries are applied to the record (addresses as
// dotted text, mode, ports). Never reads past `size`.
bool ApplyConfiguration(const std::uint8_t* data, std::size_t size, NetDeviceRecord& record);

// "AA:BB:CC:DD:EE:FF" from the raw MAC.
std::string MacText(const std::array<std::uint8_t, 6>& mac);

} // namespace tavo
