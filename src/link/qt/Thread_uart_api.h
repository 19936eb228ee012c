#pragma once
// The serial worker. It never touches the windows: while it runs, each complete response line is
// handed to the window thread, where the response handler runs. It is created suspended; the
// search resumes it and the disconnect suspends it.
#include <QObject>

namespace tavo {

class TThread_Uart_Api : public QObject {
    Q_OBJECT
public:
    explicit TThread_Uart_Api(QObject* parent = nullptr) : QObject(parent) {
        setObjectName("Thread_Uart_Api");
    }

    void resume();
    void suspend();
    bool isRunning() const { return running_; }

signals:
    // Asks the window thread to run the response handler; only emitted while running.
    void handOver();

private:
    bool running_ = false; // created suspended
};

} // namespace tavo
