// tavo-cli device read SLOT OUT, write SLOT IN, mode [INDEX]: the same command sequences and
// waits as the "EDID Controller" buttons (SlotTransfer), headless.
#include "SlotCommands.h"

#include <QElapsedTimer>
#include <iostream>
#include <optional>
#include <string>

#include "../FileIo.h"
#include "link/SlotName.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"

namespace tavo::cli {
namespace {

struct SlotOptions {
    std::string action;
    std::vector<std::string> operands;
    std::string port;
    bool verbose = false;
};

bool Parse(const Args& args, SlotOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--port" && i + 1 < args.size()) {
            o.port = args[++i];
        } else if (a.substr(0, 7) == "--port=") {
            o.port = a.substr(7);
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return false;
        } else if (o.action.empty()) {
            o.action = a;
        } else {
            o.operands.emplace_back(a);
        }
    }
    return o.port.find(':') == std::string::npos;
}

// The connected session for one command; null (with the reason printed) when no device answered.
struct Connection {
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session{devices, transfer};
    SlotTransfer transfers{session};

    bool Open(bool verbose) {
        if (verbose)
            QObject::connect(&session, &UartSession::logText,
                             [](const QString& t) { std::cerr << t.toStdString(); });
        const QStringList ports = UartSession::Uart_ListSerialPorts();
        const UartSession::Found found = session.Uart_Search();
        if (found == UartSession::Found::Normal) return true;
        if (found == UartSession::Found::Isp)
            PrintError("the device on " + session.portName().toStdString() +
                       " is in ISP mode and takes no EDID commands");
        else if (ports.isEmpty())
            PrintError("no serial ports to search (set TAVO_SERIAL_PORTS or use --port PATH)");
        else
            PrintError("no device answered on " + ports.join(QStringLiteral(", ")).toStdString());
        session.Uart_Disconnect();
        return false;
    }
    // The slot exists on this device; prints why not.
    bool Has(SlotSelector slot) {
        const DeviceRecord& r = devices.Current();
        if (SlotExists(slot, r.inputCount, r.outputCount, r.userCount, r.internalCount))
            return true;
        PrintError("the device has no " + SlotName(slot) + " (inputs " +
                   std::to_string(r.inputCount) + ", outputs " + std::to_string(r.outputCount) +
                   ", user slots " + std::to_string(r.userCount) + ", internal slots " +
                   std::to_string(r.internalCount) + ")");
        return false;
    }
};

std::optional<SlotSelector> SlotOperand(const std::string& name) {
    const auto slot = ParseSlotName(name);
    if (!slot) PrintError("'" + name + "' is not a slot (input1, output1, user3, internal2, ...)");
    return slot;
}

std::string Chunks(const std::array<bool, 4>& arrived) {
    std::string s;
    for (std::size_t i = 0; i < arrived.size(); ++i)
        if (!arrived[i]) s += std::string(s.empty() ? "" : ", ") + std::to_string(i + 1);
    return s;
}

int Read(const SlotOptions& o) {
    if (o.operands.size() != 2) return UsageError("device");
    const auto slot = SlotOperand(o.operands[0]);
    if (!slot) return kExitError;
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    if (!c.Has(*slot)) {
        c.session.Uart_Disconnect();
        return kExitFailed;
    }
    QElapsedTimer clock;
    clock.start();
    c.transfers.Begin();
    const SlotRead r = c.transfers.Read(*slot);
    c.transfers.End();
    const qint64 took = clock.elapsed();
    c.session.Uart_Disconnect();
    if (o.verbose)
        std::cerr << "read took " << took << " ms, floor " << SlotReadFloorMs(*slot) + 40
                  << " ms\n";
    if (!r.complete()) {
        PrintError(r.lost ? "the device was lost during the read; nothing written"
                          : "chunk(s) " + Chunks(r.arrived) + " of " + SlotName(*slot) +
                                " did not arrive with a good CRC; nothing written");
        return kExitFailed;
    }
    std::string error;
    if (!WriteFileAtomically(o.operands[1], r.image.data(), r.image.size(), error)) {
        PrintError(error);
        return kExitError;
    }
    std::cout << SlotName(*slot) << " -> " << o.operands[1] << '\n';
    return kExitOk;
}

