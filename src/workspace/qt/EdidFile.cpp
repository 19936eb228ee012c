#include "workspace/qt/EdidFile.h"

#include <QFile>
#include <QSaveFile>
#include <string>

#include "edid/EdidSource.h"
#include "workspace/LocalDisplays.h"
#include "workspace/OutputFile.h"
#include "workspace/Presets.h"

namespace tavo {

bool ReadEdidFile(const QString& name, EdidImage& image, QString* error) {
    if (name.startsWith(kPresetAnswerPrefix)) {
        const PresetBuild built = BuildPreset(name.mid(kPresetAnswerPrefix.size()).toStdString());
        if (!built) {
            if (error) *error = QString::fromStdString(built.message);
            return false;
        }
        image = built.image;
        return true;
    }
    if (name.startsWith(kDisplayAnswerPrefix)) {
        EdidSource source;
        std::string error;
        if (!ReadDisplayEdid(name.mid(kDisplayAnswerPrefix.size()).toStdString(), source, error))
            return false;
        image = source.image;
        return true;
    }
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly)) return false;
    // one byte past the limit tells a longer file from one of exactly the limit
    const QByteArray bytes = file.read(static_cast<qint64>(kEdidTextLimit + 1));
    const auto size = static_cast<std::size_t>(std::max<qsizetype>(bytes.size(), 0));
    const std::size_t kept = std::min(size, kEdidTextLimit);
    const std::size_t total =
        size > kEdidTextLimit ? std::max<std::size_t>(size, std::size_t(file.size())) : 0;
    EdidSource source;
    std::string why;
    if (!ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()), kept, total,
                       source, why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    image = source.image;
    return true;
}

QString WriteEdidFile(const QString& path, const EdidImage& image) {
    // a device node, a pipe or a read-only file is never replaced by a plain file
    const OutputTarget target = ResolveOutputPath(path.toStdString());
    if (!target) return QString::fromStdString(target.problem);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    if (!file.commit())
        return file.errorString().isEmpty() ? QStringLiteral("cannot be written")
                                            : file.errorString();
    return QString();
}

bool ReadEdidText(const QByteArray& bytes, EdidImage& image, QString* error) {
    if (bytes.isEmpty()) return false;
    EdidSource source;
    std::string why;
    if (!ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()), 0, source, why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    image = source.image;
    return true;
}

QList<DisplayChoice> ConnectedDisplays() {
    QList<DisplayChoice> choices;
    for (const LocalDisplay& d : ListDisplays()) {
        if (!d.connected() || !d.hasEdid) continue;
        choices.append({QString::fromStdString(d.connector),
                        QString::fromLatin1(d.manufacturer.data(),
                                            static_cast<qsizetype>(d.manufacturer.size())) +
                            QStringLiteral("  ") +
                            QString::fromLatin1(d.monitorName.data(),
                                                static_cast<qsizetype>(d.monitorName.size()))});
    }
    return choices;
}

QList<ListChoice> PresetChoices() {
    QList<ListChoice> choices;
    for (const PresetInfo& p : Presets())
        choices.append({QString::fromLatin1(p.name.data(), static_cast<qsizetype>(p.name.size())),
                        QString::fromLatin1(p.description.data(),
                                            static_cast<qsizetype>(p.description.size()))});
    return choices;
}

} // namespace tavo
