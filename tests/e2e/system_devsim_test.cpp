// The "System" page on the real main window against the simulated device over a pseudo-terminal:
// a device in ISP mode takes an image byte for byte, refuses nothing it should take and gets
// nothing it should not; a device that hangs up mid-transfer; a normally running device's
// description and defaults. Then tavo-cli's description, defaults and firmware commands.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "link/Response.h"
#include "link/qt/UartController.h"
#include "maintenance/qt/SystemPage.h"
#include "support/Cli.h"
#include "support/DevSim.h"
#include "support/FirmwareFiles.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"

namespace system_devsim_test {

using namespace tavo;
using tavo::test::FirmwareBytes;
using tavo::test::PaddedToBlocks;
using tavo::test::WriteFile;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The simulated device, with room for the files a test hands it.
struct Sim : tavo::testing::DevSim {
    using DevSim::DevSim;
    QString file(const QString& name) const { return dir.filePath(name); }
};

// The real window, searched and with the device's row selected.
struct Window {
    test::RecordingDialogs dialogs;
    test::ScopedDialogs installed{&dialogs};
    AppState state;
    TForm1 form{state};
    QStringList shown; // Label1 texts from the page, failures with a leading '!'

    explicit Window(const Sim& sim) {
        qputenv("TAVO_SERIAL_PORTS", sim.path.toLocal8Bit());
        QObject::connect(
            form.System, &SystemPage::progressShown,
            [this](const QString& text, bool failure) { shown << (failure ? "!" : "") + text; });
        form.BitBtn_Search->click();
        form.Grid->StringGrid1SelectCell(0, 1);
    }
    template <class T = QWidget> T* find(const char* name) { return form.findChild<T*>(name); }
    // A button clicked; what it submitted to the device's runner has ended on return.
    void click(const char* button) {
        find<QAbstractButton>(button)->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.Uart->runner().idle(), 20000);
    }
    void open(const QString& path) {
        dialogs.openAnswer = path;
        click("SpeedButton_OpenFw");
    }
    QString label1() { return find<QLabel>("Label1")->text(); }
    bool label1Red() {
        return find<QLabel>("Label1")->palette().color(QPalette::WindowText) == Qt::red;
    }
    QString label9() { return find<QLabel>("Label9")->text(); }
    void setDescription(const QString& text) {
        find<QLineEdit>("Edit_Product_String")->setText(text);
    }
    QString cell() { return form.StringGrid1->Cell(1, 3); }
    bool tabShown(QWidget* sheet) {
        return form.PageControl1->isTabVisible(form.PageControl1->indexOf(sheet));
    }
};

using Run = tavo::testing::CliRun;
inline Run Cli(const QStringList& args) {
    return tavo::testing::RunCli(args);
}

// An ISP device takes the image byte for byte and restarts with its version, which confirms the
// update; `delay`: how late the simulator answers.
void ReceiveTheImage(const char* delay) {
    QTemporaryDir out;
    const QString received = out.filePath("received.bin");
    Sim sim({"--isp", "--isp-banner", "Loader 3.2", "--fw-out", received, "--fw-restart", "300",
             "--delay-ms", delay});
    QVERIFY(sim.path.startsWith("/dev/"));
    Window w(sim);
    QVERIFY(w.form.Uart->session().isConnected());
    QCOMPARE(w.form.StringGrid1->Cell(1, 2), QString("Loader 3.2"));
    QCOMPARE(w.form.StringGrid1->Cell(1, 3), QString("ISP Mode"));
    // the System page alone, without its "Configuration" group
    for (QWidget* sheet : {w.form.TabSheet10, w.form.TabSheet1, w.form.TabSheet3, w.form.TabSheet4})
        QVERIFY(!w.tabShown(sheet));
    QVERIFY(w.tabShown(w.form.TabSheet2));
    QCOMPARE(w.form.PageControl1->currentWidget(), w.form.TabSheet2);
    QVERIFY(w.form.findChild<QGroupBox*>("GroupBox11")->isHidden());
    QCOMPARE(w.form.findChild<QGroupBox*>("GroupBox4")->height(), 175);
    QCOMPARE(w.find<QLabel>("Label_FW_Version")->text(), QString("Target :"));
    QVERIFY(w.form.Form3->isVisible());

    const QByteArray image = FirmwareBytes(1000, true, "3.2.1");
    QVERIFY(WriteFile(sim.file("fw.bin"), image));
    w.open(sim.file("fw.bin"));
    QCOMPARE(w.find<QLabel>("Label_FW_Version")->text(),
             QString("Target :   VID-5441     PID-0401     Version-3.2.1"));
    w.click("SpeedButton_UpdateFw");
    QCOMPARE(w.label1(), QString("100%"));
    QVERIFY(!w.label1Red());
    QCOMPARE(w.shown.size(), 1 + 16); // "0%" when opened, then one label per block
    QCOMPARE(w.find<QProgressBar>("ProgressBar_Fw")->value(), 100);
    QTRY_VERIFY(QFile::exists(received));
    QCOMPARE(ReadAll(received), PaddedToBlocks(image));
    const QString log = sim.Log();
    QCOMPARE(log.count("FW_ADDR"), 16);
    QCOMPARE(log.count("FW_DATA"), 16);
    QCOMPARE(log.count("$SET FW_END"), 1);
    QVERIFY(!log.contains("\tbad")); // every request was well formed
    QCOMPARE(w.find<QLabel>("Label_Fw_Result")->text(),
             QString("V3.2.1 running: update confirmed"));
    QCOMPARE(w.form.StringGrid1->Cell(1, 2), QString("DevSim 4x1")); // found running normally
}

