#pragma once
// The button pictures: thirteen colour/grey glyphs loaded once from the program's resources by
// name, and the logo. A colour glyph dresses a button whose action is available, the grey one a
// button that needs a connected device while none is connected.
#include <QPixmap>
#include <QString>
#include <QStringList>

class QAbstractButton;

namespace tavo {

// The resource names of the glyphs, colour and grey pairs.
const QStringList& GlyphNames();

// The glyph of that name (a null pixmap for an unknown name). The pictures are loaded on first
// use and kept for the life of the program.
QPixmap Glyph(const QString& name);
QPixmap LogoPixmap();

// Dresses `button` with the glyph `name` and records the name in its "glyph" property, so the
// current state of a button can be read back. Returns false (and leaves the button alone) for an
// unknown name.
bool SetGlyph(QAbstractButton* button, const QString& name);
// The glyph name last set on `button`, empty when none.
QString GlyphOf(const QAbstractButton* button);

} // namespace tavo
