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

LinkTask<bool> SlotTransfer::send(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                  std::vector<std::uint8_t> data) {
    if (!session_.isConnected()) lost_ = true;
    // a stopped sequence still ends the transfer mode it began
    const bool closing = stopped_ && command == SYS_CTM && session_.isConnected();
    if (lost_ && !closing) co_return false;
    awaited_ = command;
    answered_ = answerNg_ = false;
    sending_ = true;
    co_await session_.SendCommand(mode, command, length, std::move(data));
    sending_ = false;
    awaited_ = -1;
    if (!session_.isConnected()) lost_ = true;
    co_return !lost_;
}

LinkTask<> SlotTransfer::BeginAsync() {
    Start();
    co_await send(kModeSet, SYS_STM);
}

LinkTask<> SlotTransfer::EndAsync() {
    co_await send(kModeSet, SYS_CTM);
}

LinkTask<bool> SlotTransfer::SelectAsync(SlotSelector slot) {
    session_.devices().Current().selected = slot;
    const auto bytes = slot.bytes();
    const bool sent =
        co_await send(kModeSet, ND_SEL, 2, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    co_return sent;
}

LinkTask<SlotRead> SlotTransfer::ReadAsync(SlotSelector slot) {
    SlotRead r;
    interrupted_ = false; // what ran before (a poll during a dialog) does not matter here
    const bool selected = co_await SelectAsync(slot);
    if (!selected) {
        r.lost = true;
        co_return r;
    }
    for (std::size_t i = 0; i < kEdidChunkCommands.size(); ++i) {
        const bool sent =
            co_await send(kModeGet, kEdidChunkCommands[i], 64, std::vector<std::uint8_t>());
        if (!sent) break;
        r.arrived[i] = answered_;
    }
    r.lost = lost_;
    r.interrupted = interrupted_;
    r.image = session_.transfer();
    co_return r;
}

LinkTask<SlotWrite> SlotTransfer::WriteAsync(SlotSelector slot, EdidImage image) {
    SlotWrite w;
    interrupted_ = false;
    const bool selected = co_await SelectAsync(slot);
    if (!selected) {
        w.lost = true;
        co_return w;
    }
    for (std::size_t i = 0; i < kEdidChunkCommands.size(); ++i) {
        const auto chunk = image.begin() + 64 * static_cast<std::ptrdiff_t>(i);
        const bool sent = co_await send(kModeSet, kEdidChunkCommands[i], 64,
                                        std::vector<std::uint8_t>(chunk, chunk + 64));
        if (!sent) break;
        w.acknowledged[i] = answered_ && !answerNg_;
        w.refused = w.refused || answerNg_;
    }
    w.lost = lost_;
    w.interrupted = interrupted_;
    co_return w;
}

void SlotTransfer::logLine(const QString& line) {
    emit session_.logLine(line);
}

LinkTask<VerifiedWrite> SlotTransfer::WriteVerifiedAsync(SlotSelector slot, EdidImage image,
                                                         WriteOptions options) {
    VerifiedWrite v;
    // a one-block EDID fills the slot's second half as an erased slot reads (0xFF)
    const EdidImage bytes = SlotImage(image);
    const QString name = QString::fromStdString(SlotName(slot));
    if (options.history && history_) {
        const SlotRead before = co_await ReadAsync(slot);
        QString why;
        if (before.complete()) {
            v.historyKept = history_->Keep(session_.devices().Current(), slot, before.image, &why);
        } else if (!lost_) {
            why = name + QStringLiteral(" could not be read");
        }
        v.historyError = why.toStdString();
        if (lost_) {
            v.lost = true;
            co_return v;
        }
        if (!v.historyKept) {
            logLine(QStringLiteral("History not kept: ") + why);
            if (!options.writeWithoutHistory ||
                !options.writeWithoutHistory(slot, v.historyError)) {
                v.historyRefused = true;
                logLine(QStringLiteral("Nothing written into ") + name + QStringLiteral("."));
                co_return v;
            }
        }
    }
    if (lost_) {
        v.lost = true;
        co_return v;
    }
    session_.pollTimer().stop();
    v.write = co_await WriteAsync(slot, bytes);
    if (v.write.lost) {
        v.lost = true;
        co_return v;
    }
    if (!options.verify) co_return v;
    v.verifyRun = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            v.secondRead = true;
            logLine(QStringLiteral("Verify: ") + name + QStringLiteral(" read again after ") +
                    QString::number(kVerifySecondReadMs) +
                    QStringLiteral(" ms (the first read-back differed)."));
            co_await Sleep(kVerifySecondReadMs);
        }
        const SlotRead r = co_await ReadAsync(slot);
        if (r.lost) {
            v.lost = true;
            co_return v;
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
    co_return v;
}

LinkTask<bool> SlotTransfer::SetModeAsync(std::uint8_t mode) {
    const bool selected = co_await SelectAsync(SlotSelector{0});
    if (!selected) co_return false;
    const bool sent = co_await send(kModeSet, RXEDMD, 1, std::vector<std::uint8_t>(1, mode));
    co_return sent&& answered_ && !answerNg_;
}

LinkTask<int> SlotTransfer::SetModeAndReportAsync(std::uint8_t mode) {
    co_await SetModeAsync(mode);
    int now = co_await QueryModeAsync();
    if (now != mode && connected() && !lost_) {
        co_await Sleep(kVerifySecondReadMs);
        now = co_await QueryModeAsync();
    }
    co_return now;
}

LinkTask<int> SlotTransfer::QueryModeAsync() {
    const bool sent = co_await send(kModeGet, RXEDMD, 2, std::vector<std::uint8_t>());
    if (!sent) co_return -1;
    if (!answered_) co_return -1;
    co_return session_.devices().Current().inputs[0].currentMode;
}

// ---- the same, run to their end

void SlotTransfer::Begin() {
    RunBlocking(BeginAsync());
}

void SlotTransfer::End() {
    RunBlocking(EndAsync());
}

bool SlotTransfer::Select(SlotSelector slot) {
    return RunBlocking(SelectAsync(slot)).value_or(false);
}

SlotRead SlotTransfer::Read(SlotSelector slot) {
    return RunBlocking(ReadAsync(slot)).value_or(SlotRead{{}, {}, true, false});
}

SlotWrite SlotTransfer::Write(SlotSelector slot, const EdidImage& image) {
    return RunBlocking(WriteAsync(slot, image)).value_or(SlotWrite{{}, false, true, false});
}

VerifiedWrite SlotTransfer::WriteVerified(SlotSelector slot, const EdidImage& image,
                                          WriteOptions options) {
    if (auto v = RunBlocking(WriteVerifiedAsync(slot, image, std::move(options)))) return *v;
    VerifiedWrite lost;
    lost.lost = true;
    return lost;
}

bool SlotTransfer::SetMode(std::uint8_t mode) {
    return RunBlocking(SetModeAsync(mode)).value_or(false);
}

int SlotTransfer::SetModeAndReport(std::uint8_t mode) {
    return RunBlocking(SetModeAndReportAsync(mode)).value_or(-1);
}

int SlotTransfer::QueryMode() {
    return RunBlocking(QueryModeAsync()).value_or(-1);
}

} // namespace tavo