class SystemDevsimTest : public QObject {
    Q_OBJECT
private slots:
    // From a device that answers at once and from one whose every answer comes 150 ms late.
    void anIspDeviceReceivesTheImageByteForByte() {
        for (const char* delay : {"0", "150"}) {
            ReceiveTheImage(delay);
            if (QTest::currentTestFailed()) return qWarning("with --delay-ms %s", delay);
        }
    }

    // Closing the window during an update asks whether to stop it; stopped, it ends after a whole
    // block (never an address without its block, never FW_END); not stopped, it runs to the end.
    void closingDuringAnUpdateAsksAndStopsBetweenBlocks() {
        for (const bool stop : {true, false}) {
            QTemporaryDir out;
            const QString received = out.filePath("received.bin");
            Sim sim({"--isp", "--fw-out", received, "--fw-restart", "100"});
            Window w(sim);
            QVERIFY(WriteFile(sim.file("fw.bin"), FirmwareBytes(64 * 40)));
            w.open(sim.file("fw.bin"));
            QSignalSpy closed(&w.form, &TForm1::closed);
            int closedAtOnce = -1;
            QTimer::singleShot(400, [&] {
                w.dialogs.confirmAnswer = stop; // the update itself was confirmed already
                w.form.close();
                closedAtOnce = closed.count();
            });
            w.click("SpeedButton_UpdateFw");
            QCOMPARE(closedAtOnce, 0);
            QCOMPARE(w.dialogs.confirmations.size(), 2);
            QVERIFY(w.dialogs.confirmations.last().text.contains(
                "The device stays in ISP mode until the update is run again."));
            const QStringList requests = sim.Log().split('\n', Qt::SkipEmptyParts);
            if (stop) {
                QCOMPARE(w.label1(), QString("Update Fw Failed."));
                QVERIFY(!sim.Log().contains("FW_END"));
                QVERIFY2(requests.last().contains("$SET FW_DATA"), qPrintable(requests.last()));
                QVERIFY(w.form.System->Transfer().blocksSent() < 40);
                QTRY_COMPARE(closed.count(), 1); // and then the window closes
                QVERIFY(!QFile::exists(received));
            } else {
                QCOMPARE(w.label1(), QString("100%"));
                QCOMPARE(sim.Log().count("$SET FW_END"), 1);
                QTest::qWait(50);
                QCOMPARE(closed.count(), 0); // the operator kept the window
            }
        }
    }

    void aDeviceThatHangsUpMidTransferFailsTheUpdate() {
        QTemporaryDir out;
        const QString received = out.filePath("received.bin");
        // the handshake, four blocks, then the 10th request (block 5's address) hangs up
        Sim sim({"--isp", "--fw-out", received, "--hangup-after", "10"});
        Window w(sim);
        QVERIFY(WriteFile(sim.file("fw.bin"), FirmwareBytes(64 * 30)));
        w.open(sim.file("fw.bin"));
        w.shown.clear();
        w.click("SpeedButton_UpdateFw");
        QCOMPARE(w.label1(), QString("Update Fw Failed."));
        QVERIFY(w.label1Red());
        QVERIFY(!w.shown.contains("100%"));
        QVERIFY(w.shown.size() <= 6); // it ended at the hang-up, not 25 blocks later
        QVERIFY(!w.form.Uart->session().isConnected());
        QVERIFY(!QFile::exists(received));
        QVERIFY(w.form.System->Transfer().commandsSent() <= 10);
    }

