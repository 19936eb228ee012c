// tavo-cli device check [SLOT...]: every slot of the connected device (or the named ones) read
// with the same sequence as `device read` and checked, one verdict per slot.
#include <QCoreApplication>
#include <iostream>
#include <memory>

#include "../FileIo.h"
#include "Connection.h"
#include "edid/Check.h"

namespace tavo::cli {
namespace {

struct CheckOptions {
    std::vector<std::string> names;
    std::string port;
    bool verbose = false;
    bool json = false;
};

bool Parse(const Args& args, CheckOptions& o) {
    cmdline::OptionParser parser;
    DeclarePortOptions(parser, o.port, o.verbose);
    parser.Flag("--json", [&o] { o.json = true; }).Arguments([&o](const std::string& a) {
        o.names.push_back(a);
        return true;
    });
    return !parser.Parse(args);
}

// Every slot of the device: inputs, outputs, user slots, internal slots.
std::vector<SlotSelector> AllSlots(const DeviceRecord& r) {
    std::vector<SlotSelector> out;
    const std::pair<SlotKind, unsigned> kinds[] = {{SlotKind::Input, r.inputCount},
                                                   {SlotKind::Output, r.outputCount},
                                                   {SlotKind::User, r.userCount},
                                                   {SlotKind::Internal, r.internalCount}};
    for (const auto& [kind, count] : kinds)
        for (unsigned i = 0; i < count; ++i)
            out.push_back(SlotSelector::Make(kind, i));
    return out;
}

void Print(const std::string& slot, const std::vector<Finding>& findings, bool json) {
    if (json) {
        std::cout << CheckJson(slot, findings, "slot") << '\n';
        return;
    }
    std::cout << slot << ": " << VerdictName(VerdictOf(findings)) << " ("
              << CheckSummaryLine(findings) << ")\n";
    for (const Finding& f : findings)
        std::cout << "  " << FindingText(f) << '\n';
}

int CheckSlots(Connection& c, const std::vector<SlotSelector>& selected, bool json) {
    bool unreadable = false, failed = false;
    const OperationResult result = c.Run(tavo::ReadSlots{selected});
    for (std::size_t i = 0; i < selected.size(); ++i) {
        const SlotSelector slot = selected[i];
        const SlotRead r =
            i < result.reads.size() ? result.reads[i] : SlotRead{{}, {}, true, false};
        if (r.lost) {
            PrintError("the device was lost during the read of " + SlotName(slot));
            unreadable = true;
            break;
        }
        if (!r.complete()) {
            PrintError(SlotName(slot) + " did not arrive whole with a good CRC; not checked");
            unreadable = true;
            continue;
        }
        const std::vector<Finding> findings = CheckImage(r.image);
        failed = failed || VerdictOf(findings) == Verdict::Fail;
        Print(SlotName(slot), findings, json);
    }
    c.session.Uart_Disconnect();
    return unreadable ? kExitError : failed ? kExitFailed : kExitOk;
}

int Run(const Args& args) {
    CheckOptions o;
    if (!Parse(args, o)) return UsageError("device check");
    std::vector<SlotSelector> named;
    for (const std::string& name : o.names) {
        const auto slot = ParseSlotName(name);
        if (!slot) {
            PrintError("'" + name + "' is not a slot (input1, output1, user3, internal2, ...)");
            return kExitError;
        }
        named.push_back(*slot);
    }
    // the link runs on an event loop: timers, the port's notifier, the waits
    static int argc = 1;
    static char program[] = "tavo-cli";
    static char* argv[] = {program, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    if (!o.port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(o.port));
    Connection c;
    if (!c.Open(o.verbose)) return kExitError;
    for (const SlotSelector slot : named)
        if (!c.Has(slot)) {
            c.session.Uart_Disconnect();
            return kExitError;
        }
    return CheckSlots(c, named.empty() ? AllSlots(c.devices.Current()) : named, o.json);
}

const CommandRegistration reg{
    {"device check", "device check [SLOT...] [--json] [--port PATH] [--verbose]",
     "read every slot of the device (or the named ones) and check each EDID: one verdict per "
     "slot and its findings (--json: one JSON object per slot); exit 1 when a slot fails, 2 when "
     "no device answered or a slot could not be read",
     &Run}};

} // namespace
} // namespace tavo::cli
