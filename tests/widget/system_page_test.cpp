// The "System" page's firmware update on the real main window over an in-memory link: the block
// sequence and labels, a link lost mid-transfer, a second click, files refused at open and at
// update time, and the open dialog's cancel.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "link/Frame.h"
#include "link/Response.h"
#include "link/qt/MemoryTransport.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/UartController.h"
#include "maintenance/qt/SystemPage.h"
#include "support/FirmwareFiles.h"
#include "support/MemoryDevice.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"

namespace system_page_test {

using namespace tavo;
using tavo::test::FirmwareBytes;
using tavo::test::MemoryDevice;
using tavo::test::WriteFile;

// The label shows the whole of its text: within its width and, wrapped, its height.
bool ShowsAll(const QLabel* label) {
    const QFontMetrics fm(label->font());
    const int flags = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
    const QRect needed = fm.boundingRect(QRect(0, 0, label->width(), 10000), flags, label->text());
    return needed.width() <= label->width() && needed.height() <= label->height();
}

// The request line the tool sends for a SET with `payload`.
QByteArray SetLine(std::uint16_t command, const QByteArray& payload) {
    const auto steps = FrameWrites(kModeSet, command, std::uint16_t(payload.size()),
                                   reinterpret_cast<const std::uint8_t*>(payload.constData()));
    return QByteArray::fromStdString(FrameBytes(steps)).trimmed();
}

struct Rig {
    test::RecordingDialogs dialogs;
    test::ScopedDialogs installed{&dialogs};
    QTemporaryDir dir;
    AppState state;
    // waits in ISP mode unless told; after FW_END it runs normally with the image's version
    MemoryDevice device{QStringLiteral("/dev/fake-loader")};
    TForm1 form;
    QStringList shown; // every Label1 text from the page, failures marked with a leading '!'

    explicit Rig(bool isp = true) : form(state, nullptr, device.transport) {
        device.isp = isp;
        device.vid = "5441";
        device.pid = "0401";
        device.product = "Matrix";
        device.restartVersion = "2.10"; // FirmwareBytes' version
        qputenv("TAVO_SERIAL_PORTS", "/dev/fake-loader");
        QObject::connect(
            form.System, &SystemPage::progressShown,
            [this](const QString& text, bool failure) { shown << (failure ? "!" : "") + text; });
        form.BitBtn_Search->click();
        form.Grid->StringGrid1SelectCell(0, 1);
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    // Chooses `path` in the open dialog (empty: the operator cancels).
    void open(const QString& path) {
        dialogs.openAnswer = path;
        form.findChild<QAbstractButton*>("SpeedButton_OpenFw")->click();
    }
    void update() { form.findChild<QAbstractButton*>("SpeedButton_UpdateFw")->click(); }
    QLabel* label1() const { return form.findChild<QLabel*>("Label1"); }
    bool label1Red() const { return label1()->palette().color(QPalette::WindowText) == Qt::red; }
    QString version() const { return form.findChild<QLabel*>("Label_FW_Version")->text(); }
    QLabel* label9() const { return form.findChild<QLabel*>("Label9"); }
    // "Set" and "Default" run on the device's runner: their results come once it is idle again.
    void clickAndWait(const char* button) {
        form.findChild<QAbstractButton*>(button)->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.Uart->runner().idle(), 20000);
    }
    void clickDefault() { clickAndWait("SpeedButton_SysDefault"); }
    void clickSet() { clickAndWait("SpeedButton_SysConfig"); }
    int firmwareCommands() const {
        return device.Count("FW_ADDR") + device.Count("FW_DATA") + device.Count("FW_END");
    }
    // The firmware group's controls that show, by name; each must lie whole inside the group.
    QStringList firmwareControlsShown() {
        auto* group = form.findChild<QWidget*>("GroupBox4");
        QStringList shown;
        for (auto* c : group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!c->isVisibleTo(group)) continue;
            if (!group->rect().contains(c->geometry()))
                shown << c->objectName() + " (cut)";
            else
                shown << c->objectName();
        }
        return shown;
    }
};

constexpr std::uint16_t kUser1 = 0x2000, kUser2 = 0x2001;

EdidImage Filled(std::uint8_t value) {
    EdidImage image{};
    image.fill(value);
    return image;
}

class SystemPageTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> data_; // the slot history, never in the real home
    QString historyRoot() const { return data_->filePath("tavo/history"); }
    // The history cannot be kept: a file stands where its folder would be.
    void blockHistory() {
        QVERIFY(QDir().mkpath(data_->filePath("tavo")));
        QVERIFY(WriteFile(historyRoot(), "not a folder"));
    }
private slots:
    void init() {
        data_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", data_->path().toLocal8Bit());
    }
    void sixHundredBytesGoOutAsTenBlocksWithTheirLabels() {
        Rig rig;
        QCOMPARE(rig.firmwareControlsShown().size(), 7); // the whole group, nothing cut
        QVERIFY(!rig.firmwareControlsShown().join(' ').contains("(cut)"));
        const QByteArray image = FirmwareBytes(600);
        QVERIFY(WriteFile(rig.file("fw.bin"), image));
        rig.open(rig.file("fw.bin"));
        QCOMPARE(rig.dialogs.openFilters, QStringList{"Firmware image (*.bin)"});
        QCOMPARE(rig.dialogs.openCaptions, QStringList{"Open Firmware Image"});
        QCOMPARE(rig.form.findChild<QLineEdit*>("Edit_Fw_Path")->text(), rig.file("fw.bin"));
        QCOMPARE(rig.form.Memo_Debug->toPlainText(), QString("Fw Open OK.\n"));
        QCOMPARE(rig.version(), QString("Target :   VID-5441     PID-0401     Version-2.10"));
        QCOMPARE(rig.label1()->text(), QString("0%"));

        rig.shown.clear();
        rig.update();
        QCOMPARE(rig.dialogs.confirmations.size(), 1);
        const DialogMessage& ask = rig.dialogs.confirmations.front();
        // it names the image it writes, and stands below the firmware group: the version line
        // and the progress stay in sight
        QCOMPARE(ask.text, QString("Warning!\r\nUpdate system firmware.\r\n"
                                   "Image :   VID-5441     PID-0401     Version-2.10"));
        auto* group = rig.form.findChild<QWidget*>("GroupBox4");
        QVERIFY(ask.topLeft.has_value());
        QCOMPARE(ask.topLeft->x(), rig.form.Form3->pos().x() + 115);
        QVERIFY(ask.topLeft->y() > group->mapToGlobal(QPoint(0, group->height())).y());

        QCOMPARE(rig.shown, (QStringList{"10%", "21%", "32%", "42%", "53%", "64%", "74%", "85%",
                                         "96%", "100%"}));
        QCOMPARE(rig.form.findChild<QProgressBar*>("ProgressBar_Fw")->value(), 100);
        QVERIFY(!rig.label1Red());
        // the restarted device reports the image's version
        QCOMPARE(rig.form.findChild<QLabel*>("Label_Fw_Result")->text(),
                 QString("V2.10 running: update confirmed"));
        // ten address/data pairs in order, then FW_END; the last block padded with 0xFF
        QList<QByteArray> fw;
        for (const QByteArray& l : rig.device.lines)
            if (l.contains("FW_")) fw << l;
        QCOMPARE(fw.size(), 21);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(fw[2 * i],
                     SetLine(FW_ADDR, QByteArray::fromHex(
                                          QByteArray::number(64 * i, 16).rightJustified(4, '0'))));
            QByteArray block = image.mid(64 * i, 64);
            block.append(QByteArray(64 - block.size(), char(0xFF)));
            QCOMPARE(fw[2 * i + 1], SetLine(FW_DATA, block));
        }
        QCOMPARE(fw[20], SetLine(FW_END, {}));
        // and the device was found again, running normally
        QVERIFY(rig.form.Uart->session().isConnected());
        QCOMPARE(rig.form.Uart->session().link().flags & kLinkIspDevice, 0);
        QCOMPARE(rig.form.StringGrid1->Cell(1, 2), QString("Matrix"));
    }

    void aLostLinkEndsTheTransferAtOnce() {
        Rig rig;
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(64 * 20)));
        rig.open(rig.file("fw.bin"));
        int writesAtLoss = -1;
        rig.device.onLine = [&](const QByteArray& line) {
            if (writesAtLoss < 0 && line.contains("FW_DATA") && rig.device.Count("FW_DATA") == 5) {
                writesAtLoss = int(rig.device.transport->writes.size());
                rig.device.transport->fail(3); // the port dies
            }
        };
        rig.shown.clear();
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Update Fw Failed."));
        QVERIFY(rig.label1Red());
        QVERIFY(!rig.shown.contains("100%"));
        QCOMPARE(rig.shown.last(), QString("!Update Fw Failed."));
        QCOMPARE(rig.device.Count("FW_DATA"), 5);
        QCOMPARE(rig.device.Count("FW_ADDR"), 5);
        QCOMPARE(rig.device.Count("FW_END"), 0);
        QCOMPARE(int(rig.device.transport->writes.size()),
                 writesAtLoss); // nothing written after it
        QCOMPARE(rig.device.transport->writesWhileClosed, 0);
        QVERIFY(!rig.form.Uart->session().isConnected());
        QVERIFY(!rig.form.System->Updating());
        QCOMPARE(rig.form.findChild<QLabel*>("Label_Fw_Result")->text(),
                 QString("The update stopped: the device was lost after block 5 of 20."));
    }

    // The loader's answers are not fixed: silence goes on, "NG" or "ERR" to a block ends the
    // transfer at once, and so does an "NG" to FW_END that comes after FW_END's own wait; the log
    // and the result line name the step.
    void aRefusedBlockEndsTheTransfer() {
        const struct {
            QByteArray word; // "": silence to every firmware command
            bool atEnd;      // the refusal answers FW_END, 30 ms late; otherwise the fifth block
            QString named;
        } cases[] = {
            {"NG\f", false, "Block 5 of 20 (address 0x0100) refused: NG"},
            {"ERR", false, "Block 5 of 20 (address 0x0100) refused: ERR"},
            {"", false, ""},
            {"NG\f", true, "FW_END refused: NG"},
        };
        for (const auto& c : cases) {
            Rig rig;
            QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(64 * 20)));
            rig.open(rig.file("fw.bin"));
            rig.device.answerFor = [&](const QByteArray& line, QByteArray& body) {
                if (!line.contains("FW_")) return false;
                if (c.atEnd) {
                    if (!line.contains("FW_END")) return false;
                    QTimer::singleShot(30, [&] {
                        rig.device.transport->deliver(
                            QByteArray::fromStdString(MakeResponseLine("NG\f")));
                    });
                    return true; // nothing within the command's own wait
                }
                // silence to everything, or a refusal of the fifth block
                body = c.word.isEmpty() || rig.device.Count("FW_DATA") != 5 ||
                               !line.contains("FW_DATA")
                           ? QByteArray()
                           : c.word;
                return c.word.isEmpty() || !body.isEmpty();
            };
            rig.shown.clear();
            rig.update();
            const QString result = rig.form.findChild<QLabel*>("Label_Fw_Result")->text();
            if (c.word.isEmpty()) {
                QCOMPARE(rig.label1()->text(), QString("100%"));
                QCOMPARE(rig.device.Count("FW_END"), 1);
                QCOMPARE(result, QString("V2.10 running: update confirmed"));
                continue;
            }
            QCOMPARE(rig.label1()->text(), QString("Update Fw Failed."));
            QVERIFY(rig.label1Red());
            const int blocks = c.atEnd ? 20 : 5;
            QCOMPARE(rig.device.Count("FW_DATA"), blocks);
            QCOMPARE(rig.device.Count("FW_ADDR"), blocks);
            QCOMPARE(rig.device.Count("FW_END"), c.atEnd ? 1 : 0);
            QVERIFY2(rig.form.Memo_Debug->toPlainText().contains(c.named),
                     qPrintable(rig.form.Memo_Debug->toPlainText()));
            QString named = c.named;
            named[0] = named[0].toLower();
            QCOMPARE(result, "The update stopped: " + named + ".");
            QCOMPARE(rig.device.Count("$ENTRANCE"), 1); // a failed update is not confirmed
            QVERIFY(!rig.form.System->Updating());
        }
    }

    void theOperatorDisconnectingEndsTheTransfer() {
        Rig rig;
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(64 * 20)));
        rig.open(rig.file("fw.bin"));
        QTimer::singleShot(400, &rig.form, [&] { rig.form.BitBtn_Disconnect->click(); });
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Update Fw Failed."));
        QVERIFY(rig.device.Count("FW_DATA") < 20);
        QCOMPARE(rig.device.Count("FW_END"), 0);
        QCOMPARE(rig.device.transport->writesWhileClosed, 0);
    }

    void aSecondClickDuringTheTransferDoesNothing() {
        Rig rig;
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(64 * 10)));
        rig.open(rig.file("fw.bin"));
        int clicks = 0;
        QTimer::singleShot(300, &rig.form, [&] {
            QVERIFY(rig.form.System->Updating());
            rig.update();
            rig.update();
            ++clicks;
        });
        rig.update();
        QCOMPARE(clicks, 1);
        QCOMPARE(rig.dialogs.confirmations.size(), 1);
        QCOMPARE(rig.device.Count("FW_ADDR"), 10);
        QCOMPARE(rig.device.Count("FW_END"), 1);
        QCOMPARE(rig.label1()->text(), QString("100%"));
    }

    void refusedFilesSendNothing() {
        Rig rig;
        // too large for 16-bit addresses: refused when opened, never sent
        QVERIFY(WriteFile(rig.file("big.bin"), FirmwareBytes(65537)));
        rig.open(rig.file("big.bin"));
        QCOMPARE(rig.version(), QString("Target :"));
        QCOMPARE(rig.label1()->text(), QString("FW Too Large."));
        QVERIFY(rig.label1Red());
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
        QCOMPARE(rig.dialogs.confirmations.size(), 0);

        // 65,536 bytes is the most that can be addressed, and is accepted; the new Open takes
        // the old message away
        QVERIFY(WriteFile(rig.file("full.bin"), FirmwareBytes(65536)));
        rig.open(rig.file("full.bin"));
        QVERIFY(rig.version().startsWith("Target :   VID-"));
        QCOMPARE(rig.label1()->text(), QString("0%"));
        QVERIFY(!rig.label1Red());

        // shorter than the mark, and a mark that is not there: said when opened
        for (const QByteArray& bytes : {FirmwareBytes(518), FirmwareBytes(4096, false)}) {
            QVERIFY(WriteFile(rig.file("bad.bin"), bytes));
            rig.open(rig.file("bad.bin"));
            QCOMPARE(rig.version(), QString("Target :"));
            QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
            QVERIFY(rig.label1Red());
            rig.update();
            QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
            QVERIFY(rig.label1Red());
        }

        // accepted when opened, replaced before the update: refused after the confirmation
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(1000)));
        rig.open(rig.file("fw.bin"));
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(1000, false)));
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
        QVERIFY(rig.label1Red());
        QCOMPARE(rig.version(), QString("Target :"));
        // ... or grown too large since
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(1000)));
        rig.open(rig.file("fw.bin"));
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(70000)));
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("FW Too Large."));
        // ... or gone
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(1000)));
        rig.open(rig.file("fw.bin"));
        QVERIFY(QFile::remove(rig.file("fw.bin")));
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Update Fw Failed."));
        QVERIFY(rig.form.Memo_Debug->toPlainText().endsWith("Fw Open Fail.\n"));

        QCOMPARE(rig.firmwareCommands(), 0);
    }

    void reselectingTheRowForgetsTheImage() {
        Rig rig;
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(600)));
        rig.open(rig.file("fw.bin"));
        QCOMPARE(rig.label1()->text(), QString("0%"));
        rig.form.Grid->StringGrid1SelectCell(0, 1); // empties the path
        QCOMPARE(rig.form.findChild<QLineEdit*>("Edit_Fw_Path")->text(), QString());
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
        // the device's words, and below them what to do
        QCOMPARE(rig.form.findChild<QLabel*>("Label_Fw_Result")->text(),
                 QString("Open a firmware image first."));
        QCOMPARE(rig.firmwareCommands(), 0);
        rig.open(QString()); // a cancelled dialog has no earlier choice to check again
        QCOMPARE(rig.form.findChild<QLineEdit*>("Edit_Fw_Path")->text(), QString());
        QCOMPARE(rig.version(), QString("Target :"));
    }

    void cancellingTheDialogChecksTheEarlierFileAgain() {
        Rig rig;
        rig.open(QString()); // nothing chosen yet: nothing to check
        QCOMPARE(rig.version(), QString("Target :"));
        QCOMPARE(rig.label1()->text(), QString("0%"));

        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(700, true, "ABCDEFGHIJ")));
        rig.open(rig.file("fw.bin"));
        // no zero within the eight version bytes: eight characters
        QCOMPARE(rig.version(), QString("Target :   VID-5441     PID-0401     Version-ABCDEFGH"));
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(700, false)));
        rig.open(QString());
        QCOMPARE(rig.version(), QString("Target :"));
        QCOMPARE(rig.form.System->ChosenFirmware(), rig.file("fw.bin"));
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
        QCOMPARE(rig.form.findChild<QLabel*>("Label_Fw_Result")->text(),
                 QString("The file opened is not a firmware image: open another."));

        // a file that cannot be opened
        rig.open(rig.file("missing.bin"));
        QCOMPARE(rig.form.Memo_Debug->toPlainText(), QString("Fw Open Fail.\n"));
        QCOMPARE(rig.label1()->text(), QString("Update Fw Failed."));
        QVERIFY(rig.label1Red());
    }

    void aDescriptionIsCutBetweenCharacters() {
        Rig rig(false);
        // 33 bytes in UTF-8: the two-byte letter would straddle the 31-byte limit
        const QString text = QString(30, 'a') + QChar(0xE9) + "b";
        rig.form.findChild<QLineEdit*>("Edit_Product_String")->setText(text);
        QCOMPARE(rig.form.findChild<QLabel*>("Label9")->text(), QString("31 Letters Limited!"));
        rig.clickSet();
        QCOMPARE(rig.device.Count("SYS_STR"), 1);
        QVERIFY(rig.device.lines.contains(SetLine(SYS_STR, QByteArray(30, 'a'))));
        // the device keeps the 30 letters before it, and so do the record and the row
        QCOMPARE(QString::fromStdString(rig.state.deviceTable.Current().description),
                 QString(30, 'a'));
        // and the page says so
        QCOMPARE(rig.form.findChild<QLabel*>("Label9")->text(),
                 "Cut to 31 bytes: the device keeps \"" + QString(30, 'a') + "\".");
        QVERIFY(ShowsAll(rig.label9()));
        // fewer than 32 letters over the limit: the device's words, and why beside them
        rig.form.findChild<QLineEdit*>("Edit_Product_String")->setText(QString(20, QChar(0xE9)));
        QCOMPARE(rig.label9()->text(), QString("31 Letters Limited! (31 bytes: a letter outside "
                                               "ASCII takes two or more)"));
        QVERIFY(ShowsAll(rig.label9()));
        // the widest letters the device keeps are all in sight as well
        rig.form.findChild<QLineEdit*>("Edit_Product_String")->setText(QString(40, 'W'));
        rig.clickSet();
        QCOMPARE(rig.label9()->text(),
                 "Cut to 31 bytes: the device keeps \"" + QString(31, 'W') + "\".");
        QVERIFY2(ShowsAll(rig.label9()), qPrintable(rig.label9()->text()));
    }

    // Default: every user slot is read and kept in the history before SYS_DEF goes out, with its
    // progress; the question says what is reset and that it is kept; the other pages' results
    // about the slots go.
    void defaultsKeepTheUserSlotsFirst() {
        Rig rig(false);
        rig.device.Slot(kUser1) = Filled(0x11);
        rig.device.Slot(kUser2) = Filled(0x22);
        auto* controllerStatus = rig.form.findChild<QLabel*>("Label2");
        controllerStatus->setText("Upload Edid Failed.");
        QStringList progress; // Label9 as each slot is selected for its read
        rig.device.onRequest = [&](const test::Request& r) {
            if (r.name == "ND_SEL") progress << rig.label9()->text();
        };
        const int from = rig.device.Count();
        rig.clickDefault();
        QCOMPARE(rig.dialogs.confirmations.size(), 1);
        QCOMPARE(rig.dialogs.confirmations.front().text,
                 QString("Warning!\r\nReset system to default.\r\nThe description, the EDID mode "
                         "and the EDIDs in User 1 and User 2 go back to the device's defaults. "
                         "Those EDIDs are kept in the history first (Device > History)."));
        const QList<QByteArray> read = {"SET ND_SEL", "GET ND_ED0A", "GET ND_ED0B", "GET ND_ED1A",
                                        "GET ND_ED1B"};
        const QList<QByteArray> expected =
            QList<QByteArray>{"SET SYS_STM"} + read + read +
            QList<QByteArray>{"SET SYS_CTM", "SET SYS_DEF", "GET SYS_DSCPT"};
        QCOMPARE(rig.device.NamesSince(from), expected);
        QCOMPARE(progress, (QStringList{"Keeping User 1 in the history (1 of 2)...",
                                        "Keeping User 2 in the history (2 of 2)..."}));
        SlotHistory history;
        const DeviceRecord& device = rig.state.deviceTable.Current();
        for (const auto& [selector, image] :
             {std::pair{kUser1, Filled(0x11)}, std::pair{kUser2, Filled(0x22)}}) {
            const auto entries = history.Entries(device, SlotSelector{selector});
            QCOMPARE(entries.size(), 1);
            QCOMPARE(SlotHistory::Load(entries.front()), std::optional<EdidImage>(image));
        }
        QCOMPARE(rig.label9()->text(),
                 QString("Defaults restored; the former EDIDs are in the history."));
        QCOMPARE(controllerStatus->text(), QString());
    }

    // The history cannot be kept: the operator is asked once, as before a write; "no" sends
    // nothing, "yes" resets. A device lost while the slots are read is not reset.
    void defaultsWithoutTheirHistoryAreAsked() {
        blockHistory();
        {
            Rig rig(false);
            rig.dialogs.confirmAnswers = {true, false};
            rig.clickDefault();
            QCOMPARE(rig.dialogs.confirmations.size(), 2);
            QVERIFY2(rig.dialogs.confirmations[1].text.startsWith(
                         "The EDID in User 1 cannot be kept in the history: reset anyway?\n"),
                     qPrintable(rig.dialogs.confirmations[1].text));
            QCOMPARE(rig.device.Count("SYS_DEF"), 0);
            QCOMPARE(rig.label9()->text(),
                     QString("Nothing reset: the EDID in User 1 cannot be kept in the history."));
            QCOMPARE(rig.label9()->palette().color(QPalette::WindowText), QColor(Qt::red));
            QVERIFY(rig.form.Memo_Debug->toPlainText().contains("History not kept: "));

            rig.dialogs.confirmAnswers = {true, true};
            rig.clickDefault();
            QCOMPARE(rig.dialogs.confirmations.size(), 4); // not asked again for User 2
            QCOMPARE(rig.device.Count("SYS_DEF"), 1);
            QCOMPARE(rig.label9()->text(), QString("Defaults restored."));
        }
        Rig rig(false);
        rig.device.onRequest = [&](const test::Request& r) {
            if (r.name == "ND_ED1A") rig.device.transport->fail(3);
        };
        rig.clickDefault();
        QCOMPARE(rig.device.Count("SYS_DEF"), 0);
        QCOMPARE(rig.label9()->text(), QString("Nothing reset: the device was lost."));
    }

    // Every end the result line says shows whole; after an image was sent, Update says that
    // the device has left ISP mode and what to do.
    void theResultLineShowsWholeAndSaysWhatToDoNext() {
        const struct {
            std::string restartVersion; // "": the device stays in ISP mode (not confirmed)
            QString line;
        } cases[] = {
            {"", "Image sent; not confirmed: check the version once the device restarts"},
            {"1.0", "the device runs V1.0, not V2.10: the update did not take"},
        };
        for (const auto& c : cases) {
            Rig rig;
            rig.device.restartVersion = c.restartVersion;
            rig.form.System->Transfer().setRestartWaitMs(300);
            QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(600)));
            rig.open(rig.file("fw.bin"));
            rig.update();
            auto* result = rig.form.findChild<QLabel*>("Label_Fw_Result");
            QCOMPARE(result->text(), c.line);
            QVERIFY2(ShowsAll(result), qPrintable(result->text()));
            if (!c.restartVersion.empty()) continue;
            // found again, still in ISP mode: the image must be opened again
            rig.update();
            QCOMPARE(rig.label1()->text(), QString("Illegal FW."));
            QCOMPARE(result->text(),
                     QString("The image was sent and the device searched for again: to update "
                             "once more, open a firmware image again."));
            QVERIFY2(ShowsAll(result), qPrintable(result->text()));
            QCOMPARE(rig.device.Count("FW_END"), 1);
        }
    }

    void theUpdateCanBeFollowedAndItsEndStays() {
        Rig rig;
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(64 * 12)));
        rig.open(rig.file("fw.bin"));
        QStringList statusLines;
        QObject::connect(rig.form.statusBar(), &QStatusBar::messageChanged,
                         [&](const QString& m) { statusLines << m; });
        // "Commander" is closed during the update; a click on the row brings it back to it
        bool backOnSystem = false;
        QTimer::singleShot(300, &rig.form, [&] {
            rig.form.Form3->close();
            auto* pages = rig.form.PageControl1;
            pages->setCurrentIndex(pages->indexOf(rig.form.TabSheet10));
            rig.form.Grid->StringGrid1SelectCell(0, 1);
            backOnSystem = rig.form.Form3->isVisible() &&
                           pages->currentWidget() == rig.form.TabSheet2 &&
                           rig.form.System->Updating();
        });
        rig.update();
        QVERIFY(backOnSystem);
        QCOMPARE(rig.device.Count("FW_END"), 1);
        QVERIFY(statusLines.contains("Firmware update: 50%"));
        QCOMPARE(rig.form.statusBar()->currentMessage(),
                 QString("Firmware update: V2.10 running: update confirmed"));

        // selecting the row again (reopening "Commander") keeps the end in sight
        const QString version = rig.version();
        auto* result = rig.form.findChild<QLabel*>("Label_Fw_Result");
        for (int again = 0; again < 2; ++again) {
            rig.form.Form3->close();
            rig.form.Grid->StringGrid1SelectCell(0, 1);
            QCOMPARE(rig.label1()->text(), QString("100%"));
            QCOMPARE(rig.form.findChild<QLineEdit*>("Edit_Fw_Path")->text(), rig.file("fw.bin"));
            QCOMPARE(rig.version(), version);
            QCOMPARE(result->text(), QString("V2.10 running: update confirmed"));
        }
        // until the next Open
        rig.open(rig.file("fw.bin"));
        QCOMPARE(rig.label1()->text(), QString("0%"));
        QCOMPARE(result->text(), QString());
    }

    void configurationSaysWhatItDid() {
        Rig rig(false);
        auto* status = rig.form.findChild<QLabel*>("Label9");
        rig.clickDefault();
        QCOMPARE(rig.dialogs.confirmations.size(), 1);
        QCOMPARE(status->text(),
                 QString("Defaults restored; the former EDIDs are in the history."));
        // a description longer than the device keeps: the row shows what it keeps
        const QString text = "A description of thirty-six letters";
        QCOMPARE(text.size(), qsizetype(35));
        rig.form.findChild<QLineEdit*>("Edit_Product_String")->setText(text + "!");
        rig.clickSet();
        QCOMPARE(rig.form.StringGrid1->Cell(1, 3), " " + text.left(31) + " ");
        QCOMPARE(rig.state.deviceTable.Current().description, text.left(31).toStdString());
    }

    void aNormalDeviceIsNotUpdated() {
        Rig rig(false);
        // the short group shows its version line alone, no button half cut below it
        QCOMPARE(rig.firmwareControlsShown(), QStringList{"Label_FW_Version"});
        QVERIFY(WriteFile(rig.file("fw.bin"), FirmwareBytes(600)));
        rig.open(rig.file("fw.bin"));
        // the header of a file is examined only for an ISP device
        QVERIFY(rig.version().startsWith("Current :"));
        rig.state.deviceTable.Current().firmwareFileFlag = 1;
        rig.update();
        QCOMPARE(rig.label1()->text(), QString("Not ISP Mode."));
        QVERIFY(rig.label1Red());
        QCOMPARE(rig.dialogs.confirmations.size(), 0);
        QCOMPARE(rig.firmwareCommands(), 0);
    }
};

} // namespace system_page_test

QTEST_MAIN(system_page_test::SystemPageTest)
#include "system_page_test.moc"
