#include "maintenance/qt/SystemConfig.h"

#include <QTimer>

#include "link/Response.h"
#include "link/SlotName.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"

namespace tavo {

namespace {

// Disconnects when the sequence that made it ends, also when it is dropped where it stands.
struct ScopedConnection {
    QMetaObject::Connection c;
    ~ScopedConnection() { QObject::disconnect(c); }
};

LinkTask<OperationResult> DescriptionSequence(SlotTransfer& transfers, SetDescription what) {
    OperationResult r;
    co_await SendDescriptionAsync(transfers.session(), what.text);
    if (what.readBack) r.reported = co_await ReadSystemDescriptorAsync(transfers.session());
    co_return r;
}

LinkTask<OperationResult> DefaultsSequence(SlotTransfer& transfers, DefaultsOptions options) {
    OperationResult r;
    const DefaultsKeep keep = co_await KeepSlotsBeforeDefaultsAsync(transfers, options);
    r.keep = keep;
    if (!keep.ok()) co_return r;
    if (options.restoring) options.restoring();
    r.reported = co_await RestoreDefaultsAsync(transfers.session());
    co_return r;
}

} // namespace

SetDescription::operator LinkSequence() const {
    return {[what = *this](SlotTransfer& t) { return DescriptionSequence(t, what); }, false};
}

RestoreDefaults::operator LinkSequence() const {
    return {[options = options](SlotTransfer& t) { return DefaultsSequence(t, options); }, false};
}

LinkTask<> SendDescriptionAsync(UartSession& session, std::string text) {
    std::vector<std::uint8_t> payload = DescriptionPayload(text);
    const auto length = static_cast<std::uint16_t>(payload.size());
    co_await session.SendCommand(kModeSet, SYS_STR, length, std::move(payload));
    co_await Sleep(kSystemConfigWaitMs);
}

LinkTask<bool> ReadSystemDescriptorAsync(UartSession& session) {
    bool handled = false;
    int answers = 0; // SYS_DSCPT answers handled, good or not
    const ScopedConnection answered{
        QObject::connect(&session, &UartSession::responseHandled, [&](int command, int outcome) {
            if (command != SYS_DSCPT) return;
            handled = outcome == static_cast<int>(ResponseOutcome::Handled);
            ++answers;
        })};
    co_await session.SendCommand(kModeGet, SYS_DSCPT);
    // the answer usually lands within the GET's own 50 ms; a slow device gets a little longer
    if (!handled && session.isConnected()) {
        const int before = answers;
        co_await WaitUntil(kDescriptorGraceMs, [&] { return answers > before; })
            .on(&session, &UartSession::responseHandled)
            .endOn(&session, &UartSession::disconnected);
    }
    co_return handled;
}

LinkTask<bool> RestoreDefaultsAsync(UartSession& session) {
    std::vector<std::uint8_t> restore(1, 0x55); // (no braced list in a co_await: g++ 12)
    co_await session.SendCommand(kModeSet, SYS_DEF, 1, std::move(restore));
    co_await Sleep(kSystemConfigWaitMs);
    const bool reported = co_await ReadSystemDescriptorAsync(session);
    co_return reported;
}

LinkTask<DefaultsKeep> KeepSlotsBeforeDefaultsAsync(SlotTransfer& transfers,
                                                    DefaultsOptions options) {
    DefaultsKeep result;
    UartSession& session = transfers.session();
    const DeviceRecord& device = session.devices().Current();
    const std::vector<SlotSelector> reset = SlotsResetByDefaults(device.userCount);
    if (!options.history || reset.empty()) co_return result;
    QTimer& poll = session.pollTimer();
    const bool polling = poll.isActive();
    poll.stop();
    bool agreed = false; // the operator said to reset without the history
    co_await transfers.BeginAsync();
    for (std::size_t i = 0; i < reset.size(); ++i) {
        const SlotSelector slot = reset[i];
        if (options.progress) options.progress(int(i) + 1, int(reset.size()), slot);
        const SlotRead before = co_await transfers.ReadAsync(slot);
        if (before.lost || transfers.lost()) {
            result.lost = true;
            break;
        }
        QString why;
        if (!before.complete())
            why = QString::fromStdString(SlotTitle(slot)) + QStringLiteral(" could not be read");
        else if (transfers.history() == nullptr)
            why = QStringLiteral("no history to keep it in");
        else if (transfers.history()->Keep(device, slot, before.image, &why)) {
            ++result.kept;
            continue;
        }
        emit session.logLine(QStringLiteral("History not kept: ") + why);
        if (result.error.empty()) {
            result.slot = slot;
            result.error = why.toStdString();
        }
        if (agreed) continue;
        if (!options.resetWithoutHistory || !options.resetWithoutHistory(slot, result.error)) {
            result.refused = true;
            emit session.logLine(QStringLiteral("Nothing reset."));
            break;
        }
        agreed = true;
    }
    co_await transfers.EndAsync();
    if (polling && session.isConnected()) poll.start();
    co_return result;
}

void SendDescription(UartSession& session, const std::string& text) {
    RunBlocking(SendDescriptionAsync(session, text));
}

bool ReadSystemDescriptor(UartSession& session) {
    return RunBlocking(ReadSystemDescriptorAsync(session)).value_or(false);
}

} // namespace tavo
