// "EDID Controller" and the analyzer through the real main window against the simulated device,
// and the same flows through `tavo-cli device read|write|mode`: every kind of slot saved and
// compared with the device's state, uploads into input and user slots, refusals, Mode Select and
// the poll, the copy, the analysis of a known EDID, and answers dropped, corrupted or late.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>

#include "app/qt/AppState.h"
#include "app/qt/QuitSignals.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "edid/EdidImage.h"
#include "edid/NewEdidTemplate.h"
#include "link/SlotName.h"
#include "link/qt/UartController.h"
#include "support/Cli.h"
#include "support/DevSim.h"
#include "support/RecordingDialogs.h"
#include "support/Settle.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/ScreenPlacement.h"
#include "ui/qt/StringGrid.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/analysis/qt/SummaryView.h"

namespace edid_controller_devsim_test {

using namespace tavo;

QString SamplePath(const QString& id) {
    return QStringLiteral(TAVO_TEST_DATA "/edid/") + id + ".bin";
}
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QByteArray Template() {
    return QByteArray(reinterpret_cast<const char*>(NewEdidTemplate().data()), kEdidSize);
}

const QString kA = "6311a3e944772acc", kB = "002d10c53aa9561f", kC = "003e3a86840230ba";

// The simulator: I=2 O=1 U=3 N=2, output1, user3 and internal2 preloaded; its state in a
// directory of its own.
struct Sim {
    QTemporaryDir stateDir; // made before the simulator, which loads and writes it
    tavo::testing::DevSim sim;
    const QString& path = sim.path;

    explicit Sim(const QStringList& extra = {})
        : sim(QStringList{"--mode-poll", "0", "--inputs", "2", "--outputs", "1", "--users", "3",
                          "--internals", "2", "--slot", "output1=" + SamplePath(kA), "--slot",
                          "user3=" + SamplePath(kB), "--slot", "internal2=" + SamplePath(kC),
                          "--state-dir", stateDir.path()} +
              extra) {}
    QString State() const { return stateDir.path(); }
    QByteArray Slot(const QString& name) const { return ReadAll(State() + "/" + name + ".bin"); }
    QString Mode() const { return QString::fromLatin1(ReadAll(State() + "/mode")).trimmed(); }
    QString Log() const { return sim.Log(); }
    // Requests logged so far (the lines that are not events).
    QStringList Requests() const {
        QStringList out;
        for (const QString& l : Log().split('\n', Qt::SkipEmptyParts))
            if (!l.startsWith('#')) out << l.section('\t', 1, 1);
        return out;
    }
};

// The real main window on the simulator, connected, with the device pages in "Commander".
struct Window {
    AppState state;
    tavo::test::RecordingDialogs dialogs;
    tavo::test::ScopedDialogs scoped{&dialogs};
    std::unique_ptr<TForm1> form;
    QTemporaryDir files;

