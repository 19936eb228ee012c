#pragma once
// What every page of the window does the same way:
//  - finds a control of its own: under the widgets its layout built on (its roots), nowhere else;
//  - shows a coloured status line, for a while or until the next one;
//  - writes the debug log (through its debugLog signal; the main window holds the log);
//  - runs one device operation at a time: the page's busy flag, the link's DeviceOperation and the
//    check that the page still exists after a wait (a wait lets the window close it).
//
//   class MyPage : public PageBase { ... };
//   void MyPage::attach(QWidget* window, QWidget* sheet) {
//       attachTo(window, {sheet});
//       status_ = control<QLabel>("Label_My_Status");
//   }
//   void MyPage::Button_GoClick() {
//       const Operation operation(*this, &session_);
//       if (!operation) return; // this page or another one is busy with the device
//       ...
//       if (!showStatusFor(status_, "Ok.", Qt::black, 1000)) return; // the page is gone
//   }
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <initializer_list>
#include <optional>

#include "link/qt/UartSession.h"

class QLabel;

namespace tavo {

// How a text goes into the debug log.
enum class LogWrite { Append, Replace };

class PageBase : public QObject {
    Q_OBJECT
public:
    explicit PageBase(QObject* parent = nullptr);

    // A device operation, a file dialog or a status wait of this page is running.
    bool busy() const { return busy_; }

    // The control `name` of this page: one of its roots or under one; null when it has none.
    template <class T = QWidget> T* control(const QString& name) const {
        for (const QPointer<QWidget>& root : roots_) {
            if (!root) continue;
            if (root->objectName() == name)
                if (auto* self = qobject_cast<T*>(root.data())) return self;
            if (T* w = root->findChild<T*>(name)) return w;
        }
        return nullptr;
    }

signals:
    // Text for the debug log: added at its end, or in place of everything it holds.
    void debugLog(const QString& text, tavo::LogWrite how);

protected:
    // The window the page's dialogs belong to, and the widgets its layouts built on. A control
    // that moves out of them into a pop-up is added as a root of its own before it moves.
    void attachTo(QWidget* window, std::initializer_list<QWidget*> roots);
    void addRoot(QWidget* root);
    QWidget* window() const { return window_; }
    // The window the page's controls stand in now ("Commander" once the pages moved there, else
    // the main window): its dialogs belong to it, so that closing one gives the focus back there.
    QWidget* dialogParent() const;

    void log(const QString& text) { emit debugLog(text, LogWrite::Append); }
    void replaceLog(const QString& text) { emit debugLog(text, LogWrite::Replace); }

    // `text` in `colour` on `label`; with `clearAfterMs`, a timer clears it then (the caller goes
    // on). A later status on the same label replaces the text and the timer.
    void showStatus(QLabel* label, const QString& text, const QColor& colour,
                    int clearAfterMs = -1);
    // `text` in `colour` for `ms` while the caller waits (the window keeps running), then cleared
    // unless something else was written meanwhile. False when the page went during the wait.
    [[nodiscard]] bool showStatusFor(QLabel* label, const QString& text, const QColor& colour,
                                     unsigned ms);
    // Lets the window run (sleeping) for `ms`. False when the page went meanwhile.
    [[nodiscard]] bool wait(unsigned ms);

    // The page's operation was submitted to the device runner: the page is busy until its
    // verdict is shown (the completion clears it).
    void setBusy(bool on) { busy_ = on; }

    // One device operation at a time. Acquired when the page is not busy and no other operation
    // holds the link (without a session only the page's own flag counts); the page is busy for
    // as long as it lives. After a wait, alive() says whether the page still exists.
    class Operation {
    public:
        Operation(PageBase& page, UartSession* session);
        Operation(PageBase& page, UartSession& session) : Operation(page, &session) {}
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

        explicit operator bool() const { return acquired_; }
        bool alive() const { return !page_.isNull(); }
        // The link's operation held, for a call that runs under it (a search, a confirmation).
        const DeviceOperation* held() const { return acquired_ && link_ ? &*link_ : nullptr; }

    private:
        QPointer<PageBase> page_;
        std::optional<DeviceOperation> link_;
        bool acquired_ = false;
    };

private:
    QPointer<QWidget> window_;
    QList<QPointer<QWidget>> roots_;
    QPointer<QLabel> timedLabel_; // the label the timer clears
    QTimer statusClear_;
    bool busy_ = false;
};

} // namespace tavo
