#pragma once
// A whole device to a folder and back, without widgets (the main window's menu and
// `tavo-cli device backup|restore-backup` both run it):
//
//   DIR/input1.bin ... internal8.bin   every slot, 256 bytes each, named as `device read` names
//                                      slots
//   DIR/manifest.json                  identity (VID, PID, product, firmware version), counts,
//                                      EDID mode, description, time, each file's SHA-256
//
// A backup is written into a new folder beside DIR ("DIR.partial-XXXXXX") and put in place only
// once every slot was read whole and the manifest written: a backup that fails or is stopped
// leaves DIR as it was. A backup already in DIR is kept as "DIR.previous" (replacing an older
// one there); a DIR holding anything but backup files is refused before anything is read.
//
// The restore checks the manifest and every hash before it sends anything (PlanRestore), then
// writes back the writable slots (inputs and users, each write verified and its former EDID kept
// in the history), the mode and the description, each verified by what the device then reports.
// The report names every item: written and verified, failed, not in the backup, or not tried.
#include <QList>
#include <QString>
#include <functional>

#include "link/qt/SlotTransfer.h"
#include "maintenance/BackupManifest.h"

namespace tavo {

inline constexpr const char* kBackupManifest = kBackupManifestName;
inline constexpr const char* kBackupFormat = kBackupFormatName;
inline constexpr const char* kBackupPreviousSuffix = ".previous";

enum class BackupItemState : std::uint8_t {
    Done,        // saved (backup), written and verified (restore)
    Failed,      // tried, and it did not take
    NotInBackup, // a slot of the device that the backup does not hold
    NotTried,    // the link was lost or the operator stopped before this item
};

struct BackupItem {
    QString name; // "input1", "mode", "description"
    BackupItemState state = BackupItemState::Failed;
    QString message; // what happened, one line
    bool ok() const { return state == BackupItemState::Done; }
    // "input1: written, verified", "input2: FAILED: ...", "input3: not tried"
    QString line() const;
};

struct BackupReport {
    bool started = false; // the folder and manifest passed their checks; items were tried
    QString error;        // why nothing was tried
    QList<BackupItem> items;
    bool interrupted = false; // stopped between two items
    QString outcome;          // backup: where the result went, or why DIR is unchanged
    bool ok() const {
        if (!started || interrupted) return false;
        for (const BackupItem& i : items)
            if (!i.ok()) return false;
        return true;
    }
};

struct BackupOptions {
    bool force = false; // restore: also into a device of another identity
    // asked between items: true ends the operation there (the rest are "not tried")
    std::function<bool()> stop;
    // before each item: its number from 1, the number of items, its name
    std::function<void(int n, int total, const QString& name)> progress;
    WriteOptions write; // restore: how each slot is written (history, its question)
    // restore: what the device will keep otherwise than the backup holds it (a description cut
    // to 31 bytes), told once the manifest passed its checks and before anything is sent
    std::function<void(const QString& notice)> notice;
};

// Reads every slot, the mode and the description of the connected device into `folder`.
BackupReport BackupDevice(SlotTransfer& transfers, const QString& folder,
                          const BackupOptions& options = {});

// Writes a backup back.
BackupReport RestoreBackup(SlotTransfer& transfers, const QString& folder,
                           const BackupOptions& options = {});

} // namespace tavo
