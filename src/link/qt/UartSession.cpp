#include "link/qt/UartSession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPortInfo>
#include <algorithm>
#include <optional>

#include "link/Frame.h"
#include "link/Receive.h"
#include "link/Response.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/SerialTransport.h"

namespace tavo {

UartSession::UartSession(DeviceTable& devices, EdidImage& transfer, LinkTransport* transport,
                         QObject* parent)
    : UartSession(ownLink_, devices, transfer, transport, parent) {}

UartSession::UartSession(UartLink& link, DeviceTable& devices, EdidImage& transfer,
                         LinkTransport* transport, QObject* parent)
    : QObject(parent), devices_(devices), transfer_(transfer),
      transport_(transport ? transport : new SerialTransport), link_(link) {
    transport_->setParent(nullptr); // owned here
    link_.receiveMode = kReceiveCommandMode;
    rxTimer_.setObjectName(QStringLiteral("Timer_UART_Rx"));
    rxTimer_.setInterval(kRxTickMs);
    rxTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setObjectName(QStringLiteral("Timer_Poll_Status"));
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&rxTimer_, &QTimer::timeout, this, &UartSession::Timer_UART_RxTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &UartSession::Timer_Poll_StatusTimer);
    connect(transport_.get(), &LinkTransport::failed, this, &UartSession::onTransportFailed);
}

UartSession::~UartSession() {
    rxTimer_.stop();
    pollTimer_.stop();
    disconnect(transport_.get(), nullptr, this, nullptr);
    transport_->close();
}

bool UartSession::portOpen() const {
    return transport_->isOpen();
}

unsigned UartSession::Uart_Wait(unsigned ms) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool fired = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        fired = true;
        loop.quit();
    });
    // sleeps in the event loop until the time is up; a timer that fires a hair early is re-armed
    while (static_cast<unsigned>(clock.elapsed()) <= ms) {
        const qint64 left = static_cast<qint64>(ms) + 1 - clock.elapsed();
        fired = false;
        timer.start(static_cast<int>(left > 0 ? left : 1));
        loop.exec();
        // the loop ended without the timer: the application is quitting, and every further
        // exec() would return at once; stop here instead of spinning through the rest
        if (!fired) break;
    }
    return static_cast<unsigned>(clock.elapsed());
}

void UartSession::Uart_SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                   const std::uint8_t* data) {
    // only a SET's bytes are read: a GET carries none, whatever length it is given
    std::vector<std::uint8_t> payload;
    if (data && mode == kModeSet) payload.assign(data, data + length);
    RunBlocking(SendCommand(mode, command, length, std::move(payload)));
}

LinkTask<> UartSession::SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                    std::vector<std::uint8_t> data) {
    pollTimer_.stop();
    link_.ResetForSend(mode, command);
    if (!portOpen()) co_return; // a closed port takes no writes and is not worth waiting for
    emit commandSending(command);
    // whatever the device sent before this point is discarded, also what has not been read yet
    // (a late answer to the previous command would otherwise run into this one's answer)
    transport_->clearInput();
    answerSeen_ = true; // nothing is awaited during the handshake's pause
    // never more payload letters than bytes given
    const auto letters =
        data.empty() ? length
                     : static_cast<std::uint16_t>(std::min<std::size_t>(length, data.size()));
    const std::vector<FrameStep> steps =
        FrameWrites(mode, command, letters, data.empty() ? nullptr : data.data());
    for (const FrameStep& step : steps) {
        if (step.isPause()) {
            co_await Sleep(step.pauseMs);
            continue;
        }
        if (!portOpen()) co_return; // lost during the pause
        transport_->write(QByteArray(step.bytes.data(), static_cast<qsizetype>(step.bytes.size())));
    }
    sentClock_.start();
    answerSeen_ = !ExpectsAnswer(mode, command);
    const SendSchedule schedule = PostSendWaits(mode, command, devices_.Current().selected);
    for (unsigned ms : schedule.waitsMs) {
        if (!portOpen()) co_return;
        co_await Sleep(ms);
    }
    // The handshake's reply is looked for by the search during its own wait; a device's answer
    // is only looked at while the receive tick runs (not during a firmware transfer).
    if (command != ENTRANCE && !answerSeen_ && portOpen() && rxTimer_.isActive() && resumed_)
        co_await waitForAnswer(timing_.AnswerLimitMs(schedule.totalMs()));
    if (schedule.pollOnAfter && portOpen()) pollTimer_.start();
}

LinkTask<> UartSession::waitForAnswer(unsigned limitMs) {
    Timer_UART_RxTimer(); // what arrived by the end of the fixed waits is looked at now
    co_await waitUntil(limitMs, [this] { return answerSeen_; });
}

