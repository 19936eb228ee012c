// The "EDID Creator" of the real main window against the simulated device: a new EDID uploaded
// into a user slot lands there byte for byte as the engine built it, a save writes the same
// bytes, pages that cannot be built are neither saved nor uploaded, and an upload survives a
// device that drops its answers or hangs up.
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "edid/EdidImage.h"
#include "link/qt/UartController.h"
#include "support/DevSim.h"
#include "support/RecordingDialogs.h"
#include "unit/creator_test_util.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/qt/EdidCreatorPage.h"

namespace creator_devsim_test {

using namespace tavo;
using tavo::test::RecordingDialogs;
using tavo::test::ScopedDialogs;
using tavo::testing::DevSim;

QByteArray Bytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The simulator (2 inputs, 2 user slots, no mode poll) with its slots in a folder, and the main
// window connected to it.
struct Rig {
    QTemporaryDir state;
    std::unique_ptr<DevSim> sim;
    RecordingDialogs dialogs;
    ScopedDialogs installed{&dialogs};
    AppState app;
    std::unique_ptr<TForm1> form;
    EdidCreatorPage* creator = nullptr;
    QTemporaryDir files;

    explicit Rig(const QStringList& extra = {}) {
        sim = std::make_unique<DevSim>(QStringList{"--inputs", "2", "--users", "2", "--mode-poll",
                                                   "0", "--state-dir", state.path()} +
                                       extra);
        qputenv("TAVO_SERIAL_PORTS", sim->path.toLocal8Bit());
        form = std::make_unique<TForm1>(app);
        creator = form->Creator;
    }
    bool Connect() {
        form->BitBtn_Search->click();
        return form->Uart->session().isConnected();
    }
    QString Slot(const char* name) const { return state.filePath(name); }
    QComboBox* UploadList() { return form->findChild<QComboBox*>("ComboBox_EdidSel_Upload"); }
    QLineEdit* Edit(const char* name) { return form->findChild<QLineEdit*>(name); }
    QAbstractButton* Box(const char* name) { return form->findChild<QAbstractButton*>(name); }
    QString Warning() { return form->findChild<QLabel*>("Label_EdidCreator_Warning")->text(); }
    // The image the engine builds from what the page shows now, built apart from the window.
    EdidImage Expected() {
        EdidRecord record = app.creatorRecord;
        if (!creator::Build(creator->page(), record)) return {};
        return record.image;
    }
    void Upload() {
        QSignalSpy finished(creator, &EdidCreatorPage::uploadFinished);
        form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(finished.count(), 1); // the handler returns only when the upload is over
    }
};

class CreatorDevsimTest : public QObject {
    Q_OBJECT
    QTemporaryDir data_; // the slot history, never in the real home
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    void newUploadedIntoUserSlot1() {
        Rig rig;
        QVERIFY(!rig.sim->path.isEmpty());
        QVERIFY(rig.Connect());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        rig.Box("CheckBox_VideoIdCode_97")->click();
        rig.Box("CheckBox_AudioFormat_6")->click(); // DTS
        rig.Box("CheckBox_SpeakerPosition_8")->click();
        const EdidImage expected = rig.Expected();
        std::uint16_t st = 0;
        QVERIFY(ValidateImage(expected, st));

        QCOMPARE(rig.UploadList()->itemText(3), QString("User 1"));
        rig.UploadList()->setCurrentIndex(3);
        const QByteArray user2 = ReadFile(rig.Slot("user2.bin"));
        const QByteArray input1 = ReadFile(rig.Slot("input1.bin"));
        QCOMPARE(user2.size(), 256);
        QVERIFY(Bytes(expected) != user2);
        rig.Upload();
        QCOMPARE(ReadFile(rig.Slot("user1.bin")), Bytes(expected));
        QVERIFY(rig.app.creatorRecord.image == expected);
        QCOMPARE(ReadFile(rig.Slot("user2.bin")), user2);
        QCOMPARE(ReadFile(rig.Slot("input1.bin")), input1);
        const QString log = rig.sim->Log();
        QVERIFY(log.contains("$SET ND_SEL 2000"));
        QVERIFY(!log.contains("\tNG")); // every chunk was taken
        QVERIFY(rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());

        // and into input 2: the slot the list shows there
        rig.Edit("Edit_Creator_Monitor_Name")->setText("Second");
        const EdidImage second = rig.Expected();
        rig.UploadList()->setCurrentIndex(1);
        rig.Upload();
        QCOMPARE(ReadFile(rig.Slot("input2.bin")), Bytes(second));
        QCOMPARE(ReadFile(rig.Slot("user1.bin")), Bytes(expected));
    }

