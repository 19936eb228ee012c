#include "link/qt/SerialTransport.h"

#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <unistd.h>

namespace tavo {

SerialTransport::SerialTransport(QObject* parent) : LinkTransport(parent) {
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

SerialTransport::~SerialTransport() {
    port_.close();
}

OpenResult SerialTransport::open(const QString& path) {
    OpenResult result;
    close();
    path_ = path;
    port_.setPortName(path);
    // QSerialPort takes the port exclusively (a lock file and TIOCEXCL)
    if (port_.open(QIODevice::ReadWrite)) {
        failurePending_ = false;
        return result;
    }
    result.detail = port_.errorString();
    switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
        result.failure = OpenFailure::NotFound;
        break;
    case QSerialPort::OpenError:
        result.failure = OpenFailure::InUse;
        break;
    case QSerialPort::PermissionError: {
        // "permission error" covers both a device we may not open and one another program holds
        // (its lock file, or an exclusive open): the access rights tell them apart
        const QByteArray local = QFileInfo(path).absoluteFilePath().toLocal8Bit();
        const bool mayOpen = ::access(local.constData(), R_OK | W_OK) == 0;
        if (!mayOpen && (errno == EACCES || errno == EPERM))
            result.failure = OpenFailure::PermissionDenied;
        else if (!mayOpen && errno == ENOENT)
            result.failure = OpenFailure::NotFound;
        else
            result.failure = OpenFailure::InUse;
        break;
    }
    default:
        result.failure = OpenFailure::Other;
        break;
    }
    port_.clearError();
    return result;
}

bool SerialTransport::configure() {
    if (!port_.isOpen()) return false;
    return port_.setBaudRate(QSerialPort::Baud115200) && port_.setDataBits(QSerialPort::Data8) &&
           port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop);
}

void SerialTransport::close() {
    if (port_.isOpen()) port_.close();
    port_.clearError();
}

qint64 SerialTransport::write(const QByteArray& bytes) {
    if (!port_.isOpen()) return -1;
    return port_.write(bytes);
}

qint64 SerialTransport::bytesAvailable() const {
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray SerialTransport::read(qint64 maxBytes) {
    if (!port_.isOpen() || maxBytes <= 0) return {};
    return port_.read(maxBytes);
}

void SerialTransport::clearInput() {
    if (!port_.isOpen()) return;
    port_.readAll(); // what the port object has buffered already
    port_.clear(QSerialPort::Input);
}

void SerialTransport::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        return;
    default:
        break;
    }
    if (!port_.isOpen() || failurePending_) return;
    // A vanishing port raises error after error; report it once, and only after the port object
    // has left the read or write that raised it.
    failurePending_ = true;
    const QString reason = port_.errorString();
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (port_.isOpen()) emit failed(reason);
        },
        Qt::QueuedConnection);
}

} // namespace tavo
