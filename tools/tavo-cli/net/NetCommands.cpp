// tavo-cli net discover|configure: the networked devices from the command line, with the same
// datagrams as the window's "Search" and "IP Configure".
#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QTimer>
#include <charconv>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "../Command.h"
#include "discovery/Discovery.h"
#include "discovery/qt/UdpEndpoints.h"
#include "edid/JsonWriter.h"

namespace tavo::cli {
namespace {

constexpr int kDefaultSeconds = 2;
constexpr int kMaxSeconds = 3600;

// --seconds N: how long to listen.
cmdline::OptionParser::OnValue Seconds(int& seconds) {
    return cmdline::Number(seconds, 0, kMaxSeconds,
                           "--seconds " + cmdline::ExpectsNumber(0, kMaxSeconds));
}

// A refused value is said in its handler's words ("--seconds expects ...", "--ip "x" is not an
// address: ..."); a command line of the wrong form is answered with the usage line.
int Refused(const cmdline::ParseFailure& failure) {
    if (failure.IsUsage()) return UsageError("net");
    PrintError(failure.reason);
    return kExitError;
}

// A text item as a quoted string: each byte one character; quotes and backslashes escaped, bytes
// outside printable ASCII written as \xHH.
std::string Quoted(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out + "\"";
}

std::string Line(const NetDeviceRecord& r) {
    return MacText(r.mac) + " product-id=" + Quoted(r.productId) +
           " product=" + Quoted(r.productName) + " mac-text=" + Quoted(r.macText) +
           " ip=" + Quoted(r.ip) + " mask=" + Quoted(r.mask) + " gateway=" + Quoted(r.gateway) +
           " dns=" + Quoted(r.dns) + " mode=" +
           (r.ipMode == 1   ? "dhcp"
            : r.ipMode == 0 ? "static"
                            : std::to_string(r.ipMode)) +
           " web-port=" + std::to_string(r.webPort) +
           " telnet-port=" + std::to_string(r.telnetPort) + " serial=" + Quoted(r.serial) +
           " text1=" + Quoted(r.text1) + " text2=" + Quoted(r.text2) +
           " description=" + Quoted(r.description);
}

std::string Json(const NetDeviceRecord& r) {
    // the device's text items: each byte the Latin-1 character of its code
    JsonWriter json(JsonSpacing::Tight);
    json.BeginObject();
    const auto text = [&json](std::string_view key, const std::string& bytes) {
        json.Key(key).Latin1(bytes);
    };
    text("productId", r.productId);
    text("productName", r.productName);
    text("macText", r.macText);
    text("mac", MacText(r.mac));
    text("ip", r.ip);
    text("mask", r.mask);
    text("gateway", r.gateway);
    text("dns", r.dns);
    json.MemberNumber("ipMode", r.ipMode)
        .MemberNumber("webPort", r.webPort)
        .MemberNumber("telnetPort", r.telnetPort);
    text("serial", r.serial);
    text("text1", r.text1);
    text("text2", r.text2);
    text("description", r.description);
    return json.EndObject().Text();
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        char buf[4];
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

std::optional<std::array<std::uint8_t, 6>> ParseMac(std::string_view text) {
    std::array<std::uint8_t, 6> mac{};
    if (text.size() != 17) return std::nullopt;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':' && text[i * 3 - 1] != '-') return std::nullopt;
        unsigned v = 0;
        const char* b = text.data() + i * 3;
        const auto [end, ec] = std::from_chars(b, b + 2, v, 16);
        if (ec != std::errc{} || end != b + 2) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(v);
    }
    return mac;
}

// Sends the discovery request as "Search" does and listens on the group's receive port. Every
// new device (a MAC not heard before) goes to `onDevice`; returning true from it ends the wait
// early. False with a message when the sockets cannot be used.
bool Discover(int seconds, const std::function<bool(const NetDeviceRecord&)>& onDevice) {
    UdpEndpoints udp;
    if (!udp.ActivateReceiver()) {
        PrintError("cannot receive on UDP port " + std::to_string(kDiscoveryInPort) + ": " +
                   udp.ReceiverError().toStdString() + " (is the tool running?)");
        return false;
    }
    if (!udp.JoinedGroup())
        PrintError(std::string("warning: cannot join ") + kDiscoveryGroup + ": " +
                   udp.ReceiverError().toStdString());

    std::vector<std::array<std::uint8_t, 6>> known;
    int listed = 0;
    bool done = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, QCoreApplication::instance(),
                     [] { QCoreApplication::exit(0); });
    QObject::connect(
        &udp, &UdpEndpoints::datagramReceived, QCoreApplication::instance(),
        [&](const QNetworkDatagram& d) {
            if (done) return;
            const QByteArray bytes = d.data();
            NetDeviceRecord record;
            if (ParseAnnouncement(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  std::size_t(bytes.size()), known,
                                  record) != AnnouncementVerdict::Accepted)
                return;
            if (listed >= kMaxNetDevices) return; // as many as the table holds
            ++listed;
            known.push_back(record.mac);
            if (onDevice(record)) {
                done = true;
                QCoreApplication::exit(0);
            }
        });
    if (udp.SendDiscoveryRequest() == 0) {
        PrintError("the discovery request could not be sent");
        return false;
    }
    timer.start(seconds * 1000);
    QCoreApplication::exec();
    return true;
}

