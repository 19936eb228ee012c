// tavo-cli device ...: the serial device through the same link as the window (search, sender,
// response handler), headless.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <string>

#include "../Command.h"
#include "Connection.h"
#include "SlotCommands.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/UartSession.h"

namespace tavo::cli {
namespace {

struct DeviceOptions {
    std::string action;
    std::string port; // empty: search the ports as "Search" does
    bool verbose = false;
    int seconds = 0; // watch: how long (0: until interrupted)
};

bool ParseOptions(const Args& args, DeviceOptions& o) {
    cmdline::OptionParser parser;
    DeclarePortOptions(parser, o.port, o.verbose);
    parser.Value("--seconds", "needs a number", cmdline::Number(o.seconds, 0, 999999))
        .Arguments([&o](const std::string& a) {
            if (!o.action.empty() || a.empty() || a == "-") return false;
            o.action = a;
            return true;
        });
    return !parser.Parse(args) && !o.action.empty();
}

const char* Flag(std::uint8_t v) {
    return v ? "T" : "F";
}

void PrintDevice(const UartSession& s, const DeviceRecord& d, bool isp) {
    std::cout << "port: " << s.portName().toStdString() << '\n';
    std::cout << "mode: " << (isp ? "ISP" : "normal") << '\n';
    if (isp) return;
    std::cout << "VID: " << d.vid << '\n'
              << "PID: " << d.pid << '\n'
              << "product: " << d.product << '\n'
              << "description: " << d.description << '\n'
              << "firmware version: " << d.firmwareVersion << '\n'
              << "descriptor flag: " << Flag(d.descriptorFlag) << '\n'
              << "inputs: " << int(d.inputCount) << '\n'
              << "outputs: " << int(d.outputCount) << '\n'
              << "user slots: " << int(d.userCount) << '\n'
              << "internal slots: " << int(d.internalCount) << '\n';
    const PortDescriptor& p = d.inputs[0];
    std::cout << "input 1 numbers: " << int(p.number1) << ' ' << int(p.number2) << ' '
              << int(p.number3) << '\n'
              << "input 1 flag 4: " << Flag(p.flag4) << '\n'
              << "input 1 modes selectable: " << Flag(p.modesSelectable) << '\n'
              << "input 1 copy panel: " << Flag(p.copyPanel) << '\n'
              << "input 1 mode poll: " << Flag(p.modePoll) << '\n'
              << "input 1 flag 8: " << Flag(p.flag8) << '\n';
}

int Info(const DeviceOptions& o) {
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session(devices, transfer);
    if (o.verbose)
        QObject::connect(&session, &UartSession::logText,
                         [](const QString& t) { std::cerr << t.toStdString(); });
    QObject::connect(&session, &UartSession::logLine,
                     [](const QString& l) { std::cerr << l.toStdString() << '\n'; });
    bool systemRead = false, portRead = false;
    QObject::connect(&session, &UartSession::responseHandled, [&](int command, int outcome) {
        if (outcome != static_cast<int>(ResponseOutcome::Handled)) return;
        if (command == SYS_DSCPT) systemRead = true;
        if (command == ND_DSCPT) portRead = true;
    });

    const QStringList ports = UartSession::Uart_ListSerialPorts();
    QElapsedTimer clock;
    clock.start();
    const UartSession::Found found = session.Uart_Search();
    if (o.verbose) std::cerr << "search took " << clock.elapsed() << " ms\n";
    if (found == UartSession::Found::None) {
        PrintError(NoDeviceText(session, ports) +
                   (o.verbose || ports.isEmpty() ? "" : " (--verbose shows what each port did)"));
        return kExitFailed;
    }
    const bool isp = found == UartSession::Found::Isp;
    if (!isp && !(systemRead && portRead)) {
        session.Uart_Disconnect();
        PrintError("the device on " + session.portName().toStdString() +
                   " did not give its descriptors (run with --verbose to see its answers)");
        return kExitFailed;
    }
    PrintDevice(session, devices.Current(), isp);
    session.Uart_Disconnect();
    return kExitOk;
}

// Stays connected with the status poll running and prints the EDID mode whenever the device
// reports a new one.
int Watch(const DeviceOptions& o) {
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session(devices, transfer);
    if (o.verbose)
        QObject::connect(&session, &UartSession::logText,
                         [](const QString& t) { std::cerr << t.toStdString(); });
    const UartSession::Found found = session.Uart_Search();
    if (found == UartSession::Found::None) {
        PrintError(NoDeviceText(session, UartSession::Uart_ListSerialPorts()));
        return kExitFailed;
    }
    std::cout << "connected: " << session.portName().toStdString() << std::endl;
    int shown = -1;
    QObject::connect(&session, &UartSession::responseHandled, [&](int command, int) {
        const int mode = devices.Current().inputs[0].currentMode;
        if (command == RXEDMD && mode != shown) {
            shown = mode;
            std::cout << "mode: " << mode << std::endl;
        }
    });
    int rc = kExitOk;
    QObject::connect(&session, &UartSession::deviceLost, [&] {
        PrintError("device lost");
        rc = kExitFailed;
        QCoreApplication::quit();
    });
    if (o.seconds > 0) QTimer::singleShot(o.seconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    session.Uart_Disconnect();
    return rc;
}

int RunDevice(const Args& args) {
    // actions kept in files of their own register as "device ACTION"
    for (const Command& c : Commands())
        if (!args.empty() && c.name.substr(0, 7) == "device " && c.name.substr(7) == args[0])
            return c.run(Args(args.begin() + 1, args.end()));
    // the link runs on an event loop: timers, the port's notifier, the waits
    static int argc = 1;
    static char name[] = "tavo-cli";
    static char* argv[] = {name, nullptr};
    if (!args.empty() && IsSlotAction(args[0])) {
        QCoreApplication app(argc, argv);
        return RunSlotAction(args);
    }
    DeviceOptions o;
    if (!ParseOptions(args, o)) return UsageError("device");
    QCoreApplication app(argc, argv);
    if (!o.port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(o.port));
    if (o.action == "info") return Info(o);
    if (o.action == "watch") return Watch(o);
    return UsageError("device");
}

const CommandRegistration reg{
    {"device",
     "device info|watch [--port PATH] [--seconds N] [--verbose]\n"
     "       tavo-cli device read SLOT OUT | write SLOT IN [--fit] [--no-verify] [--no-history] | "
     "mode [INDEX] [--port PATH] [--verbose]\n"
     "       tavo-cli device history [SLOT] | restore SLOT [N] [--no-history] [--port PATH]\n"
     "       tavo-cli device backup DIR | restore-backup DIR [--force] [--no-history] "
     "[--port PATH]",
     "search the serial ports (or only PATH) like \"Search\"; info: print the device's "
     "descriptors; watch: stay connected, print the EDID mode as the poll reports it; read: a "
     "slot's EDID into a file (SLOT: input1, output1, user3, internal2, ...); write: a validated "
     "EDID file into an input or user slot, read back and compared (the slot's former EDID kept "
     "in the history first; when it cannot be kept nothing is sent, unless --no-history; an EDID "
     "of more than two blocks is refused unless --fit, which writes its base block and first "
     "CTA-861 block and names what it drops); mode: print the EDID mode, or set it to INDEX; "
     "history: the EDIDs kept "
     "before slots were overwritten, newest first; restore: history entry N (1, the newest) "
     "back into SLOT, verified; backup: every slot, the mode and the description into DIR with a "
     "manifest.json (identity, counts, SHA-256 of each file), built beside DIR and put in place "
     "only when complete (a backup already there is kept as DIR.previous); restore-backup: the "
     "manifest and hashes checked, then inputs, user slots, mode and description written back, "
     "each verified and reported (written and verified, FAILED, not in the backup, not tried)",
     &RunDevice}};

} // namespace
} // namespace tavo::cli
