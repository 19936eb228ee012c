#include "ui/qt/PageBase.h"

#include <QLabel>

namespace tavo {

PageBase::PageBase(QObject* parent) : QObject(parent) {
    statusClear_.setSingleShot(true);
    connect(&statusClear_, &QTimer::timeout, this, [this] {
        if (timedLabel_) timedLabel_->clear();
    });
}

void PageBase::attachTo(QWidget* window, std::initializer_list<QWidget*> roots) {
    window_ = window;
    roots_.clear();
    for (QWidget* root : roots)
        addRoot(root);
    if (roots_.isEmpty()) addRoot(window);
}

QWidget* PageBase::dialogParent() const {
    for (const QPointer<QWidget>& root : roots_)
        if (root) return root->window();
    return window_;
}

void PageBase::addRoot(QWidget* root) {
    if (root) roots_.append(root);
}

void PageBase::showStatus(QLabel* label, const QString& text, const QColor& colour,
                          int clearAfterMs) {
    if (!label) return;
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->setText(text);
    if (label == timedLabel_ || clearAfterMs >= 0) statusClear_.stop();
    if (clearAfterMs >= 0) {
        timedLabel_ = label;
        statusClear_.start(clearAfterMs);
    }
}

bool PageBase::showStatusFor(QLabel* label, const QString& text, const QColor& colour,
                             unsigned ms) {
    QPointer<QLabel> shown(label);
    showStatus(label, text, colour);
    if (!wait(ms)) return false;
    if (shown && shown->text() == text) showStatus(shown, QString(), Qt::black);
    return true;
}

bool PageBase::wait(unsigned ms) {
    const QPointer<PageBase> self(this);
    UartSession::Uart_Wait(ms);
    return !self.isNull();
}

PageBase::Operation::Operation(PageBase& page, UartSession* session) : page_(&page) {
    if (page.busy_) return;
    link_.emplace(session);
    if (!*link_) return;
    acquired_ = true;
    page.busy_ = true;
}

PageBase::Operation::~Operation() {
    if (acquired_ && page_) page_->busy_ = false;
}

} // namespace tavo
