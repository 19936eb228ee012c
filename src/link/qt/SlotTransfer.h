#pragma once
// The command sequences that move EDIDs between the device's slots and the tool, over a
// UartSession and without widgets: the "EDID Controller" page and `tavo-cli device` both use them,
// so the buttons and the command line send the same commands with the same waits.
//
//   SlotTransfer t(session);
//   t.Begin();                              // SET SYS_STM
//   const SlotRead r = t.Read(slot);        // SET ND_SEL, GET ND_ED0A .. ND_ED1B
//   if (r.complete()) ... r.image ...
//   t.End();                                // SET SYS_CTM
//
// A read tells which of its four chunks arrived with a good CRC during the wait of their own
// GET; the chunks also land in the session's transfer image, as every answer does. Once the port
// closes (a disconnect, a lost device) the sequence stops: nothing more is sent and the result
// says so.
//
// A write into a slot is judged by what the device holds afterwards, never by the answers to its
// SETs (they race the receive tick, and a slow line answers after the wait):
//
//   const VerifiedWrite v = t.WriteVerified(slot, image); // history read, write, read back
//   if (!v.verified) ... v.difference ...
// SlotRead, SlotWrite, VerifiedWrite and the verdict's texts are in link/SlotVerify.h.
//
// Every sequence is a LinkTask (ReadAsync, WriteVerifiedAsync, ...) that a DeviceRunner's
// operation awaits; the plain names run the same sequence to its end for a caller that waits
// (RunBlocking). stop() ends the running sequence before its next command (SYS_CTM still goes).
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/SlotVerify.h"
#include "link/qt/LinkTask.h"

namespace tavo {

class SlotHistory;
class UartSession;

inline constexpr std::array<std::uint16_t, 4> kEdidChunkCommands = {ND_ED0A, ND_ED0B, ND_ED1A,
                                                                    ND_ED1B};

class SlotTransfer : public QObject {
    Q_OBJECT
public:
    explicit SlotTransfer(UartSession& session, QObject* parent = nullptr);

    UartSession& session() { return session_; }
    bool connected() const;
    // True once the port closed after the last Start.
    bool lost() const { return lost_; }
    // True once a command that is not part of the sequence went out during the last Read or
    // Write (a handler that ran during one of the sequence's waits).
    bool interrupted() const { return interrupted_; }

    // True once stop() ended the sequence started last.
    bool stopped() const { return stopped_; }

    // A sequence starts: from here on, a closed port ends it (nothing more is sent).
    void Start() {
        lost_ = !connected();
        interrupted_ = false;
        stopped_ = false;
    }
    // The running sequence sends nothing more but its closing SYS_CTM; it ends as a lost one.
    void stop() {
        stopped_ = true;
        lost_ = true;
    }
    // Start, then SET SYS_STM: an EDID dialog or transfer starts.
    void Begin();
    // SET SYS_CTM: it has ended (not sent once the port is gone).
    void End();
    // SET ND_SEL with the slot, stored first as the current device's selected slot.
    bool Select(SlotSelector slot);
    SlotRead Read(SlotSelector slot);
    SlotWrite Write(SlotSelector slot, const EdidImage& image);
    // The whole write of a slot: the slot read and kept in the history (when that fails, nothing
    // is sent unless options.writeWithoutHistory says so), the four chunks, the slot read back
    // and compared; when it differs, kVerifySecondReadMs later read once more. The
    // debug log (the session's logLine) says what was found. Between Begin and End.
    VerifiedWrite WriteVerified(SlotSelector slot, const EdidImage& image,
                                WriteOptions options = {});
    // Where WriteVerified keeps what it replaces (not owned; null: no history).
    void setHistory(SlotHistory* history) { history_ = history; }
    SlotHistory* history() const { return history_; }
    // The output EDID mode: input 1 selected (ND_SEL 0x00 0x00), then SET RXEDMD with the mode.
    bool SetMode(std::uint8_t mode);
    // GET RXEDMD: the mode the device reports, -1 without an answer.
    int QueryMode();
    // SetMode, then the mode the device reports (-1: none), asked once more after 500 ms when it
    // is not `mode`: a slower device answers the SET after its wait, and that late answer may
    // spoil the first question. The verdict is this mode, never the SET's answer.
    int SetModeAndReport(std::uint8_t mode);

    // ---- the same sequences, awaited
    LinkTask<> BeginAsync();
    LinkTask<> EndAsync();
    LinkTask<bool> SelectAsync(SlotSelector slot);
    LinkTask<SlotRead> ReadAsync(SlotSelector slot);
    LinkTask<SlotWrite> WriteAsync(SlotSelector slot, EdidImage image);
    LinkTask<VerifiedWrite> WriteVerifiedAsync(SlotSelector slot, EdidImage image,
                                               WriteOptions options);
    LinkTask<bool> SetModeAsync(std::uint8_t mode);
    LinkTask<int> QueryModeAsync();
    LinkTask<int> SetModeAndReportAsync(std::uint8_t mode);

private:
    // (a coroutine takes no default arguments: g++ 12 loses the sequence after one)
    LinkTask<bool> send(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                        std::vector<std::uint8_t> data);
    LinkTask<bool> send(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0) {
        return send(mode, command, length, std::vector<std::uint8_t>());
    }
    void onResponse(int command, int outcome);

    void logLine(const QString& line);

    UartSession& session_;
    SlotHistory* history_ = nullptr;
    bool lost_ = true;
    bool interrupted_ = false;
    bool stopped_ = false;
    bool sending_ = false; // inside the sequence's own Uart_SendCommand, before its write
    // the command whose answer is awaited by the running send, and what it brought
    int awaited_ = -1;
    bool answered_ = false; // a good line answered it
    bool answerNg_ = false; // that line was "NG" to a SET
};

} // namespace tavo
