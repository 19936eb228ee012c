#pragma once
// A device operation's command sequence as a coroutine on the main thread: it keeps the shape of
// the sequence (send, wait, look at the answer, send the next) while the event loop runs freely
// between its steps. Nothing nests an event loop; a step's end resumes the sequence by a posted
// call, so a sequence never runs inside another handler. An awaited task runs at once; the
// sequence that awaited it goes on by a posted call after it has returned (so the returned
// task's frame is never freed while its own code is still on the stack).
//
//   LinkTask<int> Twice(UartSession& s) {
//       co_await s.SendCommand(kModeGet, RXEDMD, 2);
//       co_await Sleep(500);
//       co_return 2;
//   }
//   LinkTask<int> t = Twice(session);
//   t.start([&] { use(t.result()); }); // called once the sequence has returned
//
// Two rules g++ 12 needs (it loses or corrupts the sequence otherwise): a coroutine takes no
// default arguments (an overload that is a plain function supplies them), and a co_await stands
// in a statement or an initialisation, never in a condition: `const bool ok = co_await f();
// if (!ok) ...`, not `if (!co_await f())`.
//
// A task starts when it is awaited or started, not when it is made. Destroying a task ends its
// sequence where it stands: the pending wait is dropped and nothing of it runs again.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tavo {

namespace detail {

// Resumes `h` from the event loop, unless the wait that asked for it has gone by then.
inline void ResumeLater(std::coroutine_handle<> h, const std::shared_ptr<bool>& alive) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [h, weak = std::weak_ptr<bool>(alive)] {
            if (const auto a = weak.lock(); a && *a) h.resume();
        },
        Qt::QueuedConnection);
}

struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::shared_ptr<bool> continuationAlive; // the awaiting sequence's own token
    std::function<void()> onDone;
    // false once this sequence's frame is gone: a posted resume of it is dropped
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    PromiseBase() = default;
    PromiseBase(const PromiseBase&) = delete;
    PromiseBase& operator=(const PromiseBase&) = delete;
    ~PromiseBase() { *alive = false; }

    std::suspend_always initial_suspend() noexcept { return {}; }
    struct Final {
        bool await_ready() noexcept { return false; }
        template <class P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            PromiseBase& p = h.promise();
            if (p.continuation) return p.continuation;
            if (p.onDone) std::exchange(p.onDone, {})();
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    Final final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }
};

template <class T> struct Promise : PromiseBase {
    std::optional<T> value;
    template <class U> void return_value(U&& v) { value.emplace(std::forward<U>(v)); }
};
template <> struct Promise<void> : PromiseBase {
    void return_void() noexcept {}
};

} // namespace detail

template <class T = void> class [[nodiscard]] LinkTask {
public:
    struct promise_type : detail::Promise<T> {
        LinkTask get_return_object() {
            return LinkTask(std::coroutine_handle<promise_type>::from_promise(*this));
        }
    };
    using Handle = std::coroutine_handle<promise_type>;

    LinkTask() = default;
    explicit LinkTask(Handle h) : h_(h) {}
    LinkTask(LinkTask&& o) noexcept : h_(std::exchange(o.h_, {})) {}
    LinkTask& operator=(LinkTask&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, {});
        }
        return *this;
    }
    ~LinkTask() { reset(); }

    bool valid() const { return static_cast<bool>(h_); }
    bool done() const { return h_ && h_.done(); }
    // Runs the sequence up to its first wait; `onDone` is called when it has returned (it may
    // destroy the task).
    void start(std::function<void()> onDone = {}) {
        h_.promise().onDone = std::move(onDone);
        h_.resume();
    }
    // The returned value, once done.
    decltype(auto) result() {
        if constexpr (!std::is_void_v<T>) return (*h_.promise().value);
    }
    void reset() {
        if (h_) std::exchange(h_, {}).destroy();
    }

    // Awaiting a task runs it and resumes the awaiting sequence when it returns.
    bool await_ready() const noexcept { return !h_ || h_.done(); }
    template <class P> void await_suspend(std::coroutine_handle<P> awaiting) {
        static_assert(std::is_base_of_v<detail::PromiseBase, P>, "awaited by a LinkTask only");
        h_.promise().continuation = awaiting;
        h_.promise().continuationAlive = awaiting.promise().alive;
        h_.resume();
    }
    T await_resume() {
        if constexpr (!std::is_void_v<T>) return std::move(*h_.promise().value);
    }