    explicit Window(const Sim& sim) {
        qputenv("TAVO_SERIAL_PORTS", sim.path.toLocal8Bit());
        form = std::make_unique<TForm1>(state);
        form->BitBtn_Search->click();
        form->Grid->StringGrid1SelectCell(0, 1);
    }
    bool Connected() { return form->Uart->session().isConnected(); }
    QComboBox* All() { return form->findChild<QComboBox*>("ComboBox_EdidSel_All"); }
    int Position(const QString& item) { return All()->findText(item); }
    QString Label2() { return form->findChild<QLabel*>("Label2")->text(); }
    QString Row(std::string_view name) {
        return form->findChild<QLabel*>(QString::fromLatin1(name.data(), qsizetype(name.size())))
            ->text();
    }
    QString File(const QString& name) { return files.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(File(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    // Saves the slot shown as `item` to a file; returns the file's contents (empty: none).
    QByteArray Save(const QString& item, const QString& name) {
        All()->setCurrentIndex(Position(item));
        dialogs.saveAnswer = File(name);
        form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        Settle();
        return ReadAll(File(name));
    }
    void Open(const QString& item, const QString& file) {
        All()->setCurrentIndex(Position(item));
        dialogs.openAnswer = file;
        form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        Settle();
    }
    void Analyse(const QString& item) {
        All()->setCurrentIndex(Position(item));
        form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        Settle();
    }
    // The clicked operation has shown its verdict.
    void Settle() { tavo::test::Settle(*form->Uart, {form->EdidController}); }
};

using Run = tavo::testing::CliRun;
inline Run Cli(const QStringList& args) {
    return tavo::testing::RunCli(args);
}

class EdidControllerDevsimTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> data_; // the history goes here, never into the real home

    // Every text `labelName` (Label2: the slot group's line) shows while `action` runs and the one
    // it leaves, " (red)" added to those shown in red.
    QStringList Shown(Window& w, const std::function<void()>& action,
                      const char* labelName = "Label2") {
        QStringList shown;
        QTimer probe;
        auto sample = [&] {
            auto* label = w.form->findChild<QLabel*>(labelName);
            const QString text =
                label->text() +
                (label->palette().color(QPalette::WindowText) == QColor(255, 0, 0) ? " (red)" : "");
            if (!label->text().isEmpty() && (shown.isEmpty() || shown.last() != text))
                shown << text;
        };
        QObject::connect(&probe, &QTimer::timeout, sample);
        probe.start(5);
        action();
        w.Settle();
        sample();
        return shown;
    }

private slots:
    void init() { // a history of its own for each test
        data_ = std::make_unique<QTemporaryDir>();
        QVERIFY(data_->isValid());
        qputenv("XDG_DATA_HOME", data_->path().toLocal8Bit());
    }

    // A device that stores other bytes than it was sent, answering "OK" to every chunk: open,
    // copy and the command line report the failure from the bytes read back; a device that needs
    // a moment to commit passes on the second read.
    void writesAreJudgedByTheBytesReadBack() {
        Sim sim({"--corrupt-writes"});
        Window w(sim);
        QVERIFY(w.Connected());
        const QString a = SamplePath(kA);
        QStringList shown = Shown(w, [&] { w.Open("User 2", a); });
        // no "Ok." while it is sent: the verdict once the slot was read back
        QCOMPARE(shown, QStringList({"Uploading...", "Upload Edid Failed. (red)"}));
        const QString log = w.form->Memo_Debug->toPlainText();
        QVERIFY2(log.contains("4 of 256 bytes differ, the first at offset 0 (0x00)"),
                 qPrintable(log));
        QVERIFY(log.contains("read again after 500 ms"));

        auto* src = w.form->findChild<QComboBox*>("ComboBox_EdidSel_Src");
        auto* dest = w.form->findChild<QComboBox*>("ComboBox_EdidSel_Dest");
        src->setCurrentIndex(src->findText("Output 1"));
        dest->setCurrentIndex(dest->findText("Input 2"));
        // the copy reports in its own group's line
        shown = Shown(
            w,
            [&] { w.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")->click(); },
            "Label_Copy_Status");
        QCOMPARE(shown, QStringList({"Copying...", "Upload Edid Failed. (red)"}));
        QVERIFY(sim.Slot("input2") != ReadAll(SamplePath(kA))); // stored corrupted

        w.form.reset(); // the command line takes the port
        Run r = Cli({"device", "write", "user3", a, "--port", sim.path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Upload Edid Failed.") &&
                     r.err.contains("4 of 256 bytes differ, the first at offset 0"),
                 qPrintable(r.err));
        r = Cli({"device", "write", "user3", a, "--port", sim.path, "--no-verify"});
        QVERIFY2(r.code == 0, qPrintable(r.err));

        Sim late({"--late-commit"});
        Window l(late);
        shown = Shown(l, [&] { l.Open("User 2", a); });
        QCOMPARE(shown, QStringList({"Uploading...", "Ok."}));
        QCOMPARE(late.Slot("user2"), ReadAll(a));
        QVERIFY(l.form->Memo_Debug->toPlainText().contains("read again after 500 ms"));
        l.form.reset();
        r = Cli({"device", "write", "input1", a, "--port", late.path, "--verbose"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("read again after 500 ms"));
    }

    // Closing the window during an upload, or SIGTERM or SIGHUP to it: the upload and its
    // verification finish, then the window closes.
    void closingWaitsForTheSlotWrite_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("close") << 0;
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void closingWaitsForTheSlotWrite() {
        QFETCH(int, signal);
        Sim sim;
        Window w(sim);
        const QuitSignals quit([&] { w.form->CloseOnSignal(); });
        QSignalSpy closed(w.form.get(), &TForm1::closed);
        int closedAtOnce = -1;
        QTimer::singleShot(60, [&] {
            if (signal == 0)
                w.form->close();
            else
                ::kill(::getpid(), signal);
            QCoreApplication::processEvents(); // the signal's pipe is read
            closedAtOnce = closed.count();
        });
        w.Open("User 2", SamplePath(kA));
        QCOMPARE(closedAtOnce, 0);
        QCOMPARE(sim.Slot("user2"), ReadAll(SamplePath(kA)));
        QVERIFY(sim.Log().contains("$SET SYS_CTM"));
        QTRY_COMPARE(closed.count(), 1);
    }

    // The main window's "Device" menu: the history with the summary of an entry and its restore,
    // a backup into a folder and its restore.
    void deviceMenuHistoryAndBackup() {
        Sim sim;
        Window w(sim);
        w.Open("User 1", SamplePath(kA));
        w.form->findChild<QAction*>("Action_History")->trigger();
        auto* history = w.form->findChild<QWidget*>("Form_History");
        QVERIFY(history && history->isVisible());
        auto* list = history->findChild<QListWidget*>("ListBox_History");
        QCOMPARE(list->count(), 1);
        QVERIFY(list->item(0)->text().startsWith("user1  #1  "));
        const QString summary = history->findChild<QLabel*>("Label_History_Summary")->text();
        QVERIFY2(summary.contains("Monitor Name : BrandNewEdid"), qPrintable(summary));
        history->findChild<QPushButton*>("Button_History_Restore")->click();
        QVERIFY2(w.dialogs.confirmations.last().text.contains("(BrandNewEdid) into user1?"),
                 qPrintable(w.dialogs.confirmations.last().text));
        QCOMPARE(sim.Slot("user1"), Template());
        QCOMPARE(history->findChild<QLabel*>("Label_History_Status")->text(), QString("Ok."));
        QCOMPARE(list->count(), 2); // what the restore replaced is kept too

        QTemporaryDir folder;
        w.dialogs.folderAnswer = folder.path();
        w.form->findChild<QAction*>("Action_Backup")->trigger();
        QVERIFY(QFile::exists(folder.filePath("manifest.json")));
        const QByteArray user3 = sim.Slot("user3");
        QCOMPARE(ReadAll(folder.filePath("user3.bin")), user3);
        QCOMPARE(w.dialogs.messages.last().caption, QString("Backup"));
        w.Open("User 3", SamplePath(kC));
        QCOMPARE(sim.Slot("user3"), ReadAll(SamplePath(kC)));
        // the description changed after the backup: the restore brings the device's back, and
        // every place that shows it shows what the device then holds
        auto* description = w.form->findChild<QLineEdit*>("Edit_Product_String");
        description->setText("Changed desc");
        w.form->findChild<QAbstractButton*>("SpeedButton_SysConfig")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.form->Uart->runner().idle(), 20000); // it ran on the runner
        QCOMPARE(ReadAll(sim.State() + "/description"), QByteArray("Changed desc"));
        QStringList progress;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            auto* label = w.form->findChild<QLabel*>("Label_Progress");
            if (label && (progress.isEmpty() || progress.last() != label->text()))
                progress << label->text();
        });
        probe.start(5);
        w.form->findChild<QAction*>("Action_RestoreBackup")->trigger();
        probe.stop();
        QCOMPARE(sim.Slot("user3"), user3);
        QCOMPARE(w.dialogs.messages.last().kind, DialogKind::Information);
        QVERIFY(w.dialogs.messages.last().text.contains("user3: written, verified"));
        QCOMPARE(ReadAll(sim.State() + "/description"), QByteArray("Simulated device"));
        QCOMPARE(description->text(), QString("Simulated device"));
        QCOMPARE(w.form->findChild<StringGrid*>("StringGrid1")->Cell(1, 3).trimmed(),
                 QString("Simulated device"));
        QVERIFY2(progress.contains("Restore Backup: item 1 of 7 (input1)") &&
                     progress.contains("Restore Backup: item 7 of 7 (description)"),
                 qPrintable(progress.join(" | ")));

        // stopped between two items: the rest are named as not tried, nothing more is sent
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            auto* label = w.form->findChild<QLabel*>("Label_Progress");
            if (label && label->text().contains("item 2 of"))
                w.form->findChild<QPushButton*>("Button_Progress_Stop")->click();
        });
        stopper.start(5);
        w.form->findChild<QAction*>("Action_RestoreBackup")->trigger();
        stopper.stop();
        const QString report = w.dialogs.messages.last().text;
        QCOMPARE(w.dialogs.messages.last().kind, DialogKind::Warning);
        QVERIFY2(report.contains("input2: written, verified") &&
                     report.contains("user1: not tried (stopped)") &&
                     report.contains("description: not tried (stopped)"),
                 qPrintable(report));

        // an entry whose file went: said at Restore, nothing sent
        w.form->findChild<QAction*>("Action_History")->trigger();
        const QString input1 = QDir(data_->filePath("tavo/history"))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                   .last();
        QDir entries(data_->filePath("tavo/history/" + input1 + "/input1"));
        QVERIFY(entries.remove(entries.entryList({"*.bin"}, QDir::Files, QDir::Name).last()));
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->text().startsWith("input1  #1  ")) list->setCurrentRow(row);
        const int sent = sim.Requests().size();
        history->findChild<QPushButton*>("Button_History_Restore")->click();
        const QString status = history->findChild<QLabel*>("Label_History_Status")->text();
        QVERIFY2(status.startsWith("The entry's file cannot be read: ") &&
                     status.endsWith("Nothing written."),
                 qPrintable(status));
        QCOMPARE(sim.Requests().size(), sent);
        // the long verdict wraps: the window stays within the screen
        QVERIFY2(WorkAreaOf(history).contains(history->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(history->frameGeometry().x())
                                .arg(history->frameGeometry().y())
                                .arg(history->frameGeometry().width())
                                .arg(history->frameGeometry().height())));
    }