LinkTask<> UartSession::waitUntil(unsigned limitMs, std::function<bool()> done) {
    if (done() || !portOpen()) co_return;
    const qint64 left = static_cast<qint64>(limitMs) - sentClock_.elapsed();
    if (left <= 0) co_return;
    // ends at the limit, at the answer or at the link's end; the tick's own handler runs first
    // (connected before), then the wait looks at its outcome
    co_await WaitUntil(left, done)
        .on(&rxTimer_, &QTimer::timeout)
        .endOn(this, &UartSession::disconnected);
}

void UartSession::Timer_UART_RxTimer() {
    if (!portOpen()) return;
    const ReceivePlan plan =
        PlanReceiveTick(static_cast<std::size_t>(transport_->bytesAvailable()));
    const QByteArray bytes = transport_->read(static_cast<qint64>(plan.readCount));
    if (plan.flood) transport_->clearInput();
    const ReceiveResult r = ApplyReceived(
        link_, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        plan.flood);
    if (!r.flood && r.stored > 0)
        log(QString::fromLatin1(bytes.constData(), static_cast<qsizetype>(r.stored)));
    if (r.dropped > 0) log(QString::fromStdString(DroppedBytesMessage(r.dropped)));
    if (resumed_) Uart_HandleResponse();
}

ResponseResult UartSession::Uart_HandleResponse() {
    ResponseResult r = ProcessResponse(link_, devices_, transfer_);
    if (r.outcome == ResponseOutcome::NothingWaiting) return r;
    if (!answerSeen_) {
        // the device answered (well or badly): how late is measured from the request's last byte
        answerSeen_ = true;
        timing_.Observe(static_cast<unsigned>(sentClock_.elapsed()));
    }
    if (r.failed()) {
        emit logLine(QStringLiteral("CRC Error!"));
    } else {
        if (r.slotListsChanged) emit slotListsChanged();
        if (r.showMode) Uart_ShowEdidMode(*r.showMode);
    }
    if (portOpen()) pollTimer_.start();
    emit responseHandled(r.command, static_cast<int>(r.outcome));
    return r;
}

void UartSession::Uart_ShowEdidMode(std::uint8_t mode) {
    DeviceRecord& record = devices_.Current();
    const ShowModeActions a = ComputeShowEdidMode(record, mode);
    if (!a.changed) return;
    const QString off = a.disable ? QString::fromStdString(ModeButtonName(*a.disable)) : QString();
    const QString on =
        a.enableAndCheck ? QString::fromStdString(ModeButtonName(*a.enableAndCheck)) : QString();
    emit modeButtons(off, on);
    StoreShownMode(record, a);
}

void UartSession::Timer_Poll_StatusTimer() {
    // an operation's sequence is never split by a poll; the next tick asks again
    if (operationRunning_) return;
    const int count = std::min(devices_.count, static_cast<std::int32_t>(kMaxDevices));
    for (int i = 0; i < count; ++i) {
        DeviceRecord& record = devices_.records[static_cast<std::size_t>(i)];
        if (record.serialDevice != 1 || record.inputs[0].modePoll == 0) continue;
        record.pollMarker = 0;
        Uart_SendCommand(kModeGet, RXEDMD, 2, nullptr);
    }
}

QStringList UartSession::Uart_ListSerialPorts() {
    QStringList ports;
    if (qEnvironmentVariableIsSet("TAVO_SERIAL_PORTS")) {
        for (const QString& p : qEnvironmentVariable("TAVO_SERIAL_PORTS").split(QLatin1Char(':')))
            if (!p.isEmpty()) ports << p;
        return ports;
    }
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports << info.portName();
    return ports;
}

// The loader's banner: the text after "$ISP029" up to the end of the reply, without the line's
// CRC and line end when the reply is a well-formed answer line.
static QString IspBanner(const QString& reply, qsizetype from) {
    QString line = reply;
    if (line.endsWith(QLatin1Char('\n'))) {
        const std::string text = line.toLatin1().toStdString();
        if (CheckResponseLine(text).crcOk) line.chop(5);
    }
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line.mid(from);
}

