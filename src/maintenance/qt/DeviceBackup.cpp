#include "maintenance/qt/DeviceBackup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

#include "edid/EdidSource.h"
#include "edid/WholeFile.h"
#include "link/SlotHistory.h"
#include "link/SlotName.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"
#include "maintenance/Sha256.h"
#include "maintenance/qt/SystemConfig.h"

namespace tavo {
namespace {

// The manifest's mark that its device texts are the device's UTF-8 (written once). Without it (a
// manifest of an earlier version, or a device text that is not UTF-8) each character of a text
// stands for one of the device's bytes.
constexpr const char* kTextsKey = "texts";
constexpr const char* kTextsUtf8 = "utf-8";

bool IsUtf8(const std::string& s) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text =
        decoder.decode(QByteArrayView(s.data(), qsizetype(s.size())));
    return !decoder.hasError();
}

// A device text as the window shows it: its UTF-8, as the grid shows it; bytes that are not
// UTF-8 one character each.
QString Text(const std::string& s) {
    if (IsUtf8(s)) return QString::fromUtf8(s.data(), qsizetype(s.size()));
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// A manifest's device text back to the device's bytes. An unmarked manifest of ours holds one
// character per byte; a text there with characters beyond Latin-1 was written by hand, as UTF-8.
std::string DeviceBytes(const QJsonValue& value, bool utf8) {
    const QString text = value.toString();
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return utf8 || !latin1 ? text.toStdString() : text.toLatin1().toStdString();
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString Hash(const QByteArray& bytes) {
    return QString::fromStdString(Sha256Hex(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
}

// Whole or not at all (edid/WholeFile.h), then read back: a file of the backup counts only when
// what the disk gives back has the hash of what was meant.
bool Save(const QString& path, const QByteArray& bytes, QString& error) {
    std::string why, back;
    if (!WriteWholeFile(Native(path), {bytes.constData(), std::size_t(bytes.size())}, -1, why)) {
        error = path + QStringLiteral(": ") + QString::fromLocal8Bit(why);
        return false;
    }
    if (!ReadRegularFile(Native(path), std::size_t(bytes.size()), back, why)) {
        error = QString::fromLocal8Bit(why);
        return false;
    }
    if (Hash(QByteArray::fromStdString(back)) != Hash(bytes)) {
        error = path + QStringLiteral(": reads back different from what was written");
        return false;
    }
    return true;
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

// ---- where a backup goes -----------------------------------------------------------------------

bool IsBackupFileName(const QString& name) {
    return name == QLatin1String(kBackupManifest) ||
           (name.endsWith(QLatin1String(".bin")) &&
            ParseSlotName(name.chopped(4).toStdString()).has_value());
}

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System);
}

// The folder holds nothing but the files of a backup (a manifest, slot files).
bool HoldsOnlyBackupFiles(const QString& folder) {
    for (const QString& name : FolderEntries(folder)) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        if (!IsBackupFileName(name) || info.isSymLink() || !info.isFile()) return false;
    }
    return true;
}

// Removes a folder that holds only backup files; false (nothing else touched) otherwise.
bool RemoveBackupFolder(const QString& folder) {
    if (!HoldsOnlyBackupFiles(folder)) return false;
    for (const QString& name : FolderEntries(folder))
        QFile::remove(folder + QLatin1Char('/') + name);
    return QDir().rmdir(folder);
}

// Why a backup may not go into `target`; empty when it may.
QString TargetProblem(const QString& target) {
    const QFileInfo info(target);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return target + QStringLiteral(": not a folder; nothing read");
    if (info.exists() && !HoldsOnlyBackupFiles(target))
        return target + QStringLiteral(": holds files that are no device backup; nothing read "
                                       "(choose an empty or a new folder)");
    return {};
}

// The complete backup in `staging` becomes `target`; a backup there becomes target.previous.
bool PutInPlace(const QString& staging, const QString& target, QString& outcome) {
    const QString previous = target + QLatin1String(kBackupPreviousSuffix);
    const bool hadBackup = QFileInfo(target).isDir() && !FolderEntries(target).isEmpty();
    if (hadBackup) {
        if (QFileInfo::exists(previous) && !RemoveBackupFolder(previous)) {
            outcome = previous + QStringLiteral(" holds other files: the new backup stays in ") +
                      staging + QStringLiteral(", ") + target + QStringLiteral(" is unchanged");
            return false;
        }
        if (std::rename(Native(target).c_str(), Native(previous).c_str()) != 0) {
            outcome = target +
                      QStringLiteral(" could not be moved aside: the new backup stays in ") +
                      staging;
            return false;
        }
    } else if (QFileInfo(target).isDir()) {
        QDir().rmdir(target); // empty
    }
    if (std::rename(Native(staging).c_str(), Native(target).c_str()) != 0) {
        if (hadBackup) std::rename(Native(previous).c_str(), Native(target).c_str());
        outcome = target +
                  QStringLiteral(": the new backup could not be put in place; it stays in ") +
                  staging;
        return false;
    }
    outcome = hadBackup ? QStringLiteral("the former backup is kept in ") + previous : QString();
    return true;
}

// ---- runs of items -----------------------------------------------------------------------------

// The items of one backup or restore, in order: each is tried unless the link is gone or the
// operator stopped; then it and those after it are "not tried".
struct ItemRun {
    BackupReport& report;
    SlotTransfer& transfers;
    const BackupOptions& options;
    int total = 0;
    int done = 0;
    bool ended = false;

    // The next item may be tried; announces it. False: it is recorded as not tried.
    bool next(const QString& name) {
        ++done;
        if (!ended && options.stop && options.stop()) {
            report.interrupted = true;
            ended = true;
        }
        if (!ended && !transfers.connected()) ended = true;
        if (ended) {
            add(name, BackupItemState::NotTried,
                report.interrupted ? QStringLiteral("not tried (stopped)")
                                   : QStringLiteral("not tried (the device was lost)"));
            return false;
        }
        if (options.progress) options.progress(done, total, name);
        return true;
    }
    void add(const QString& name, BackupItemState state, const QString& message) {
        report.items.append({name, state, message});
    }
};

// ---- restore -----------------------------------------------------------------------------------

bool ReadManifest(const QString& folder, BackupManifest& m, QString& error) {
    const QString path = folder + QLatin1Char('/') + QLatin1String(kBackupManifest);
    std::string text, why;
    if (!ReadRegularFile(Native(path), 1 << 20, text, why)) {
        error = QString::fromLocal8Bit(why);
        return false;
    }
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isObject()) {
        error = path + QStringLiteral(": not JSON (") + parsed.errorString() +
                QStringLiteral("); nothing sent");
        return false;
    }
    const QJsonObject o = doc.object();
    // each field by its JSON type: one of another type or out of range refuses the manifest; a
    // text as the device's bytes (UTF-8 in a marked manifest, one byte a character otherwise)
    const bool utf8 = o.value(kTextsKey).toString() == QLatin1String(kTextsUtf8);
    auto value = [utf8](const QJsonValue& v) {
        ManifestValue m;
        using Kind = ManifestValue::Kind;
        m.kind = v.isUndefined() ? Kind::Absent
                 : v.isNull()    ? Kind::Null
                 : v.isBool()    ? Kind::Bool
                 : v.isDouble()  ? Kind::Number
                 : v.isString()  ? Kind::String
                 : v.isArray()   ? Kind::Array
                                 : Kind::Object;
        m.number = v.toDouble();
        m.text = DeviceBytes(v, utf8);
        return m;
    };
    TakeManifestField(m, "format", value(o.value("format")));
    m.hasFiles = o.value("files").isObject();
    const QJsonObject files = o.value("files").toObject();
    for (auto it = files.begin(); it != files.end(); ++it)
        m.files.emplace_back(it.key().toStdString(), it.value().toString().toStdString());
    const QJsonObject device = o.value("device").toObject();
    for (const char* field : {"vid", "pid", "product"})
        TakeManifestField(m, field, value(device.value(QLatin1String(field))));
    TakeManifestField(m, "mode", value(o.value("mode")));
    TakeManifestField(m, "description", value(o.value("description")));
    return true;
}

void RestoreSlots(ItemRun& run, const RestorePlan& plan) {
    for (const PlannedSlot& p : plan.items) {
        const QString name = QString::fromStdString(SlotName(p.slot));
        if (p.state == PlannedState::NotInBackup) {
            ++run.done;
            run.add(name, BackupItemState::NotInBackup, QStringLiteral("not in the backup"));
            continue;
        }
        if (p.state == PlannedState::NoSuchSlot) {
            ++run.done;
            run.add(name, BackupItemState::Failed, QStringLiteral("the device has no such slot"));
            continue;
        }
        if (!run.next(name)) continue;
        const VerifiedWrite v = run.transfers.WriteVerified(p.slot, p.image, run.options.write);
        const QString why =
            v.historyRefused
                ? QStringLiteral("not written: its EDID cannot be kept in the history (") +
                      QString::fromStdString(v.historyError) + QStringLiteral(")")
                : QString::fromStdString(WriteFailureText(v, SlotName(p.slot)));
        run.add(name, v.ok() ? BackupItemState::Done : BackupItemState::Failed,
                v.ok() ? QStringLiteral("written, verified") : why);
    }
}

void RestoreMode(ItemRun& run, const RestorePlan& plan) {
    const QString name = QStringLiteral("mode");
    if (!plan.mode || !run.next(name)) return;
    const int now = run.transfers.SetModeAndReport(*plan.mode);
    const bool same = now == int(*plan.mode);
    run.add(name, same ? BackupItemState::Done : BackupItemState::Failed,
            same      ? QString::number(now)
            : now < 0 ? QStringLiteral("the device did not report its mode")
                      : QStringLiteral("the device reports ") + QString::number(now));
}

// The description is judged by what the device reports afterwards: the text it stores (cut to 31
// bytes, '?' for what it cannot show) is the one reported.
void RestoreDescription(ItemRun& run, const RestorePlan& plan) {
    const QString name = QStringLiteral("description");
    if (!plan.description || !run.next(name)) return;
    UartSession& session = run.transfers.session();
    const std::string& wanted = *plan.description;
    SendDescription(session, wanted);
    const bool answered = ReadSystemDescriptor(session);
    const std::string stored = session.devices().Current().description;
    const std::vector<std::uint8_t> payload = DescriptionPayload(wanted);
    const std::string sent(payload.begin(), payload.end());
    const bool same = answered && (stored == sent || stored == wanted);
    QString message = QStringLiteral("\"") + Text(stored) + QStringLiteral("\"");
    if (!answered)
        message = QStringLiteral("the device did not report its description");
    else if (!same)
        message = QStringLiteral("the device holds ") + message;
    else if (stored != wanted)
        message = QStringLiteral("stored as ") + message + QStringLiteral(" (the backup holds \"") +
                  Text(wanted) + QStringLiteral("\")");
    run.add(name, same ? BackupItemState::Done : BackupItemState::Failed, message);
}

} // namespace

QString BackupItem::line() const {
    switch (state) {
    case BackupItemState::Done:
        return name + QStringLiteral(": ") + message;
    case BackupItemState::Failed:
        return name + QStringLiteral(": FAILED: ") + message;
    case BackupItemState::NotInBackup:
    case BackupItemState::NotTried:
        break;
    }
    return name + QStringLiteral(": ") + message;
}

BackupReport BackupDevice(SlotTransfer& transfers, const QString& folder,
                          const BackupOptions& options) {
    BackupReport report;
    const QString target = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    report.error = TargetProblem(target);
    if (!report.error.isEmpty()) return report;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QTemporaryDir staging(target + QStringLiteral(".partial-XXXXXX"));
    if (!staging.isValid()) {
        report.error = target + QStringLiteral(": cannot create a folder beside it (") +
                       staging.errorString() + QStringLiteral("); nothing read");
        return report;
    }
    staging.setAutoRemove(false);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(staging.path()).constData(), 0777 & ~mask);
    report.started = true;
    const DeviceRecord device = transfers.session().devices().Current();
    const QList<SlotSelector> all = Slots(device);
    ItemRun run{report, transfers, options, int(all.size()) + 2};
    QJsonObject files;
    transfers.Begin();
    for (SlotSelector slot : all) {
        const QString name = QString::fromStdString(SlotName(slot));
        if (!run.next(name)) continue;
        const SlotRead r = transfers.Read(slot);
        if (!r.complete()) {
            run.add(name, BackupItemState::Failed,
                    r.lost ? QStringLiteral("the device was lost")
                           : QStringLiteral("not read whole"));
            continue;
        }
        const QByteArray bytes(reinterpret_cast<const char*>(r.image.data()), qsizetype(kEdidSize));
        QString error;
        if (!Save(staging.path() + "/" + SlotFile(slot), bytes, error)) {
            run.add(name, BackupItemState::Failed, error);
            continue;
        }
        files.insert(SlotFile(slot), Hash(bytes));
        run.add(name, BackupItemState::Done, QStringLiteral("saved"));
    }
    int mode = -1;
    if (run.next(QStringLiteral("mode"))) {
        mode = transfers.QueryMode();
        run.add(QStringLiteral("mode"), mode >= 0 ? BackupItemState::Done : BackupItemState::Failed,
                mode >= 0 ? QString::number(mode) : QStringLiteral("not reported"));
    }
    transfers.End();
    if (run.next(QStringLiteral("description")))
        run.add(QStringLiteral("description"), BackupItemState::Done, Text(device.description));
    if (report.ok()) {
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
        // the texts are encoded once, as the UTF-8 they are; one that is not UTF-8 leaves the
        // manifest unmarked, its bytes one character each
        if (IsUtf8(device.vid) && IsUtf8(device.pid) && IsUtf8(device.product) &&
            IsUtf8(device.firmwareVersion) && IsUtf8(device.description))
            manifest.insert(kTextsKey, kTextsUtf8);
        QString error;
        if (!Save(staging.path() + "/" + kBackupManifest, QJsonDocument(manifest).toJson(), error))
            run.add(QStringLiteral("manifest"), BackupItemState::Failed, error);
    }
    if (!report.ok()) { // an incomplete backup never replaces anything
        RemoveBackupFolder(staging.path());
        report.outcome = QFileInfo::exists(target) ? target + QStringLiteral(" is unchanged")
                                                   : QStringLiteral("nothing written");
        return report;
    }
    // every file's name on the disk before the folder takes the backup's place
    if (std::string why; !SyncFolder(Native(staging.path()), why)) {
        run.add(QStringLiteral("folder"), BackupItemState::Failed,
                staging.path() + QStringLiteral(": ") + QString::fromLocal8Bit(why));
        RemoveBackupFolder(staging.path());
        report.outcome = QFileInfo::exists(target) ? target + QStringLiteral(" is unchanged")
                                                   : QStringLiteral("nothing written");
        return report;
    }
    if (!PutInPlace(staging.path(), target, report.outcome))
        run.add(QStringLiteral("folder"), BackupItemState::Failed, report.outcome);
    return report;
}

BackupReport RestoreBackup(SlotTransfer& transfers, const QString& folder,
                           const BackupOptions& options) {
    BackupReport report;
    BackupManifest manifest;
    if (!ReadManifest(folder, manifest, report.error)) return report;
    const RestorePlan plan =
        PlanRestore(manifest, transfers.session().devices().Current(), options.force,
                    [&folder](const std::string& name, std::string& bytes, std::string& error) {
                        const QString path =
                            folder + QLatin1Char('/') + QString::fromStdString(name);
                        // past 256 bytes, so that a longer file is named with its own size
                        return ReadRegularFile(Native(path), 1 << 16, bytes, error);
                    });
    if (!plan) {
        report.error = QString::fromStdString(plan.error);
        return report;
    }
    if (!plan.descriptionNotice.empty() && options.notice)
        options.notice(QString::fromStdString(plan.descriptionNotice));
    report.started = true;
    ItemRun run{report, transfers, options,
                int(plan.items.size()) + (manifest.mode ? 1 : 0) + (plan.description ? 1 : 0)};
    transfers.Begin();
    RestoreSlots(run, plan);
    RestoreMode(run, plan);
    transfers.End();
    RestoreDescription(run, plan);
    return report;
}

} // namespace tavo
