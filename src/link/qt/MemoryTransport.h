#pragma once
// An in-memory link for tests: the host side is an ordinary LinkTransport; the test plays the
// device through the peer functions (what the host wrote, bytes to deliver, a failure to raise).
#include <QStringList>
#include <functional>

#include "link/qt/LinkTransport.h"

namespace tavo {

class MemoryTransport : public LinkTransport {
    Q_OBJECT
public:
    explicit MemoryTransport(QObject* parent = nullptr) : LinkTransport(parent) {}

    OpenResult open(const QString& path) override;
    bool configure() override { return open_ && configurable_; }
    void close() override;
    bool isOpen() const override { return open_; }
    qint64 write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return open_ ? pending_.size() : 0; }
    QByteArray read(qint64 maxBytes) override;
    void clearInput() override { pending_.clear(); }

    // ---- the device's side
    // Paths that open; any other path fails as not found. A path in `busy` fails as in use, one
    // in `denied` as permission denied.
    QStringList present, busy, denied;
    QStringList opened; // every path opened, in order
    bool configurable_ = true;
    // Called with every write the host makes (one call per write).
    std::function<void(const QByteArray&)> onWrite;
    void deliver(const QByteArray& bytes) { pending_ += bytes; }
    // Raises the port failure `count` times in a row (a vanishing port raises many).
    void fail(int count = 1);

    QString openPath;         // the path that is open
    QList<QByteArray> writes; // every write since the last open, in order
    int writesWhileClosed = 0;

private:
    bool open_ = false;
    QByteArray pending_;
};

} // namespace tavo