    // The slot's former EDID cannot be kept (the history folder is a file): the window asks
    // before it writes, and "no" sends nothing.
    void aWriteWithoutItsHistoryIsAsked() {
        QFile blocker(data_->filePath("tavo/history"));
        QVERIFY(QDir().mkpath(data_->filePath("tavo")) && blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Sim sim;
        Window w(sim);
        const QByteArray before = sim.Slot("user1");
        w.dialogs.confirmAnswer = false;
        w.Open("User 1", SamplePath(kA));
        QVERIFY(!w.dialogs.confirmations.isEmpty());
        QVERIFY2(w.dialogs.confirmations.last().text.startsWith(
                     "The EDID in User 1 cannot be kept in the history: write anyway?\n"),
                 qPrintable(w.dialogs.confirmations.last().text));
        QCOMPARE(sim.Slot("user1"), before);
        QVERIFY(!sim.Log().contains("SET ND_ED0A"));
        w.dialogs.confirmAnswer = true;
        w.Open("User 1", SamplePath(kA));
        QCOMPARE(sim.Slot("user1"), ReadAll(SamplePath(kA)));
    }

    // What a write replaces is kept per device and slot; the command line lists it and writes it
    // back, verified, keeping what that replaces in turn.
    void historyAndRestore() {
        Sim sim;
        Window w(sim);
        const QByteArray before = sim.Slot("user1");
        w.Open("User 1", SamplePath(kA));
        QCOMPARE(sim.Slot("user1"), ReadAll(SamplePath(kA)));
        w.form.reset(); // the command line takes the port
        Run r = Cli({"device", "history", "user1", "--port", sim.path});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2); // the heading and one entry
        QVERIFY2(lines[1].startsWith("1\t") && lines[1].contains("\tuser1\tNEW\tBrandNewEdid"),
                 qPrintable(lines[1]));
        r = Cli({"device", "restore", "user1", "--port", sim.path});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(sim.Slot("user1"), before);
        r = Cli({"device", "history", "--port", sim.path});
        lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].contains("\tuser1\t") && !lines[1].contains("BrandNewEdid"));
        r = Cli({"device", "restore", "user1", "7", "--port", sim.path});
        QCOMPARE(r.code, 1);
        r = Cli({"device", "restore", "output1", "--port", sim.path});
        QCOMPARE(r.code, 1);
        // --no-history: the slot is not read first, nothing more is kept
        r = Cli({"device", "write", "user1", SamplePath(kB), "--port", sim.path, "--no-history"});
        QCOMPARE(r.code, 0);
        r = Cli({"device", "history", "user1", "--port", sim.path});
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts).size(), 3);
    }

    void saveEveryKindOfSlot() {
        Sim sim;
        QVERIFY(sim.path.startsWith("/dev/"));
        Window w(sim);
        QVERIFY(w.Connected());
        const struct {
            const char* item;
            const char* state;
        } kinds[] = {{"Input 1", "input1"},      {"Input 2", "input2"}, {"Output 1", "output1"},
                     {"User 1", "user1"},        {"User 3", "user3"},   {"Internal 1", "internal1"},
                     {"Internal 2", "internal2"}};
        for (const auto& s : kinds) {
            const QByteArray saved = w.Save(s.item, QString(s.state) + ".bin");
            // the slot's EDID: a valid one-block EDID its own 128 bytes, else all 256
            const QByteArray slot = sim.Slot(s.state);
            EdidImage held{};
            std::copy_n(slot.constData(), std::min<qsizetype>(slot.size(), 256), held.begin());
            std::uint16_t status = 0;
            const bool oneBlock = ValidateImage(held, status) && held[126] == 0;
            QVERIFY2(saved.size() == (oneBlock ? 128 : 256), s.item);
            QCOMPARE(saved, slot.left(saved.size()));
            QCOMPARE(w.dialogs.proposedNames.last(),
                     QString::fromStdString(ProposedEdidFileName(*ParseSlotName(s.state))));
        }
        QCOMPARE(w.Save("Output 1", "o.bin"), ReadAll(SamplePath(kA)));
        QCOMPARE(w.Save("Internal 2", "i.bin"), ReadAll(SamplePath(kC)));
    }

    void openIntoInputsAndUserSlotsOnly() {
        Sim sim;
        Window w(sim);
        const QString a = SamplePath(kA);
        w.Open("Input 2", a);
        QCOMPARE(sim.Slot("input2"), ReadAll(a));
        w.Open("User 2", SamplePath(kC));
        QCOMPARE(sim.Slot("user2"), ReadAll(SamplePath(kC)));
        QCOMPARE(w.Label2(), QString("Ok.")); // stays after the upload

        // outputs and internal slots: refused, nothing sent
        for (const char* item : {"Output 1", "Internal 1"}) {
            const int before = sim.Requests().size();
            w.Open(item, a);
            QCOMPARE(sim.Requests().size(), before);
        }
        QCOMPARE(sim.Slot("internal1"), Template());

        // an invalid file: its message, and only SYS_STM / SYS_CTM go out
        QByteArray bad = ReadAll(a);
        bad[0] = 0x7F;
        const int before = sim.Requests().size();
        QString shown;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (!w.Label2().isEmpty()) shown = w.Label2();
        });
        probe.start(10);
        w.Open("Input 1", w.Write("bad.bin", bad));
        QCOMPARE(shown, QString("Illegal Edid Header."));
        const QStringList sent = sim.Requests().mid(before);
        QCOMPARE(sent.size(), 2);
        QVERIFY(sent[0].startsWith("$SET SYS_STM") && sent[1].startsWith("$SET SYS_CTM"));
        QCOMPARE(sim.Slot("input1"), Template());

        // a cancelled dialog after a good open uploads nothing
        w.Open("Input 1", a);
        QCOMPARE(sim.Slot("input1"), ReadAll(a));
        w.Open("User 1", QString());
        QCOMPARE(sim.Slot("user1"), Template());
    }

    void modeSelectAndThePoll() {
        Sim sim({"--mode", "2", "--mode-poll", "1"});
        Window w(sim);
        // the device starts in mode 2 (Internal 3)
        QTRY_COMPARE_WITH_TIMEOUT(w.state.deviceTable.Current().inputs[0].currentMode, 2, 5000);
        // N=2 O=1 U=3: "User 2" is mode 4
        auto* user2 = w.form->findChild<QRadioButton*>("RadioButton_Set_UserEdid2");
        QTest::mousePress(user2, Qt::LeftButton);
        QTest::mouseRelease(user2, Qt::LeftButton);
        w.Settle();
        QCOMPARE(sim.Mode(), QString("4"));
        QTRY_COMPARE_WITH_TIMEOUT(w.state.deviceTable.Current().inputs[0].currentMode, 4, 5000);
        QVERIFY(user2->isChecked());
        auto* external = w.form->findChild<QRadioButton*>("RadioButton_Set_ExtEdid1");
        QTest::mousePress(external, Qt::LeftButton);
        w.Settle();
        QCOMPARE(sim.Mode(), QString("2"));
        QTRY_COMPARE_WITH_TIMEOUT(w.state.deviceTable.Current().inputs[0].currentMode, 2, 5000);
        QVERIFY(external->isChecked());
    }

    void copyFromSourceToDestination() {
        Sim sim;
        Window w(sim);
        QVERIFY(!w.form->findChild<QFrame*>("Panel52")->isHidden());
        auto* src = w.form->findChild<QComboBox*>("ComboBox_EdidSel_Src");
        auto* dest = w.form->findChild<QComboBox*>("ComboBox_EdidSel_Dest");
        src->setCurrentIndex(src->findText("Internal 2"));
        dest->setCurrentIndex(dest->findText("User 1"));
        w.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")->click();
        w.Settle();
        QCOMPARE(sim.Slot("user1"), ReadAll(SamplePath(kC)));
        src->setCurrentIndex(src->findText("Output 1"));
        dest->setCurrentIndex(dest->findText("Input 2"));
        w.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")->click();
        w.Settle();
        QCOMPARE(sim.Slot("input2"), ReadAll(SamplePath(kA)));
        QVERIFY(w.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")->isEnabled());
    }

    void analysisOfAKnownEdid() {
        Sim sim;
        Window w(sim);
        w.Analyse("Output 1");
        QFile f(QStringLiteral(TAVO_TEST_DATA "/edid/") + kA + ".json");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject golden = QJsonDocument::fromJson(f.readAll()).object();
        for (int row = 0; row < kSummaryRowCount; ++row) {
            QString shown = w.Row(kSummaryLabelNames[row]);
            shown.remove('\n');
            const QString key = QString::fromLatin1(kSummaryTitles[row].data(),
                                                    qsizetype(kSummaryTitles[row].size()));
            QCOMPARE(shown, golden.value(key).toString());
        }
        QVERIFY(w.form->Form2->isVisible());
        QCOMPARE(GlyphOf(w.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")),
                 QString("ModifyColor"));
        // a later save reuses the transfer buffer; the analysed EDID stays
        w.Save("User 3", "u3.bin");
        QCOMPARE(QByteArray(
                     reinterpret_cast<const char*>(w.form->EdidController->AnalysedImage()->data()),
                     256),
                 ReadAll(SamplePath(kA)));
        // and "open in the creator" opens the analysed EDID, not what the save left behind
        w.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")->click();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(w.state.creatorRecord.image.data()), 256),
                 ReadAll(SamplePath(kA)));
        QVERIFY(!w.form->Form2->isVisible());
    }

    // Answers dropped, corrupted or split past their wait: no file, no analysis, no copy. An
    // answer that is only late is waited for.
    void faultyAnswersAreNeverUsed() {
        const struct {
            const char* fault;
            bool saved;
        } faults[] = {{"drop:ND_ED1A:count=1", false},
                      {"badcrc:ND_ED0B:count=1", false},
                      {"split:ND_ED0B:ms=200,count=1", false},
                      {"late:ND_ED0A:ms=80,count=1", true}};
        for (const auto& [fault, saved] : faults) {
            Sim sim({"--fault", fault});
            Window w(sim);
            QVERIFY2(w.Connected(), fault);
            if (saved) {
                QCOMPARE(w.Save("Output 1", "late.bin"), ReadAll(SamplePath(kA)));
                QCOMPARE(w.Label2(), QString("Ok."));
                continue;
            }
            QVERIFY2(w.Save("Output 1", "faulty.bin").isEmpty(), fault);
            QVERIFY(!QFile::exists(w.File("faulty.bin")));
            QVERIFY2(w.Label2().startsWith("Save Edid Failed. Not saved to faulty.bin"),
                     qPrintable(w.Label2()));
            // the fault is spent: the next save is whole
            QCOMPARE(w.Save("Output 1", "whole.bin"), ReadAll(SamplePath(kA)));
        }
        Sim sim({"--fault", "badcrc:ND_ED1A:count=1"});
        Window w(sim);
        w.Analyse("Output 1");
        QCOMPARE(w.Row("Label_Edid_Header"), QString("No Answer"));
        QCOMPARE(w.Row("Label_CEC_Address"), QString("-"));
        QCOMPARE(GlyphOf(w.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")),
                 QString("ModifyGray"));
        QVERIFY(w.form->EdidController->AnalysedRecord()->status & kStatusValidationMask);
    }

    // The device hangs up in the middle of a save: nothing is written, nothing more is sent.
    void hangUpDuringASave() {
        // search: ENTRANCE, SYS_DSCPT, ND_SEL, ND_DSCPT; row selection: 3 x (ND_SEL, ND_DSCPT)
        // save: SYS_STM, ND_SEL, ND_ED0A, ND_ED0B <- hang-up
        Sim sim({"--hangup-after", "14", "--mode-poll", "0"});
        Window w(sim);
        QVERIFY(w.Connected());
        QVERIFY(w.Save("Input 1", "cut.bin").isEmpty());
        QVERIFY(!QFile::exists(w.File("cut.bin")));
        QVERIFY(!w.Connected());
        QVERIFY(w.form->BitBtn_Search->isEnabled());
        QVERIFY(!w.form->EdidController->Busy());
    }

    void theSameThroughTheCommandLine() {
        Sim sim;
        QTemporaryDir out;
        for (const char* slot : {"input1", "output1", "user3", "internal2"}) {
            const QString file = out.filePath(QString(slot) + ".bin");
            const Run r = Cli({"device", "read", slot, file, "--port", sim.path});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            // the slot's EDID, as its own blocks: a valid one-block EDID is its 128 bytes
            const QByteArray held = sim.Slot(slot);
            const EdidImage image = ImageFromBytes(
                reinterpret_cast<const std::uint8_t*>(held.constData()), std::size_t(held.size()));
            std::uint16_t status = 0;
            const qsizetype own =
                ValidateImage(image, status) ? qsizetype(EdidLength(image)) : held.size();
            QCOMPARE(ReadAll(file), held.left(own));
        }
        Run r = Cli({"device", "write", "user2", SamplePath(kA), "--port", sim.path});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(sim.Slot("user2"), ReadAll(SamplePath(kA)));
        r = Cli({"device", "write", "input2", SamplePath(kC), "--port", sim.path});
        QCOMPARE(r.code, 0);
        QCOMPARE(sim.Slot("input2"), ReadAll(SamplePath(kC)));

        // refused before anything is sent
        const int before = sim.Requests().size();
        for (const char* slot : {"output1", "internal1"}) {
            r = Cli({"device", "write", slot, SamplePath(kA), "--port", sim.path});
            QCOMPARE(r.code, 1);
            QVERIFY(r.err.contains("read only"));
        }
        QFile bad(out.filePath("bad.bin"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(ReadAll(SamplePath(kA)).left(128) + QByteArray(128, '\x01'));
        bad.close();
        r = Cli({"device", "write", "input1", bad.fileName(), "--port", sim.path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Illegal Edid CheckSum1."), qPrintable(r.err));
        QCOMPARE(sim.Requests().size(), before);
        r = Cli({"device", "read", "input3", out.filePath("x.bin"), "--port", sim.path});
        QCOMPARE(r.code, 1); // the device has two inputs
        r = Cli({"device", "read", "speaker1", out.filePath("x.bin"), "--port", sim.path});
        QCOMPARE(r.code, 2);

        r = Cli({"device", "mode", "5", "--port", sim.path}); // user 3
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QString("mode: 5 (User 3)\n"));
        QCOMPARE(sim.Mode(), QString("5"));
        r = Cli({"device", "mode", "--port", sim.path});
        QCOMPARE(r.out, QString("mode: 5 (User 3)\n"));
        r = Cli({"device", "mode", "6", "--port", sim.path});
        QCOMPARE(r.code, 1);
        QCOMPARE(sim.Mode(), QString("5"));
    }

    void commandLineReadWritesNothingWithoutAllChunks() {
        Sim sim({"--fault", "drop:ND_ED1B"});
        QTemporaryDir out;
        const QString file = out.filePath("o.bin");
        const Run r = Cli({"device", "read", "output1", file, "--port", sim.path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("chunk(s) 4"), qPrintable(r.err));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{});
    }

    // Not a check: prints how long the reads take next to the floor of their fixed waits
    // (bench/slot_read_bench.sh collects it).
    void timing() {
        if (qEnvironmentVariableIsEmpty("TAVO_MEASURE")) QSKIP("set TAVO_MEASURE=1 to measure");
        Sim sim({"--mode-poll", "0"});
        Window w(sim);
        const SlotSelector output{0x1000};
        // save: SYS_STM, the read, SYS_CTM
        const unsigned saveFloor = 20 + SlotReadFloorMs(output) + 20;
        const unsigned analysisFloor = SlotReadFloorMs(output);
        const int rounds = 5;
        qint64 save = 0, analysis = 0;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer t;
            t.start();
            w.Save("Output 1", QString("t%1.bin").arg(i));
            save += t.restart();
            w.Analyse("Output 1");
            analysis += t.elapsed();
        }
        qInfo("MEASURE save %.1f ms floor %u ms ratio %.3f", double(save) / rounds, saveFloor,
              double(save) / rounds / saveFloor);
        qInfo("MEASURE analysis %.1f ms floor %u ms ratio %.3f", double(analysis) / rounds,
              analysisFloor, double(analysis) / rounds / analysisFloor);
    }
};

} // namespace edid_controller_devsim_test

QTEST_MAIN(edid_controller_devsim_test::EdidControllerDevsimTest)
#include "edid_controller_devsim_test.moc"
