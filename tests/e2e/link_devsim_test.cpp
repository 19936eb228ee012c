// The serial link on a window against the simulated device over real pseudo-terminals: search,
// ISP mode, two devices, split, corrupted and flooded answers, a device that hangs up, and the
// disconnect.
#include <QProcess>
#include <QtTest>

#include "support/DevSim.h"

#include "link/Response.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/UartController.h"
#include "support/LinkTestForm.h"

namespace link_devsim_test {

using namespace tavo;
using tavo::testing::LinkTestForm;

// One simulated device: its pseudo-terminal path is the first line it prints.
using Sim = tavo::testing::DevSim;

// The main window on the serial ports `ports`.
struct Rig {
    LinkTestForm form;
    UartController& controller = form.controller();
    DeviceTable& devices = form.state.deviceTable;

    explicit Rig(const QStringList& ports) {
        qputenv("TAVO_SERIAL_PORTS", ports.join(':').toLocal8Bit());
    }
    UartSession& s() { return controller.session(); }
};

// The search finds the device and fills its row, lists and Mode Select buttons; the poll then
// shows its mode.
void FindsAndFillsItsRow(const Sim& sim) {
    QVERIFY(!sim.path.isEmpty());
    Rig rig({sim.path});
    rig.form.search->click();
    QVERIFY(rig.s().isConnected());
    QCOMPARE(rig.form.row(1), (QStringList{"1", sim.path, "Bench Matrix", " Rack 2 ", "NC", "NC"}));
    QVERIFY(rig.form.log().contains("Got One Device!"));
    QCOMPARE(rig.form.items("ComboBox_EdidSel_All").size(), 11);
    QCOMPARE(rig.form.combo("ComboBox_EdidSel_Src")->currentIndex(), 3);
    QCOMPARE(rig.form.enabledModeButtons().size(), 6);
    QVERIFY(!rig.form.log().contains("CRC Error!"));
    // the status poll asks for the mode and shows it: mode 4 is user slot 1 here
    QTRY_COMPARE_WITH_TIMEOUT(rig.form.checkedModeButton(), QString("RadioButton_Set_UserEdid1"),
                              5000);
    QCOMPARE(int(rig.devices.records[0].inputs[0].currentMode), 4);
}

class LinkDevsimTest : public QObject {
    Q_OBJECT
private slots:
    // From a device that answers at once and from one whose every answer comes 150 ms late.
    void searchFindsTheSimulatorAndFillsItsRow() {
        for (const char* delay : {"0", "150"}) {
            Sim sim({"--product", "Bench Matrix", "--description", "Rack 2", "--inputs", "2",
                     "--outputs", "1", "--users", "2", "--internals", "3", "--mode", "4",
                     "--delay-ms", delay});
            FindsAndFillsItsRow(sim);
            if (QTest::currentTestFailed()) return qWarning("with --delay-ms %s", delay);
        }
    }

    void ispDeviceShowsItsBanner() {
        Sim sim({"--isp", "--isp-banner", "Loader 2.0"});
        Rig rig({sim.path});
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        const QString banner = "Loader 2.0"; // without the line's CRC and LF
        QCOMPARE(rig.form.row(1), (QStringList{"1", sim.path, banner, "ISP Mode", "NC", "NC"}));
        QCOMPARE(rig.form.firmware->height(), 175);
        QCOMPARE(int(rig.s().link().ispFlag), 1);
    }

    void withTwoDevicesOnlyTheFirstIsConnected() {
        Sim first({"--product", "First"}), second({"--product", "Second"});
        Rig rig({QStringLiteral("/dev/tavo-absent"), first.path, second.path});
        rig.controller.BitBtn_SearchClick();
        QCOMPARE(rig.form.cell(1, 2), QString("First"));
        QVERIFY(rig.form.log().contains("Open /dev/tavo-absent Failed."));
        QVERIFY(!rig.form.log().contains("Check " + second.path));
        QCOMPARE(rig.s().portName(), first.path);
        QCOMPARE(rig.devices.count, 1);
    }

    void splitAndLateAnswersAreAssembled() {
        Sim sim({"--internals", "3", "--mode", "2", "--fault", "split:RXEDMD:pieces=3,ms=30"});
        Rig rig({sim.path});
        rig.controller.BitBtn_SearchClick();
        rig.s().pollTimer().stop();
        rig.controller.Timer_Poll_StatusTimer(); // the answer comes in three pieces 30 ms apart
        QTRY_COMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_IntEdid3"));
        QVERIFY(!rig.form.log().contains("CRC Error!"));
    }

