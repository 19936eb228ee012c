#include "link/qt/SlotHistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "edid/EdidSource.h"
#include "edid/WholeFile.h"
#include "link/SlotHistory.h"
#include "link/SlotName.h"

namespace tavo {
namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The index of `folder`: no file yet is an empty index; anything else unreadable is an error.
bool ReadIndex(const QString& folder, std::vector<HistoryIndexEntry>& index, QString* error) {
    index.clear();
    const QString path = folder + QStringLiteral("/") + QString::fromLatin1(kHistoryIndexName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    std::string text, why;
    if (!ReadRegularFile(Native(path), 1 << 20, text, why)) { // a hundred lines are some 5 KiB
        if (error) *error = QString::fromLocal8Bit(why);
        return false;
    }
    index = ParseHistoryIndex(text);
    return true;
}

// Whole or not at all (edid/WholeFile.h): a full disk leaves the former file as it was.
bool WriteAll(const QString& path, const QByteArray& bytes, QString* error) {
    std::string why;
    if (WriteWholeFile(Native(path), {bytes.constData(), std::size_t(bytes.size())}, -1, why))
        return true;
    if (error) *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(why);
    return false;
}

// An exclusive flock on a folder for as long as it lives.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_); // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

SlotHistory::SlotHistory(QString root) : root_(root.isEmpty() ? DefaultRoot() : std::move(root)) {}

QString SlotHistory::DefaultRoot() {
    // the generic location ($XDG_DATA_HOME or ~/.local/share): the window and tavo-cli share it
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tavo/history");
}

QString SlotHistory::DeviceKey(const DeviceRecord& device) {
    return QString::fromStdString(DeviceIdentityKey(device.vid, device.pid, device.product));
}

QString SlotHistory::SlotFolder(const DeviceRecord& device, SlotSelector slot) const {
    return root_ + QStringLiteral("/") + DeviceKey(device) + QStringLiteral("/") +
           QString::fromStdString(SlotName(slot));
}

bool SlotHistory::Keep(const DeviceRecord& device, SlotSelector slot, const EdidImage& image,
                       QString* error) {
    const QString folder = SlotFolder(device, slot);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (error) *error = folder + QStringLiteral(": cannot create the folder");
        return false;
    }
    const FolderLock lock(folder);
    if (!lock) {
        if (error) *error = folder + QStringLiteral(": cannot lock the folder");
        return false;
    }
    // under the lock: the index as the last writer left it
    std::vector<HistoryIndexEntry> index;
    if (!ReadIndex(folder, index, error)) return false;
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
    if (!index.empty()) {
        std::string newest, why;
        if (ReadRegularFile(Native(folder + "/" + QString::fromStdString(index.back().file)),
                            kEdidSize, newest, why) &&
            QByteArray::fromStdString(newest) == bytes)
            return true; // already the newest entry
    }
    const std::string time =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    std::string name = HistoryFileName(time);
    for (unsigned serial = 1; QFileInfo::exists(folder + "/" + QString::fromStdString(name)) ||
                              QFileInfo(folder + "/" + QString::fromStdString(name)).isSymLink();
         ++serial)
        name = HistoryFileName(time, serial);
    const QString entryPath = folder + "/" + QString::fromStdString(name);
    if (!WriteAll(entryPath, bytes, error)) return false;
    const auto unnamed = AppendHistoryEntry(index, {name, time});
    const std::string text = FormatHistoryIndex(index);
    if (!WriteAll(folder + "/" + QString::fromLatin1(kHistoryIndexName),
                  QByteArray(text.data(), qsizetype(text.size())), error)) {
        QFile::remove(entryPath); // never an entry that no index line names
        return false;
    }
    for (const HistoryIndexEntry& e : unnamed)
        QFile::remove(folder + "/" + QString::fromStdString(e.file));
    return true;
}

QList<HistoryEntry> SlotHistory::Entries(const DeviceRecord& device, SlotSelector slot) const {
    const QString folder = SlotFolder(device, slot);
    std::vector<HistoryIndexEntry> index;
    ReadIndex(folder, index, nullptr); // an unreadable index lists nothing
    QList<HistoryEntry> entries;
    int number = 0;
    for (auto it = index.rbegin(); it != index.rend(); ++it)
        entries.append({++number, slot, QString::fromStdString(it->time),
                        folder + "/" + QString::fromStdString(it->file)});
    return entries;
}

QList<HistoryEntry> SlotHistory::AllEntries(const DeviceRecord& device) const {
    QList<HistoryEntry> all;
    const unsigned counts[] = {device.inputCount, device.outputCount, device.userCount,
                               device.internalCount};
    for (unsigned kind = 0; kind < 4; ++kind)
        for (unsigned i = 0; i < counts[kind]; ++i)
            all += Entries(device, SlotSelector::Make(static_cast<SlotKind>(kind), i));
    return all;
}

std::optional<EdidImage> SlotHistory::Load(const HistoryEntry& entry, QString* error) {
    std::string bytes, why;
    // read past 256 bytes so that a longer file is reported with its own size
    constexpr std::size_t kLimit = 1 << 16;
    if (!ReadRegularFile(Native(entry.path), kLimit, bytes, why)) {
        if (error) *error = QString::fromLocal8Bit(why);
        return std::nullopt;
    }
    if (bytes.size() != kEdidSize) {
        if (error)
            *error = entry.path + QStringLiteral(": ") +
                     (bytes.size() > kLimit ? QStringLiteral("more than ") + QString::number(kLimit)
                                            : QString::number(bytes.size())) +
                     QStringLiteral(" bytes, not a 256-byte history entry");
        return std::nullopt;
    }
    EdidImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

} // namespace tavo
