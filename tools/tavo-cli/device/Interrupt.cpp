#include "Interrupt.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tavo::cli {
namespace {

volatile std::sig_atomic_t gRequested = 0;
int gPipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
    gRequested = 1;
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

struct InterruptGuard::Impl {
    struct sigaction oldInt {
    }, oldTerm{}, oldHup{};
    QSocketNotifier* notifier = nullptr;
};

InterruptGuard::InterruptGuard() : impl_(new Impl) {
    gRequested = 0;
    if (::pipe(gPipe) == 0) {
        for (int fd : gPipe)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        impl_->notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read);
        QObject::connect(impl_->notifier, &QSocketNotifier::activated, [this] {
            char buffer[16];
            while (::read(gPipe[0], buffer, sizeof buffer) > 0) {
            }
            if (handler_) {
                auto handler = std::move(handler_); // once
                handler_ = nullptr;
                handler();
            }
        });
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &impl_->oldInt);
    sigaction(SIGTERM, &action, &impl_->oldTerm);
    sigaction(SIGHUP, &action, &impl_->oldHup); // a closed terminal
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &impl_->oldInt, nullptr);
    sigaction(SIGTERM, &impl_->oldTerm, nullptr);
    sigaction(SIGHUP, &impl_->oldHup, nullptr);
    delete impl_->notifier;
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    delete impl_;
}

bool InterruptGuard::requested() const {
    return gRequested != 0;
}

} // namespace tavo::cli