    void saveWritesTheBuiltBytes() {
        Rig rig;
        QVERIFY(rig.Connect());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        rig.Box("CheckBox_EstablishTiming_13")->click();
        rig.Edit("Edit_Creator_Serial_Number")->setText("4294959999"); // the largest taken
        const EdidImage expected = rig.Expected();
        rig.dialogs.saveAnswer = rig.files.filePath("created.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(ReadFile(rig.dialogs.saveAnswer), Bytes(expected));
        QCOMPARE(rig.dialogs.proposedNames, QStringList{"Created EDID.bin"});
        // the file dialog stands between SYS_STM and SYS_CTM
        const QString log = rig.sim->Log();
        const qsizetype stm = log.indexOf("$SET SYS_STM");
        QVERIFY(stm >= 0);
        QVERIFY(log.indexOf("$SET SYS_CTM") > stm);
        QVERIFY(!log.contains("ND_SEL 2"));
    }

    void pagesThatCannotBeBuiltAreRefused_data() {
        QTest::addColumn<bool>("overSize");
        QTest::addColumn<QString>("message");
        QTest::newRow("over size") << true << "Edid Over Size.";
        QTest::newRow("not a number") << false << "BitRate";
    }
    void pagesThatCannotBeBuiltAreRefused() {
        QFETCH(bool, overSize);
        QFETCH(QString, message);
        Rig rig;
        QVERIFY(rig.Connect());
        if (overSize) {
            // a template whose data blocks fill 120 of the extension's 123 bytes
            std::vector<std::uint8_t> b = {0x58};
            for (int v : {1,  2,  7,  8,  9,  10, 11, 12, 13, 14, 15, 17,
                          22, 23, 24, 25, 26, 27, 28, 29, 30, 35, 36, 37})
                b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(0x3E);
            for (int i = 0; i < 10; ++i)
                b.insert(b.end(), {0x09, 0x07, 0x03});
            b.insert(b.end(), {0x83, 0x01, 0x00, 0x00});
            b.insert(b.end(), {0x7B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x3C, 0x20, 0x80, 0x6E,
                               0x01, 0x02, 0x03});
            for (int i = 0; i < 14; ++i)
                b.push_back(static_cast<std::uint8_t>(i));
            b.insert(b.end(), {0x7F, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x00});
            b.resize(b.size() + 24, 0);
            QFile f(rig.files.filePath("full.bin"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(Bytes(creator_test::WithBlocks(b)));
            f.close();
            rig.dialogs.openAnswer = f.fileName();
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
            QCOMPARE(rig.Warning(), QString());
            rig.Box("CheckBox_Colorimetry_1")->click();
            rig.Box("CheckBox_HDR_EOTF_1")->click();
        } else {
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
            rig.Box("CheckBox_AudioFormat_3")->click();
            rig.Edit("Edit_AudioAC3_BitRate")->setText("640k");
        }
        const EdidImage before = rig.app.creatorRecord.image;
        const qsizetype logBefore = rig.sim->Log().size();
        rig.dialogs.saveAnswer = rig.files.filePath("refused.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QVERIFY(rig.dialogs.saveFilters.isEmpty());
        QVERIFY(!QFile::exists(rig.dialogs.saveAnswer));
        QVERIFY2(rig.Warning().contains(message), qPrintable(rig.Warning()));

        rig.UploadList()->setCurrentIndex(3);
        const QByteArray user1 = ReadFile(rig.Slot("user1.bin"));
        rig.Upload();
        QCOMPARE(ReadFile(rig.Slot("user1.bin")), user1);
        QVERIFY(rig.app.creatorRecord.image == before);    // the record is left as it was
        const QString log = rig.sim->Log().mid(logBefore); // nothing since the refused save
        QVERIFY2(log.isEmpty(), qPrintable(log));
    }

    // The answers to the upload's own SETs never arrive (the slot is read before and after them:
    // the second of each chunk's answers is the SET's): the bytes the slot holds decide.
    void uploadIgnoresDroppedAnswers() {
        Rig rig({"--fault", "drop:ND_SEL:skip=2,count=1", "--fault", "drop:ND_ED0A:skip=1,count=1",
                 "--fault", "drop:ND_ED0B:skip=1,count=1", "--fault", "drop:ND_ED1A:skip=1,count=1",
                 "--fault", "drop:ND_ED1B:skip=1,count=1"});
        QVERIFY(rig.Connect());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        const EdidImage expected = rig.Expected();
        rig.UploadList()->setCurrentIndex(3);
        QElapsedTimer clock;
        clock.start();
        rig.Upload();
        QVERIFY(clock.elapsed() < 5000); // the fixed waits only, no waiting for answers
        QCOMPARE(ReadFile(rig.Slot("user1.bin")), Bytes(expected));
        QVERIFY(rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());
        QVERIFY(rig.form->Uart->session().isConnected());
        QCOMPARE(rig.form->findChild<QLabel*>("Label3")->text(), QString("Ok.")); // no failure
        QCOMPARE(rig.sim->Log().count("+drop"), 5);
    }

    // A device that stores other bytes than it was sent and answers "OK" to every chunk.
    void uploadIsJudgedByTheSlotReadBack() {
        Rig rig({"--corrupt-writes"});
        QVERIFY(rig.Connect());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        rig.UploadList()->setCurrentIndex(3);
        rig.Upload();
        auto* label3 = rig.form->findChild<QLabel*>("Label3");
        QCOMPARE(label3->text(), QString("Upload Edid Failed."));
        QCOMPARE(label3->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
        QVERIFY(ReadFile(rig.Slot("user1.bin")) != Bytes(rig.Expected()));
    }

    void aDeviceThatHangsUpEndsTheUpload() {
        // ENTRANCE, SYS_DSCPT, ND_SEL, ND_DSCPT, the slot read for the history (ND_SEL, four
        // GETs), then the upload's ND_SEL and ND_ED0A; the request after them kills the port
        Rig rig({"--hangup-after", "12"});
        QVERIFY(rig.Connect());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        rig.UploadList()->setCurrentIndex(3);
        rig.Upload();
        QTRY_VERIFY(!rig.form->Uart->session().isConnected());
        const QString log = rig.sim->Log();
        QVERIFY2(log.contains("$SET ND_ED0A") && !log.contains("$SET ND_ED1A"), qPrintable(log));
        QVERIFY(rig.form->BitBtn_Search->isEnabled());
        QVERIFY(rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());
        QVERIFY(!rig.creator->busy());
        QVERIFY(!rig.form->Uart->session().pollTimer().isActive());
        // the failure stays on the page; a later click with no device does nothing
        QCOMPARE(rig.form->findChild<QLabel*>("Label3")->text(), QString("Upload Edid Failed."));
        rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(rig.form->findChild<QLabel*>("Label3")->text(), QString("Upload Edid Failed."));
    }
};

} // namespace creator_devsim_test

QTEST_MAIN(creator_devsim_test::CreatorDevsimTest)
#include "creator_devsim_test.moc"
