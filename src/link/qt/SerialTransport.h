#pragma once
// The link over a serial port (a pseudo-terminal path works the same way).
#include <QSerialPort>

#include "link/qt/LinkTransport.h"

namespace tavo {

class SerialTransport : public LinkTransport {
    Q_OBJECT
public:
    explicit SerialTransport(QObject* parent = nullptr);
    ~SerialTransport() override;

    OpenResult open(const QString& path) override;
    bool configure() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    qint64 write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    void clearInput() override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QString path_;
    bool failurePending_ = false;
};

} // namespace tavo
