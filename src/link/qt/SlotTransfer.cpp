#include "link/qt/SlotTransfer.h"

#include "link/Response.h"
#include "link/SlotName.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/UartSession.h"

namespace tavo {

SlotTransfer::SlotTransfer(UartSession& session, QObject* parent)
    : QObject(parent), session_(session) {
    connect(&session_, &UartSession::disconnected, this, [this] { lost_ = true; });
    connect(&session_, &UartSession::responseHandled, this, &SlotTransfer::onResponse);
    connect(&session_, &UartSession::commandSending, this, [this](int) {
        // the sequence's own send announces itself first; anything else is foreign
        if (sending_)
            sending_ = false;
        else
            interrupted_ = true;
    });
}

bool SlotTransfer::connected() const {
    return session_.isConnected();
}

void SlotTransfer::onResponse(int command, int outcome) {
    // a line with a bad CRC leaves the command expected, and a good line after it still counts
    if (command != awaited_ || answered_) return;
    if (outcome != static_cast<int>(ResponseOutcome::Handled)) return;
    answered_ = true;
    // the receive buffer still holds the line that was just handled
    const std::string_view line = session_.link().Text();
    answerNg_ = session_.link().lastSendMode == kModeSet && line.substr(0, 2) == "NG";
}

bool SlotTransfer::send(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                        const std::uint8_t* data) {
    if (lost_ || !session_.isConnected()) {
        lost_ = true;
        return false;
    }
    awaited_ = command;
    answered_ = answerNg_ = false;
    sending_ = true;
    session_.Uart_SendCommand(mode, command, length, data);
    sending_ = false;
    awaited_ = -1;
    if (!session_.isConnected()) lost_ = true;
    return !lost_;
}

void SlotTransfer::Begin() {
    Start();
    send(kModeSet, SYS_STM);
}

void SlotTransfer::End() {
    send(kModeSet, SYS_CTM);
}

bool SlotTransfer::Select(SlotSelector slot) {
    session_.devices().Current().selected = slot;
    const auto bytes = slot.bytes();
    return send(kModeSet, ND_SEL, 2, bytes.data());
}

SlotRead SlotTransfer::Read(SlotSelector slot) {
    SlotRead r;
    interrupted_ = false; // what ran before (a poll during a dialog) does not matter here
    if (!Select(slot)) {
        r.lost = true;
        return r;
    }
    for (std::size_t i = 0; i < kEdidChunkCommands.size(); ++i) {
        if (!send(kModeGet, kEdidChunkCommands[i], 64)) break;
        r.arrived[i] = answered_;
    }
    r.lost = lost_;
    r.interrupted = interrupted_;
    r.image = session_.transfer();
    return r;
}

SlotWrite SlotTransfer::Write(SlotSelector slot, const EdidImage& image) {
    SlotWrite w;
    interrupted_ = false;
    if (!Select(slot)) {
        w.lost = true;
        return w;
    }
    const EdidImage bytes = image; // the transfer image may change under the waits
    for (std::size_t i = 0; i < kEdidChunkCommands.size(); ++i) {
        if (!send(kModeSet, kEdidChunkCommands[i], 64, bytes.data() + 64 * i)) break;
        w.acknowledged[i] = answered_ && !answerNg_;
        w.refused = w.refused || answerNg_;
    }
    w.lost = lost_;
    w.interrupted = interrupted_;
    return w;
}

void SlotTransfer::logLine(const QString& line) {
    emit session_.logLine(line);
}

VerifiedWrite SlotTransfer::WriteVerified(SlotSelector slot, const EdidImage& image,
                                          WriteOptions options) {
    VerifiedWrite v;
    // the transfer image may change under the waits; a one-block EDID fills the slot's second
    // half as an erased slot reads (0xFF)
    const EdidImage bytes = SlotImage(image);
    const QString name = QString::fromStdString(SlotName(slot));
    if (options.history && history_) {
        const SlotRead before = Read(slot);
        QString why;
        if (before.complete()) {
            v.historyKept = history_->Keep(session_.devices().Current(), slot, before.image, &why);
        } else if (!lost_) {
            why = name + QStringLiteral(" could not be read");
        }
        v.historyError = why.toStdString();
        if (lost_) {
            v.lost = true;
            return v;
        }
        if (!v.historyKept) {
            logLine(QStringLiteral("History not kept: ") + why);
            if (!options.writeWithoutHistory ||
                !options.writeWithoutHistory(slot, v.historyError)) {
                v.historyRefused = true;
                logLine(QStringLiteral("Nothing written into ") + name + QStringLiteral("."));
                return v;
            }
        }
    }
    if (lost_) {
        v.lost = true;
        return v;
    }
    session_.pollTimer().stop();
    v.write = Write(slot, bytes);
    if (v.write.lost) {
        v.lost = true;
        return v;
    }
    if (!options.verify) return v;
    v.verifyRun = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            v.secondRead = true;
            logLine(QStringLiteral("Verify: ") + name + QStringLiteral(" read again after ") +
                    QString::number(kVerifySecondReadMs) +
                    QStringLiteral(" ms (the first read-back differed)."));
            UartSession::Uart_Wait(kVerifySecondReadMs);
        }
        const SlotRead r = Read(slot);
        if (r.lost) {
            v.lost = true;
            return v;
        }
        JudgeReadBack(v, bytes, r);
        if (v.verified) break;
    }
    if (v.verified)
        logLine(QStringLiteral("Verify: ") + name + QStringLiteral(" holds the ") +
                QString::number(kEdidSize) + QStringLiteral(" bytes sent."));
    else if (!v.readBack)
        logLine(QStringLiteral("Verify failed: ") + name +
                QStringLiteral(" could not be read back whole."));
    else
        logLine(QStringLiteral("Verify failed: ") + name + QStringLiteral(": ") +
                QString::fromStdString(DifferenceText(v.difference)) + QStringLiteral("."));
    return v;
}

bool SlotTransfer::SetMode(std::uint8_t mode) {
    if (!Select(SlotSelector{0})) return false;
    return send(kModeSet, RXEDMD, 1, &mode) && answered_ && !answerNg_;
}

int SlotTransfer::SetModeAndReport(std::uint8_t mode) {
    SetMode(mode);
    int now = QueryMode();
    if (now != mode && connected() && !lost_) {
        UartSession::Uart_Wait(kVerifySecondReadMs);
        now = QueryMode();
    }
    return now;
}

int SlotTransfer::QueryMode() {
    if (!send(kModeGet, RXEDMD, 2)) return -1;
    if (!answered_) return -1;
    return session_.devices().Current().inputs[0].currentMode;
}

} // namespace tavo
