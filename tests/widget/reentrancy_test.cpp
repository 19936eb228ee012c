// Re-entrancy on the real main window over the in-memory device: while any device operation runs
// (a runner's operation ends after its click returns; the ones not yet on the runner wait in
// nested event loops; either way clicks get through), every device button is clicked again
// and again, and the operation must stay the only one on the link; and a disconnect or a lost port
// in the middle of each operation ends it cleanly and leaves a window that searches again.
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "edid/NewEdidTemplate.h"
#include "link/qt/UartController.h"
#include "maintenance/qt/SystemPage.h"
#include "support/FirmwareFiles.h"
#include "support/MemoryDevice.h"
#include "support/RecordingDialogs.h"
#include "support/Settle.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/creator/qt/EdidCreatorPage.h"

namespace reentrancy_test {

using namespace tavo;
using tavo::test::MemoryDevice;
using tavo::test::Request;

constexpr unsigned kInternals = 8, kOutputs = 1, kUsers = 8; // every Mode Select button in use

// The buttons that start something on the device, besides the Mode Select family and the grid.
constexpr const char* kDeviceButtons[] = {"BitBtn_Search",
                                          "SpeedButton_OpenEdid",
                                          "SpeedButton_SaveEdid",
                                          "SpeedButton_AnalysisEdid",
                                          "SpeedButton_CopyEdid_Src2Dest",
                                          "SpeedButton_CopyEdid_Creator",
                                          "SpeedButton_OpenEdid_Creator",
                                          "SpeedButton_SaveEdid_Creator",
                                          "SpeedButton_SysConfig",
                                          "SpeedButton_SysDefault",
                                          "SpeedButton_UpdateFw"};

// The whole Mode Select family, by the names the window gives it.
std::vector<QString> ModeButtonNames() {
    std::vector<QString> names;
    for (ModeButtonKind kind :
         {ModeButtonKind::Internal, ModeButtonKind::External, ModeButtonKind::User})
        for (int n = 1; n <= ModeButtonCount(kind); ++n)
            names.push_back(QString::fromStdString(ModeButtonName({kind, n})));
    return names;
}

QByteArray Bytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), kEdidSize);
}

// What one run of an operation did.
struct Outcome {
    QList<QByteArray> sent; // the requests the device saw, "SET ND_SEL" ...
    int dialogs = 0;        // boxes and file dialogs asked
    QByteArray result;      // what the operation produced (a file, a slot, a mode ...)
    QByteArray modeShown;   // the Mode Select button checked afterwards
    bool hooked = false;    // the hook request came
};

struct Rig;

struct Operation {
    QByteArray name;
    bool isp;        // the device waits in ISP mode
    QByteArray hook; // the request during whose wait the clicks or the disconnect come
    std::function<void(Rig&)> prepare;
    std::function<void(Rig&)> start;
    std::function<QByteArray(Rig&)> result; // what it produced
    QByteArray expected;                    // ... when it runs alone
};

struct Rig {
    AppState state;
    MemoryDevice device;
    test::RecordingDialogs dialogs;
    test::ScopedDialogs scoped{&dialogs};
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    explicit Rig(bool isp) {
        device.isp = isp;
        device.internals = kInternals;
        device.outputs = kOutputs;
        device.users = kUsers;
        device.Slot(0x3001) = NewEdidTemplate(); // "Internal 2": the slot that is read
        test::WriteFile(EdidFile(), Bytes(NewEdidTemplate()));
        test::WriteFile(FirmwareFile(), test::FirmwareBytes(600));
        qputenv("TAVO_SERIAL_PORTS", "/dev/memory-device");
        form = std::make_unique<TForm1>(state, nullptr, device.transport);
        // the in-memory loader never restarts: one search after an update is enough to tell
        form->System->Transfer().setRestartWaitMs(0);
        Connect();
        form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")
            ->click(); // an EDID for the creator's upload
    }
    void Connect() {
        Button("BitBtn_Search")->click();
        form->Grid->StringGrid1SelectCell(0, 1);
    }
    QAbstractButton* Button(const QString& name) const {
        auto* b = form->findChild<QAbstractButton*>(name);
        if (!b) qFatal("no button %s", qPrintable(name));
        return b;
    }
    void Choose(const char* combo, const char* item) {
        auto* c = form->findChild<QComboBox*>(combo);
        c->setCurrentIndex(c->findText(item));
    }
    QByteArray CheckedMode() const {
        for (const QString& name : ModeButtonNames())
            if (Button(name)->isChecked()) return name.toLatin1();
        return "none";
    }
    bool Connected() { return form->Uart->session().isConnected(); }
    QString EdidFile() const { return dir.filePath("in.bin"); }
    QString FirmwareFile() const { return dir.filePath("fw.bin"); }
    QString Saved() const { return dir.filePath("saved.bin"); }
    int DialogsAsked() const {
        return int(dialogs.messages.size() + dialogs.openFilters.size() +
                   dialogs.saveFilters.size());
    }

