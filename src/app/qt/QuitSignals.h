#pragma once
// SIGTERM and SIGHUP (a logout, a closed terminal) reach the window as a request to close: the
// handler only writes to a pipe, the event loop reads it and calls `onSignal`, so a slot write
// and its read-back in progress finish first, as with the window's own close.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace tavo {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~QuitSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tavo