    void refusedImagesNeverReachTheDevice() {
        QTemporaryDir out;
        const QString received = out.filePath("received.bin");
        Sim sim({"--isp", "--fw-out", received});
        Window w(sim);
        QVERIFY(WriteFile(sim.file("big.bin"), FirmwareBytes(65536 + 64)));
        w.open(sim.file("big.bin"));
        QCOMPARE(w.find<QLabel>("Label_FW_Version")->text(), QString("Target :"));
        QCOMPARE(w.label1(), QString("FW Too Large."));
        QVERIFY(w.label1Red());
        w.click("SpeedButton_UpdateFw");
        QCOMPARE(w.label1(), QString("Illegal FW."));

        QVERIFY(WriteFile(sim.file("fw.bin"), FirmwareBytes(2000)));
        w.open(sim.file("fw.bin"));
        QCOMPARE(w.label1(), QString("0%"));
        QVERIFY(WriteFile(sim.file("fw.bin"), FirmwareBytes(2000, false))); // replaced
        w.click("SpeedButton_UpdateFw");
        QCOMPARE(w.dialogs.confirmations.size(), 1);
        QCOMPARE(w.label1(), QString("Illegal FW."));
        QVERIFY(w.label1Red());
        QVERIFY(!sim.Log().contains("FW_"));
        QVERIFY(!QFile::exists(received));
    }

    void aNormalDeviceIsNotUpdated() {
        Sim sim;
        Window w(sim);
        QVERIFY(!w.form.findChild<QGroupBox*>("GroupBox11")->isHidden());
        QCOMPARE(w.form.findChild<QGroupBox*>("GroupBox4")->height(), 48);
        QVERIFY(WriteFile(sim.file("fw.bin"), FirmwareBytes(1000)));
        w.open(sim.file("fw.bin"));
        w.state.deviceTable.Current().firmwareFileFlag = 1; // even with an accepted file
        w.click("SpeedButton_UpdateFw");
        QCOMPARE(w.label1(), QString("Not ISP Mode."));
        QVERIFY(w.label1Red());
        QVERIFY(!sim.Log().contains("FW_"));
    }

    void theDescriptionIsSentAndShown() {
        QTemporaryDir state;
        Sim sim({"--description", "Rack 2", "--state-dir", state.path()});
        const QString stored = state.filePath("description");
        Window w(sim);
        QCOMPARE(w.find<QLineEdit>("Edit_Product_String")->text(), QString("Rack 2"));
        QCOMPARE(w.cell(), QString(" Rack 2 "));

        const QString t31 = "Thirty-one letters, exactly 31.";
        QCOMPARE(t31.size(), 31);
        const QString t32 = t31 + "!";
        const QString cut = "Cut to 31 bytes: the device keeps \"" + t31 + "\".";
        struct Case {
            QString text, status, sent, cell, after; // after: the status once sent
        } cases[] = {
            {t31, "", t31, " " + t31 + " ", "Ok."},
            {t32, "31 Letters Limited!", t31, " " + t31 + " ", cut}, // what the device keeps
            {"", "", " ", "  ", "Ok."},                              // a blank for an empty text
        };
        for (const Case& c : cases) {
            w.setDescription(c.text);
            QCOMPARE(w.label9(), c.status);
            const bool red =
                w.find<QLabel>("Label9")->palette().color(QPalette::WindowText) == Qt::red;
            QCOMPARE(red, !c.status.isEmpty());
            QString during;
            QTimer::singleShot(300, &w.form, [&] { during = w.label9(); });
            w.click("SpeedButton_SysConfig");
            // the result once the device had its time to take the text, and it stays
            QCOMPARE(during, QString("Sending..."));
            QCOMPARE(w.label9(), c.after);
            QCOMPARE(QString::fromLatin1(ReadAll(stored)), c.sent);
            QCOMPARE(QString::fromStdString(w.state.deviceTable.Current().description),
                     c.text.left(31));
            QCOMPARE(w.cell(), c.cell);
        }
        // unchanged: nothing sent
        const int sent = sim.Log().count("SYS_STR");
        QCOMPARE(sent, 3);
        w.click("SpeedButton_SysConfig");
        QCOMPARE(w.label9(), QString("No Changed."));
        QCOMPARE(sim.Log().count("SYS_STR"), sent);
    }

    void defaultsAreRestoredAfterAConfirmation() {
        QTemporaryDir state, data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit()); // the history, never the real home
        const QString sample = QStringLiteral(TAVO_TEST_DATA "/edid/0615aa6316ff13ad.bin");
        // user 2 holds an EDID written into it (its default is the built-in one), input 1 too
        QVERIFY(QFile::copy(sample, state.filePath("user2.bin")));
        Sim sim({"--description", "Rack 2", "--state-dir", state.path(), "--users", "2", "--slot",
                 "input1=" + sample});
        Window w(sim);
        w.setDescription("Changed");
        w.click("SpeedButton_SysConfig");
        QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Changed"));

