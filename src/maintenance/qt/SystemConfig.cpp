#include "maintenance/qt/SystemConfig.h"

#include <QEventLoop>
#include <QTimer>

#include "link/Response.h"
#include "link/SlotName.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"

namespace tavo {

void SendDescription(UartSession& session, const std::string& text) {
    const std::vector<std::uint8_t> payload = DescriptionPayload(text);
    session.Uart_SendCommand(kModeSet, SYS_STR, static_cast<std::uint16_t>(payload.size()),
                             payload.data());
    UartSession::Uart_Wait(kSystemConfigWaitMs);
}

bool ReadSystemDescriptor(UartSession& session) {
    bool handled = false;
    QEventLoop loop;
    const QMetaObject::Connection answered =
        QObject::connect(&session, &UartSession::responseHandled, [&](int command, int outcome) {
            if (command != SYS_DSCPT) return;
            handled = outcome == static_cast<int>(ResponseOutcome::Handled);
            loop.quit();
        });
    const QMetaObject::Connection closed =
        QObject::connect(&session, &UartSession::disconnected, [&] { loop.quit(); });
    session.Uart_SendCommand(kModeGet, SYS_DSCPT);
    // the answer usually lands within the GET's own 50 ms; a slow device gets a little longer
    if (!handled && session.isConnected()) {
        QTimer::singleShot(kDescriptorGraceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(answered);
    QObject::disconnect(closed);
    return handled;
}

bool RestoreDefaults(UartSession& session) {
    const std::uint8_t restore = 0x55;
    session.Uart_SendCommand(kModeSet, SYS_DEF, 1, &restore);
    UartSession::Uart_Wait(kSystemConfigWaitMs);
    return ReadSystemDescriptor(session);
}

DefaultsKeep KeepSlotsBeforeDefaults(SlotTransfer& transfers, const DefaultsOptions& options) {
    DefaultsKeep result;
    UartSession& session = transfers.session();
    const DeviceRecord& device = session.devices().Current();
    const std::vector<SlotSelector> reset = SlotsResetByDefaults(device.userCount);
    if (!options.history || reset.empty()) return result;
    QTimer& poll = session.pollTimer();
    const bool polling = poll.isActive();
    poll.stop();
    bool agreed = false; // the operator said to reset without the history
    transfers.Begin();
    for (std::size_t i = 0; i < reset.size(); ++i) {
        const SlotSelector slot = reset[i];
        if (options.progress) options.progress(int(i) + 1, int(reset.size()), slot);
        const SlotRead before = transfers.Read(slot);
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
    transfers.End();
    if (polling && session.isConnected()) poll.start();
    return result;
}

} // namespace tavo