UartSession::Found UartSession::Uart_Search(const DeviceOperation* held) {
    if (searching_) return Found::None;
    // the device found is read during the search's waits: no other operation may send meanwhile
    std::optional<DeviceOperation> operation;
    if (!held || !*held) {
        operation.emplace(this);
        if (!*operation) return Found::None;
    }
    searching_ = true;
    devices_.count = 0;
    devices_.current = 0;
    emit searchStarted();

    Found found = Found::None;
    busyPorts_.clear();
    const QStringList ports = Uart_ListSerialPorts();
    for (const QString& name : ports) {
        const auto path = SerialPortPath(name.toStdString());
        if (!path) continue; // a COM name without a number
        const OpenResult opened = transport_->open(QString::fromStdString(*path));
        if (!opened.ok()) {
            log(QStringLiteral("Open ") + name + QStringLiteral(" Failed.\r\n"));
            log(OpenFailureText(opened));
            if (opened.failure == OpenFailure::InUse) busyPorts_ << name;
            continue;
        }
        portName_ = name;
        log(QStringLiteral("Check ") + name + QStringLiteral("\r\n"));
        if (!transport_->configure()) {
            log(QStringLiteral("Set COM Failed.\r\n"));
            transport_->close();
            continue;
        }
        emit busy(true);
        resume();
        rxTimer_.start();
        timing_.Reset(); // another port, maybe another device: its lateness is measured anew

        Uart_SendCommand(kModeGet, ENTRANCE, 0, nullptr);
        Uart_Wait(kHandshakeExtraWaitMs);
        // a slow device's reply may still be on its way: it is waited for, up to a limit, once
        // the fixed wait has passed (a port without a device costs that much more)
        RunBlocking(waitUntil(kHandshakeAnswerLimitMs, [this] {
            const std::string_view text = link_.Text();
            const std::size_t isp = text.find("$ISP029");
            return text.find("$ACCEPT") != std::string_view::npos ||
                   (isp != std::string_view::npos &&
                    text.find('\n', isp) != std::string_view::npos);
        }));
        const QString reply =
            QString::fromLatin1(link_.Text().data(), static_cast<qsizetype>(link_.Text().size()));
        const bool accepted = portOpen() && reply.contains(QLatin1String("$ACCEPT"));
        const qsizetype isp = reply.indexOf(QLatin1String("$ISP029"));
        if ((accepted || (portOpen() && isp >= 0)) && devices_.count >= kMaxDevices) {
            // networked devices took every row meanwhile: the device is not written over row 20
            log(QStringLiteral("Device List Full, ") + name + QStringLiteral(" Not Added.\r\n"));
            rxTimer_.stop();
            pollTimer_.stop();
            suspend();
            transport_->close();
            break;
        }
        if (accepted) {
            found = foundDevice();
            break;
        }
        log(QStringLiteral("No Device Detected.\r\n"));
        if (portOpen() && isp >= 0) {
            found = foundIspDevice(IspBanner(reply, isp + 7));
            break;
        }
        rxTimer_.stop();
        pollTimer_.stop();
        transport_->close();
    }
    emit busy(false);
    searching_ = false;
    return found;
}

UartSession::Found UartSession::foundDevice() {
    log(QStringLiteral("Got One Device!\r\n"));
    connected_ = true;
    emit deviceFound(false);
    // The row is reserved before the descriptors are read: announcements of networked devices
    // handled during the waits below take the rows after it instead of sharing its index.
    const int index = DeviceTable::ClampIndex(devices_.count);
    devices_.current = index;
    devices_.count = index + 1;
    devices_.records[index] = DeviceRecord{};
    Uart_SendCommand(kModeGet, SYS_DSCPT);
    if (!connected_) return Found::None; // lost on the way
    devices_.Current().selected = SlotSelector{0};
    const auto input1 = SlotSelector{0}.bytes();
    Uart_SendCommand(kModeSet, ND_SEL, 2, input1.data());
    if (!connected_) return Found::None;
    Uart_SendCommand(kModeGet, ND_DSCPT);
    if (!connected_) return Found::None;
    DeviceRecord& record = devices_.Current();
    if (record.inputs[0].modesSelectable == 1) emit enableModeButtons();
    record.serialDevice = 1;
    emit deviceRow(index + 1, portName_, QString::fromStdString(record.product),
                   QStringLiteral(" ") + QString::fromStdString(record.description) +
                       QStringLiteral(" "));
    record.inputs[0].currentMode = kModeUnknown;
    return Found::Normal;
}

UartSession::Found UartSession::foundIspDevice(const QString& banner) {
    link_.flags |= kLinkIspDevice;
    link_.ispFlag = 1;
    connected_ = true;
    emit deviceFound(true);
    // the record of this row, not record 0: networked devices may already hold the first rows
    const int index = DeviceTable::ClampIndex(devices_.count);
    devices_.current = index;
    devices_.count = index + 1;
    devices_.records[index] = DeviceRecord{};
    devices_.records[index].serialDevice = 1;
    emit deviceRow(index + 1, portName_, banner, QStringLiteral("ISP Mode"));
    return Found::Isp;
}

bool UartSession::Uart_Disconnect() {
    if (!portOpen()) return false;
    link_.flags = 0;
    transport_->close();
    connected_ = false;
    suspend();
    rxTimer_.stop();
    pollTimer_.stop();
    emit disconnected();
    devices_.count = 0;
    return true;
}

void UartSession::onTransportFailed() {
    // a vanishing port reports failure after failure: the first closes it, the rest find it closed
    if (!portOpen()) return;
    if (searching_ && !connected_) {
        // a port the search only tries: it is closed and the search goes on; nothing was
        // connected, so nothing is lost
        log(QStringLiteral("Check ") + portName_ + QStringLiteral(" Failed.\r\n"));
        rxTimer_.stop();
        transport_->close();
        return;
    }
    log(QStringLiteral("Device Lost.\r\n"));
    Uart_Disconnect();
    emit deviceLost();
}

} // namespace tavo
