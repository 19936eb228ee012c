// The sender over a real pseudo-terminal: the exact bytes on the wire, the poll timer during and
// after a send, and how a port held by someone else is reported.
#include <QSocketNotifier>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/Crc16.h"
#include "link/qt/SerialTransport.h"
#include "link/qt/UartSession.h"

namespace link_send_test {

using namespace tavo;

// The device end of a pseudo-terminal, read as the bytes come.
struct Pty {
    int master = -1;
    QString path;
    QByteArray received;
    std::unique_ptr<QSocketNotifier> notifier;

    Pty() {
        int slave = -1;
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        ::close(slave); // the link opens it by its path
        path = QString::fromLocal8Bit(name);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
    }
    ~Pty() {
        notifier.reset();
        if (master >= 0) ::close(master);
    }
    void drain() {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            received.append(buf, n);
        }
    }
    QByteArray take() {
        drain();
        return std::exchange(received, {});
    }
    // What has arrived so far, left in place (for polling comparisons).
    const QByteArray& peek() {
        drain();
        return received;
    }
};

class LinkSendTest : public QObject {
    Q_OBJECT
private slots:
    void framesReachTheWireByteForByte() {
        Pty pty;
        QVERIFY(!pty.path.isEmpty());
        DeviceTable devices;
        EdidImage transfer{};
        UartSession s(devices, transfer);
        QVERIFY(s.transport().open(pty.path).ok());
        QVERIFY(s.transport().configure());

        const std::uint8_t input1[] = {0x00, 0x00}, user1[] = {0x20, 0x00}, mode3[] = {0x03};
        const struct {
            std::uint8_t mode;
            std::uint16_t cmd;
            std::uint16_t length;
            const std::uint8_t* data;
            QByteArray wire;
        } cases[] = {
            {kModeGet, SYS_DSCPT, 0, nullptr, "$GET SYS_DSCPT FFFF\r\n"},
            {kModeSet, ND_SEL, 2, input1, "$SET ND_SEL 00004E5C\r\n"},
            {kModeSet, ND_SEL, 2, user1, "$SET ND_SEL 2000772A\r\n"},
            {kModeSet, RXEDMD, 1, mode3, "$SET RXEDMD 034502\r\n"},
            {kModeGet, RXEDMD, 2, mode3, "$GET RXEDMD FFFF\r\n"}, // a GET carries no payload
            {kModeGet, ENTRANCE, 0, nullptr, " \r$ENTRANCE FFFF\r\n"},
        };
        for (const auto& c : cases) {
            s.Uart_SendCommand(c.mode, c.cmd, c.length, c.data);
            QTRY_COMPARE(pty.peek(), c.wire);
            pty.take();
        }
    }

    void entrancePausesBetweenItsTwoWrites() {
        Pty pty;
        DeviceTable devices;
        EdidImage transfer{};
        UartSession s(devices, transfer);
        QVERIFY(s.transport().open(pty.path).ok());
        QByteArray seenDuringPause;
        // look at the wire while the 160 ms pause runs
        QTimer::singleShot(80, [&] { seenDuringPause = pty.take(); });
        s.Uart_SendCommand(kModeGet, ENTRANCE);
        QCOMPARE(seenDuringPause, QByteArray(" \r"));
        QTRY_COMPARE(pty.peek(), QByteArray("$ENTRANCE FFFF\r\n"));
    }

    void pollIsOffDuringASendAndOnAfterASet() {
        Pty pty;
        DeviceTable devices;
        EdidImage transfer{};
        UartSession s(devices, transfer);
        QVERIFY(s.transport().open(pty.path).ok());
        s.pollTimer().start();
        const std::uint8_t mode[] = {0x02};
        bool activeDuring = true;
        QTimer::singleShot(5, [&] { activeDuring = s.pollTimer().isActive(); });
        s.Uart_SendCommand(kModeSet, RXEDMD, 1, mode);
        QVERIFY(!activeDuring);
        QVERIFY(s.pollTimer().isActive());
        QCOMPARE(s.link().expectedCommand, std::uint16_t(RXEDMD));
        QCOMPARE(int(s.link().lastSendMode), int(kModeSet));
        // a GET leaves it off: the response handler turns it on
        s.Uart_SendCommand(kModeGet, RXEDMD);
        QVERIFY(!s.pollTimer().isActive());
        const QByteArray crc = QByteArray::fromStdString(CrcText(Uart_Crc16("02")));
        QTRY_COMPARE(pty.peek(), "$SET RXEDMD 02" + crc + "\r\n$GET RXEDMD FFFF\r\n");
    }

    void aPortHeldElsewhereIsReportedInUse() {
        Pty pty;
        SerialTransport first, second;
        QVERIFY(first.open(pty.path).ok());
        const OpenResult r = second.open(pty.path);
        QVERIFY(!r.ok());
        QCOMPARE(int(r.failure), int(OpenFailure::InUse));
        QVERIFY(OpenFailureText(r).contains("in use"));
        QCOMPARE(int(second.open("/dev/tavo-no-such-port").failure), int(OpenFailure::NotFound));
        first.close();
        QVERIFY(second.open(pty.path).ok());
    }

    void aClosedPortTakesNoWritesAndNoWaits() {
        DeviceTable devices;
        EdidImage transfer{};
        UartSession s(devices, transfer);
        s.Uart_SendCommand(kModeSet, SYS_DEF, 1, reinterpret_cast<const std::uint8_t*>("\x01"));
        QVERIFY(!s.pollTimer().isActive());
        QCOMPARE(s.link().expectedCommand, std::uint16_t(SYS_DEF));
    }
};

} // namespace link_send_test

QTEST_MAIN(link_send_test::LinkSendTest)
#include "link_send_test.moc"
