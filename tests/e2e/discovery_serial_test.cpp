// One simulator with a serial device and networked devices, one "Search": the networked devices
// and the serial device share the grid; selecting the serial row refreshes its port descriptors
// over the link and lays out "Mode Select"; selecting a network row shows "IP Configure".
#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "support/DevSim.h"
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/UdpEndpoints.h"
#include "edid/EdidImage.h"
#include "link/qt/UartController.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"

namespace discovery_serial_test {

using namespace tavo;

using Sim = tavo::testing::DevSim;

class DiscoverySerialTest : public QObject {
    Q_OBJECT

private slots:
    void serialAndNetworkRowsAreSelected() {
        Sim sim({"--internals", "3", "--users", "5", "--inputs", "2", "--outputs", "1",
                 "--copy-panel", "0", "--net", "2"});
        QVERIFY(sim.path.startsWith("/dev/"));
        qputenv("TAVO_SERIAL_PORTS", sim.path.toLocal8Bit());

        tavo::test::RecordingDialogs dialogs;
        tavo::test::ScopedDialogs installed(&dialogs);
        AppState state;
        TForm1 form(state);
        QVERIFY(!form.TerminateRequested());
        QVERIFY(form.Uart);
        UartController& uart = *form.Uart; // the window's own link, as the product wires it

        form.BitBtn_Search->click();
        QVERIFY(uart.session().isConnected());
        QTRY_COMPARE(state.deviceTable.count, 3);
        int serialRow = 0, netRow = 0;
        for (int r = 1; r <= 3; ++r) {
            if (form.StringGrid1->Cell(r, 1) == sim.path) serialRow = r;
            if (form.StringGrid1->Cell(r, 1) == "ETHERNET") netRow = r;
        }
        QVERIFY(serialRow > 0);
        QVERIFY(netRow > 0);
        QCOMPARE(sim.Log().count("ND_DSCPT"), 1); // the search reads input 1

        form.Grid->StringGrid1SelectCell(0, serialRow);
        // the descriptors again: inputs 1 and 2, output 1
        QCOMPARE(sim.Log().count("ND_DSCPT"), 4);
        QCOMPARE(sim.Log().count("ND_SEL"), 4);
        QCOMPARE(form.findChild<QGroupBox*>("GroupBox12")->height(), 121);
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(
                form.findChild<QWidget*>(QString("RadioButton_Set_IntEdid%1").arg(n))->isHidden(),
                n > 3);
            QCOMPARE(
                form.findChild<QWidget*>(QString("RadioButton_Set_UserEdid%1").arg(n))->isHidden(),
                n > 5);
        }
        QVERIFY(!form.findChild<QWidget*>("Label30")->isHidden());
        QVERIFY(
            form.findChild<QFrame*>("Panel52")->isHidden()); // the device does not offer the copy
        QCOMPARE(form.findChild<QLabel*>("Label_FW_Version")->text(),
                 QString("Current :   VID-5441    PID-0401    Version-1.00"));
        QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet1);
        QVERIFY(!form.PageControl1->isTabVisible(form.PageControl1->indexOf(form.TabSheet10)));
        QVERIFY(form.Form3->isVisible());
        QCOMPARE(state.deviceTable.current, serialRow - 1);

        form.Grid->StringGrid1SelectCell(0, netRow);
        QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet10);
        QVERIFY(form.findChild<QLabel*>("Label_MAC_Addr")->text().startsWith("02:44:53:4E:00:0"));
        QCOMPARE(sim.Log().count("ND_DSCPT"), 4); // nothing sent for a network row
    }
};

} // namespace discovery_serial_test

QTEST_MAIN(discovery_serial_test::DiscoverySerialTest)
#include "discovery_serial_test.moc"
