#include "maintenance/qt/FirmwareTransfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>

#include "edid/EdidSource.h"
#include "link/Receive.h"
#include "link/Response.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/UartSession.h"

namespace tavo {

FirmwareImage ReadFirmwareImage(const QString& path) {
    FirmwareImage image;
    if (path.isEmpty()) return image;
    // one byte more than an addressable image: a larger file is refused without reading it all;
    // a pipe or a device node is refused at once, never waited on
    std::string bytes, why;
    if (!ReadRegularFile(QFile::encodeName(path).toStdString(), kFwMaxSize, bytes, why)) {
        image.error = why;
        return image;
    }
    image.bytes = QByteArray::fromStdString(bytes);
    image.opened = true;
    image.header =
        CheckFirmwareHeader(reinterpret_cast<const std::uint8_t*>(image.bytes.constData()),
                            static_cast<std::size_t>(image.bytes.size()));
    return image;
}

QString FirmwareResultText(FirmwareResult result) {
    switch (result) {
    case FirmwareResult::Sent:
        return QStringLiteral("100%");
    case FirmwareResult::Illegal:
        return QStringLiteral("Illegal FW.");
    case FirmwareResult::TooLarge:
        return QStringLiteral("FW Too Large.");
    case FirmwareResult::OpenFailed:
    case FirmwareResult::Lost:
    case FirmwareResult::Aborted:
    case FirmwareResult::Refused:
        return QStringLiteral("Update Fw Failed.");
    case FirmwareResult::Busy:
        break;
    }
    return QString();
}

QString FirmwareStopText(FirmwareResult result, const FirmwareTransfer& transfer) {
    const QString stopped = QStringLiteral("The update stopped: ");
    const QString after = QStringLiteral(" after block %1 of %2.")
                              .arg(transfer.blocksSent())
                              .arg(transfer.blockCount());
    switch (result) {
    case FirmwareResult::Refused: {
        QString refusal = transfer.refusal();
        if (!refusal.isEmpty()) refusal[0] = refusal[0].toLower();
        return stopped + refusal + QLatin1Char('.');
    }
    case FirmwareResult::Lost:
        return stopped + QStringLiteral("the device was lost") + after;
    case FirmwareResult::Aborted:
        return stopped + QStringLiteral("it was cancelled") + after;
    case FirmwareResult::OpenFailed:
        return stopped + QStringLiteral("the image file could not be read.");
    case FirmwareResult::Illegal:
    case FirmwareResult::TooLarge:
        return stopped + QStringLiteral("the image file changed and is no longer accepted.");
    case FirmwareResult::Sent:
    case FirmwareResult::Busy:
        break;
    }
    return QString();
}

std::optional<std::string> FirmwareTransfer::drainInput() {
    // What the device says meanwhile is taken off the port so that it never piles up (each send
    // clears the buffer again); only an explicit refusal is looked for. A flood is cut down to 16
    // bytes.
    LinkTransport& port = session_.transport();
    if (!port.isOpen()) return std::nullopt;
    const ReceivePlan plan = PlanReceiveTick(static_cast<std::size_t>(port.bytesAvailable()));
    if (plan.readCount == 0 && !plan.flood) return std::nullopt;
    const QByteArray bytes = port.read(static_cast<qint64>(plan.readCount));
    if (plan.flood) port.clearInput();
    linesSeen_ += static_cast<int>(bytes.count('\n'));
    UartLink& link = session_.link();
    ApplyReceived(link, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                  plan.flood);
    link.flags &= static_cast<std::uint8_t>(~kLinkResponseWaiting); // no answer is handled
    return FirmwareRefusal(link.Text());
}

std::optional<std::string> FirmwareTransfer::awaitEndAnswer() {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (auto word = drainInput()) return word;
        // one answer per command, in order: FW_END's is the last
        endAnswered_ = linesSeen_ >= commandsSent_;
        if (endAnswered_ || lost_ || !session_.isConnected()) return std::nullopt;
        if (clock.elapsed() >= kFwEndAnswerMs) return std::nullopt;
        UartSession::Uart_Wait(kRxTickMs);
    }
}

FirmwareConfirmation FirmwareTransfer::Confirm(const DeviceOperation* held) {
    FirmwareConfirmation c;
    c.image = imageVersion_;
    bool descriptor = false;
    const QMetaObject::Connection read = QObject::connect(
        &session_, &UartSession::responseHandled, [&descriptor](int command, int outcome) {
            if (command == SYS_DSCPT && outcome == static_cast<int>(ResponseOutcome::Handled))
                descriptor = true;
        });
    // the loader's port is let go: the device restarts, and may come back on another port
    session_.Uart_Disconnect();
    QElapsedTimer clock;
    clock.start();
    std::optional<std::string> running;
    while (!abort_) {
        UartSession::Uart_Wait(kFwRestartRetryMs);
        descriptor = false;
        const UartSession::Found found = session_.Uart_Search(held);
        c.stillInIsp = found == UartSession::Found::Isp;
        if (found == UartSession::Found::Normal && descriptor) {
            running = session_.devices().Current().firmwareVersion;
            break;
        }
        if (clock.elapsed() + kFwRestartRetryMs >= restartWaitMs_) break; // a loader stays found
        session_.Uart_Disconnect();
    }
    QObject::disconnect(read);
    c.check = CheckRunningVersion(running, c.image);
    if (running) c.running = *running;
    return c;
}

