#include "link/qt/MemoryTransport.h"

#include <QMetaObject>

namespace tavo {

OpenResult MemoryTransport::open(const QString& path) {
    close();
    if (busy.contains(path)) return {OpenFailure::InUse, QStringLiteral("busy")};
    if (denied.contains(path)) return {OpenFailure::PermissionDenied, QStringLiteral("denied")};
    if (!present.contains(path)) return {OpenFailure::NotFound, QStringLiteral("not found")};
    open_ = true;
    openPath = path;
    opened << path;
    writes.clear();
    pending_.clear();
    return {};
}

void MemoryTransport::close() {
    open_ = false;
    openPath.clear();
    pending_.clear();
}

qint64 MemoryTransport::write(const QByteArray& bytes) {
    if (!open_) {
        ++writesWhileClosed;
        return -1;
    }
    writes.append(bytes);
    if (onWrite) onWrite(bytes);
    return bytes.size();
}

QByteArray MemoryTransport::read(qint64 maxBytes) {
    if (!open_ || maxBytes <= 0) return {};
    const QByteArray out = pending_.left(maxBytes);
    pending_.remove(0, out.size());
    return out;
}

void MemoryTransport::fail(int count) {
    // every error is reported, as a port that vanishes reports them: the link must cope
    for (int i = 0; i < count; ++i)
        QMetaObject::invokeMethod(
            this, [this] { emit failed(QStringLiteral("hung up")); }, Qt::QueuedConnection);
}

} // namespace tavo
