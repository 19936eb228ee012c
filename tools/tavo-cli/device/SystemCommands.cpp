// tavo-cli device description|defaults|firmware: what the "System" page does, over the same link
// and the same command sequences (src/maintenance/qt), headless.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

#include "../Command.h"
#include "../VisibleOutput.h"
#include "Connection.h"
#include "Interrupt.h"
#include "link/Response.h"
#include "link/SlotName.h"
#include "link/qt/DeviceRunner.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"
#include "maintenance/qt/FirmwareTransfer.h"
#include "maintenance/qt/SystemConfig.h"

namespace tavo::cli {
namespace {

struct Options {
    std::vector<std::string> positional;
    std::string port;
    bool yes = false;
    bool verbose = false;
    bool history = true;  // defaults: keep the user slots in the history first (only there)
    bool confirm = false; // firmware: exit 3 when the update is not confirmed
    unsigned restartWaitS = kFwRestartWaitMs / 1000; // firmware: how long to search afterwards
};

inline constexpr int kExitNotConfirmed = 3;

bool Parse(const Args& args, Options& o) {
    cmdline::OptionParser parser;
    DeclarePortOptions(parser, o.port, o.verbose);
    parser.Flag("--yes|-y", [&o] { o.yes = true; })
        .Flag("--no-history", [&o] { o.history = false; })
        .Flag("--confirm", [&o] { o.confirm = true; })
        .Value("--wait-restart", "needs a number of seconds",
               [&o](const std::string& v) {
                   const auto n = cmdline::ParseInteger(v, 0, 3600);
                   if (!n) return cmdline::ExpectsNumber(0, 3600);
                   o.restartWaitS = static_cast<unsigned>(*n);
                   return std::string();
               })
        .Arguments([&o](const std::string& a) {
            o.positional.push_back(a);
            return true;
        })
        .DoubleDashEndsOptions();
    return !parser.Parse(args);
}

// The link runs on an event loop: timers, the port's notifier, the waits. Each command makes one
// for its run.
int gArgc = 1;
char gName[] = "tavo-cli";
char* gArgv[] = {gName, nullptr};

void UsePort(const Options& o) {
    if (!o.port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(o.port));
}

// One connected device, found as "Search" finds it.
struct Device {
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session{devices, transfer};
    SlotTransfer transfers{session};
    DeviceRunner runner{session, transfers};
    UartSession::Found found = UartSession::Found::None;
    bool descriptorRead = false;

    explicit Device(const Options& o) {
        if (o.verbose)
            QObject::connect(&session, &UartSession::logText,
                             [](const QString& t) { std::cerr << t.toStdString(); });
        QObject::connect(&session, &UartSession::responseHandled, [this](int command, int outcome) {
            if (command == SYS_DSCPT && outcome == static_cast<int>(ResponseOutcome::Handled))
                descriptorRead = true;
        });
        found = session.Uart_Search();
        if (found == UartSession::Found::None)
            PrintError(NoDeviceText(session, UartSession::Uart_ListSerialPorts()));
    }
    ~Device() { session.Uart_Disconnect(); }
    DeviceRecord& record() { return devices.Current(); }

    // Runs one operation on the device (RunToEnd).
    OperationResult Run(DeviceOperationValue operation) {
        return RunToEnd(runner, std::move(operation));
    }

