// The serial link on a window, against an in-memory device: search and connection, the receive
// tick, answer handling, the poll, a lost port and the disconnect.
#include <QSignalSpy>
#include <QtTest>

#include "link/Crc16.h"
#include "link/Response.h"
#include "link/qt/MemoryTransport.h"
#include "link/qt/UartController.h"
#include "support/LinkTestForm.h"
#include "support/MemoryDevice.h"
#include "support/RecordingDialogs.h"

namespace link_controller_test {

using namespace tavo;
using tavo::test::MemoryDevice;
using tavo::testing::LinkTestForm;

QByteArray Line(const std::string& body) {
    const std::string l = MakeResponseLine(body);
    return QByteArray(l.data(), static_cast<qsizetype>(l.size()));
}

// The scripted device as this test knows it: 2 inputs, 1 output, 2 user and 3 internal slots, the
// mode polled and selectable, mode 1 at first.
void Script(MemoryDevice& device) {
    device.vid = "0x1A2B";
    device.pid = "0x0042";
    device.product = "Matrix 4K";
    device.description = "Lab bench";
    device.version = "V2.1";
    device.inputs = 2;
    device.outputs = 1;
    device.users = 2;
    device.internals = 3;
    device.modePoll = true;
    device.mode = 1;
}

struct Rig {
    MemoryDevice device;
    MemoryTransport* transport = device.transport; // owned by the window's session
    LinkTestForm form{transport};
    UartController& controller = form.controller();
    DeviceTable& devices = form.state.deviceTable;
    QStringList discoveries;

    Rig() {
        Script(device);
        controller.setDiscoverySender([this] { discoveries << "sent"; });
    }
    UartSession& s() { return controller.session(); }
};

class LinkControllerTest : public QObject {
    Q_OBJECT
private slots:
    void init() { qputenv("TAVO_SERIAL_PORTS", "/dev/none0:/dev/fake0:/dev/fake1"); }

    void searchConnectsTheFirstAnsweringPort() {
        Rig rig;
        rig.transport->present = {"/dev/fake0", "/dev/fake1"};
        rig.form.grid->setRowCount(3);
        rig.form.grid->setItem(2, 2, new QTableWidgetItem("old row"));
        rig.form.search->click();

        QCOMPARE(rig.discoveries.size(), 1);
        QCOMPARE(rig.transport->opened, QStringList{"/dev/fake0"}); // fake1 is never tried
        const QString log = rig.form.log();
        QVERIFY(log.contains("Open /dev/none0 Failed."));
        QVERIFY(log.contains("No such port."));
        QVERIFY(log.indexOf("Check /dev/fake0") < log.indexOf("Got One Device!"));
        QVERIFY(log.contains("$ACCEPT")); // received bytes go to the log
        QCOMPARE(rig.form.row(1),
                 (QStringList{"1", "/dev/fake0", "Matrix 4K", " Lab bench ", "NC", "NC"}));
        QCOMPARE(rig.form.grid->rowCount(), 1); // device count + 1 grid rows, header included
        QVERIFY(!rig.form.search->isEnabled());
        QVERIFY(rig.form.disconnect->isEnabled());
        QCOMPARE(rig.form.glyph("SpeedButton_OpenEdid"), std::string("OpenColor"));
        QCOMPARE(rig.form.glyph("SpeedButton_AnalysisEdid"), std::string("AnalysisColor"));
        QCOMPARE(rig.form.glyph("SpeedButton_CopyEdid_Src2Dest"), std::string("CopyLeftColor"));
        QCOMPARE(rig.form.firmware->height(), 48);
        QCOMPARE(rig.form.items("ComboBox_EdidSel_All").size(), 11);
        QCOMPARE(rig.form.combo("ComboBox_EdidSel_Src")->currentIndex(), 3);
        QCOMPARE(rig.form.items("ComboBox_EdidSel_Dest"),
                 (QStringList{"Input 1", "Input 2", "----------------", "User 1", "User 2"}));
        QCOMPARE(rig.form.combo("ComboBox_EdidSel_Upload")->currentIndex(), 0);
        QCOMPARE(rig.form.enabledModeButtons(),
                 (QStringList{"RadioButton_Set_ExtEdid1", "RadioButton_Set_IntEdid1",
                              "RadioButton_Set_IntEdid2", "RadioButton_Set_IntEdid3",
                              "RadioButton_Set_UserEdid1", "RadioButton_Set_UserEdid2"}));
        QCOMPARE(rig.device.RequestLines(), (QStringList{"$ENTRANCE ", "$GET SYS_DSCPT ",
                                                         "$SET ND_SEL 0000", "$GET ND_DSCPT "}));
        const DeviceRecord& r = rig.devices.records[0];
        QCOMPARE(rig.devices.count, 1);
        QCOMPARE(int(r.serialDevice), 1);
        QCOMPARE(int(r.inputs[0].currentMode), 0xFF);
        QCOMPARE(int(r.inputs[0].modePoll), 1);
        QVERIFY(rig.s().rxTimer().isActive());
        QVERIFY(rig.s().pollTimer().isActive());
        QVERIFY(rig.s().isResumed());
        QCOMPARE(rig.form.window->cursor().shape(), Qt::ArrowCursor);
    }

