// The `slot:NAME` sources of `tavo-cli compose`: each slot read from the connected device with
// the same sequence as `device read`, one connection for all of them.
#include <QCoreApplication>
#include <memory>

#include "../ComposeSlots.h"
#include "Connection.h"

namespace tavo::cli {
namespace {

bool ReadSlots(const std::string& port, bool verbose, const std::vector<std::string>& names,
               std::vector<EdidImage>& images) {
    std::vector<SlotSelector> selected;
    for (const std::string& name : names) {
        const auto slot = ParseSlotName(name);
        if (!slot) {
            PrintError("'" + std::string(kSlotPrefix) + name +
                       "' is not a slot (output1, input2, user3, internal1, ...)");
            return false;
        }
        selected.push_back(*slot);
    }
    // the link runs on an event loop: timers, the port's notifier, the waits
    static int argc = 1;
    static char program[] = "tavo-cli";
    static char* argv[] = {program, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    if (!port.empty()) qputenv("TAVO_SERIAL_PORTS", QByteArray::fromStdString(port));
    Connection c;
    if (!c.Open(verbose)) return false;
    for (const SlotSelector slot : selected)
        if (!c.Has(slot)) {
            c.session.Uart_Disconnect();
            return false;
        }
    bool ok = true;
    const OperationResult result = c.Run(tavo::ReadSlots{selected, true, true});
    for (std::size_t i = 0; i < selected.size(); ++i) {
        const SlotSelector slot = selected[i];
        const SlotRead r =
            i < result.reads.size() ? result.reads[i] : SlotRead{{}, {}, true, false};
        if (!r.complete()) {
            PrintError(r.lost ? "the device was lost during the read of " + SlotName(slot)
                              : SlotName(slot) + " did not arrive whole with a good CRC");
            ok = false;
            break;
        }
        images.push_back(r.image);
    }
    c.session.Uart_Disconnect();
    return ok;
}

[[maybe_unused]] const bool registered = (ComposeSlotReader() = &ReadSlots, true);

} // namespace
} // namespace tavo::cli