    // A normally running device whose descriptor was read.
    bool normal() {
        if (found == UartSession::Found::None) return false;
        if (found == UartSession::Found::Isp) {
            PrintError("the device on " + session.portName().toStdString() +
                       " waits in ISP mode (only `device firmware` works now)");
            return false;
        }
        if (!descriptorRead) {
            PrintError("the device did not give its system descriptor");
            return false;
        }
        return true;
    }
};

int Description(const Args& args) {
    Options o;
    if (!Parse(args, o) || o.positional.size() > 1 || !o.history)
        return UsageError("device description");
    QCoreApplication app(gArgc, gArgv);
    UsePort(o);
    Device d(o);
    if (!d.normal()) return kExitFailed;
    if (o.positional.empty()) {
        std::cout << d.record().description << '\n';
        return kExitOk;
    }
    const std::string& text = o.positional.front();
    if (DescriptionTooLong(text))
        std::cerr << "31 Letters Limited! (the device takes the first 31 bytes, cut between "
                     "characters)\n";
    if (text == d.record().description) {
        std::cout << "No Changed.\n";
        return kExitOk;
    }
    // what the device reports afterwards must be what was sent
    const OperationResult r = d.Run(SetDescription{text, true});
    const std::vector<std::uint8_t> payload = DescriptionPayload(text);
    const std::string sent(payload.begin(), payload.end());
    if (!r.reported) {
        PrintError("the device did not report its description after the change");
        return kExitFailed;
    }
    const std::string& reported = d.record().description;
    std::cout << "description: " << reported << '\n';
    if (reported != sent) {
        PrintError("the device reports \"" + reported + "\", not \"" + sent + "\"");
        return kExitFailed;
    }
    return kExitOk;
}

int Defaults(const Args& args) {
    Options o;
    if (!Parse(args, o) || !o.positional.empty()) return UsageError("device defaults");
    if (!o.yes) {
        PrintError("restoring the device's defaults needs --yes");
        return kExitError;
    }
    QCoreApplication app(gArgc, gArgv);
    UsePort(o);
    Device d(o);
    if (!d.normal()) return kExitFailed;
    // what the defaults replace is kept first, as a write keeps what it replaces
    SlotHistory history;
    d.transfers.setHistory(&history);
    DefaultsOptions options;
    options.history = o.history;
    if (isatty(STDERR_FILENO))
        options.progress = [](int n, int total, SlotSelector slot) {
            std::cerr << DefaultsKeepingText(slot, n, total) << '\n';
        };
    const OperationResult r = d.Run(RestoreDefaults{options});
    DefaultsKeep keep = r.keep.value_or(DefaultsKeep{});
    if (!r.keep) keep.lost = true; // it ended before it began
    if (keep.lost) {
        PrintError("the device was lost while its user slots were kept; nothing reset");
        return kExitFailed;
    }
    if (keep.refused) {
        PrintError("the EDID in " + SlotName(keep.slot) + " cannot be kept in the history: " +
                   keep.error + "; nothing reset (--no-history resets without keeping it)");
        return kExitFailed;
    }
    if (keep.kept > 0)
        std::cerr << keep.kept << (keep.kept == 1 ? " user slot" : " user slots")
                  << " kept in the history (tavo-cli device history)\n";
    if (!r.reported) {
        PrintError("the device did not report its descriptor after SYS_DEF");
        return kExitFailed;
    }
    std::cout << "description: " << d.record().description << '\n';
    return kExitOk;
}

// The transfer's end when it did not send the whole image: what stopped it, and where.
int ReportUnsent(FirmwareResult result, const FirmwareTransfer& transfer, bool interrupted) {
    if (result == FirmwareResult::Aborted && interrupted) {
        PrintError("interrupted: the update stopped after block " +
                   std::to_string(transfer.blocksSent()) + " of " +
                   std::to_string(transfer.blockCount()) +
                   "; the device stays in ISP mode until the update is run again");
        return kExitInterrupted;
    }
    PrintError(FirmwareResultText(result).toStdString());
    if (result == FirmwareResult::Refused) PrintError(transfer.refusal().toStdString());
    if (result == FirmwareResult::Lost)
        PrintError("the link was lost after block " + std::to_string(transfer.blocksSent()) +
                   " of " + std::to_string(transfer.blockCount()));
    return kExitFailed;
}

// After the whole image was sent: the device restarts, and its version says whether the update
// took.
int ConfirmRestart(FirmwareTransfer& transfer, const Options& o, const InterruptGuard& interrupt,
                   bool terminal) {
    transfer.setRestartWaitMs(o.restartWaitS * 1000);
    if (terminal) std::cerr << "waiting for the device to restart...\n";
    const FirmwareConfirmation confirmation = transfer.Confirm();
    if (interrupt.requested()) {
        PrintError("interrupted while waiting for the device to restart: the image was sent");
        return kExitInterrupted;
    }
    switch (confirmation.check) {
    case FirmwareCheck::Confirmed:
        std::cout << confirmation.text() << '\n';
        return kExitOk;
    case FirmwareCheck::Mismatch:
        PrintError(confirmation.text());
        return kExitFailed;
    case FirmwareCheck::NotConfirmed:
        break;
    }
    if (confirmation.stillInIsp) std::cerr << "the device answers in ISP mode\n";
    std::cout << confirmation.text() << '\n';
    return o.confirm ? kExitNotConfirmed : kExitOk;
}

// --verbose: how long the transfer took, and the longest the event loop was held up (10 ms ticks).
class LoopGaps {
public:
    explicit LoopGaps(bool on) {
        tick_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            longestGap_ = std::max(longestGap_, clock_.elapsed() - lastTick_);
            lastTick_ = clock_.elapsed();
        });
        clock_.start();
        if (on) tick_.start(10);
    }
    qint64 elapsed() const { return clock_.elapsed(); }
    qint64 longestGap() const { return longestGap_; }

private:
    QElapsedTimer clock_;
    QTimer tick_;
    qint64 lastTick_ = 0, longestGap_ = 0;
};