    // What is still running or left switched off after an operation returned.
    QStringList Busy() {
        QStringList out;
        if (form->Uart->session().operationRunning()) out << "link held";
        if (form->EdidController->Busy()) out << "EDID Controller busy";
        if (form->Creator->busy()) out << "creator busy";
        if (form->System->Updating()) out << "firmware update running";
        for (const char* name : {"SpeedButton_CopyEdid_Src2Dest", "SpeedButton_CopyEdid_Creator"})
            if (!Button(name)->isEnabled()) out << QString(name) + " disabled";
        return out;
    }

    // Every device button, clicked as fast as an operator can, `rounds` times in one go.
    void ClickEverything(int rounds = 3) {
        for (int round = 0; round < rounds; ++round) {
            // a description that differs from the device's: an apply would send it
            form->findChild<QLineEdit*>("Edit_Product_String")
                ->setText(QString("Other %1").arg(round));
            for (const char* name : kDeviceButtons)
                Button(name)->click();
            for (const QString& name : ModeButtonNames()) {
                QTest::mousePress(Button(name), Qt::LeftButton);
                QTest::mouseRelease(Button(name), Qt::LeftButton);
            }
            form->Grid->StringGrid1SelectCell(0, 1);
        }
    }

    // Prepares and runs `op`; `during` runs once, from the device's hook, when the hook request
    // arrives (its answer follows, then the request's own waits).
    Outcome Exec(const Operation& op, const std::function<void()>& during = {}) {
        op.prepare(*this);
        const int from = device.Count();
        const int asked = DialogsAsked();
        Outcome out;
        device.onRequest = [&](const Request& r) {
            if (r.name != op.hook || out.hooked) return;
            out.hooked = true;
            if (during) during();
        };
        op.start(*this);
        test::Settle(*form->Uart, {form->EdidController});
        device.onRequest = nullptr;
        out.sent = device.NamesSince(from);
        out.dialogs = DialogsAsked() - asked;
        out.result = op.result ? op.result(*this) : QByteArray();
        out.modeShown = CheckedMode();
        return out;
    }
};

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> ops = [] {
        // a click, and what it submitted to the device's runner run to its end
        auto click = [](const char* name) {
            return [name](Rig& r) {
                r.Button(name)->click();
                QTRY_VERIFY_WITH_TIMEOUT(r.form->Uart->runner().idle(), 20000);
            };
        };
        auto slot = [](std::uint16_t selector) {
            return [selector](Rig& r) { return Bytes(r.device.Slot(selector)); };
        };
        const QByteArray edid = Bytes(NewEdidTemplate()); // "Internal 2" and the file to open
        auto description = [](Rig& r) {
            return QByteArray::fromStdString(r.state.deviceTable.Current().description);
        };
        std::vector<Operation> list = {
            {"search", false, "SYS_DSCPT", [](Rig& r) { r.form->BitBtn_Disconnect->click(); },
             click("BitBtn_Search"),
             [](Rig& r) { return QByteArray(r.Connected() ? "connected" : "not connected"); },
             "connected"},
            {"save", false, "ND_ED0B",
             [](Rig& r) {
                 QFile::remove(r.Saved());
                 r.dialogs.saveAnswer = r.Saved();
                 r.Choose("ComboBox_EdidSel_All", "Internal 2");
             },
             click("SpeedButton_SaveEdid"),
             [](Rig& r) {
                 QFile f(r.Saved());
                 return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("no file");
             },
             edid},
            {"open", false, "ND_ED0B",
             [](Rig& r) {
                 r.device.Slot(0) = EdidImage{};
                 r.dialogs.openAnswer = r.EdidFile();
                 r.Choose("ComboBox_EdidSel_All", "Input 1");
             },
             click("SpeedButton_OpenEdid"), slot(0x0000), edid},
            {"analysis", false, "ND_ED0B",
             [](Rig& r) { r.Choose("ComboBox_EdidSel_All", "Internal 2"); },
             click("SpeedButton_AnalysisEdid"),
             [](Rig& r) {
                 const auto image = r.form->EdidController->AnalysedImage();
                 return image ? Bytes(*image) : QByteArray("none");
             },
             edid},
            {"copy", false, "ND_ED0B",
             [](Rig& r) {
                 r.device.Slot(0x2001) = EdidImage{};
                 r.Choose("ComboBox_EdidSel_Src", "Internal 2");
                 r.Choose("ComboBox_EdidSel_Dest", "User 2");
             },
             click("SpeedButton_CopyEdid_Src2Dest"), slot(0x2001), edid},
            {"creator upload", false, "ND_ED0B",
             [](Rig& r) {
                 r.device.Slot(0x2000) = EdidImage{};
                 r.Choose("ComboBox_EdidSel_Upload", "User 1");
             },
             click("SpeedButton_CopyEdid_Creator"),
             [](Rig& r) {
                 return r.device.Slot(0x2000) == r.state.creatorRecord.image
                            ? QByteArray("the creator's EDID")
                            : Bytes(r.device.Slot(0x2000));
             },
             "the creator's EDID"},
            {"description", false, "SYS_STR",
             [](Rig& r) {
                 r.state.deviceTable.Current().description = "Hall";
                 r.form->findChild<QLineEdit*>("Edit_Product_String")->setText("Room 7");
             },
             click("SpeedButton_SysConfig"), description, "Room 7"},
            {"defaults", false, "SYS_DEF", [](Rig& r) { r.dialogs.confirmAnswer = true; },
             click("SpeedButton_SysDefault"), description, "Hall"},
            {"firmware update", true, "FW_DATA",
             [](Rig& r) {
                 r.dialogs.openAnswer = r.FirmwareFile();
                 r.Button("SpeedButton_OpenFw")->click();
             },
             click("SpeedButton_UpdateFw"),
             [](Rig& r) { return r.form->findChild<QLabel*>("Label1")->text().toLatin1(); },
             "100%"},
            {"grid row",
             false,
             "ND_DSCPT",
             [](Rig&) {},
             [](Rig& r) { r.form->Grid->StringGrid1SelectCell(0, 1); },
             {},
             {}},
        };
        for (const ModeButton& b : ModeButtonsInUse(kInternals, kOutputs, kUsers)) {
            const QString name = QString::fromStdString(ModeButtonName(b));
            list.push_back({name.toLatin1(), false, "ND_SEL", [](Rig&) {},
                            [name](Rig& r) {
                                QTest::mousePress(r.Button(name), Qt::LeftButton);
                                QTest::mouseRelease(r.Button(name), Qt::LeftButton);
                            },
                            [](Rig& r) { return QByteArray::number(r.device.mode); },
                            QByteArray::number(ButtonToMode(b, kInternals, kOutputs))});
        }
        return list;
    }();
    return ops;
}

