#include "maintenance/qt/DeviceBackup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "link/SlotHistory.h"
#include "link/SlotName.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"
#include "maintenance/Sha256.h"
#include "maintenance/qt/SystemConfig.h"

namespace tavo {
namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString Hash(const QByteArray& bytes) {
    return QString::fromStdString(Sha256Hex(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
}

bool Save(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) return true;
    error = path + QStringLiteral(": ") + f.errorString();
    return false;
}

// Every slot of a device with these counts, inputs first.
QList<SlotSelector> Slots(const DeviceRecord& d) {
    QList<SlotSelector> all;
    const unsigned counts[] = {d.inputCount, d.outputCount, d.userCount, d.internalCount};
    for (unsigned kind = 0; kind < 4; ++kind)
        for (unsigned i = 0; i < counts[kind]; ++i)
            all << SlotSelector::Make(static_cast<SlotKind>(kind), i);
    return all;
}

QString SlotFile(SlotSelector s) {
    return QString::fromStdString(SlotName(s)) + QStringLiteral(".bin");
}

} // namespace

BackupReport BackupDevice(SlotTransfer& transfers, const QString& folder) {
    BackupReport report;
    if (!QDir().mkpath(folder)) {
        report.error = folder + QStringLiteral(": cannot create the folder");
        return report;
    }
    report.started = true;
    UartSession& session = transfers.session();
    const DeviceRecord device = session.devices().Current();
    QJsonObject files;
    transfers.Begin();
    for (SlotSelector slot : Slots(device)) {
        const QString name = QString::fromStdString(SlotName(slot));
        const SlotRead r = transfers.Read(slot);
        if (!r.complete()) {
            report.items.append({name, false,
                                 r.lost ? QStringLiteral("the device was lost")
                                        : QStringLiteral("not read whole")});
            if (r.lost) break;
            continue;
        }
        const QByteArray bytes(reinterpret_cast<const char*>(r.image.data()), qsizetype(kEdidSize));
        QString error;
        if (!Save(folder + "/" + SlotFile(slot), bytes, error)) {
            report.items.append({name, false, error});
            continue;
        }
        files.insert(SlotFile(slot), Hash(bytes));
        report.items.append({name, true, QStringLiteral("saved")});
    }
    const int mode = transfers.connected() ? transfers.QueryMode() : -1;
    transfers.End();
    report.items.append({QStringLiteral("mode"), mode >= 0,
                         mode >= 0 ? QString::number(mode) : QStringLiteral("not reported")});
    report.items.append({QStringLiteral("description"), true, Text(device.description)});
    if (!report.ok()) return report; // no manifest for a backup that misses something

    QJsonObject manifest{
        {"format", kBackupFormat},
        {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {"device", QJsonObject{{"vid", Text(device.vid)},
                               {"pid", Text(device.pid)},
                               {"product", Text(device.product)},
                               {"firmwareVersion", Text(device.firmwareVersion)},
                               {"identity", QString::fromStdString(DeviceIdentityKey(
                                                device.vid, device.pid, device.product))}}},
        {"counts", QJsonObject{{"inputs", device.inputCount},
                               {"outputs", device.outputCount},
                               {"users", device.userCount},
                               {"internals", device.internalCount}}},
        {"mode", mode},
        {"description", Text(device.description)},
        {"files", files}};
    QString error;
    if (!Save(folder + "/" + kBackupManifest, QJsonDocument(manifest).toJson(), error))
        report.items.append({QStringLiteral("manifest"), false, error});
    return report;
}

BackupReport RestoreBackup(SlotTransfer& transfers, const QString& folder, bool force,
                           const std::function<bool()>& stop) {
    BackupReport report;
    QFile file(folder + "/" + kBackupManifest);
    if (!file.open(QIODevice::ReadOnly)) {
        report.error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return report;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(1 << 20), &parseError);
    const QJsonObject manifest = doc.object();
    if (!doc.isObject() || manifest.value("format").toString() != QLatin1String(kBackupFormat) ||
        !manifest.value("files").isObject()) {
        report.error = file.fileName() + QStringLiteral(": not a device backup manifest");
        return report;
    }
    // every file as the manifest lists it, before anything is sent
    struct Item {
        SlotSelector slot;
        EdidImage image;
    };
    QList<Item> items;
    const QJsonObject files = manifest.value("files").toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString name = it.key();
        const auto slot = name.endsWith(QLatin1String(".bin"))
                              ? ParseSlotName(name.chopped(4).toStdString())
                              : std::nullopt;
        if (!slot) {
            report.error = name + QStringLiteral(": not a slot file name");
            return report;
        }
        QFile f(folder + "/" + name);
        const QByteArray bytes =
            f.open(QIODevice::ReadOnly) ? f.read(qint64(kEdidSize) + 1) : QByteArray();
        if (bytes.size() != qsizetype(kEdidSize)) {
            report.error = f.fileName() + QStringLiteral(": missing or not 256 bytes");
            return report;
        }
        if (Hash(bytes) != it.value().toString()) {
            report.error = f.fileName() + QStringLiteral(": its SHA-256 differs from the manifest");
            return report;
        }
        Item item{*slot, {}};
        std::copy(bytes.begin(), bytes.end(), item.image.begin());
        items << item;
    }
    UartSession& session = transfers.session();
    const DeviceRecord device = session.devices().Current();
    const QJsonObject identity = manifest.value("device").toObject();
    if (!force && (identity.value("vid").toString() != Text(device.vid) ||
                   identity.value("pid").toString() != Text(device.pid) ||
                   identity.value("product").toString() != Text(device.product))) {
        report.error = QStringLiteral("the backup is of ") + identity.value("product").toString() +
                       QStringLiteral(" (VID ") + identity.value("vid").toString() +
                       QStringLiteral(", PID ") + identity.value("pid").toString() +
                       QStringLiteral("), the device is ") + Text(device.product) +
                       QStringLiteral("; nothing sent");
        return report;
    }
    report.started = true;
    const auto stopped = [&] {
        if (stop && stop()) report.interrupted = true;
        return report.interrupted;
    };
    transfers.Begin();
    for (const Item& item : items) {
        const QString name = QString::fromStdString(SlotName(item.slot));
        if (!IsWritableSlot(item.slot)) continue; // outputs and internal slots are read only
        if (!SlotExists(item.slot, device.inputCount, device.outputCount, device.userCount,
                        device.internalCount)) {
            report.items.append({name, false, QStringLiteral("the device has no such slot")});
            continue;
        }
        if (stopped()) break;
        const VerifiedWrite v = transfers.WriteVerified(item.slot, item.image);
        report.items.append(
            {name, v.ok(),
             v.ok() ? QStringLiteral("written, verified")
                    : QString::fromStdString(WriteFailureText(v, SlotName(item.slot)))});
        if (v.lost) break;
    }
    const int mode = manifest.value("mode").toInt(-1);
    if (!report.interrupted && transfers.connected() && mode >= 0 && !stopped()) {
        const int now = transfers.SetModeAndReport(static_cast<std::uint8_t>(mode));
        report.items.append({QStringLiteral("mode"), now == mode,
                             now == mode
                                 ? QString::number(mode)
                                 : QStringLiteral("the device reports ") + QString::number(now)});
    }
    transfers.End();
    const QString description = manifest.value("description").toString();
    if (!report.interrupted && transfers.connected() && manifest.contains("description") &&
        !stopped()) {
        const std::string wanted = description.toLatin1().toStdString();
        if (wanted != session.devices().Current().description) {
            SendDescription(session, wanted);
            ReadSystemDescriptor(session);
        }
        const std::vector<std::uint8_t> payload = DescriptionPayload(wanted);
        const std::string sent(payload.begin(), payload.end());
        const bool same = session.devices().Current().description == sent ||
                          session.devices().Current().description == wanted;
        report.items.append({QStringLiteral("description"), same,
                             same ? description
                                  : QStringLiteral("the device reports \"") +
                                        Text(session.devices().Current().description) + "\""});
    }
    return report;
}

} // namespace tavo
