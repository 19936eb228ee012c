#pragma once
// The serial link as the tool drives it: one open port, the receive and poll timers, the sender
// with its fixed waits, the response handler and the search over the ports. Needs Qt Core and
// SerialPort only; what the window shows is left to whoever listens to the signals (the
// UartController on the main window, nobody in the command-line tool).
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "edid/EdidImage.h"
#include "link/DeviceModel.h"
#include "link/Frame.h"
#include "link/Response.h"
#include "link/UartLink.h"
#include "link/qt/LinkTask.h"

namespace tavo {

class DeviceOperation;
class LinkTransport;

inline constexpr int kRxTickMs = 25;
inline constexpr int kPollIntervalMs = 2000;
inline constexpr unsigned kHandshakeExtraWaitMs = 160;
// A handshake reply not in by the end of the fixed waits is waited for until this long after the
// request's last byte.
inline constexpr unsigned kHandshakeAnswerLimitMs = 450;

class UartSession : public QObject {
    Q_OBJECT
public:
    enum class Found { None, Normal, Isp };

    // The session works on the application's link state, device table and transfer image.
    // Without a transport it talks to serial ports; with one it takes ownership of it.
    UartSession(UartLink& link, DeviceTable& devices, EdidImage& transfer,
                LinkTransport* transport = nullptr, QObject* parent = nullptr);
    // The same with a link state of its own (the command-line tool, tests).
    UartSession(DeviceTable& devices, EdidImage& transfer, LinkTransport* transport = nullptr,
                QObject* parent = nullptr);
    ~UartSession() override;

    UartLink& link() { return link_; }
    DeviceTable& devices() { return devices_; }
    EdidImage& transfer() { return transfer_; }
    LinkTransport& transport() { return *transport_; }
    QTimer& rxTimer() { return rxTimer_; }     // Timer_UART_Rx
    QTimer& pollTimer() { return pollTimer_; } // Timer_Poll_Status

    // A device (normal or ISP mode) answered and its port is open.
    bool isConnected() const { return connected_; }
    // A DeviceOperation holds the link (see below).
    bool operationRunning() const { return operationRunning_; }
    QString portName() const { return portName_; }

    // While resumed, the response handler runs right after every receive tick (on this thread).
    void resume() { setResumed(true); }
    void suspend() { setResumed(false); }
    bool isResumed() const { return resumed_; }

    // Sends one command: poll off, receive side reset, the writes (ENTRANCE with its pause), the
    // fixed waits after it; then, when the command is answered and its answer has not been looked
    // at yet, the wait goes on until it is, within the limit the device's measured lateness sets
    // (answerTiming()). The poll back on after a SET. Nothing is written to a closed port, and no
    // waits are spent on it.
    void Uart_SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0,
                          const std::uint8_t* data = nullptr);
    // The same send as a step of a sequence: awaited, the event loop runs during its waits.
    // `data` holds a SET's payload (empty for none).
    LinkTask<> SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                           std::vector<std::uint8_t> data);
    // (a coroutine takes no default arguments: g++ 12 loses the sequence after one)
    LinkTask<> SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0) {
        return SendCommand(mode, command, length, std::vector<std::uint8_t>());
    }
    // Lets the event loop run (sleeping) for at least `ms`; returns the elapsed milliseconds.
    static unsigned Uart_Wait(unsigned ms);
    // How late this device answers, measured since the last search found it.
    const AnswerTiming& answerTiming() const { return timing_; }
    // Why the last search found nothing: every port that opened had no device, or none opened;
    // the ports another program held are named here (empty: none was busy).
    const QStringList& busyPorts() const { return busyPorts_; }

    void Timer_UART_RxTimer();
    ResponseResult Uart_HandleResponse();
    void Timer_Poll_StatusTimer();
    // Shows mode m: computes what the Mode Select buttons do (modeButtons), stores the mode.
    void Uart_ShowEdidMode(std::uint8_t mode);

    // The serial port names: those the system lists, or exactly the colon-separated paths of
    // TAVO_SERIAL_PORTS when it is set.
    static QStringList Uart_ListSerialPorts();

    // The whole search: device table reset, searchStarted (grid, discovery request), every port
    // in list order until one answers. A search started while one runs is ignored, and so is one
    // while another operation holds the link, unless the caller is that operation (`held`).
    Found Uart_Search(const DeviceOperation* held = nullptr);
    // The disconnect: nothing when no port is open; otherwise flags cleared, port closed,
    // handler suspended, both timers off, `disconnected` (the window clears its part), count 0.
    bool Uart_Disconnect();