int Discover(const Args& args) {
    int seconds = kDefaultSeconds;
    bool json = false;
    cmdline::OptionParser parser;
    parser.Flag("--json", [&json] { json = true; })
        .Value("--seconds", "needs a number", Seconds(seconds));
    if (const auto failure = parser.Parse(args)) return Refused(*failure);
    const bool ok = Discover(seconds, [&](const NetDeviceRecord& r) {
        std::cout << (json ? Json(r) : Line(r)) << std::endl;
        return false;
    });
    return ok ? kExitOk : kExitFailed;
}

// What `net configure` was asked to change; what is not given keeps the device's value.
struct ConfigureRequest {
    std::array<std::uint8_t, 6> mac{};
    int seconds = kDefaultSeconds;
    std::optional<int> mode; // 0 static, 1 DHCP
    std::optional<std::string> ip, mask, gateway, dns, webPort, telnetPort;
};

// An address option: refused in the words of "IP Configure" (discovery/Discovery.h).
cmdline::OptionParser::OnValue Address(const char* option, std::optional<std::string>& target) {
    return [option, &target](const std::string& value) -> std::string {
        std::string why;
        if (!AddressBytes(value, &why))
            return AddressRefusal(option, value, why) + " Nothing sent.";
        target = value;
        return {};
    };
}

cmdline::OptionParser::OnValue Port(const char* option, std::optional<std::string>& target) {
    return [option, &target](const std::string& value) -> std::string {
        if (!cmdline::ParseInteger(value, 0, 65535))
            return std::string(option) + " \"" + value +
                   "\" is not a port number from 0 to 65535; nothing sent";
        target = value;
        return {};
    };
}

// The MAC and the options of `net configure`; nullopt with the exit status when refused.
std::optional<ConfigureRequest> ParseConfigure(const Args& args, int& status) {
    if (args.empty()) {
        status = UsageError("net");
        return std::nullopt;
    }
    ConfigureRequest q;
    const auto mac = ParseMac(args[0]);
    if (!mac) {
        PrintError("'" + std::string(args[0]) + "' is not a MAC address like 02:44:53:4E:00:01");
        status = kExitError;
        return std::nullopt;
    }
    q.mac = *mac;
    cmdline::OptionParser parser;
    parser
        .Value("--mode", "needs a value",
               [&q](const std::string& value) -> std::string {
                   if (value != "static" && value != "dhcp")
                       return "--mode expects static or dhcp; nothing sent";
                   q.mode = value == "dhcp" ? 1 : 0;
                   return {};
               })
        .Value("--ip", "needs a value", Address("--ip", q.ip))
        .Value("--mask", "needs a value", Address("--mask", q.mask))
        .Value("--gateway", "needs a value", Address("--gateway", q.gateway))
        .Value("--dns", "needs a value", Address("--dns", q.dns))
        .Value("--web-port", "needs a value", Port("--web-port", q.webPort))
        .Value("--telnet-port", "needs a value", Port("--telnet-port", q.telnetPort))
        .Value("--seconds", "needs a number", Seconds(q.seconds));
    if (const auto failure = parser.Parse(Args(args.begin() + 1, args.end()))) {
        status = Refused(*failure);
        return std::nullopt;
    }
    return q;
}

