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
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/SlotHistory.h"

namespace tavo {

class SlotHistory;
class UartSession;

inline constexpr std::array<std::uint16_t, 4> kEdidChunkCommands = {ND_ED0A, ND_ED0B, ND_ED1A,
                                                                    ND_ED1B};

struct SlotRead {
    std::array<bool, 4> arrived{}; // chunk i answered with a good CRC during its own GET
    EdidImage image{};             // the transfer image after the four GETs
    bool lost = false;             // the port closed on the way
    // another command went out in the middle (another slot may have been selected): the chunks
    // may not belong together
    bool interrupted = false;
    bool complete() const {
        return !lost && !interrupted && arrived[0] && arrived[1] && arrived[2] && arrived[3];
    }
};

struct SlotWrite {
    std::array<bool, 4> acknowledged{}; // chunk i answered "OK"
    bool refused = false;               // a chunk was answered "NG"
    bool lost = false;                  // the port closed on the way
    bool interrupted = false;           // another command went out in the middle
    bool acknowledgedAll() const {
        return !lost && !refused && !interrupted && acknowledged[0] && acknowledged[1] &&
               acknowledged[2] && acknowledged[3];
    }
};

struct WriteOptions {
    bool verify = true;  // read the slot back and compare
    bool history = true; // read the slot first and keep it in the history (when one is set)
    // Asked with the reason when the slot's former EDID cannot be kept in the history: true
    // writes all the same. Unset: the write stops there and nothing is sent.
    std::function<bool(SlotSelector slot, const QString& reason)> writeWithoutHistory;
};

struct VerifiedWrite {
    SlotWrite write;
    bool historyKept = false; // the slot's former EDID is in the history
    // the former EDID could not be kept and the write stopped before anything was sent
    bool historyRefused = false;
    QString historyError;       // why the former EDID could not be kept (also when written anyway)
    bool verifyRun = false;     // the slot was read back
    bool readBack = false;      // the last read-back was complete
    bool secondRead = false;    // the first read-back differed: read once more after a wait
    ImageDifference difference; // between the image and the last read-back
    bool verified = false;      // the device holds the image
    bool lost = false;          // the port closed on the way
    // Without verification (WriteOptions::verify false) only a lost link or a refusal counts.
    bool ok() const {
        if (lost || historyRefused) return false;
        return verifyRun ? verified : !write.refused;
    }
};

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

    // A sequence starts: from here on, a closed port ends it (nothing more is sent).
    void Start() {
        lost_ = !connected();
        interrupted_ = false;
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

private:
    bool send(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0,
              const std::uint8_t* data = nullptr);
    void onResponse(int command, int outcome);

    void logLine(const QString& line);

    UartSession& session_;
    SlotHistory* history_ = nullptr;
    bool lost_ = true;
    bool interrupted_ = false;
    bool sending_ = false; // inside the sequence's own Uart_SendCommand, before its write
    // the command whose answer is awaited by the running send, and what it brought
    int awaited_ = -1;
    bool answered_ = false;
    bool answerOk_ = false;
    bool answerNg_ = false;
};

} // namespace tavo