signals:
    void logText(const QString& text); // appended to the debug log as it stands
    void logLine(const QString& line); // added to the debug log as a line of its own
    void searchStarted();              // the table is reset: clear the grid, send discovery
    void busy(bool on);                // hourglass on the window while a port is tried
    void deviceFound(bool isp);        // buttons, glyphs and the firmware group for a device
    void enableModeButtons();          // input 1 lets the operator choose any mode
    void deviceRow(int row, const QString& port, const QString& product,
                   const QString& description); // the grid row of the found device
    void slotListsChanged();                    // the counts changed: rebuild the four lists
    // Showing a mode: object names of the button to disable and the one to enable and check
    // (empty for none).
    void modeButtons(const QString& disable, const QString& enableAndCheck);
    void responseHandled(int command, int outcome); // a ResponseOutcome after a looked-at line
    void commandSending(int command); // a command is about to be written to the open port
    void disconnected();              // the port was closed: the window resets its controls
    void resumedChanged(bool resumed);
    void deviceLost(); // the open port failed and was closed
    // The DeviceOperation that held the link has ended (a close waiting for it may go on).
    void operationEnded();
    // An operation changed what the device holds as a whole (its description, mode or slots,
    // e.g. a restore) and the device record says so now: the pages show the record's values
    // again. Emitted by that operation when it ends.
    void deviceStateChanged();

private:
    Found foundDevice();
    Found foundIspDevice(const QString& banner);
    void onTransportFailed();
    // After the fixed waits: looks at what has arrived, then waits on (receive ticks running)
    // until the answer to the command sent last has been looked at or `limitMs` have passed since
    // its last byte.
    LinkTask<> waitForAnswer(unsigned limitMs);
    // Sleeps, the receive ticks running, until `done()` holds after a tick or `limitMs` have
    // passed since the last request's last byte (or the link ended).
    LinkTask<> waitUntil(unsigned limitMs, std::function<bool()> done);
    void log(const QString& text) { emit logText(text); }
    bool portOpen() const;
    void setResumed(bool on) {
        if (on == resumed_) return;
        resumed_ = on;
        emit resumedChanged(on);
    }

    DeviceTable& devices_;
    EdidImage& transfer_;
    std::unique_ptr<LinkTransport> transport_;
    UartLink ownLink_;
    UartLink& link_;
    QTimer rxTimer_;
    QTimer pollTimer_;
    QString portName_;
    bool resumed_ = false;
    bool connected_ = false;
    bool searching_ = false;
    bool operationRunning_ = false;
    // the command sent last: when its last byte went out, and whether a line was looked at since
    QElapsedTimer sentClock_;
    bool answerSeen_ = true;
    AnswerTiming timing_;
    QStringList busyPorts_;
    friend class DeviceOperation;
};

// One device operation at a time on a link, whichever page starts it: every handler that talks to
// the device (a search, a transfer, a mode, the description, the defaults, a firmware update, a
// grid row) holds one of these for as long as it runs. Its waits let the window's events through,
// so other buttons can be clicked meanwhile; their handlers find the link held and do nothing.
//
//   const DeviceOperation operation(session);
//   if (!operation) return; // another operation runs
class DeviceOperation {
public:
    // Without a session there is nothing to share: the operation always runs.
    explicit DeviceOperation(UartSession* session) : session_(session) {
        acquired_ = !session || !session->operationRunning_;
        if (session && acquired_) session->operationRunning_ = true;
    }
    explicit DeviceOperation(UartSession& session) : DeviceOperation(&session) {}
    ~DeviceOperation() {
        // the window (and its session) may have gone during the operation's waits
        if (acquired_ && session_) {
            session_->operationRunning_ = false;
            emit session_->operationEnded();
        }
    }
    DeviceOperation(const DeviceOperation&) = delete;
    DeviceOperation& operator=(const DeviceOperation&) = delete;

    explicit operator bool() const { return acquired_; }

private:
    QPointer<UartSession> session_;
    bool acquired_ = false;
};

} // namespace tavo
