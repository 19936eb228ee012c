#pragma once
// Measures how responsive the event loop stays: a 10 ms timer notes the longest gap between two
// of its ticks (10 ms when nothing holds the loop up).
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace tavo::test {

class LoopGapMeter {
public:
    explicit LoopGapMeter(int intervalMs = 10) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            if (ticks_ > 0) longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++ticks_;
        });
    }
    void start() {
        clock_.start();
        ticks_ = 0;
        longest_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    qint64 longestGapMs() const { return longest_; }
    qint64 ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0, ticks_ = 0;
};

} // namespace tavo::test
