#include "link/qt/SlotHistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "link/SlotHistory.h"
#include "link/SlotName.h"

namespace tavo {
namespace {

std::vector<HistoryIndexEntry> ReadIndex(const QString& folder) {
    QFile f(folder + QStringLiteral("/") + QString::fromLatin1(kHistoryIndexName));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = f.read(1 << 20); // a hundred lines are some 5 KiB
    return ParseHistoryIndex(std::string_view(text.constData(), std::size_t(text.size())));
}

bool WriteAll(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) return true;
    if (error) *error = path + QStringLiteral(": ") + f.errorString();
    return false;
}

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
    if (!QDir().mkpath(folder)) {
        if (error) *error = folder + QStringLiteral(": cannot create the folder");
        return false;
    }
    std::vector<HistoryIndexEntry> index = ReadIndex(folder);
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
    if (!index.empty()) {
        QFile newest(folder + QStringLiteral("/") + QString::fromStdString(index.back().file));
        if (newest.open(QIODevice::ReadOnly) && newest.read(qint64(kEdidSize) + 1) == bytes)
            return true; // already the newest entry
    }
    const std::string time =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    std::string name = HistoryFileName(time);
    for (unsigned serial = 1; QFile::exists(folder + "/" + QString::fromStdString(name)); ++serial)
        name = HistoryFileName(time, serial);
    if (!WriteAll(folder + "/" + QString::fromStdString(name), bytes, error)) return false;
    const auto dropped = AppendHistoryEntry(index, {name, time});
    const std::string text = FormatHistoryIndex(index);
    if (!WriteAll(folder + "/" + QString::fromLatin1(kHistoryIndexName),
                  QByteArray(text.data(), qsizetype(text.size())), error))
        return false;
    for (const HistoryIndexEntry& e : dropped)
        QFile::remove(folder + "/" + QString::fromStdString(e.file));
    return true;
}

QList<HistoryEntry> SlotHistory::Entries(const DeviceRecord& device, SlotSelector slot) const {
    const QString folder = SlotFolder(device, slot);
    const std::vector<HistoryIndexEntry> index = ReadIndex(folder);
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

std::optional<EdidImage> SlotHistory::Load(const HistoryEntry& entry) {
    QFile f(entry.path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = f.read(qint64(kEdidSize) + 1);
    if (bytes.size() != qsizetype(kEdidSize)) return std::nullopt;
    EdidImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

} // namespace tavo
