#include "workspace/sources/qt/EdidFile.h"

#include <QFile>
#include <QFileInfo>
#include <optional>
#include <string>
#include <string_view>

#include "edid/Decoder.h"
#include "edid/EdidSource.h"
#include "edid/Fit.h"
#include "edid/WholeEdid.h"
#include "edid/WholeFile.h"
#include "workspace/sources/LocalDisplays.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/Presets.h"

namespace tavo {
namespace {

// Several EDIDs of xrandr output: the connector the operator picks, its EDID into `image`.
// Nothing to choose from (other input, or one EDID): nullopt, and the reader decides.
std::optional<bool> ChooseXrandrEdid(const QByteArray& bytes, EdidImage& image, QString* error,
                                     QWidget* chooser) {
    if (chooser == nullptr) return std::nullopt;
    const auto found = ReadXrandrEdids(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (found.size() < 2) return std::nullopt;
    QList<ListChoice> items;
    for (const auto& f : found) {
        EdidRecord record;
        Decode(record, f.image);
        const std::string_view name = FieldText(record.monitorName);
        items.append({QString::fromStdString(f.connector),
                      QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()))});
    }
    const QString picked = Dialogs::Current().ChooseFromList(
        chooser, QStringLiteral("EDID of which connector?"), items);
    for (const auto& f : found) {
        if (picked.isEmpty() || picked != QString::fromStdString(f.connector)) continue;
        image = f.image;
        return true;
    }
    if (error) *error = QStringLiteral("xrandr output, but no connector chosen");
    return false;
}

// `bytes`, when they hold an EDID of more than two blocks: its first two blocks (its base block
// alone without a CTA-861 extension) into `image` and the bytes into `whole`. False for anything
// else.
bool TakeLargerEdid(std::vector<std::uint8_t>& bytes, EdidImage& image,
                    std::vector<std::uint8_t>& whole) {
    EdidImage two{};
    if (bytes.size() <= kEdidSize || !ImageOfLargerEdid(bytes, two)) return false;
    image = two;
    whole = std::move(bytes);
    return true;
}

} // namespace

bool ReadChosenEdid(const QString& name, EdidImage& image, QString* error, QWidget* chooser,
                    std::vector<std::uint8_t>* whole) {
    if (whole) whole->clear();
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
        std::string why;
        if (!ReadDisplayEdid(name.mid(kDisplayAnswerPrefix.size()).toStdString(), source, why)) {
            if (error) *error = QString::fromStdString(why);
            return false;
        }
        image = source.image;
        return true;
    }
    if (name.isEmpty()) return false;
    // a pipe, a device node or a socket would hold the window: refused without opening it
    const QFileInfo info(name);
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = name + (info.isDir() ? QStringLiteral(": is a directory")
                                          : QStringLiteral(": not a regular file (a pipe, device "
                                                           "or socket)"));
        return false;
    }
    if (whole != nullptr)
        if (std::vector<std::uint8_t> larger = ReadLargeEdidFile(name);
            TakeLargerEdid(larger, image, *whole))
            return true;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // one byte past the limit tells a longer file from one of exactly the limit
    const QByteArray bytes = file.read(static_cast<qint64>(kEdidTextLimit + 1));
    const auto size = static_cast<std::size_t>(std::max<qsizetype>(bytes.size(), 0));
    const std::size_t kept = std::min(size, kEdidTextLimit);
    const std::size_t total =
        size > kEdidTextLimit ? std::max<std::size_t>(size, std::size_t(file.size())) : 0;
    if (const auto chosen = ChooseXrandrEdid(bytes.left(qsizetype(kept)), image, error, chooser))
        return *chosen;
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

bool SaveEdidFile(const QString& name, const EdidImage& image, QString* error, std::size_t size) {
    const OutputTarget target = ResolveOutputPath(QFile::encodeName(name).toStdString());
    std::string why = target.problem;
    if (target &&
        WriteWholeFile(target.path,
                       {reinterpret_cast<const char*>(image.data()), std::min(size, image.size())},
                       target.exists ? int(target.mode) : -1, why))
        return true;
    if (error) *error = QString::fromLocal8Bit(why);
    return false;
}

QString WriteEdidFile(const QString& path, const EdidImage& image) {
    QString why;
    if (SaveEdidFile(path, image, &why, EdidLength(image))) return QString();
    return why.isEmpty() ? QStringLiteral("cannot be written") : why;
}

std::vector<std::uint8_t> ReadLargeEdidFile(const QString& name) {
    if (name.isEmpty() || name.startsWith(kPresetAnswerPrefix) ||
        name.startsWith(kDisplayAnswerPrefix) || !QFileInfo(name).isFile())
        return {};
    std::vector<std::uint8_t> bytes;
    EdidForm form = EdidForm::Binary;
    std::string error;
    if (!ReadWholeEdidPath(name.toStdString(), bytes, form, error) || bytes.size() <= kEdidSize)
        return {};
    return bytes;
}

bool ReadEdidText(const QByteArray& bytes, EdidImage& image, QString* error, QWidget* chooser,
                  std::vector<std::uint8_t>* whole) {
    if (whole) whole->clear();
    if (bytes.isEmpty()) return false;
    if (const auto chosen = ChooseXrandrEdid(bytes, image, error, chooser)) return *chosen;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto size = static_cast<std::size_t>(bytes.size());
    std::vector<std::uint8_t> larger;
    EdidForm form = EdidForm::Binary;
    std::string why;
    if (whole != nullptr && ReadWholeEdidBytes(data, size, larger, form, why) &&
        TakeLargerEdid(larger, image, *whole))
        return true;
    why.clear();
    EdidSource source;
    if (!ReadEdidBytes(data, size, 0, source, why)) {
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
