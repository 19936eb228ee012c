// tavo-cli device read SLOT OUT, write SLOT IN, mode [INDEX], history [SLOT], restore SLOT [N]: the
// same command sequences and waits as the "EDID Controller" buttons (SlotTransfer), headless.
#include "SlotCommands.h"

#include <QElapsedTimer>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>

#include "../FileIo.h"
#include "Connection.h"
#include "Interrupt.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "link/SlotName.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/DeviceBackup.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo::cli {
namespace {

struct SlotOptions {
    std::string action;
    std::vector<std::string> operands;
    std::string port;
    bool verbose = false;
    bool verify = true;
    bool history = true;
    bool force = false;
    bool fit = false;
};

bool Parse(const Args& args, SlotOptions& o) {
    cmdline::OptionParser parser;
    DeclarePortOptions(parser, o.port, o.verbose);
    parser.Flag("--no-verify", [&o] { o.verify = false; })
        .Flag("--no-history", [&o] { o.history = false; })
        .Flag("--force", [&o] { o.force = true; })
        .Flag("--fit", [&o] { o.fit = true; })
        .Arguments([&o](const std::string& a) {
            (o.action.empty() ? o.action : o.operands.emplace_back()) = a;
            return true;
        });
    return !parser.Parse(args);
}

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
    const OperationResult result = c.Run(tavo::ReadSlots{{*slot}});
    const SlotRead r = result.reads.empty() ? SlotRead{{}, {}, true, false} : result.reads.front();
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
    // a valid one-block EDID is saved as its own 128 bytes, as the window saves it; anything
    // else whole, as the slot holds it
    std::uint16_t status = 0;
    const std::size_t length =
        ValidateImage(r.image, status) ? EdidLength(r.image) : r.image.size();
    std::string error;
    if (!WriteFileAtomically(o.operands[1], r.image.data(), length, error, o.force)) {
        PrintError(error);
        return kExitError;
    }
    std::cout << SlotName(*slot) << " -> " << o.operands[1] << '\n';
    return kExitOk;
}

int WriteSlot(const SlotOptions& o, Connection& c, SlotSelector slot, const EdidImage& image,
              const std::string& what);

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
    const std::string& in = o.operands[1];
    std::vector<std::uint8_t> whole;
    if (!ReadWholeEdidFile(in, whole, error)) {
        PrintError(error);
        return kExitError;
    }
    // more blocks announced than a slot holds (only a regular file comes whole): refused as
    // before unless fitting was asked for, and either way what fitting drops is named before
    // anything is sent
    const EdidBlocks blocks = ReadEdidBlocks(whole);
    const FitOutcome fit =
        whole.size() > kEdidSize && blocks.announced > 2 ? FitEdid(whole) : FitOutcome{};
    if (fit.result == FitResult::Fitted) {
        const int kept = blocks.FirstCta()->index;
        if (!o.fit)
            PrintError(
                in + ": " + std::string(ValidationMessage(kStatusTooManyBanks)) +
                " Nothing sent. The EDID has " + std::to_string(blocks.announced) +
                " blocks and a slot holds 2; --fit writes the base block and CTA-861 block " +
                std::to_string(kept) + " and drops:");
        else
            std::cerr << in << ": fitting to the base block and CTA-861 block " << kept
                      << "; dropped:\n";
        for (const auto& d : fit.dropped)
            std::cerr << "  " << d << '\n';
        if (!o.fit) return kExitFailed;
        image = fit.image;
    } else if (o.fit && whole.size() > kEdidSize && blocks.announced > 2) {
        PrintError(in + (fit.result == FitResult::NoCta
                             ? ": no CTA-861 extension to keep; --fit cannot fit it. Nothing sent."
                             : ": no EDID base block to keep; --fit cannot fit it. Nothing sent."));
        return kExitFailed;
    } else if (whole.size() > kEdidSize) {
        // read again as before: the first 256 bytes, with the note saying so
        if (!ReadEdidFile(in, image, error)) {
            PrintError(error);
            return kExitError;
        }
    } else {
        std::copy_n(whole.begin(), std::min(whole.size(), image.size()), image.begin());
    }
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) {
        PrintError(in + ": " + std::string(ValidationMessage(status)) + " Nothing sent.");
        return kExitFailed;
    }
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    if (!c.Has(*slot)) {
        c.session.Uart_Disconnect();
        return kExitFailed;
    }
    return WriteSlot(o, c, *slot, image, o.operands[1]);
}