int Firmware(const Args& args) {
    Options o;
    if (!Parse(args, o) || o.positional.size() != 1 || !o.history)
        return UsageError("device firmware");
    const QString path = QString::fromStdString(o.positional.front());
    QCoreApplication app(gArgc, gArgv);
    UsePort(o);
    // the file first: a file that is no image never gets as far as the device
    const FirmwareImage image = ReadFirmwareImage(path);
    if (!image.opened) {
        PrintError("cannot read " + (image.error.empty() ? o.positional.front() : image.error));
        return kExitError;
    }
    std::cout << TargetLine(image.header) << '\n';
    if (!image.header.accepted) {
        PrintError(FirmwareResultText(image.header.tooLarge ? FirmwareResult::TooLarge
                                                            : FirmwareResult::Illegal)
                       .toStdString());
        return kExitFailed;
    }
    Device d(o);
    if (d.found == UartSession::Found::None) return kExitFailed;
    if (d.found != UartSession::Found::Isp) {
        PrintError("Not ISP Mode.");
        return kExitFailed;
    }
    const bool terminal = isatty(STDERR_FILENO) == 1;
    LoopGaps gaps(o.verbose);
    FirmwareTransfer transfer(d.session);
    // Ctrl-C or SIGTERM: the block being sent and its waits finish, then the update stops
    InterruptGuard interrupt;
    interrupt.onRequest([&transfer] { transfer.abort(); });
    const FirmwareResult result = transfer.Run(path, [&](const QString& label, int) {
        if (terminal) {
            WriteRaw(std::cerr, "\r"); // the progress line redrawn in place
            std::cerr << label.toStdString() << std::flush;
        }
    });
    if (terminal) std::cerr << '\n';
    if (o.verbose)
        std::cerr << "transfer took " << gaps.elapsed() << " ms, longest event-loop gap "
                  << gaps.longestGap() << " ms\n";
    if (result != FirmwareResult::Sent)
        return ReportUnsent(result, transfer, interrupt.requested());
    std::cout << "100%\nsent " << image.bytes.size() << " bytes in "
              << (image.bytes.size() + qsizetype(kFwBlock) - 1) / qsizetype(kFwBlock)
              << " blocks\n";
    if (!transfer.endAnswered()) std::cerr << "FW_END: no answer within 1 s\n";
    return ConfirmRestart(transfer, o, interrupt, terminal);
}

const CommandRegistration description{{"device description",
                                       "device description [TEXT] [--port PATH] [--verbose]",
                                       "print the device's description text, or send TEXT (at most "
                                       "31 bytes are sent, cut between UTF-8 characters; an "
                                       "empty TEXT sends a blank)",
                                       &Description}};
const CommandRegistration defaults{
    {"device defaults", "device defaults --yes [--no-history] [--port PATH]",
     "restore the device's defaults (SYS_DEF: the description, the EDID mode and every user "
     "slot) and print the description it reports afterwards; the user slots' EDIDs are kept in "
     "the history first, and when one cannot be kept nothing is sent, unless --no-history",
     &Defaults}};
const CommandRegistration firmware{
    {"device firmware",
     "device firmware FILE [--confirm] [--wait-restart SECONDS] [--port PATH] [--verbose]",
     "send a firmware image (\"FW VER:\" at 512, at most 65,536 bytes) to a device waiting in "
     "ISP mode, then search for the restarted device (30 s, or SECONDS) and compare its version "
     "with the image's: exit 1 when it differs; --confirm: exit 3 when the device did not come "
     "back to tell",
     &Firmware}};

} // namespace
} // namespace tavo::cli
