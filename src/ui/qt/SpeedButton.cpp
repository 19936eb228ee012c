#include "ui/qt/SpeedButton.h"

#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>
#include <algorithm>

namespace tavo::pages {

QAbstractButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& text, int x,
                                 int y) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(text);
    // raised, so that it reads as a button before the pointer finds it; it takes the focus by
    // keyboard and click and draws its focus frame
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(32, 32));
    // wide enough for its caption under the glyph
    const int width = std::max(52, b->fontMetrics().horizontalAdvance(text) + 12);
    b->setGeometry(x, y, width, 52);
    return b;
}

void GiveShortcut(QAbstractButton* button, const QKeySequence& keys) {
    if (!button) return;
    // a shortcut of its own: the button's setText replaces the button's own shortcut. It acts
    // only while the button is visible and enabled in the active window.
    auto* shortcut = new QShortcut(keys, button);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::animateClick);
    button->setToolTip(button->text() + QStringLiteral(" (") +
                       keys.toString(QKeySequence::NativeText) + QStringLiteral(")"));
}

} // namespace tavo::pages
