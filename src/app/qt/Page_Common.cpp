#include "app/qt/Pages.h"

#include <QToolButton>

namespace tavo::pages {

QAbstractButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& text, int x,
                                 int y) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(text);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(32, 32));
    b->setGeometry(x, y, 52, 52);
    return b;
}

} // namespace tavo::pages
