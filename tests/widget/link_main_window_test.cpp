// The serial link wired to the real main window the way the application wires it: search, grid
// row, glyphs, slot lists, Mode Select buttons on the device pages, and the disconnect.
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/Discovery.h"
#include "discovery/qt/DeviceGrid.h"
#include "edid/EdidImage.h"
#include "link/Response.h"
#include "link/qt/MemoryTransport.h"
#include "link/qt/UartController.h"
#include "support/MemoryDevice.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/StringGrid.h"

namespace link_main_window_test {

using namespace tavo;
using tavo::test::MemoryDevice;

// The window on a scripted transport whose ports are `ports`: every one answers as the device
// unless a test takes over `transport->onWrite` (`serialAnswer` is the device's script).
struct Scripted {
    AppState state;
    MemoryDevice device;
    MemoryTransport* transport = device.transport; // owned by the window's session
    std::unique_ptr<TForm1> form;
    std::function<void(const QByteArray&)> serialAnswer;
    explicit Scripted(const QStringList& ports) {
        qputenv("TAVO_SERIAL_PORTS", ports.join(':').toLocal8Bit());
        transport->present = ports;
        device.product = "Wall Matrix";
        form = std::make_unique<TForm1>(state, nullptr, transport);
        serialAnswer = transport->onWrite;
    }
};

class LinkMainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void searchAndDisconnectOnTheMainWindow() {
        qputenv("TAVO_SERIAL_PORTS", "/dev/fake-matrix");
        AppState state;
        MemoryDevice device(QStringLiteral("/dev/fake-matrix"));
        device.product = "Wall Matrix";
        TForm1 form(state, nullptr, device.transport); // the window's own controller on it
        UartController& uart = *form.Uart;
        int discoveries = 0;
        uart.setDiscoverySender([&] { ++discoveries; });

