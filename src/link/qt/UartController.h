#pragma once
// The serial link on the main window: shows what the UartSession does on the main window's own
// controls (debug log, the device's grid row, "Search" and "Disconnect", the hourglass). The pages
// show what it means for them themselves: each listens to the session's signals (a device found,
// the slot counts changed, a mode shown, the disconnect).
//
//   auto* uart = new tavo::UartController(state.uartLink, state.deviceTable,
//                                         edidTransfer.image, nullptr, form);
//   uart->setDiscoverySender([form] { form->Udp->SendDiscoveryRequest(); });
//   uart->setFixedColourSetter([form](const QColor& c) { form->StringGrid1->SetFixedColor(c); });
//   uart->attach({form, form->StringGrid1, form->Memo_Debug, form->BitBtn_Search,
//                 form->BitBtn_Disconnect}); // connects "Search" and "Disconnect"
// Pages submit device operations to runner(); the handlers not yet written as operations still
// send through uart->Uart_SendCommand(...) / uart->Uart_Wait(ms).
#include <QPointer>
#include <functional>

#include "link/qt/DeviceRunner.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"

class QAbstractButton;
class QColor;
class QPlainTextEdit;
class QTableWidget;
class QWidget;

namespace tavo {

class UartController : public QObject {
    Q_OBJECT
public:
    // The main window's controls the link shows itself on (any may be null).
    struct Controls {
        QWidget* window = nullptr; // gets the hourglass while a port is tried
        QTableWidget* grid = nullptr;
        QPlainTextEdit* log = nullptr;
        QAbstractButton* search = nullptr;
        QAbstractButton* disconnect = nullptr;
    };

    // A null transport means the serial ports; a given one is owned by the session.
    UartController(UartLink& link, DeviceTable& devices, EdidImage& transfer,
                   LinkTransport* transport = nullptr, QObject* parent = nullptr);
    // With a link state of its own (tests).
    UartController(DeviceTable& devices, EdidImage& transfer, LinkTransport* transport = nullptr,
                   QObject* parent = nullptr);

    UartSession& session() { return session_; }
    // The slot sequences the EDID pages run over this session (one object for the controller's
    // buttons and the creator's upload); a verified write keeps what it replaces in the history.
    SlotTransfer& transfers() { return transfers_; }
    // Runs the pages' device operations one at a time over those sequences.
    DeviceRunner& runner() { return runner_; }

    // Takes the main window's controls and connects "Search" and "Disconnect".
    void attach(const Controls& controls);
    // Sends the discovery request (the four bytes, broadcast then multicast) at every search.
    void setDiscoverySender(std::function<void()> sender) { discoverySender_ = std::move(sender); }
    // Sets the grid's fixed (header) colour at a disconnect; by default the grid gets a
    // "fixedColor" property and, when its header cells are row 0, their background.
    void setFixedColourSetter(std::function<void(const QColor&)> setter) {
        fixedColourSetter_ = std::move(setter);
    }

    // ---- the handlers
    void BitBtn_SearchClick();
    void BitBtn_DisconnectClick();
    void Uart_SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0,
                          const std::uint8_t* data = nullptr) {
        session_.Uart_SendCommand(mode, command, length, data);
    }
    static unsigned Uart_Wait(unsigned ms) { return UartSession::Uart_Wait(ms); }
    void Uart_HandleResponse() { session_.Uart_HandleResponse(); }
    void Timer_UART_RxTimer() { session_.Timer_UART_RxTimer(); }
    void Timer_Poll_StatusTimer() { session_.Timer_Poll_StatusTimer(); }
    void Uart_ShowEdidMode(std::uint8_t mode) { session_.Uart_ShowEdidMode(mode); }
    static QStringList Uart_ListSerialPorts() { return UartSession::Uart_ListSerialPorts(); }
    void resume() { session_.resume(); }
    void suspend() { session_.suspend(); }

    // The table row that holds grid row r (row 0 is the header row when the grid keeps its
    // header cells in a row of its own, otherwise the header is the table's header view).
    int tableRow(int gridRow) const;

private:
    void connectSession();
    void appendLog(const QString& text);
    void appendLogLine(const QString& line);
    void onSearchStarted();
    void onBusy(bool on);
    void onDeviceFound();
    void onDeviceRow(int row, const QString& port, const QString& product,
                     const QString& description);
    void onDisconnected();
    void setGridRowCount(int gridRows);
    void setCell(int gridRow, int column, const QString& text);

    UartSession session_;
    SlotHistory history_;
    SlotTransfer transfers_{session_};
    DeviceRunner runner_{session_, transfers_};
    QPointer<QWidget> window_;
    QPointer<QTableWidget> grid_;
    QPointer<QPlainTextEdit> memo_;
    QPointer<QAbstractButton> search_, disconnect_;
    std::function<void()> discoverySender_;
    std::function<void(const QColor&)> fixedColourSetter_;
};

} // namespace tavo
