#pragma once
// The firmware update over the serial link, without widgets: reading and checking the image file,
// and the transfer route (FW_ADDR / FW_DATA pairs, then FW_END) paced by the sender's own waits.
// The "System" page and `tavo-cli device firmware` both run it.
//
//   tavo::FirmwareTransfer transfer(session);
//   const auto result = transfer.Run(path, [](const QString& label, int percent) { ... });
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/Firmware.h"

namespace tavo {

class DeviceOperation;
class UartSession;

// A firmware file as the update reads it: every byte of it, but never more than one byte past the
// largest image 16-bit addresses can reach (enough to tell that a file is too large).
struct FirmwareImage {
    bool opened = false;
    std::string error; // why not opened: the path and the reason
    QByteArray bytes;
    FirmwareHeader header;
};
FirmwareImage ReadFirmwareImage(const QString& path);

enum class FirmwareResult {
    Sent,       // every block and FW_END went out on a live link, FW_END was not refused
    OpenFailed, // the file could not be read
    Illegal,    // no "FW VER:" mark at 512 (any more): nothing sent
    TooLarge,   // larger than 65,536 bytes: nothing sent
    Lost,       // the link closed during the transfer: the loop ended there
    Aborted,    // abort() was called (the window closes): the loop ended there
    Refused,    // the loader answered "NG" or "ERR": the loop ended there (refusal() says where)
    Busy,       // a transfer is already running on this object
};

// The status text the page shows for a result that ends an update ("" for Busy).
QString FirmwareResultText(FirmwareResult result);

class FirmwareTransfer;
// Why an update stopped, for the page's result line: "The update stopped: block 4 of 10 (address
// 0x00c0) refused: NG.", "... the link was lost after block 5 of 20.", ...
QString FirmwareStopText(FirmwareResult result, const FirmwareTransfer& transfer);

// Between two searches for the restarted device.
inline constexpr unsigned kFwRestartRetryMs = 500;

// What the device said after the image: the version it reports once it runs normally again.
struct FirmwareConfirmation {
    FirmwareCheck check = FirmwareCheck::NotConfirmed;
    std::string running;     // the version the restarted device reports
    std::string image;       // the image's version
    bool stillInIsp = false; // the device came back in ISP mode and stayed there
    std::string text() const { return FirmwareCheckText(check, running, image); }
};
inline bool FirmwareResultFailed(FirmwareResult result) {
    return result != FirmwareResult::Sent && result != FirmwareResult::Busy;
}

class FirmwareTransfer {
public:
    // Called after every data block with its label ("10%", ...) and the figure, and once with
    // "100%" and 100 when FW_END has gone out.
    using Progress = std::function<void(const QString& label, int percent)>;

    explicit FirmwareTransfer(UartSession& session) : session_(session) {}
    FirmwareTransfer(const FirmwareTransfer&) = delete;
    FirmwareTransfer& operator=(const FirmwareTransfer&) = delete;

    // The route: reads the file again and checks its header (a file replaced since it was chosen
    // is refused here and nothing is sent), stops the receive timer (it stays off until the next
    // search), then one step per cycle: drain the serial input, send the step, let the event loop
    // run. After FW_END its answer is awaited up to kFwEndAnswerMs (the device answers in order,
    // so it is the last of one answer per command sent); a refusal then fails the update.
    // Returns at once with Busy while a transfer runs on this object.
    FirmwareResult Run(const QString& path, const Progress& progress = {});

    // After Sent: the loader's port is closed and the ports are searched until the device answers
    // in normal mode (its system descriptor read) or restartWaitMs() have passed; its version is
    // compared with the image's. `held` is the caller's DeviceOperation, if it holds one.
    FirmwareConfirmation Confirm(const DeviceOperation* held = nullptr);
    void setRestartWaitMs(unsigned ms) { restartWaitMs_ = ms; }
    unsigned restartWaitMs() const { return restartWaitMs_; }
    // The image version of the last run.
    const std::string& imageVersion() const { return imageVersion_; }
    // Whether FW_END's answer came within its wait (silence is no refusal).
    bool endAnswered() const { return endAnswered_; }

    bool running() const { return running_; }
    // Ends a running transfer between two blocks: before the next block's address (or FW_END),
    // never between an address and its block, and only after the block's waits.
    void abort() { abort_ = true; }
    // Data blocks written by the last run, and how many its image has.
    int blocksSent() const { return blocksSent_; }
    int blockCount() const { return blockCount_; }
    // Commands written by the last run (FW_ADDR, FW_DATA and FW_END each count one).
    int commandsSent() const { return commandsSent_; }
    // After Refused: which step the loader refused and its word ("Block 5 of 20 (address 0x0100)
    // refused: NG").
    QString refusal() const { return refusal_; }

private:
    // Takes what the loader said off the port; returns its refusal word if it refused.
    std::optional<std::string> drainInput();
    // Waits for FW_END's answer; returns the refusal word if the loader refused.
    std::optional<std::string> awaitEndAnswer();
    // Every step of `plan` in turn, until the end or the first refusal, loss or abort.
    FirmwareResult sendPlan(const std::vector<FirmwareStep>& plan, const Progress& progress);
    void sendStep(const FirmwareStep& step);

    UartSession& session_;
    bool running_ = false;
    bool abort_ = false;
    bool lost_ = false;
    int commandsSent_ = 0;
    QString refusal_;
    int blocksSent_ = 0;
    int blockCount_ = 0;
    int linesSeen_ = 0; // answer lines taken off the port during the run
    bool endAnswered_ = false;
    std::string imageVersion_;
    unsigned restartWaitMs_ = kFwRestartWaitMs;
};

} // namespace tavo
