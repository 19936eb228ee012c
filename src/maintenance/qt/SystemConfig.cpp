#include "maintenance/qt/SystemConfig.h"

#include <QEventLoop>
#include <QTimer>

#include "link/Response.h"
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

} // namespace tavo
