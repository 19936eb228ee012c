// Figures, not a test: a 64 KiB image through the real main window to the simulated device in
// ISP mode, its time against the floor the fixed waits set, and the longest time the window's
// event loop was held up meanwhile. Runs only when TAVO_FIRMWARE_BENCH=1 (bench/firmware_bench.sh
// sets it); otherwise it skips.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "link/Frame.h"
#include "maintenance/Firmware.h"
#include "maintenance/qt/SystemPage.h"
#include "support/DevSim.h"
#include "support/FirmwareFiles.h"
#include "support/LoopGapMeter.h"
#include "support/RecordingDialogs.h"

namespace system_firmware_bench {

using namespace tavo;

class SystemFirmwareBench : public QObject {
    Q_OBJECT
private slots:
    void transfer64KiBThroughTheWindow() {
        if (qEnvironmentVariable("TAVO_FIRMWARE_BENCH") != "1")
            QSKIP("figures only: run bench/firmware_bench.sh");
        QTemporaryDir dir;
        const QString received = dir.filePath("received.bin");
        // restarting at once, the device confirms the update right after it
        testing::DevSim sim({"--isp", "--fw-out", received, "--fw-restart", "0"});
        QVERIFY(!sim.path.isEmpty());
        const QString port = sim.path;
        qputenv("TAVO_SERIAL_PORTS", port.toLocal8Bit());

        test::RecordingDialogs dialogs;
        test::ScopedDialogs installed(&dialogs);
        AppState state;
        TForm1 form(state);
        form.BitBtn_Search->click();
        form.Discovery->StringGrid1SelectCell(0, 1);
        const QByteArray image = test::FirmwareBytes(int(kFwMaxSize));
        QVERIFY(test::WriteFile(dir.filePath("fw.bin"), image));
        dialogs.openAnswer = dir.filePath("fw.bin");
        form.Find<QAbstractButton>("SpeedButton_OpenFw")->click();

        // the floor: every block's FW_ADDR and FW_DATA with their waits, then FW_END
        const SlotSelector none{};
        const unsigned addressMs = Uart_PostSendWaits(kModeSet, FW_ADDR, none).totalMs();
        const unsigned dataMs = Uart_PostSendWaits(kModeSet, FW_DATA, none).totalMs();
        const unsigned endMs = Uart_PostSendWaits(kModeSet, FW_END, none).totalMs();
        const qint64 blocks = qint64(kFwMaxSize / kFwBlock);
        const qint64 floorMs = blocks * (addressMs + dataMs) + endMs;

        test::LoopGapMeter meter;
        QElapsedTimer clock;
        qint64 tookMs = -1; // the transfer: until "100%" (the confirmation's search comes after)
        QObject::connect(form.System, &SystemPage::progressShown, [&](const QString& text, bool) {
            if (text == QLatin1String("100%")) tookMs = clock.elapsed();
        });
        meter.start();
        clock.start();
        form.Find<QAbstractButton>("SpeedButton_UpdateFw")->click();
        meter.stop();
        QVERIFY(tookMs > 0);
        QCOMPARE(form.Find<QLabel>("Label1")->text(), QString("100%"));
        QTRY_VERIFY(QFile::exists(received));
        QFile got(received);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), image);

        std::printf("window: 64 KiB in %lld blocks: %lld ms, floor %lld ms "
                    "(%u + %u ms per block + %u ms), ratio %.4f (goal <= 1.05)\n",
                    blocks, tookMs, floorMs, addressMs, dataMs, endMs,
                    double(tookMs) / double(floorMs));
        std::printf("window: longest event-loop gap %lld ms with a 10 ms timer, %lld ticks "
                    "(goal < 100 ms)\n",
                    meter.longestGapMs(), meter.ticks());
        std::fflush(stdout);
    }
};

} // namespace system_firmware_bench

QTEST_MAIN(system_firmware_bench::SystemFirmwareBench)
#include "system_firmware_bench.moc"