        form.BitBtn_Search->click();
        QCOMPARE(discoveries, 1);
        QCOMPARE(form.StringGrid1->Cell(0, 1), QString("Interface")); // the header stays
        QCOMPARE(form.StringGrid1->Cell(1, 0), QString("1"));
        QCOMPARE(form.StringGrid1->Cell(1, 1), QString("/dev/fake-matrix"));
        QCOMPARE(form.StringGrid1->Cell(1, 2), QString("Wall Matrix"));
        QCOMPARE(form.StringGrid1->Cell(1, 3), QString(" Hall "));
        QCOMPARE(form.StringGrid1->RowCount(), 2);
        QVERIFY(!form.BitBtn_Search->isEnabled());
        QVERIFY(form.BitBtn_Disconnect->isEnabled());
        QCOMPARE(GlyphOf(form.findChild<QAbstractButton*>("SpeedButton_OpenEdid")),
                 QString("OpenColor"));
        QCOMPARE(GlyphOf(form.findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")),
                 QString("CopyLeftColor"));
        QCOMPARE(form.findChild<QGroupBox*>("GroupBox4")->height(), 48);
        QCOMPARE(form.findChild<QComboBox*>("ComboBox_EdidSel_All")->count(),
                 1 + 1 + 1 + 1 + 2 + 1 + 8);
        // modes selectable: the device's 8 internal, 1 external and 2 user buttons are enabled
        int enabled = 0;
        for (auto* r : form.findChildren<QRadioButton*>())
            if (r->objectName().startsWith("RadioButton_Set_") && r->isEnabled()) ++enabled;
        QCOMPARE(enabled, 11);
        QVERIFY(form.Memo_Debug->toPlainText().contains("Got One Device!"));

        // the device pages may live in "Commander": the mode still finds its button there
        form.ShowCommander();
        uart.Uart_ShowEdidMode(9); // N = 8, O = 1: mode 9 is user slot 1
        QVERIFY(form.findChild<QRadioButton*>("RadioButton_Set_UserEdid1")->isChecked());

        form.StringGrid1->SetFixedColor(Qt::red);
        form.BitBtn_Disconnect->click();
        QCOMPARE(form.StringGrid1->Cell(1, 2), QString());
        QCOMPARE(form.StringGrid1->FixedColor(), QColor(192, 220, 192));
        QCOMPARE(GlyphOf(form.findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")),
                 QString("AnalysisGray"));
        QCOMPARE(form.findChild<QComboBox*>("ComboBox_EdidSel_Src")->count(), 0);
        QVERIFY(!form.findChild<QRadioButton*>("RadioButton_Set_IntEdid8")->isEnabled());
        QVERIFY(!form.Form3->isVisible());
        QVERIFY(form.BitBtn_Search->isEnabled());
    }

    // A networked device announcing itself while the serial device's descriptors are being read
    // takes the next row; neither overwrites the other's record or grid row.
    void announcementDuringTheDescriptorWaitsTakesTheNextRow() {
        Scripted w({"/dev/fake-matrix"});
        NetDeviceRecord net;
        net.mac = {2, 0, 0, 0, 0, 7};
        net.productName = "Net Box";
        net.ip = "10.0.0.7";
        const auto announcement = BuildAnnouncement(net);
        w.transport->onWrite = [&](const QByteArray& b) {
            if (b.contains("SYS_DSCPT"))
                w.form->Grid->IdIPMCastClient1IPMCastRead(
                    QByteArray(reinterpret_cast<const char*>(announcement.data()),
                               static_cast<qsizetype>(announcement.size())));
            w.serialAnswer(b);
        };
        w.form->BitBtn_Search->click();
        QCOMPARE(w.state.deviceTable.count, 2);
        QCOMPARE(w.form->StringGrid1->Cell(1, 2), QString("Wall Matrix"));
        QCOMPARE(w.form->StringGrid1->Cell(2, 1), QString("ETHERNET"));
        QCOMPARE(w.form->StringGrid1->Cell(2, 2), QString("Net Box"));
        QCOMPARE(w.state.deviceTable.records[0].serialDevice, 1);
        QCOMPARE(w.state.deviceTable.records[0].product, std::string("Wall Matrix"));
        QCOMPARE(w.state.deviceTable.records[1].serialDevice, 0);
        QCOMPARE(w.state.netDeviceTable.records[1].productName, std::string("Net Box"));
        QCOMPARE(w.form->StringGrid1->RowCount(), 3);
    }

    // Networked devices taking all 20 rows during the handshake: the serial device is refused
    // with a log line and row 20 keeps its networked device.
    void aSerialDeviceFindsNoRowLeft() {
        Scripted w({"/dev/fake-matrix"});
        w.transport->onWrite = [&](const QByteArray& b) {
            if (b.contains("ENTRANCE"))
                for (int n = 1; n <= kMaxDevices; ++n)
                    Announce(*w.form, n);
            w.serialAnswer(b);
        };
        w.form->BitBtn_Search->click();
        QCOMPARE(w.state.deviceTable.count, kMaxDevices);
        QCOMPARE(w.form->StringGrid1->Cell(20, 1), QString("ETHERNET"));
        QCOMPARE(w.form->StringGrid1->Cell(20, 2), QString("Net 20"));
        QCOMPARE(w.state.deviceTable.records[19].serialDevice, 0);
        QVERIFY(w.form->Memo_Debug->toPlainText().contains(
            "Device List Full, /dev/fake-matrix Not Added."));
        QVERIFY(!w.transport->isOpen());
        QVERIFY(!w.form->Uart->session().isConnected());
        QVERIFY(w.form->BitBtn_Search->isEnabled());
    }

    // A port that dies while the search only tries it is closed and skipped with a log line:
    // no "Device Lost.", the networked row of this search stays, the pop-up stays open, and the
    // next port is tried.
    void aPortThatFailsWhileTriedIsSkipped() {
        Scripted w({"/dev/fake-dead", "/dev/fake-matrix"});
        w.transport->onWrite = [&](const QByteArray& b) {
            if (w.transport->openPath == "/dev/fake-dead") {
                Announce(*w.form, 7);
                w.transport->fail(3);
                return;
            }
            w.serialAnswer(b);
        };
        w.form->ShowCommander();
        QVERIFY(w.form->Form3->isVisible());
        w.form->BitBtn_Search->click();
        const QString log = w.form->Memo_Debug->toPlainText();
        QVERIFY2(log.contains("Check /dev/fake-dead Failed."), qPrintable(log));
        QVERIFY2(!log.contains("Device Lost."), qPrintable(log));
        QVERIFY(w.form->Form3->isVisible());
        QCOMPARE(w.state.deviceTable.count, 2);
        QCOMPARE(w.form->StringGrid1->Cell(1, 2), QString("Net 7"));
        QCOMPARE(w.form->StringGrid1->Cell(2, 1), QString("/dev/fake-matrix"));
        QVERIFY(w.form->Uart->session().isConnected());
        QCOMPARE(w.transport->writesWhileClosed, 0);
    }

private:
    static void Announce(TForm1& form, int n) {
        NetDeviceRecord net;
        net.mac = {2, 0, 0, 0, 0, std::uint8_t(n)};
        net.productName = "Net " + std::to_string(n);
        const auto a = BuildAnnouncement(net);
        form.Grid->IdIPMCastClient1IPMCastRead(
            QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(a.size())));
    }
};

} // namespace link_main_window_test

QTEST_MAIN(link_main_window_test::LinkMainWindowTest)
#include "link_main_window_test.moc"