// The verified write of `image` into `slot` on the open connection, reported as the window
// reports it. A SIGINT, SIGTERM or SIGHUP meanwhile lets the write and its verification finish.
int WriteSlot(const SlotOptions& o, Connection& c, SlotSelector slot, const EdidImage& image,
              const std::string& what) {
    InterruptGuard interrupt;
    QElapsedTimer clock;
    clock.start();
    const OperationResult result = c.Run(tavo::WriteSlot{slot, image, {o.verify, o.history, {}}});
    VerifiedWrite v;
    v.lost = true;
    if (result.write) v = *result.write;
    const qint64 took = clock.elapsed();
    c.session.Uart_Disconnect();
    if (o.verbose) // SYS_STM and SYS_CTM wait 20 ms each
        std::cerr << "write took " << took << " ms, floor "
                  << 40 + SlotWriteFloorMs(slot) + (o.history ? SlotReadFloorMs(slot) : 0) +
                         (o.verify ? SlotReadFloorMs(slot) : 0) +
                         (v.secondRead ? kVerifySecondReadMs + SlotReadFloorMs(slot) : 0)
                  << " ms\n";
    std::string failure = WriteFailureText(v, SlotName(slot));
    if (v.historyRefused) failure += " (--no-history writes without keeping it)";
    if (failure.empty())
        std::cout << what << " -> " << SlotName(slot) << (v.verifyRun ? " (verified)" : "") << '\n';
    else
        PrintError(failure);
    if (interrupt.requested()) {
        PrintError("interrupted: the write into " + SlotName(slot) +
                   (o.verify ? " and its verification" : "") + " finished first; stopping");
        return kExitInterrupted;
    }
    // a history that cannot be written is an unwritable file (a full disk), not a failed write
    return failure.empty() ? kExitOk : v.historyRefused ? kExitError : kExitFailed;
}

std::string Column(std::string_view text) {
    return Latin1ToUtf8(text);
}

// "monitor DELL U2720Q", or "no monitor name"
std::string EntryMonitor(const EdidImage& image) {
    EdidRecord record;
    record.image = image;
    const std::string name = Column(AnalyseEdid(record).Row(SummaryRow::MonitorName));
    return name.empty() || name == "-" ? "no monitor name" : "monitor " + name;
}

// device history [SLOT]: the entries kept for the connected device, newest first.
int History(const SlotOptions& o) {
    if (o.operands.size() > 1) return UsageError("device");
    std::optional<SlotSelector> slot;
    if (o.operands.size() == 1 && !(slot = SlotOperand(o.operands[0]))) return kExitError;
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    const DeviceRecord device = c.devices.Current();
    c.session.Uart_Disconnect();
    const QList<HistoryEntry> entries =
        slot ? c.history.Entries(device, *slot) : c.history.AllEntries(device);
    if (entries.isEmpty()) {
        std::cout << "no history for " << (slot ? SlotName(*slot) + " of " : std::string())
                  << device.product << " in " << c.history.root().toStdString() << '\n';
        return kExitOk;
    }
    std::cout << "N\ttime\tslot\tmanufacturer\tmonitor\n";
    for (const HistoryEntry& e : entries) {
        EdidRecord record;
        const std::optional<EdidImage> image = SlotHistory::Load(e);
        std::string manufacturer = "-", monitor = "-";
        if (image) {
            record.image = *image;
            const AnalyzerSummary summary = AnalyseEdid(record);
            manufacturer = Column(summary.Row(SummaryRow::ManufacturerName));
            monitor = Column(summary.Row(SummaryRow::MonitorName));
        }
        std::cout << e.number << '\t' << e.time.toStdString() << '\t' << SlotName(e.slot) << '\t'
                  << manufacturer << '\t' << monitor << '\n';
    }
    return kExitOk;
}

// device restore SLOT [N]: history entry N (1: the newest) back into the slot, verified; what it
// replaces joins the history.
int Restore(const SlotOptions& o) {
    if (o.operands.empty() || o.operands.size() > 2) return UsageError("device");
    const auto slot = SlotOperand(o.operands[0]);
    if (!slot) return kExitError;
    int number = 1;
    if (o.operands.size() == 2) {
        const std::string& n = o.operands[1];
        const auto parsed = cmdline::ParseInteger(n, 1, 999);
        if (!parsed) {
            PrintError("'" + n + "' is not an entry number (1 is the newest)");
            return kExitError;
        }
        number = static_cast<int>(*parsed);
    }
    if (!IsWritableSlot(*slot)) {
        PrintError(SlotName(*slot) +
                   " is read only: only input and user slots take an EDID; nothing sent");
        return kExitFailed;
    }
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    if (!c.Has(*slot)) {
        c.session.Uart_Disconnect();
        return kExitFailed;
    }
    const QList<HistoryEntry> entries = c.history.Entries(c.devices.Current(), *slot);
    if (number > entries.size()) {
        c.session.Uart_Disconnect();
        PrintError("the history of " + SlotName(*slot) + " holds " +
                   std::to_string(entries.size()) + " entr" + (entries.size() == 1 ? "y" : "ies") +
                   "; no entry " + std::to_string(number));
        return kExitFailed;
    }
    const HistoryEntry& entry = entries[number - 1];
    QString error;
    const std::optional<EdidImage> image = SlotHistory::Load(entry, &error);
    if (!image) {
        c.session.Uart_Disconnect();
        PrintError(error.toStdString() + "; nothing sent");
        return kExitFailed;
    }
    // what is about to go back, named before anything is sent
    const std::string what = "history entry " + std::to_string(number) + " of " + SlotName(*slot) +
                             " (" + entry.time.toStdString() + ", " + EntryMonitor(*image) + ")";
    std::cout << "restoring " << what << '\n' << std::flush;
    return WriteSlot(o, c, *slot, *image, what);
}