    void ispDeviceGetsItsBannerRow() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        rig.device.handshake = Line("$ISP029 Loader 1.3");
        rig.controller.BitBtn_SearchClick();
        const QString log = rig.form.log();
        QVERIFY(log.contains("No Device Detected."));
        QVERIFY(!log.contains("Got One Device!"));
        const QString banner = " Loader 1.3"; // without the line's CRC and LF
        QCOMPARE(rig.form.row(1), (QStringList{"1", "/dev/fake0", banner, "ISP Mode", "NC", "NC"}));
        QCOMPARE(rig.form.firmware->height(), 175);
        QVERIFY(rig.s().link().flags & kLinkIspDevice);
        QCOMPARE(int(rig.s().link().ispFlag), 1);
        QVERIFY(rig.form.disconnect->isEnabled());
        QVERIFY(rig.s().rxTimer().isActive());
        QCOMPARE(rig.device.RequestLines(),
                 QStringList{"$ENTRANCE "}); // no descriptors in ISP mode
    }

    void silentPortsAreClosedAndOpenFailuresExplained() {
        Rig rig;
        rig.transport->present = {"/dev/fake0", "/dev/fake1"};
        rig.transport->busy = {"/dev/none0"};
        rig.transport->denied = {"/dev/fake1"};
        rig.device.handshake = "garbage\n";
        rig.controller.BitBtn_SearchClick();
        const QString log = rig.form.log();
        QVERIFY(log.contains("Open /dev/none0 Failed.\nThe port is in use by another program."));
        QVERIFY(
            log.contains("Open /dev/fake1 Failed.\nPermission denied: join the 'dialout' group"));
        QVERIFY(log.contains("No Device Detected."));
        QVERIFY(!rig.transport->isOpen());
        QVERIFY(!rig.s().rxTimer().isActive());
        QVERIFY(!rig.s().pollTimer().isActive());
        QVERIFY(rig.form.search->isEnabled());
        QVERIFY(!rig.form.disconnect->isEnabled());
        QCOMPARE(rig.devices.count, 0);
        QCOMPARE(rig.form.window->cursor().shape(), Qt::ArrowCursor);
        // "Disconnect" with no open port does nothing
        QVERIFY(!rig.s().Uart_Disconnect());
    }

    // The receive tick driven by hand: what arrives between ticks.
    void receiveTicksAssembleSplitAnswersAndRejectBadOnes() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        rig.s().rxTimer().stop();
        rig.transport->onWrite = nullptr; // the test answers itself now
        auto& link = rig.s().link();

        rig.s().Uart_SendCommand(kModeGet, RXEDMD);
        QVERIFY(!rig.s().pollTimer().isActive()); // a GET leaves the poll off
        const QByteArray answer = Line("3\x0C");
        rig.transport->deliver(answer.left(2));
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(link.expectedCommand, std::uint16_t(RXEDMD));
        rig.transport->deliver(answer.mid(2, 3));
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(rig.form.checkedModeButton(), QString());
        rig.transport->deliver(answer.mid(5));
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_ExtEdid1")); // N=3: mode 3
        QCOMPARE(link.expectedCommand, std::uint16_t(ENTRANCE));
        QVERIFY(rig.s().pollTimer().isActive());

