#pragma once
// The byte pipe the link talks through: the serial port in the product, an in-memory pair in unit
// tests, a pseudo-terminal (through the serial implementation) end to end.
#include <QByteArray>
#include <QObject>
#include <QString>

namespace tavo {

// Why a port could not be opened, told apart for the operator.
enum class OpenFailure { None, PermissionDenied, InUse, NotFound, Other };

struct OpenResult {
    OpenFailure failure = OpenFailure::None;
    QString detail; // the system's own words, for the debug log
    bool ok() const { return failure == OpenFailure::None; }
};

// The debug-log line that explains a failed open, in plain words ("\r\n"-terminated).
QString OpenFailureText(const OpenResult& result);

class LinkTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~LinkTransport() override = default;

    // Opens the path for reading and writing, not shared with any other program.
    virtual OpenResult open(const QString& path) = 0;
    // 115200 baud, 8 data bits, no parity, 1 stop bit; false when the port rejects them.
    virtual bool configure() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes are only attempted on an open port; the result is what the port took (-1 closed).
    virtual qint64 write(const QByteArray& bytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Discards everything received and not yet read (the port's receive queue included).
    virtual void clearInput() = 0;

signals:
    // The open port failed (unplugged, the other end hung up, a read or write error). Emitted
    // once per burst of errors, from the event loop, never from inside a read or write.
    void failed(const QString& reason);
};

} // namespace tavo