        w.dialogs.confirmAnswer = false;
        w.click("SpeedButton_SysDefault");
        QCOMPARE(w.dialogs.confirmations.size(), 1);
        QVERIFY(!sim.Log().contains("SYS_DEF"));
        QCOMPARE(w.cell(), QString(" Changed "));

        w.dialogs.confirmAnswer = true;
        w.click("SpeedButton_SysDefault");
        const DialogMessage& ask = w.dialogs.confirmations.last();
        // the device's own warning, then what it resets and that it is kept
        QCOMPARE(ask.text, QString("Warning!\r\nReset system to default.\r\nThe description, the "
                                   "EDID mode and the EDIDs in User 1 and User 2 go back to the "
                                   "device's defaults. Those EDIDs are kept in the history first "
                                   "(Device > History)."));
        QCOMPARE(ask.topLeft, std::optional<QPoint>(w.form.Form3->pos() + QPoint(115, 130)));
        QCOMPARE(sim.Log().count("$SET SYS_DEF 55"), 1);
        // the user slots are the built-in EDID now; what they held is in the history, read
        // before the defaults went out; the input keeps its EDID
        const QByteArray before = ReadAll(sample);
        QVERIFY(ReadAll(state.filePath("user2.bin")) != before);
        QCOMPARE(ReadAll(state.filePath("input1.bin")), before);
        QVERIFY(sim.Log().lastIndexOf("SYS_CTM") < sim.Log().indexOf("SYS_DEF"));
        const QStringList devices =
            QDir(data.filePath("tavo/history")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(devices.size(), 1);
        const QDir user2(data.filePath("tavo/history/" + devices.front() + "/user2"));
        const QStringList entries = user2.entryList({"*.bin"});
        QCOMPARE(entries.size(), 1);
        QCOMPARE(ReadAll(user2.filePath(entries.front())), before);
        QVERIFY(QDir(data.filePath("tavo/history/" + devices.front() + "/user1")).exists());
        QVERIFY(!QDir(data.filePath("tavo/history/" + devices.front() + "/input1")).exists());
        QCOMPARE(w.label9(), QString("Defaults restored; the former EDIDs are in the history."));
        QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Rack 2"));
        QCOMPARE(w.find<QLineEdit>("Edit_Product_String")->text(), QString("Rack 2"));
        QCOMPARE(w.cell(), QString(" Rack 2 "));
    }

    // A device whose answers go wrong during description and defaults: nothing crashes, the
    // corrupted descriptor is not taken, and a new search connects again.
    void faultsDuringDescriptionAndDefaultsLeaveTheToolUsable() {
        QTemporaryDir state;
        // the descriptor after the defaults comes back corrupted, every SYS_STR answer is dropped
        Sim sim({"--description", "Rack 2", "--state-dir", state.path(), "--fault",
                 "badcrc:SYS_DSCPT:skip=1,count=1", "--fault", "drop:SYS_STR"});
        Window w(sim);
        w.setDescription("Changed");
        w.click("SpeedButton_SysConfig"); // no answer is awaited: the device still applies it
        QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Changed"));
        w.dialogs.confirmAnswer = true;
        w.click("SpeedButton_SysDefault");
        QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Rack 2"));
        QVERIFY(w.form.Memo_Debug->toPlainText().contains("CRC Error!"));
        // the corrupted descriptor was not used: the record still holds what this tool sent
        QCOMPARE(w.find<QLineEdit>("Edit_Product_String")->text(), QString("Changed"));
        QCOMPARE(w.cell(), QString(" Changed "));
        // usable afterwards: disconnect, search again, the device's real description shows
        w.form.BitBtn_Disconnect->click();
        QVERIFY(w.form.BitBtn_Search->isEnabled());
        w.form.BitBtn_Search->click();
        QVERIFY(w.form.Uart->session().isConnected());
        QCOMPARE(w.form.StringGrid1->Cell(1, 3), QString(" Rack 2 "));
    }

