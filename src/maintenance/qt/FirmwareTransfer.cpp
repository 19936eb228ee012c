#include "maintenance/qt/FirmwareTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>

#include "link/Receive.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/UartSession.h"

namespace tavo {

FirmwareImage ReadFirmwareImage(const QString& path) {
    FirmwareImage image;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return image;
    // one byte more than an addressable image: a larger file is refused without reading it all
    image.bytes = file.read(static_cast<qint64>(kFwMaxSize) + 1);
    if (file.error() != QFileDevice::NoError) return image;
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
    UartLink& link = session_.link();
    Uart_ApplyReceived(link,
                       std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       plan.flood);
    link.flags &= static_cast<std::uint8_t>(~kLinkResponseWaiting); // no answer is handled
    return FirmwareRefusal(link.Text());
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

    running_ = true;
    abort_ = false;
    lost_ = false;
    // the link closing (the port failed, or the operator disconnected) ends the loop
    const QMetaObject::Connection closed =
        QObject::connect(&session_, &UartSession::disconnected, [this] { lost_ = true; });
    session_.rxTimer().stop();

    const auto* data = reinterpret_cast<const std::uint8_t*>(image.bytes.constData());
    const std::vector<FirmwareStep> plan =
        FirmwarePlan(data, static_cast<std::size_t>(image.bytes.size()));
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
    blocksSent_ = 0;
    blockCount_ = static_cast<int>(std::count_if(
        plan.begin(), plan.end(), [](const auto& s) { return s.kind == FirmwareStep::Data; }));
    for (const FirmwareStep& step : plan) {
        if (const auto word = drainInput()) {
            result = refused(*word);
            break;
        }
        if (lost_ || !session_.isConnected()) {
            result = FirmwareResult::Lost;
            break;
        }
        if (abort_ && step.kind != FirmwareStep::Data) { // a block goes with its address
            result = FirmwareResult::Aborted;
            break;
        }
        switch (step.kind) {
        case FirmwareStep::Address: {
            const auto bytes = AddressBytes(step.address);
            session_.Uart_SendCommand(kModeSet, FW_ADDR, 2, bytes.data());
            break;
        }
        case FirmwareStep::Data:
            session_.Uart_SendCommand(kModeSet, FW_DATA, static_cast<std::uint16_t>(kFwBlock),
                                      step.data.data());
            break;
        case FirmwareStep::End:
            session_.Uart_SendCommand(kModeSet, FW_END, 0, nullptr);
            break;
        }
        ++commandsSent_;
        last = &step;
        if (step.kind == FirmwareStep::Address) ++block;
        if (step.kind == FirmwareStep::Data) ++blocksSent_;
        if (lost_ || !session_.isConnected()) {
            result = FirmwareResult::Lost;
            break;
        }
        // The last block's "100%" waits for FW_END: it is shown for a finished transfer only.
        if (progress && step.kind == FirmwareStep::Data && step.label != "100%")
            progress(QString::fromStdString(step.label),
                     std::stoi(step.label.substr(0, step.label.size() - 1)));
        if (step.kind == FirmwareStep::End) {
            // what the loader said to FW_END, within its wait, decides too
            if (const auto word = drainInput()) {
                result = refused(*word);
                break;
            }
            if (progress) progress(QStringLiteral("100%"), 100);
        }
        QCoreApplication::processEvents();
    }

    QObject::disconnect(closed);
    running_ = false;
    return result;
}

} // namespace tavo
