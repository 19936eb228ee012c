#pragma once
// What slots held before they were overwritten, per user: under the XDG data directory
// ($XDG_DATA_HOME/tavo/history, by default ~/.local/share/tavo/history) a folder per device
// identity (link/SlotHistory.h) and slot ("input1", "user3"), each entry a 256-byte .bin named
// after its time and a line in the folder's index file. Files appear only complete
// (WriteWholeFile); at most kHistoryLimit entries per slot, the oldest dropped. Writers of one slot
// folder (two tools, two devices of one product) take turns under an flock on the folder, so no
// entry is written without its index line. Anything that is not a regular file where the index or
// an entry should be is refused, never waited on.
#include <QList>
#include <QString>
#include <optional>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/DeviceModel.h"

namespace tavo {

struct HistoryEntry {
    int number = 0; // 1: the newest of its slot
    SlotSelector slot{};
    QString time; // ISO 8601, UTC
    QString path; // the .bin file
};

class SlotHistory {
public:
    // `root` empty: DefaultRoot().
    explicit SlotHistory(QString root = QString());
    static QString DefaultRoot();
    const QString& root() const { return root_; }

    static QString DeviceKey(const DeviceRecord& device);
    QString SlotFolder(const DeviceRecord& device, SlotSelector slot) const;

    // Keeps `image` as the newest entry of the slot. An image equal to the newest entry is not
    // kept twice. False with a reason when a file could not be written.
    bool Keep(const DeviceRecord& device, SlotSelector slot, const EdidImage& image,
              QString* error = nullptr);
    // The entries of one slot, newest first.
    QList<HistoryEntry> Entries(const DeviceRecord& device, SlotSelector slot) const;
    // Every slot of the device that has entries: inputs, outputs, users, internals in order.
    QList<HistoryEntry> AllEntries(const DeviceRecord& device) const;
    // The entry's 256 bytes; nullopt when the file is missing, not a regular file or not 256
    // bytes long, with the reason in `error`.
    static std::optional<EdidImage> Load(const HistoryEntry& entry, QString* error = nullptr);

private:
    QString root_;
};

} // namespace tavo
