#pragma once
// The serial link on the main window: attaches to the form's controls by their object names and
// shows what the UartSession does (debug log, grid row, buttons, glyphs, slot lists, Mode Select).
//
//   auto* uart = new tavo::UartController(state.uartLink, state.deviceTable,
//                                         edidTransfer.image, nullptr, form);
//   uart->setGlyphSetter([](QAbstractButton* b, const char* name) { tavo::SetGlyph(b, name); });
//   uart->setDiscoverySender([form] { form->Udp->SendDiscoveryRequest(); });
//   uart->setFixedColourSetter([form](const QColor& c) { form->StringGrid1->SetFixedColor(c); });
//   uart->setWorker(form->Thread_Uart_Api);
//   uart->attach(form); // finds the controls, connects "Search" and "Disconnect"
// Other pages send through uart->Uart_SendCommand(...) / uart->Uart_Wait(ms).
#include <QPointer>
#include <functional>

#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"

class QAbstractButton;
class QColor;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QTableWidget;
class QWidget;

namespace tavo {

class TThread_Uart_Api;

class UartController : public QObject {
    Q_OBJECT
public:
    using GlyphSetter = std::function<void(QAbstractButton* button, const char* glyphName)>;

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

    // Finds the controls under `root` by object name (and, for the device pages, in the other
    // top-level windows they may have moved to) and connects BitBtn_Search / BitBtn_Disconnect.
    void attach(QWidget* root);
    void setGlyphSetter(GlyphSetter setter) { glyphSetter_ = std::move(setter); }
    // Sends the discovery request (the four bytes, broadcast then multicast) at every search.
    void setDiscoverySender(std::function<void()> sender) { discoverySender_ = std::move(sender); }
    // Closes the two pop-up windows at a disconnect; by default the top-level widgets named
    // "Form2" and "Form3" are closed.
    void setPopupCloser(std::function<void()> closer) { popupCloser_ = std::move(closer); }
    // Sets the grid's fixed (header) colour at a disconnect; by default the grid gets a
    // "fixedColor" property and, when its header cells are row 0, their background.
    void setFixedColourSetter(std::function<void(const QColor&)> setter) {
        fixedColourSetter_ = std::move(setter);
    }
    // The worker object whose running state follows the link's resume and suspend.
    void setWorker(TThread_Uart_Api* worker);

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
    template <class T> T* find(const QString& name) const;
    void appendLog(const QString& text);
    void appendLogLine(const QString& line);
    void onSearchStarted();
    void onBusy(bool on);
    void onDeviceFound(bool isp);
    void onEnableModeButtons();
    void onDeviceRow(int row, const QString& port, const QString& product,
                     const QString& description);
    void onSlotListsChanged();
    void onModeButtons(const QString& disable, const QString& enableAndCheck);
    void onDisconnected();
    void setModeButtonsEnabled(bool on);
    void setGlyph(const char* button, const char* glyph);
    void setGridRowCount(int gridRows);
    void setCell(int gridRow, int column, const QString& text);

    UartSession session_;
    SlotHistory history_;
    SlotTransfer transfers_{session_};
    QPointer<QWidget> root_;
    QPointer<QTableWidget> grid_;
    QPointer<QPlainTextEdit> memo_;
    QPointer<QAbstractButton> search_, disconnect_;
    GlyphSetter glyphSetter_;
    std::function<void()> discoverySender_;
    std::function<void()> popupCloser_;
    std::function<void(const QColor&)> fixedColourSetter_;
    QPointer<TThread_Uart_Api> worker_;
};

} // namespace tavo
