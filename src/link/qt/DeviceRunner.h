#pragma once
// The device's operations as values, run one at a time in the order they were submitted. An
// operation states what it wants (read these slots, write this image into that slot, ...); its
// command sequence is a coroutine over the session (SlotTransfer's sequences), and what it found
// comes back as one OperationResult: to the submitter's completion and in `finished`.
//
//   runner.submit(WriteSlot{slot, image, options}, [this](const OperationResult& r) {
//       showVerdict(*r.write);
//   });
//
// While an operation runs the runner holds the link's DeviceOperation, so handlers that still
// wait in place (the search, a backup, a firmware update) find the link busy; while one of them
// holds it, the runner starts nothing and waits for operationEnded. stop() ends the running
// operation before its next command; a lost port ends it with the failure text.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/SlotVerify.h"
#include "link/qt/LinkTask.h"
#include "link/qt/UartSession.h"

namespace tavo {

class SlotTransfer;

// The slots read in order (each SlotRead in the result); `bracketed` sends SYS_STM before and
// SYS_CTM after, as a transfer does (the analysis reads without them). A lost port ends the list;
// with `untilIncomplete`, so does the first read that did not arrive whole.
struct ReadSlots {
    std::vector<SlotSelector> list;
    bool bracketed = true;
    bool untilIncomplete = false;
};
// The verified write with the history (SlotTransfer::WriteVerified), between SYS_STM and SYS_CTM.
struct WriteSlot {
    SlotSelector slot;
    EdidImage image{};
    WriteOptions options;
};
// The source read; when it came whole and holds a valid EDID, the verified write of it into the
// destination. Between SYS_STM and SYS_CTM.
struct CopySlot {
    SlotSelector source;
    SlotSelector destination;
    WriteOptions options;
};
// The output EDID mode (input 1 selected, SET RXEDMD); with `report`, the mode the device then
// reports is asked (once more after a while when it differs), and that is the verdict.
struct SetMode {
    std::uint8_t mode = 0;
    bool report = false;
};
// GET RXEDMD: the mode the device reports.
struct QueryMode {};

// What keeping slots in the history before the device resets them found.
struct DefaultsKeep {
    int kept = 0;         // slots whose EDID is in the history now
    bool refused = false; // a slot's EDID could not be kept: nothing may be sent
    SlotSelector slot{};  // the first slot that could not be kept
    std::string error;    // why (also when the operator said to reset all the same)
    bool lost = false;    // the port closed on the way: nothing may be sent
    bool ok() const { return !refused && !lost; }
};

struct OperationResult {
    std::uint64_t id = 0;
    std::vector<SlotRead> reads;        // ReadSlots: one per slot read; CopySlot: the source
    std::optional<VerifiedWrite> write; // WriteSlot, and CopySlot when it wrote
    std::uint16_t copyStatus = 0;       // CopySlot: the source's validation status
    bool modeTaken = false;             // SetMode: the device answered the SET with OK
    int mode = -1; // SetMode with report, QueryMode: the mode reported, -1 for none
    std::optional<DefaultsKeep> keep; // the defaults: what keeping the slots first found
    bool reported = false; // the description, the defaults: the device reported its descriptor
    bool stopped = false;  // stop() ended it before its end
    bool lost = false;     // the port closed on the way
    // Empty when the sequence ran to its end; else why not ("stopped", "the device was lost").
    std::string failure;
};

// An operation a layer above the link states (the description, the defaults): its command
// sequence over the transfers, which fills in the result. The runner starts it as a transfer
// (Start), and says afterwards whether it was stopped or lost.
struct LinkSequence {
    std::function<LinkTask<OperationResult>(SlotTransfer&)> run;
    bool holdPoll = false; // the mode poll is held while it runs
};

using DeviceOperationValue =
    std::variant<ReadSlots, WriteSlot, CopySlot, SetMode, QueryMode, LinkSequence>;

class DeviceRunner : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const OperationResult&)>;

    DeviceRunner(UartSession& session, SlotTransfer& transfers, QObject* parent = nullptr);
    ~DeviceRunner() override;

    // Queues the operation; returns its id. `done` is called with its result (from the event
    // loop, never inside submit), just before `finished` is emitted.
    std::uint64_t submit(DeviceOperationValue operation, Completion done = {});
    // Ends the running operation before its next command (its transfer mode is still closed).
    void stop();
    // Nothing runs and nothing is queued.
    bool idle() const { return !running_ && queue_.empty(); }
    bool running() const { return running_; }

signals:
    void started(quint64 id);
    void finished(const tavo::OperationResult& result);
    // The queue ran empty after an operation.
    void becameIdle();

private:
    struct Pending {
        std::uint64_t id = 0;
        DeviceOperationValue operation;
        Completion done;
    };
    void next();
    void complete();
    LinkTask<OperationResult> run(DeviceOperationValue operation);

    UartSession& session_;
    SlotTransfer& transfers_;
    std::deque<Pending> queue_;
    std::optional<Pending> current_;
    std::optional<DeviceOperation> hold_;
    LinkTask<OperationResult> task_;
    std::uint64_t nextId_ = 1;
    bool running_ = false;
    bool scheduled_ = false;
};

} // namespace tavo