    void corruptedAnswersAreRejected() {
        Sim sim({"--product", "Crc Dev", "--fault", "badcrc:SYS_DSCPT:1", "--fault",
                 "lowercrc:RXEDMD:1", "--mode", "1", "--internals", "3"});
        Rig rig({sim.path});
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        QCOMPARE(rig.form.log().count("CRC Error!"), 1);
        QCOMPARE(rig.form.cell(1, 2), QString()); // the descriptor never arrived
        QCOMPARE(rig.form.combo("ComboBox_EdidSel_All")->count(), 0);
        rig.s().pollTimer().stop();
        // lower-case CRC digits are an error too (when the CRC has letters at all)
        const std::string good = MakeResponseLine("1\x0C");
        const bool letters = good.find_first_of("ABCDEF", good.size() - 5) != std::string::npos;
        rig.controller.Timer_Poll_StatusTimer();
        QTRY_COMPARE(rig.form.log().count("CRC Error!"), letters ? 2 : 1);
        QTRY_VERIFY(rig.s().pollTimer().isActive()); // back on after the bad answer
        rig.s().pollTimer().stop();
        rig.controller.Timer_Poll_StatusTimer(); // the next answer is good
        QTRY_COMPARE(int(rig.devices.records[0].inputs[0].currentMode), 1);
    }

    void aFloodIsSurvived() {
        Sim sim({"--internals", "3", "--mode", "1", "--fault", "flood:RXEDMD:count=1,bytes=5000"});
        Rig rig({sim.path});
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        rig.s().pollTimer().stop();
        rig.controller.Timer_Poll_StatusTimer();
        UartSession::Uart_Wait(300);
        QVERIFY(rig.s().link().rxCount <= kRxBufferSize);
        QVERIFY(rig.s().isConnected());
        rig.controller.Timer_Poll_StatusTimer();
        QTRY_COMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_IntEdid2"));
    }

    void aHangUpLeadsToTheDisconnectedState() {
        // ENTRANCE, SYS_DSCPT, ND_SEL, ND_DSCPT; the fifth request (a poll) kills the port
        Sim sim({"--hangup-after", "5"});
        Rig rig({sim.path});
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        rig.controller.Timer_Poll_StatusTimer();
        QTRY_VERIFY(!rig.s().isConnected());
        UartSession::Uart_Wait(200); // let any further errors of the dead port arrive
        QCOMPARE(rig.form.log().count("Device Lost."), 1);
        QVERIFY(rig.form.search->isEnabled());
        QVERIFY(!rig.form.disconnect->isEnabled());
        QCOMPARE(rig.form.row(1), (QStringList{"", "", "", "", "", ""}));
        QVERIFY(!rig.s().rxTimer().isActive());
        QVERIFY(!rig.s().pollTimer().isActive());
        rig.controller.Timer_Poll_StatusTimer(); // nothing to write to
        rig.form.search->click();                // and the port is gone
        QVERIFY(!rig.s().isConnected());
    }

    void disconnectClearsEverything() {
        Sim sim;
        Rig rig({sim.path});
        rig.form.search->click();
        QVERIFY(rig.s().isConnected());
        QVERIFY(!rig.form.enabledModeButtons().isEmpty());
        rig.form.disconnect->click();
        QVERIFY(!rig.s().transport().isOpen());
        QVERIFY(rig.form.search->isEnabled());
        QVERIFY(!rig.form.disconnect->isEnabled());
        QCOMPARE(rig.form.enabledModeButtons(), QStringList{});
        QCOMPARE(rig.form.combo("ComboBox_EdidSel_Upload")->count(), 0);
        QCOMPARE(rig.form.row(1), (QStringList{"", "", "", "", "", ""}));
        QCOMPARE(rig.devices.count, 0);
        QCOMPARE(int(rig.s().link().flags), 0);
        // the simulator is free for the next search
        rig.form.search->click();
        QVERIFY(rig.s().isConnected());
    }
};

} // namespace link_devsim_test

QTEST_MAIN(link_devsim_test::LinkDevsimTest)
#include "link_devsim_test.moc"