        // lower-case CRC digits: "CRC Error!" on a line of its own, the poll back on
        rig.s().Uart_SendCommand(kModeGet, RXEDMD);
        QByteArray lower = Line("5\x0C");
        for (int i = lower.size() - 5; i < lower.size() - 1; ++i)
            lower[i] = char(tolower(lower[i]));
        const bool hasLetters = lower != Line("5\x0C");
        rig.transport->deliver(hasLetters ? lower
                                          : QByteArray("5\x0C"
                                                       "0000\n"));
        rig.controller.Timer_UART_RxTimer();
        QVERIFY(rig.form.log().endsWith("\nCRC Error!"));
        QVERIFY(rig.s().pollTimer().isActive());
        QCOMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_ExtEdid1"));
        QCOMPARE(link.expectedCommand, std::uint16_t(RXEDMD));
        // a good line afterwards is still handled against RXEDMD
        rig.transport->deliver(Line("4\x0C"));
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_UserEdid1"));
    }

    void floodAndOverflowNeverRunPastTheBuffer() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        rig.controller.BitBtn_SearchClick();
        rig.s().rxTimer().stop();
        rig.transport->onWrite = nullptr;
        auto& link = rig.s().link();
        rig.s().Uart_SendCommand(kModeGet, RXEDMD);
        rig.transport->deliver("ab");
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(link.rxCount, 2u);
        rig.transport->deliver(QByteArray(3000, 'x'));
        rig.controller.Timer_UART_RxTimer(); // flood: 16 bytes over the start, the rest discarded
        QCOMPARE(link.rxCount, 2u);
        QCOMPARE(rig.transport->bytesAvailable(), 0);
        QCOMPARE(QByteArray(link.rxBuffer.data(), 16), QByteArray(16, 'x'));
        // 1024 bytes do fit a tick, but not after the two already there
        rig.transport->deliver(QByteArray(1023, 'y') + "\n");
        rig.controller.Timer_UART_RxTimer();
        QCOMPARE(link.rxCount, 1024u);
        QCOMPARE(link.rxBuffer[1024], '\0');
        QVERIFY(rig.form.log().contains("Receive buffer full, 2 bytes dropped."));
        QVERIFY(!(link.flags & kLinkResponseWaiting)); // its LF was dropped
        QVERIFY(rig.s().isConnected());
    }

    void pollAsksForTheModeOnlyWhenInput1WantsIt() {
        for (const char* poll : {"T", "F"}) {
            Rig rig;
            rig.transport->present = {"/dev/fake0"};
            rig.device.modePoll = QByteArray(poll) == "T";
            rig.device.internals = 8;
            rig.device.users = 8;
            rig.device.mode = 12;
            rig.controller.BitBtn_SearchClick();
            rig.device.lines.clear();
            if (QByteArray(poll) == "T") {
                {
                    // while another operation holds the link, the tick sends nothing
                    const DeviceOperation operation(rig.s());
                    rig.controller.Timer_Poll_StatusTimer();
                    QCOMPARE(rig.device.RequestLines(), QStringList{});
                }
                rig.controller.Timer_Poll_StatusTimer();
                QCOMPARE(rig.device.RequestLines(), QStringList{"$GET RXEDMD "});
                QTRY_COMPARE(rig.form.checkedModeButton(), QString("RadioButton_Set_UserEdid4"));
                QCOMPARE(int(rig.devices.records[0].inputs[0].currentMode), 12);
            } else {
                rig.controller.Timer_Poll_StatusTimer();
                QCOMPARE(rig.device.RequestLines(), QStringList{});
            }
        }
    }

    void lostPortDisconnectsOnceAndIsNeverWrittenAgain() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        rig.controller.BitBtn_SearchClick();
        QVERIFY(rig.s().isConnected());
        QSignalSpy lost(&rig.s(), &UartSession::deviceLost);
        rig.transport->fail(5000);
        QTRY_COMPARE(lost.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(rig.form.log().count("Device Lost."), 1);
        QVERIFY(!rig.s().isConnected());
        QVERIFY(rig.form.search->isEnabled());
        QVERIFY(!rig.form.disconnect->isEnabled());
        QCOMPARE(rig.form.row(1), (QStringList{"", "", "", "", "", ""}));
        rig.s().Uart_SendCommand(kModeSet, RXEDMD, 1,
                                 reinterpret_cast<const std::uint8_t*>("\x01"));
        rig.controller.Timer_Poll_StatusTimer();
        QCOMPARE(rig.transport->writesWhileClosed, 0);
        QVERIFY(!rig.s().pollTimer().isActive());
    }

    void portLostInTheMiddleOfTheDescriptorsLeavesNoRow() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        auto script = rig.transport->onWrite;
        rig.transport->onWrite = [&](const QByteArray& b) {
            script(b);
            if (rig.device.lines.size() == 2 && b.endsWith("\r\n")) rig.transport->fail(100);
        };
        rig.controller.BitBtn_SearchClick();
        QCOMPARE(rig.form.log().count("Device Lost."), 1);
        QVERIFY(!rig.s().isConnected());
        QCOMPARE(rig.devices.count, 0);
        QCOMPARE(rig.form.cell(1, 0), QString());
        QVERIFY(rig.form.search->isEnabled());
        QCOMPARE(rig.transport->writesWhileClosed, 0);
    }

    void disconnectClearsEverything() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        QWidget& form2 = *rig.form.window->Form2;
        QWidget& form3 = *rig.form.window->Form3;
        form2.show();
        form3.show();
        rig.controller.BitBtn_SearchClick();
        QVERIFY(!rig.form.enabledModeButtons().isEmpty());
        rig.form.disconnect->click();
        QVERIFY(!rig.transport->isOpen());
        QCOMPARE(int(rig.s().link().flags), 0);
        QVERIFY(!rig.s().isResumed());
        QVERIFY(!rig.s().rxTimer().isActive());
        QVERIFY(!rig.s().pollTimer().isActive());
        QVERIFY(rig.form.search->isEnabled());
        QVERIFY(!rig.form.disconnect->isEnabled());
        QCOMPARE(rig.form.enabledModeButtons(), QStringList{});
        QCOMPARE(rig.form.glyph("SpeedButton_OpenEdid"), std::string("OpenGray"));
        QCOMPARE(rig.form.glyph("SpeedButton_SaveEdid"), std::string("SaveGray"));
        QCOMPARE(rig.form.glyph("SpeedButton_CopyEdid_Creator"), std::string("CopyUpGray"));
        for (const char* c : {"ComboBox_EdidSel_All", "ComboBox_EdidSel_Src",
                              "ComboBox_EdidSel_Dest", "ComboBox_EdidSel_Upload"})
            QCOMPARE(rig.form.combo(c)->count(), 0);
        QCOMPARE(rig.form.row(1), (QStringList{"", "", "", "", "", ""}));
        QCOMPARE(rig.devices.count, 0);
        QCOMPARE(rig.form.grid->FixedColor(), QColor(192, 220, 192));
        QVERIFY(!form2.isVisible());
        QVERIFY(!form3.isVisible());
        // the record itself stays until the next search overwrites it
        QCOMPARE(QString::fromStdString(rig.devices.records[0].product), QString("Matrix 4K"));
        // and a second search connects again
        rig.form.search->click();
        QVERIFY(rig.s().isConnected());
        QCOMPARE(rig.form.cell(1, 2), QString("Matrix 4K"));
    }

    void aSearchClickedDuringASearchIsIgnored() {
        Rig rig;
        rig.transport->present = {"/dev/fake0"};
        auto script = rig.transport->onWrite;
        int nested = 0;
        rig.transport->onWrite = [&](const QByteArray& b) {
            script(b);
            if (b == " \r" && nested++ == 0) rig.controller.BitBtn_SearchClick();
        };
        rig.controller.BitBtn_SearchClick();
        QCOMPARE(nested, 1);
        QCOMPARE(rig.transport->opened, QStringList{"/dev/fake0"});
        QCOMPARE(rig.discoveries.size(), 1);
        QCOMPARE(rig.form.log().count("Got One Device!"), 1);
        QCOMPARE(rig.devices.count, 1);
    }

    void gridWithItsHeaderInRowZero() {
        DeviceTable devices;
        EdidImage transfer{};
        QTableWidget grid(2, 6);
        const char* header[] = {"#",           "Interface",  "Product",
                                "Description", "IP Address", "MAC Address"};
        for (int c = 0; c < 6; ++c)
            grid.setItem(0, c, new QTableWidgetItem(header[c]));
        MemoryDevice device;
        Script(device);
        device.transport->present = {"/dev/fake0"};
        UartController controller(devices, transfer, device.transport);
        controller.attach({nullptr, &grid, nullptr, nullptr, nullptr});
        controller.BitBtn_SearchClick();
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.item(0, 1)->text(), QString("Interface"));
        QCOMPARE(grid.item(1, 1)->text(), QString("/dev/fake0"));
        controller.BitBtn_DisconnectClick();
        QCOMPARE(grid.item(0, 1)->text(), QString("Interface"));
        QCOMPARE(grid.item(1, 1)->text(), QString());
        QCOMPARE(grid.item(0, 0)->background().color(), QColor(192, 220, 192));
    }

    void portListComesFromTheEnvironmentWhenSet() {
        qputenv("TAVO_SERIAL_PORTS", "/tmp/a::/dev/pts/7:");
        QCOMPARE(UartController::Uart_ListSerialPorts(), (QStringList{"/tmp/a", "/dev/pts/7"}));
        qputenv("TAVO_SERIAL_PORTS", "");
        QCOMPARE(UartController::Uart_ListSerialPorts(), QStringList{});
    }
};

} // namespace link_controller_test

QTEST_MAIN(link_controller_test::LinkControllerTest)
#include "link_controller_test.moc"