FirmwareResult FirmwareTransfer::Run(const QString& path, const Progress& progress) {
    if (running_) return FirmwareResult::Busy;
    commandsSent_ = 0;

    // The file as it is now, not as it was when it was chosen.
    const FirmwareImage image = ReadFirmwareImage(path);
    if (!image.opened) return FirmwareResult::OpenFailed;
    if (image.header.tooLarge) return FirmwareResult::TooLarge;
    if (!image.header.accepted) return FirmwareResult::Illegal;
    if (!session_.isConnected()) return FirmwareResult::Lost;
    imageVersion_ = image.header.version;

    running_ = true;
    linesSeen_ = 0;
    endAnswered_ = false;
    abort_ = false;
    lost_ = false;
    // the link closing (the port failed, or the operator disconnected) ends the loop
    const QMetaObject::Connection closed =
        QObject::connect(&session_, &UartSession::disconnected, [this] { lost_ = true; });
    session_.rxTimer().stop();

    const auto* data = reinterpret_cast<const std::uint8_t*>(image.bytes.constData());
    const FirmwareResult result =
        sendPlan(FirmwarePlan(data, static_cast<std::size_t>(image.bytes.size())), progress);

    QObject::disconnect(closed);
    running_ = false;
    return result;
}

FirmwareResult FirmwareTransfer::sendPlan(const std::vector<FirmwareStep>& plan,
                                          const Progress& progress) {
    FirmwareResult result = FirmwareResult::Sent;
    refusal_.clear();
    const int blocks = static_cast<int>((plan.size() - 1) / 2);
    int block = 0; // the block of the last step sent, from 1
    const FirmwareStep* last = nullptr;
    // a refusal is taken as the answer to the step sent last
    const auto refused = [&](const std::string& word) {
        refusal_ = last && last->kind == FirmwareStep::End
                       ? QStringLiteral("FW_END refused: %1").arg(QString::fromStdString(word))
                       : QStringLiteral("Block %1 of %2 (address 0x%3) refused: %4")
                             .arg(block)
                             .arg(blocks)
                             .arg(last ? last->address : 0, 4, 16, QLatin1Char('0'))
                             .arg(QString::fromStdString(word));
        return FirmwareResult::Refused;
    };
    const auto linkLost = [this] { return lost_ || !session_.isConnected(); };
    blocksSent_ = 0;
    blockCount_ = static_cast<int>(std::count_if(
        plan.begin(), plan.end(), [](const auto& s) { return s.kind == FirmwareStep::Data; }));
    for (const FirmwareStep& step : plan) {
        if (const auto word = drainInput()) {
            result = refused(*word);
            break;
        }
        if (linkLost()) {
            result = FirmwareResult::Lost;
            break;
        }
        if (abort_ && step.kind != FirmwareStep::Data) { // a block goes with its address
            result = FirmwareResult::Aborted;
            break;
        }
        sendStep(step);
        last = &step;
        if (step.kind == FirmwareStep::Address) ++block;
        if (linkLost()) {
            result = FirmwareResult::Lost;
            break;
        }
        // The last block's "100%" waits for FW_END: it is shown for a finished transfer only.
        if (progress && step.kind == FirmwareStep::Data && step.label != "100%")
            progress(QString::fromStdString(step.label),
                     std::stoi(step.label.substr(0, step.label.size() - 1)));
        if (step.kind == FirmwareStep::End) {
            // what the loader says to FW_END decides too; a slow loader answers after the wait
            if (const auto word = awaitEndAnswer()) {
                result = refused(*word);
                break;
            }
            if (linkLost()) {
                result = FirmwareResult::Lost;
                break;
            }
            if (progress) progress(QStringLiteral("100%"), 100);
        }
        QCoreApplication::processEvents();
    }
    return result;
}

void FirmwareTransfer::sendStep(const FirmwareStep& step) {
    switch (step.kind) {
    case FirmwareStep::Address: {
        const auto bytes = AddressBytes(step.address);
        session_.Uart_SendCommand(kModeSet, FW_ADDR, 2, bytes.data());
        break;
    }
    case FirmwareStep::Data:
        session_.Uart_SendCommand(kModeSet, FW_DATA, static_cast<std::uint16_t>(kFwBlock),
                                  step.data.data());
        ++blocksSent_;
        break;
    case FirmwareStep::End:
        session_.Uart_SendCommand(kModeSet, FW_END, 0, nullptr);
        break;
    }
    ++commandsSent_;
}

} // namespace tavo