int Write(const SlotOptions& o) {
    if (o.operands.size() != 2) return UsageError("device");
    const auto slot = SlotOperand(o.operands[0]);
    if (!slot) return kExitError;
    if (!IsWritableSlot(*slot)) {
        PrintError(SlotName(*slot) +
                   " is read only: only input and user slots take an EDID; nothing sent");
        return kExitFailed;
    }
    EdidImage image{};
    std::string error;
    if (!ReadEdidFile(o.operands[1], image, error)) {
        PrintError(error);
        return kExitError;
    }
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) {
        PrintError(o.operands[1] + ": " + std::string(ValidationMessage(status)) +
                   " Nothing sent.");
        return kExitFailed;
    }
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    if (!c.Has(*slot)) {
        c.session.Uart_Disconnect();
        return kExitFailed;
    }
    c.transfers.Begin();
    c.session.pollTimer().stop();
    const SlotWrite w = c.transfers.Write(*slot, image);
    c.transfers.End();
    c.session.Uart_Disconnect();
    if (!w.acknowledgedAll()) {
        PrintError(w.lost      ? "the device was lost during the write"
                   : w.refused ? "the device refused the write into " + SlotName(*slot)
                               : "chunk(s) " + Chunks(w.acknowledged) +
                                     " were not acknowledged by the device");
        return kExitFailed;
    }
    std::cout << o.operands[1] << " -> " << SlotName(*slot) << '\n';
    return kExitOk;
}

int Mode(const SlotOptions& o) {
    if (o.operands.size() > 1) return UsageError("device");
    std::optional<int> wanted;
    if (o.operands.size() == 1) {
        const std::string& v = o.operands[0];
        if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(v) > 255) {
            PrintError("'" + v + "' is not a mode index (0 to 255)");
            return kExitError;
        }
        wanted = std::stoi(v);
    }
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    const DeviceRecord& r = c.devices.Current();
    const unsigned modes = r.internalCount + r.outputCount + r.userCount;
    int rc = kExitOk;
    c.transfers.Start();
    if (wanted) {
        if (static_cast<unsigned>(*wanted) >= modes) {
            PrintError("mode " + std::to_string(*wanted) + " is outside the device's " +
                       std::to_string(modes) + " modes");
            c.session.Uart_Disconnect();
            return kExitFailed;
        }
        if (!c.transfers.SetMode(static_cast<std::uint8_t>(*wanted))) {
            PrintError("the device did not take mode " + std::to_string(*wanted));
            rc = kExitFailed;
        }
    }
    const int mode = c.transfers.QueryMode();
    c.session.Uart_Disconnect();
    if (mode < 0) {
        PrintError("the device did not report its mode");
        return kExitFailed;
    }
    std::cout << "mode: " << mode;
    if (const auto b = ModeToButton(static_cast<unsigned>(mode), r.internalCount, r.outputCount,
                                    r.userCount)) {
        const char* kind = b->kind == ModeButtonKind::Internal   ? "Internal"
                           : b->kind == ModeButtonKind::External ? "External"
                                                                 : "User";
        std::cout << " (" << kind << ' ' << b->number << ')';
    }
    std::cout << '\n';
    if (wanted && mode != *wanted) {
        PrintError("the device reports mode " + std::to_string(mode) + " instead of " +
                   std::to_string(*wanted));
        rc = kExitFailed;
    }
    return rc;
}

} // namespace

bool IsSlotAction(std::string_view action) {
    return action == "read" || action == "write" || action == "mode";
}

int RunSlotAction(const Args& args) {
    SlotOptions o;
    if (!Parse(args, o)) return UsageError("device");
    if (!o.port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(o.port));
    if (o.action == "read") return Read(o);
    if (o.action == "write") return Write(o);
    if (o.action == "mode") return Mode(o);
    return UsageError("device");
}

} // namespace tavo::cli
