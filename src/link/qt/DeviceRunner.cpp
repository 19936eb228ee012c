#include "link/qt/DeviceRunner.h"

#include <QTimer>

#include "edid/EdidImage.h"
#include "link/qt/SlotTransfer.h"

namespace tavo {

DeviceRunner::DeviceRunner(UartSession& session, SlotTransfer& transfers, QObject* parent)
    : QObject(parent), session_(session), transfers_(transfers) {
    // a handler that held the link has let it go: what waits in the queue may start
    connect(&session_, &UartSession::operationEnded, this, &DeviceRunner::next,
            Qt::QueuedConnection);
}

DeviceRunner::~DeviceRunner() {
    task_.reset(); // the running sequence ends where it stands
}

std::uint64_t DeviceRunner::submit(DeviceOperationValue operation, Completion done) {
    const std::uint64_t id = nextId_++;
    queue_.push_back({id, std::move(operation), std::move(done)});
    if (!scheduled_) {
        scheduled_ = true;
        QMetaObject::invokeMethod(this, &DeviceRunner::next, Qt::QueuedConnection);
    }
    return id;
}

void DeviceRunner::stop() {
    if (running_) transfers_.stop();
}

void DeviceRunner::next() {
    scheduled_ = false;
    if (running_ || queue_.empty()) return;
    hold_.emplace(session_);
    if (!*hold_) { // another handler holds the link: operationEnded brings the runner back
        hold_.reset();
        return;
    }
    running_ = true;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    emit started(current_->id);
    task_ = run(current_->operation);
    task_.start(
        [this] { QMetaObject::invokeMethod(this, &DeviceRunner::complete, Qt::QueuedConnection); });
}

void DeviceRunner::complete() {
    OperationResult result = std::move(task_.result());
    task_.reset();
    Pending done = std::move(*current_);
    current_.reset();
    result.id = done.id;
    running_ = false;
    hold_.reset(); // the link is free for the next one (and for handlers that wait in place)
    if (done.done) done.done(result);
    emit finished(result);
    if (queue_.empty())
        emit becameIdle();
    else
        next();
}

LinkTask<OperationResult> DeviceRunner::run(DeviceOperationValue operation) {
    OperationResult r;
    SlotTransfer& t = transfers_;
    const auto* sequence = std::get_if<LinkSequence>(&operation);
    const bool transfer = sequence ? sequence->holdPoll
                                   : !std::holds_alternative<SetMode>(operation) &&
                                         !std::holds_alternative<QueryMode>(operation);
    if (transfer) session_.pollTimer().stop(); // the poll would only be skipped meanwhile
    if (const auto* read = std::get_if<ReadSlots>(&operation)) {
        if (read->bracketed)
            co_await t.BeginAsync();
        else
            t.Start();
        for (const SlotSelector slot : read->list) {
            if (t.lost()) break;
            const SlotRead one = co_await t.ReadAsync(slot);
            r.reads.push_back(one);
            if (read->untilIncomplete && !r.reads.back().complete()) break;
        }
        if (read->bracketed) co_await t.EndAsync();
    } else if (const auto* write = std::get_if<WriteSlot>(&operation)) {
        co_await t.BeginAsync();
        r.write = co_await t.WriteVerifiedAsync(write->slot, write->image, write->options);
        co_await t.EndAsync();
    } else if (const auto* copy = std::get_if<CopySlot>(&operation)) {
        co_await t.BeginAsync();
        const SlotRead source = co_await t.ReadAsync(copy->source);
        r.reads.push_back(source);
        // an incomplete or invalid EDID is not copied
        if (source.complete() && ValidateImage(source.image, r.copyStatus))
            r.write = co_await t.WriteVerifiedAsync(copy->destination, source.image, copy->options);
        co_await t.EndAsync();
    } else if (const auto* mode = std::get_if<SetMode>(&operation)) {
        t.Start();
        if (mode->report) {
            r.mode = co_await t.SetModeAndReportAsync(mode->mode);
            r.modeTaken = r.mode == mode->mode;
        } else {
            r.modeTaken = co_await t.SetModeAsync(mode->mode);
        }
    } else if (sequence) {
        t.Start();
        r = co_await sequence->run(t);
    } else {
        t.Start();
        r.mode = co_await t.QueryModeAsync();
    }
    if (transfer && session_.isConnected()) session_.pollTimer().start();
    r.stopped = t.stopped();
    r.lost = !r.stopped && (t.lost() || !session_.isConnected());
    if (r.stopped)
        r.failure = "stopped";
    else if (r.lost)
        r.failure = "the device was lost";
    co_return r;
}

} // namespace tavo
