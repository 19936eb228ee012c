#pragma once
// A whole device to a folder and back, without widgets (the main window's menu and
// `tavo-cli device backup|restore-backup` both run it):
//
//   DIR/input1.bin ... internal8.bin   every slot, 256 bytes each, named as `device read` names
//                                      slots
//   DIR/manifest.json                  identity (VID, PID, product, firmware version), counts,
//                                      EDID mode, description, time, each file's SHA-256
//
// The restore checks the manifest and every hash before it sends anything, then writes back the
// writable slots (inputs and users, each write verified and its former EDID kept in the history),
// the mode and the description, and reports each item.
#include <QList>
#include <QString>
#include <functional>

namespace tavo {

class SlotTransfer;

inline constexpr const char* kBackupManifest = "manifest.json";
inline constexpr const char* kBackupFormat = "tavo-device-backup 1";

struct BackupItem {
    QString name; // "input1", "mode", "description"
    bool ok = false;
    QString message; // what happened, one line
};

struct BackupReport {
    bool started = false; // the folder and manifest passed their checks; items were tried
    QString error;        // why nothing was tried
    QList<BackupItem> items;
    bool interrupted = false; // stopped between two items
    bool ok() const {
        if (!started || interrupted) return false;
        for (const BackupItem& i : items)
            if (!i.ok) return false;
        return true;
    }
};

// Reads every slot, the mode and the description of the connected device into `folder` (made
// when missing). The manifest is written last, and only when every slot was read whole.
BackupReport BackupDevice(SlotTransfer& transfers, const QString& folder);

// Writes a backup back. `force`: also into a device of another identity. `stop`, asked between
// items, ends the restore there.
BackupReport RestoreBackup(SlotTransfer& transfers, const QString& folder, bool force = false,
                           const std::function<bool()>& stop = {});

} // namespace tavo