void OperationRows() {
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < Operations().size(); ++i)
        QTest::newRow(Operations()[i].name.constData()) << int(i);
}

class ReentrancyTest : public QObject {
    Q_OBJECT
private slots:
    void clicksDuringAnOperationAreIgnored_data() { OperationRows(); }
    // The operation alone, then with every button clicked during it, then alone again: the same
    // requests, dialogs and result each time.
    void clicksDuringAnOperationAreIgnored() {
        QFETCH(int, index);
        const Operation& op = Operations()[std::size_t(index)];
        Rig rig(op.isp);
        const Outcome alone = rig.Exec(op);
        QVERIFY(alone.hooked);
        QCOMPARE(alone.result, op.expected);

        const Outcome clicked = rig.Exec(
            op, [&] { QTimer::singleShot(0, rig.form.get(), [&] { rig.ClickEverything(); }); });
        QCOMPARE(clicked.sent, alone.sent);
        QCOMPARE(clicked.dialogs, alone.dialogs);
        QCOMPARE(clicked.result, alone.result);
        QCOMPARE(clicked.modeShown, alone.modeShown);
        QCOMPARE(rig.Busy(), QStringList());
        QVERIFY(rig.Connected());

        const Outcome again = rig.Exec(op);
        QCOMPARE(again.sent, alone.sent);
        QCOMPARE(again.result, alone.result);
        QCOMPARE(rig.device.transport->writesWhileClosed, 0);
    }

    void aDisconnectEndsTheOperation_data() { OperationRows(); }
    // The Disconnect button, then the port failing, during the operation: nothing written to the
    // closed port, no saved file, nothing left busy, Search finds the device again and the
    // operation then works.
    void aDisconnectEndsTheOperation() {
        QFETCH(int, index);
        const Operation& op = Operations()[std::size_t(index)];
        Rig rig(op.isp);
        const std::function<void()> disconnects[] = {
            [&] {
                QTimer::singleShot(0, rig.form.get(),
                                   [&] { rig.form->BitBtn_Disconnect->click(); });
            },
            [&] { rig.device.transport->fail(); },
        };
        for (const auto& disconnect : disconnects) {
            rig.form->statusBar()->clearMessage();
            const Outcome cut = rig.Exec(op, disconnect);
            QVERIFY(cut.hooked);
            QVERIFY(!rig.Connected());
            // "Commander" closed with the lost device: the main window says so (the operator's
            // own Disconnect needs no word)
            const QString said = rig.form->statusBar()->currentMessage();
            QVERIFY2(&disconnect == &disconnects[0] || said.contains("lost", Qt::CaseInsensitive),
                     qPrintable(said));
            QCOMPARE(rig.device.transport->writesWhileClosed, 0);
            QVERIFY(!QFile::exists(rig.Saved()));
            QCOMPARE(rig.Busy(), QStringList());
            QVERIFY(rig.Button("BitBtn_Search")->isEnabled());
            QVERIFY(!rig.Button("BitBtn_Disconnect")->isEnabled());

            const int before = rig.device.Count();
            rig.Connect();
            QVERIFY(rig.Connected());
            QCOMPARE(rig.device.requests.value(before).verb, QByteArray("ENTRANCE"));
        }
        QCOMPARE(rig.Exec(op).result, op.expected); // and the operation works again
    }
};

} // namespace reentrancy_test

QTEST_MAIN(reentrancy_test::ReentrancyTest)
#include "reentrancy_test.moc"
