#include "ui/qt/Glyphs.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QHash>
#include <QIcon>
#include <QPointer>

// Resources compiled into a static library need an explicit reference, or the linker drops them.
static void InitGlyphResources() {
    Q_INIT_RESOURCE(glyphs);
}

namespace tavo {

namespace {

// The loaded pictures belong to the application object, so they are released while the GUI
// still exists rather than at static destruction.
class GlyphStore : public QObject {
public:
    explicit GlyphStore(QObject* parent) : QObject(parent) {
        InitGlyphResources();
        // the resources carry no file suffix: naming the format spares probing (and loading)
        // every image plugin on the system at start-up
        for (const QString& name : GlyphNames())
            pixmaps.insert(name, QPixmap(":/glyphs/" + name, "PNG"));
        logo = QPixmap(":/glyphs/Logo", "PNG");
    }
    QHash<QString, QPixmap> pixmaps;
    QPixmap logo;
};

GlyphStore* Store() {
    static QPointer<GlyphStore> store;
    if (!store) store = new GlyphStore(QCoreApplication::instance());
    return store;
}

} // namespace

const QStringList& GlyphNames() {
    static const QStringList names = {
        "OpenColor",    "OpenGray",      "SaveColor",   "SaveGray",   "AnalysisColor",
        "AnalysisGray", "BrandNewColor", "CopyUpColor", "CopyUpGray", "CopyLeftColor",
        "CopyLeftGray", "ModifyColor",   "ModifyGray"};
    return names;
}

QPixmap Glyph(const QString& name) {
    return Store()->pixmaps.value(name);
}

QPixmap LogoPixmap() {
    return Store()->logo;
}

bool SetGlyph(QAbstractButton* button, const QString& name) {
    const QPixmap pixmap = Glyph(name);
    if (!button || pixmap.isNull()) return false;
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
    button->setProperty("glyph", name);
    return true;
}

QString GlyphOf(const QAbstractButton* button) {
    return button ? button->property("glyph").toString() : QString();
}

} // namespace tavo