private:
    Handle h_;
};

// Sleeps for more than `ms` milliseconds, the event loop running; a timer that fires a hair early
// is re-armed, as the link's fixed waits have always been kept.
class Sleep {
public:
    explicit Sleep(unsigned ms) : ms_(ms) {}
    Sleep(const Sleep&) = delete;
    Sleep& operator=(const Sleep&) = delete;
    ~Sleep() { *alive_ = false; }

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) {
        clock_.start();
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_.get(), &QTimer::timeout, [this, h] {
            const qint64 left = static_cast<qint64>(ms_) + 1 - clock_.elapsed();
            if (left > 0) return timer_->start(static_cast<int>(left));
            detail::ResumeLater(h, alive_);
        });
        timer_->start(static_cast<int>(ms_ + 1));
    }
    // The milliseconds that passed.
    unsigned await_resume() const { return static_cast<unsigned>(clock_.elapsed()); }

private:
    unsigned ms_;
    QElapsedTimer clock_;
    std::unique_ptr<QTimer> timer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Waits until `done()` holds when one of `signal`'s emissions of `sender` has been handled, or
// until `limitMs` have passed, or one of the ending signals was emitted. Checked once at once.
//
//   co_await WaitUntil(300, [&] { return answered; })
//                .on(&rx, &QTimer::timeout)
//                .endOn(&session, &UartSession::disconnected);
class WaitUntil {
public:
    WaitUntil(qint64 limitMs, std::function<bool()> done)
        : limitMs_(limitMs), done_(std::move(done)) {}
    // moved only while being set up (before it is awaited)
    WaitUntil(WaitUntil&&) = default;
    WaitUntil& operator=(WaitUntil&&) = delete;
    ~WaitUntil() {
        if (alive_) *alive_ = false;
        for (const QMetaObject::Connection& c : connections_)
            QObject::disconnect(c);
    }

    // After every emission of `signal`, `done()` is asked.
    template <class Sender, class Signal> WaitUntil on(Sender* sender, Signal signal) && {
        hooks_.push_back([sender, signal](WaitUntil* self) {
            self->connections_.push_back(QObject::connect(sender, signal, [self] {
                if (self->done_()) self->finish();
            }));
        });
        return std::move(*this);
    }
    // An emission of `signal` ends the wait.
    template <class Sender, class Signal> WaitUntil endOn(Sender* sender, Signal signal) && {
        hooks_.push_back([sender, signal](WaitUntil* self) {
            self->connections_.push_back(
                QObject::connect(sender, signal, [self] { self->finish(); }));
        });
        return std::move(*this);
    }

    bool await_ready() const { return limitMs_ <= 0 || done_(); }
    void await_suspend(std::coroutine_handle<> h) {
        h_ = h;
        for (const auto& hook : hooks_)
            hook(this);
        limit_ = std::make_unique<QTimer>();
        limit_->setSingleShot(true);
        limit_->setTimerType(Qt::PreciseTimer);
        QObject::connect(limit_.get(), &QTimer::timeout, [this] { finish(); });
        limit_->start(static_cast<int>(limitMs_));
    }
    // Whether `done()` held at the end.
    bool await_resume() const { return done_(); }

private:
    void finish() {
        if (finished_) return;
        finished_ = true;
        for (const QMetaObject::Connection& c : connections_)
            QObject::disconnect(c);
        connections_.clear();
        if (limit_) limit_->stop();
        detail::ResumeLater(h_, alive_);
    }

    qint64 limitMs_;
    std::function<bool()> done_;
    std::vector<std::function<void(WaitUntil*)>> hooks_;
    std::vector<QMetaObject::Connection> connections_;
    std::unique_ptr<QTimer> limit_;
    std::coroutine_handle<> h_;
    bool finished_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Runs `task` to its end for a caller that cannot wait otherwise (a handler not yet written as a
// sequence): a local event loop runs meanwhile. When the application quits first, the sequence
// ends where it stands and nullopt (false for a void task) is returned.
template <class T> auto RunBlocking(LinkTask<T> task) {
    QEventLoop loop;
    bool finished = false;
    task.start([&] {
        finished = true;
        loop.quit();
    });
    if (!finished) loop.exec();
    if constexpr (std::is_void_v<T>) {
        return finished;
    } else {
        if (!finished) return std::optional<T>();
        return std::optional<T>(std::move(task.result()));
    }
}

} // namespace tavo