int Mode(const SlotOptions& o) {
    if (o.operands.size() > 1) return UsageError("device");
    std::optional<int> wanted;
    if (o.operands.size() == 1) {
        const std::string& v = o.operands[0];
        const auto parsed = cmdline::ParseInteger(v, 0, 255);
        if (!parsed) {
            PrintError("'" + v + "' is not a mode index (0 to 255)");
            return kExitError;
        }
        wanted = static_cast<int>(*parsed);
    }
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    const DeviceRecord& r = c.devices.Current();
    const unsigned modes = r.internalCount + r.outputCount + r.userCount;
    int rc = kExitOk;
    if (wanted) {
        if (static_cast<unsigned>(*wanted) >= modes) {
            PrintError("mode " + std::to_string(*wanted) + " is outside the device's " +
                       std::to_string(modes) + " modes");
            c.session.Uart_Disconnect();
            return kExitFailed;
        }
    }
    // the verdict is the mode the device then reports, never the answer to the SET
    const int mode =
        c.Run(wanted ? DeviceOperationValue(SetMode{static_cast<std::uint8_t>(*wanted), true})
                     : DeviceOperationValue(QueryMode{}))
            .mode;
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

void PrintReport(const BackupReport& report) {
    for (const BackupItem& i : report.items)
        std::cout << i.line().toStdString() << '\n';
}

// device backup DIR: every slot, the mode and the description into DIR with a manifest, put in
// place only when complete. A signal stops it between two items; DIR stays as it was.
int Backup(const SlotOptions& o) {
    if (o.operands.size() != 1) return UsageError("device");
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    InterruptGuard interrupt;
    BackupOptions options;
    options.stop = [&interrupt] { return interrupt.requested(); };
    const BackupReport report =
        BackupDevice(c.transfers, QString::fromStdString(o.operands[0]), options);
    c.session.Uart_Disconnect();
    if (!report.started) {
        PrintError(report.error.toStdString());
        return kExitError;
    }
    PrintReport(report);
    if (!report.ok()) {
        PrintError("the backup is incomplete and was not kept: " + report.outcome.toStdString());
        return report.interrupted ? kExitInterrupted : kExitFailed;
    }
    std::cout << "backup: " << o.operands[0] << '\n';
    if (!report.outcome.isEmpty()) std::cout << report.outcome.toStdString() << '\n';
    return kExitOk;
}

// device restore-backup DIR: the manifest and hashes checked, then the writable slots, the mode
// and the description written back, each verified. A signal stops it between two items.
int RestoreFromBackup(const SlotOptions& o) {
    if (o.operands.size() != 1) return UsageError("device");
    Connection c;
    if (!c.Open(o.verbose)) return kExitFailed;
    InterruptGuard interrupt;
    BackupOptions options;
    options.force = o.force;
    options.stop = [&interrupt] { return interrupt.requested(); };
    options.write.history = o.history;
    options.notice = [](const QString& notice) { PrintError(notice.toStdString()); };
    const BackupReport report =
        RestoreBackup(c.transfers, QString::fromStdString(o.operands[0]), options);
    c.session.Uart_Disconnect();
    if (!report.started) {
        PrintError(report.error.toStdString() + (report.error.contains("the backup is of")
                                                     ? " (--force writes it all the same)"
                                                     : ""));
        return kExitFailed;
    }
    PrintReport(report);
    if (report.interrupted) {
        PrintError("interrupted: stopped after the item in progress; the rest is not restored");
        return kExitInterrupted;
    }
    if (!report.ok()) {
        PrintError("some items were not restored");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

bool IsSlotAction(std::string_view action) {
    return action == "read" || action == "write" || action == "mode" || action == "history" ||
           action == "restore" || action == "backup" || action == "restore-backup";
}

int RunSlotAction(const Args& args) {
    SlotOptions o;
    if (!Parse(args, o)) return UsageError("device");
    if (!o.port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(o.port));
    if (o.action == "read") return Read(o);
    if (o.action == "write") return Write(o);
    if (o.action == "mode") return Mode(o);
    if (o.action == "history") return History(o);
    if (o.action == "restore") return Restore(o);
    if (o.action == "backup") return Backup(o);
    if (o.action == "restore-backup") return RestoreFromBackup(o);
    return UsageError("device");
}

} // namespace tavo::cli