// What "IP Configure" holds after the request's edits: the device's values where nothing is given.
NetConfigEdits EditsFor(const ConfigureRequest& q, const NetDeviceRecord& r) {
    NetConfigEdits edits;
    edits.ipModeIndex = q.mode.value_or(-1); // none given: the device's mode stays, known or not
    edits.ip = q.ip.value_or(r.ip);
    edits.mask = q.mask.value_or(r.mask);
    edits.gateway = q.gateway.value_or(r.gateway);
    edits.dns = q.dns.value_or(r.dns);
    edits.webPort = q.webPort.value_or(std::to_string(r.webPort));
    edits.telnetPort = q.telnetPort.value_or(std::to_string(r.telnetPort));
    return edits;
}

// Notes before the send: addresses DHCP mode leaves out, a new address another device holds.
void WarnAboutAddresses(const ConfigureRequest& q, const NetDeviceRecord& r,
                        const std::vector<NetDeviceRecord>& heard) {
    const bool dhcp = q.mode.value_or(r.ipMode) == 1;
    if (dhcp && (q.ip || q.mask || q.gateway))
        PrintError("note: in DHCP mode the IP address, mask and gateway are not sent");
    if (!q.ip) return;
    if (const std::string taken = AddressTakenText(heard, q.mac, *q.ip, dhcp); !taken.empty())
        PrintError("warning: " + taken + "; sent all the same");
}

int Configure(const Args& args) {
    int status = kExitOk;
    const std::optional<ConfigureRequest> q = ParseConfigure(args, status);
    if (!q) return status;
    // With a new IP address every device is heard out, to find one that already holds it.
    std::vector<NetDeviceRecord> heard;
    std::optional<NetDeviceRecord> found;
    const bool ok = Discover(q->seconds, [&](const NetDeviceRecord& r) {
        heard.push_back(r);
        if (r.mac == q->mac) found = r;
        return found && !q->ip;
    });
    if (!ok) return kExitFailed;
    if (!found) {
        PrintError("no device with MAC " + MacText(q->mac) + " answered within " +
                   std::to_string(q->seconds) + " s; nothing sent");
        return kExitFailed;
    }
    WarnAboutAddresses(*q, *found, heard);
    const NetConfigResult result = BuildConfiguration(*found, EditsFor(*q, *found));
    if (!result.ok) {
        PrintError(result.error + " Nothing sent.");
        return kExitError;
    }
    UdpEndpoints udp;
    const QByteArray datagram(reinterpret_cast<const char*>(result.datagram.data()),
                              qsizetype(result.datagram.size()));
    if (!udp.SendMulticast(datagram)) {
        PrintError("the configuration could not be sent");
        return kExitFailed;
    }
    std::cout << "sent to " << kDiscoveryGroup << ':' << kDiscoveryOutPort << ": "
              << Hex(result.datagram) << std::endl;
    return kExitOk;
}

int Net(const Args& args) {
    if (args.empty()) return UsageError("net");
    // The sockets need the event loop of an application object.
    static int argc = 1;
    static char name[] = "tavo-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "discover") return Discover(rest);
    if (args[0] == "configure") return Configure(rest);
    return UsageError("net");
}

const CommandRegistration reg{
    {"net",
     "net discover [--seconds N] [--json] | net configure MAC [--mode static|dhcp] [--ip A] "
     "[--mask M] [--gateway G] [--dns D] [--web-port P] [--telnet-port P] [--seconds N]",
     "find networked devices (one line or JSON object each), or send one a configuration; "
     "run only inside an isolated network namespace in tests",
     &Net}};

} // namespace
} // namespace tavo::cli