    void theCommandLineToolDoesTheSame() {
        QTemporaryDir state;
        {
            Sim sim({"--description", "Rack 2", "--state-dir", state.path()});
            Run r = Cli({"device", "description", "--port", sim.path});
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, QString("Rack 2\n"));
            r = Cli({"device", "description", "Lobby screen 4", "--port", sim.path});
            QCOMPARE(r.code, 0);
            QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Lobby screen 4"));
            r = Cli({"device", "defaults", "--port", sim.path});
            QCOMPARE(r.code, 2); // not without --yes
            QVERIFY(!sim.Log().contains("SYS_DEF"));
            // the user slots are kept first; where they cannot be, nothing is reset
            QTemporaryDir data;
            qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
            QVERIFY(QDir().mkpath(data.filePath("tavo")));
            QVERIFY(WriteFile(data.filePath("tavo/history"), "not a folder"));
            r = Cli({"device", "defaults", "--yes", "--port", sim.path});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("the EDID in user1 cannot be kept in the history: ") &&
                         r.err.contains("nothing reset (--no-history resets without keeping it)"),
                     qPrintable(r.err));
            QVERIFY(!sim.Log().contains("SYS_DEF"));
            QVERIFY(QFile::remove(data.filePath("tavo/history")));
            r = Cli({"device", "defaults", "--yes", "--port", sim.path});
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, QString("description: Rack 2\n"));
            QVERIFY2(r.err.contains("8 user slots kept in the history"), qPrintable(r.err));
            QCOMPARE(QDir(data.filePath("tavo/history"))
                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                         .size(),
                     1);
            QCOMPARE(ReadAll(state.filePath("description")), QByteArray("Rack 2"));
            r = Cli({"device", "defaults", "--yes", "--no-history", "--port", sim.path});
            QCOMPARE(r.code, 0);
            QVERIFY(!r.err.contains("kept in the history"));
            r = Cli({"device", "firmware", state.filePath("description"), "--port", sim.path});
            QCOMPARE(r.code, 1);
            QVERIFY(r.err.contains("Illegal FW."));
        }
        const QByteArray image = FirmwareBytes(777);
        QVERIFY(WriteFile(state.filePath("fw.bin"), image));
        QVERIFY(WriteFile(state.filePath("big.bin"), FirmwareBytes(70000)));
        // After the image the device is searched for again and its version compared with the
        // image's (2.10); FW_END's own answer counts when it comes within a second.
        const struct {
            QStringList sim;
            QStringList cli;
            int code;
            QString said;
        } cases[] = {
            {{"--fw-restart", "200"}, {}, 0, "V2.10 running: update confirmed"},
            {{"--fw-restart", "200", "--delay-ms", "150"},
             {},
             0,
             "V2.10 running: update confirmed"},
            {{"--fw-restart", "200", "--fw-restart-version", "1.0"},
             {},
             1,
             "the device runs V1.0, not V2.10: the update did not take"},
            // the device never restarts (as when FW_END never reached it)
            {{}, {"--wait-restart", "2"}, 0, "Image sent; not confirmed"},
            {{}, {"--wait-restart", "2", "--confirm"}, 3, "Image sent; not confirmed"},
            {{"--fault", "ng:FW_END", "--fault", "late:FW_END:30", "--fw-restart", "200"},
             {},
             1,
             "FW_END refused: NG"},
        };
        for (const auto& c : cases) {
            const QString received = state.filePath("received.bin");
            QFile::remove(received);
            Sim sim(QStringList{"--isp", "--fw-out", received} + c.sim);
            const Run r = Cli(
                QStringList{"device", "firmware", state.filePath("fw.bin"), "--port", sim.path} +
                c.cli);
            const QString what = c.sim.join(' ') + " " + c.cli.join(' ') + ": " + r.out + r.err;
            QVERIFY2(r.code == c.code, qPrintable(what));
            QVERIFY2((r.out + r.err).contains(c.said), qPrintable(what));
            QVERIFY2(r.out.contains("100%") ==
                         (c.code != 1 || c.sim.contains("--fw-restart-version")),
                     qPrintable(what));
            QTRY_VERIFY(QFile::exists(received));
            QCOMPARE(ReadAll(received), PaddedToBlocks(image));
            if (c.code == 0 && c.cli.isEmpty()) { // found again, running normally
                const Run info = Cli({"device", "info", "--port", sim.path});
                QVERIFY2(info.out.contains("mode: normal\n"), qPrintable(info.out + info.err));
                QVERIFY(info.out.contains("firmware version: 2.10\n"));
            }
        }
        Sim sim({"--isp"});
        const Run r = Cli({"device", "firmware", state.filePath("big.bin"), "--port", sim.path});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("FW Too Large."));
    }
};

} // namespace system_devsim_test

QTEST_MAIN(system_devsim_test::SystemDevsimTest)
#include "system_devsim_test.moc"
