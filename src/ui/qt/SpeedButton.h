#pragma once
// The glyph buttons of the device pages ("Upload", "Save", "Apply", ...), shared by every
// page's layout.
#include <QString>

class QAbstractButton;
class QKeySequence;
class QWidget;

namespace tavo::pages {

// A raised glyph button named `name`, its caption under the glyph, at (x, y) in `parent`.
QAbstractButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& text, int x,
                                 int y);

// `keys` press `button` while its page is the one shown in its window; its tip names the keys.
void GiveShortcut(QAbstractButton* button, const QKeySequence& keys);

} // namespace tavo::pages
