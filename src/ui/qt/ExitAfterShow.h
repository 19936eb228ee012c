#pragma once
// TAVO_EXIT_AFTER_SHOW=1: the program prints the moment its first window was shown (drawn and on
// the screen) and quits. The start-up figures (bench/gui_start_bench.sh) read the line:
//
//     shown NANOSECONDS_SINCE_EPOCH WIDTHxHEIGHT CPU_MICROSECONDS
//
// (CPU time of all the program's threads up to that moment, user and system.)
// The GUI and the bare window of bench/bare_window use this same filter, so both are measured
// the same way.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace tavo {

class ExitAfterShow : public QObject {
public:
    static void InstallIfAsked(QCoreApplication& app) {
        if (qEnvironmentVariableIntValue("TAVO_EXIT_AFTER_SHOW") == 1)
            app.installEventFilter(new ExitAfterShow(&app));
    }

protected:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                seen_ = true;
                // reported once the expose is handled: by then the first frame is drawn
                QTimer::singleShot(0, this, [window] {
                    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch());
                    rusage ru{};
                    ::getrusage(RUSAGE_SELF, &ru);
                    const long long cpu = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL +
                                          ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
                    std::printf("shown %lld %dx%d %lld\n", static_cast<long long>(ns.count()),
                                window->width(), window->height(), cpu);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

} // namespace tavo
