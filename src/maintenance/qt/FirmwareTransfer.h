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

#include "maintenance/Firmware.h"

namespace tavo {

class UartSession;

// A firmware file as the update reads it: every byte of it, but never more than one byte past the
// largest image 16-bit addresses can reach (enough to tell that a file is too large).
struct FirmwareImage {
    bool opened = false;
    QByteArray bytes;
    FirmwareHeader header;
};
FirmwareImage ReadFirmwareImage(const QString& path);

enum class FirmwareResult {
    Sent,       // every block and FW_END went out on a live link
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
    // run. Returns at once with Busy while a transfer runs on this object.
    FirmwareResult Run(const QString& path, const Progress& progress = {});

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

    UartSession& session_;
    bool running_ = false;
    bool abort_ = false;
    bool lost_ = false;
    int commandsSent_ = 0;
    QString refusal_;
    int blocksSent_ = 0;
    int blockCount_ = 0;
};

} // namespace tavo
