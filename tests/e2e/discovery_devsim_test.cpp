// The main window against the simulator's networked devices over real UDP (in this test's own
// network namespace): the discovery request lists them once each, the table limit holds, and a
// configuration sent from "IP Configure" changes the device, whose next announcement shows it.
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/UdpEndpoints.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"

namespace discovery_devsim_test {

using namespace tavo;

// The simulator with only its networked devices; its first output line says it is ready.
struct NetSim {
    QTemporaryDir dir;
    QProcess process;
    QString logPath;

    explicit NetSim(int devices) {
        logPath = dir.filePath("devsim.log");
        process.setProgram(QStringLiteral(TAVO_BINARY_DIR "/tools/devsim/tavo-devsim"));
        process.setArguments({"--net", QString::number(devices), "--net-only", "--log", logPath});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000)) return;
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        ready = process.readLine().trimmed() == "net";
    }
    ~NetSim() {
        process.terminate();
        if (!process.waitForFinished(3000)) process.kill();
        process.waitForFinished(1000);
    }
    QString Log() const {
        QFile f(logPath);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    bool ready = false;
};

class DiscoveryDevsimTest : public QObject {
    Q_OBJECT

private:
    tavo::test::RecordingDialogs dialogs_;
    std::unique_ptr<tavo::test::ScopedDialogs> installed_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<TForm1> form_;

    StringGrid* cells() { return form_->StringGrid1; }
    int count() const { return state_->deviceTable.count; }
    // What a search does on the network side: the list emptied, the request sent. Then waits
    // until each of `devices` devices has answered both the broadcast and the group, so that no
    // answer to this search arrives during the next one.
    void Search(int devices) {
        QSignalSpy received(form_->Udp, &UdpEndpoints::datagramReceived);
        state_->deviceTable.count = 0;
        cells()->SetRowCount(2);
        for (int c = 0; c < 6; ++c)
            cells()->SetCell(1, c, QString());
        QCOMPARE(form_->Udp->SendDiscoveryRequest(), 2);
        QTRY_COMPARE(received.size(), 2 * devices);
    }

private slots:
    void init() {
        installed_ = std::make_unique<tavo::test::ScopedDialogs>(&dialogs_);
        state_ = std::make_unique<AppState>();
        form_ = std::make_unique<TForm1>(*state_);
        QVERIFY(!form_->TerminateRequested());
        QVERIFY(form_->Udp->JoinedGroup());
    }
    void cleanup() {
        form_.reset();
        state_.reset();
        installed_.reset();
    }

    void theRequestListsEachDeviceOnce() {
        NetSim sim(3);
        QVERIFY(sim.ready);
        QSignalSpy rows(form_->Grid, &DeviceGrid::rowAdded);
        Search(3);
        // every device answered the broadcast and the group: six announcements, three rows
        QCOMPARE(sim.Log().count("request: 3 announcements"), 2);
        QCOMPARE(count(), 3);
        QCOMPARE(rows.size(), 3);
        QStringList products;
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(cells()->Cell(r, 0), QString::number(r));
            QCOMPARE(cells()->Cell(r, 1), QString("ETHERNET"));
            products << cells()->Cell(r, 2);
        }
        products.sort();
        QCOMPARE(products, (QStringList{"DevSim Net 1", "DevSim Net 2", "DevSim Net 3"}));
    }

    void noMoreRowsThanTheTablesHold() {
        NetSim sim(25);
        QVERIFY(sim.ready);
        Search(25);
        QCOMPARE(count(), kMaxDevices);
        QCOMPARE(cells()->RowCount(), kMaxDevices + 1);
        QCOMPARE(form_->Memo_Debug->toPlainText().count("Device list full"), 1);
    }

    void aConfigurationChangesTheDevice() {
        NetSim sim(2);
        QVERIFY(sim.ready);
        Search(2);
        QCOMPARE(count(), 2);
        const int row = cells()->Cell(1, 5) == "02:44:53:4E:00:02" ? 1 : 2;
        form_->Grid->StringGrid1SelectCell(0, row);
        QVERIFY(form_->Form3->isVisible());
        auto* ip = form_->findChild<QLineEdit*>("Edit_IP_Address");
        QCOMPARE(ip->text(), QString("192.168.1.11"));
        ip->setText("10.20.30.40");
        form_->findChild<QLineEdit*>("Edit_Telnet_Port")->setText("2323");
        form_->findChild<QAbstractButton*>("SpeedButton2")->click();
        QTRY_VERIFY(sim.Log().contains("configuration for 02:44:53:4E:00:02 applied: static "
                                       "10.20.30.40 255.255.255.0 192.168.1.1 192.168.1.1 web "
                                       "8080 telnet 2323"));

        // the page keeps what was sent; a new search shows what the device now announces
        Search(2);
        QCOMPARE(count(), 2);
        const int again = cells()->Cell(1, 5) == "02:44:53:4E:00:02" ? 1 : 2;
        QCOMPARE(cells()->Cell(again, 4), QString("10.20.30.40"));
        QCOMPARE(state_->netDeviceTable.records[std::size_t(again - 1)].telnetPort, 2323);
        QCOMPARE(cells()->Cell(3 - again, 4), QString("192.168.1.10"));

        // a bad address: a message on the page and nothing on the wire
        form_->Grid->StringGrid1SelectCell(0, again);
        form_->findChild<QLineEdit*>("Edit_DNS")->setText("1.2.three.4");
        form_->findChild<QAbstractButton*>("SpeedButton2")->click();
        QVERIFY(!form_->findChild<QLabel*>("Label_IpConfig_Status")->text().isEmpty());
        QTest::qWait(200);
        QCOMPARE(sim.Log().count("configuration for"), 1);
    }
};

} // namespace discovery_devsim_test

QTEST_MAIN(discovery_devsim_test::DiscoveryDevsimTest)
#include "discovery_devsim_test.moc"
