#pragma once
// SIGINT, SIGTERM and SIGHUP (a closed terminal) during a device operation that must not be cut
// short: while an InterruptGuard lives, the signals only raise a flag (through a pipe the event
// loop watches, so the nested waits see it at once); the operation checks it between its steps,
// finishes the step it is in and ends with kExitInterrupted. When the guard goes the former
// handlers return.
#include <functional>

namespace tavo::cli {

inline constexpr int kExitInterrupted = 130; // as a shell reports a program ended by SIGINT

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    bool requested() const;
    // Called (on the event loop) when the first signal arrives.
    void onRequest(std::function<void()> handler) { handler_ = std::move(handler); }

private:
    struct Impl;
    Impl* impl_;
    std::function<void()> handler_;
};

} // namespace tavo::cli
