#include "ui/qt/TabKeys.h"

#include <QKeyEvent>
#include <QTabBar>
#include <QTabWidget>

namespace tavo {

namespace {

class ShownTabKeys : public QObject {
public:
    explicit ShownTabKeys(QTabWidget* pages) : QObject(pages), pages_(pages) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const int step = Step(watched, key);
        if (step == 0) return QObject::eventFilter(watched, event);
        const int next = NextShownTab(pages_, pages_->currentIndex(), step);
        if (next >= 0) pages_->setCurrentIndex(next);
        return true;
    }

private:
    // +1 or -1 for the keys that change tabs, 0 for any other key.
    int Step(QObject* watched, const QKeyEvent* key) const {
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        if (ctrl && key->key() == Qt::Key_Tab) return shift ? -1 : 1;
        if (ctrl && key->key() == Qt::Key_Backtab) return -1;
        if (watched == pages_->tabBar() && !ctrl) {
            if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up) return -1;
            if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down) return 1;
        }
        return 0;
    }

    QTabWidget* pages_;
};

} // namespace

int NextShownTab(const QTabWidget* pages, int from, int step) {
    const int count = pages ? pages->count() : 0;
    for (int i = 1; i < count; ++i) {
        const int at = ((from + step * i) % count + count) % count;
        if (pages->isTabVisible(at) && pages->isTabEnabled(at)) return at;
    }
    return -1;
}

void KeepKeysOnShownTabs(QTabWidget* pages) {
    if (!pages) return;
    auto* filter = new ShownTabKeys(pages);
    // the keys reach the tab widget from the focused control inside a page; the arrows go to
    // the tab bar when it has the focus
    pages->installEventFilter(filter);
    pages->tabBar()->installEventFilter(filter);
}

} // namespace tavo
