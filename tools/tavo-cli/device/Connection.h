#pragma once
// The connected device of one `tavo-cli device` command: the session found as "Search" finds it
// and the slot sequences over it, with the history where verified writes keep what they replace.
#include <QCoreApplication>
#include <QObject>
#include <iostream>
#include <string>

#include "../Command.h"
#include "link/DeviceCommand.h"
#include "link/Response.h"
#include "link/SlotName.h"
#include "link/qt/DeviceRunner.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"

namespace tavo::cli {

// Why a search found no device, in one line: no ports to search, ports another program holds
// (a second command while the first still has the port), or ports where nothing answered.
inline std::string NoDeviceText(const UartSession& session, const QStringList& ports) {
    if (ports.isEmpty())
        return "no serial ports to search (set TAVO_SERIAL_PORTS or use --port PATH)";
    const QStringList& busy = session.busyPorts();
    QStringList silent;
    for (const QString& p : ports)
        if (!busy.contains(p)) silent << p;
    const std::string busyText =
        busy.size() == 1 ? busy.front().toStdString() + " is busy"
                         : "ports " + busy.join(QStringLiteral(", ")).toStdString() + " are busy";
    const std::string why = ": another program or tavo-cli command is using it";
    if (busy.isEmpty())
        return "no device answered on " + ports.join(QStringLiteral(", ")).toStdString();
    if (silent.isEmpty()) return busyText + why;
    return "no device answered on " + silent.join(QStringLiteral(", ")).toStdString() + "; " +
           busyText + why;
}

// Runs one operation on the device: submitted to `runner`, the event loop runs until its result
// has come (the one event loop of a device command).
inline OperationResult RunToEnd(DeviceRunner& runner, DeviceOperationValue operation) {
    OperationResult result;
    result.lost = true;
    result.failure = "the operation did not end";
    runner.submit(std::move(operation), [&result](const OperationResult& r) {
        result = r;
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    return result;
}

// The session for one command; Open says why when no device answered.
struct Connection {
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session{devices, transfer};
    SlotTransfer transfers{session};
    SlotHistory history;
    DeviceRunner runner{session, transfers};

    Connection() { transfers.setHistory(&history); }

    // Runs one operation on the device (RunToEnd).
    OperationResult Run(DeviceOperationValue operation) {
        return RunToEnd(runner, std::move(operation));
    }

    bool Open(bool verbose) {
        if (verbose) {
            QObject::connect(&session, &UartSession::logText,
                             [](const QString& t) { std::cerr << t.toStdString(); });
            QObject::connect(&session, &UartSession::logLine,
                             [](const QString& l) { std::cerr << l.toStdString() << '\n'; });
        }
        // the descriptors tell the slots: a device whose answers come too late to be read has
        // not answered, whatever its slot counts then say
        bool systemRead = false, portRead = false;
        const QMetaObject::Connection heard = QObject::connect(
            &session, &UartSession::responseHandled, [&](int command, int outcome) {
                if (outcome != static_cast<int>(ResponseOutcome::Handled)) return;
                if (command == SYS_DSCPT) systemRead = true;
                if (command == ND_DSCPT) portRead = true;
            });
        const QStringList ports = UartSession::Uart_ListSerialPorts();
        const UartSession::Found found = session.Uart_Search();
        QObject::disconnect(heard);
        if (found == UartSession::Found::Normal && systemRead && portRead) return true;
        if (found == UartSession::Found::Normal)
            PrintError("the device on " + session.portName().toStdString() +
                       " did not answer in time: its descriptors did not arrive (run with "
                       "--verbose to see its answers)");
        else if (found == UartSession::Found::Isp)
            PrintError("the device on " + session.portName().toStdString() +
                       " is in ISP mode and takes no EDID commands");
        else
            PrintError(NoDeviceText(session, ports));
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

} // namespace tavo::cli
