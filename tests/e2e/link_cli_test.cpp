// tavo-cli device info against the simulated device: one port, a search over several, ISP mode,
// and nothing answering.
#include <QProcess>
#include <QtTest>

#include "support/Cli.h"
#include "support/DevSim.h"

namespace link_cli_test {

using Sim = tavo::testing::DevSim;

using Run = tavo::testing::CliRun;
inline Run Cli(const QStringList& args, const QString& ports) {
    return tavo::testing::RunCli(args, ports);
}

void PrintsTheDescriptors(const Sim& sim) {
    const Run r = Cli({"device", "info", "--port", sim.path}, "/dev/tavo-not-this-one");
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    for (const QString& want :
         {"port: " + sim.path, QString("mode: normal"), QString("product: Cli Matrix"),
          QString("description: Desk"), QString("firmware version: 2.07"), QString("inputs: 3"),
          QString("outputs: 1"), QString("user slots: 5"), QString("internal slots: 2"),
          QString("input 1 mode poll: F"), QString("input 1 modes selectable: T")})
        QVERIFY2(lines.contains(want), qPrintable(want + " in\n" + r.out));
}

class LinkCliTest : public QObject {
    Q_OBJECT
private slots:
    // From a device that answers at once and from one whose every answer comes 150 ms late.
    void infoPrintsTheDescriptors() {
        for (const char* delay : {"0", "150"}) {
            Sim sim({"--product", "Cli Matrix", "--description", "Desk", "--inputs", "3", "--users",
                     "5", "--internals", "2", "--fw-version", "2.07", "--mode-poll", "0",
                     "--delay-ms", delay});
            PrintsTheDescriptors(sim);
            if (QTest::currentTestFailed()) return qWarning("with --delay-ms %s", delay);
        }
    }

    void infoSearchesLikeTheWindowAndTakesTheFirst() {
        Sim a({"--product", "First"}), b({"--product", "Second"});
        const Run r = Cli({"device", "info"}, "/dev/tavo-absent:" + a.path + ":" + b.path);
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("product: First\n"));
        // the device is released again: a second run finds it free
        QCOMPARE(Cli({"device", "info", "--port", a.path}, "").code, 0);
    }

    void ispDevice() {
        Sim sim({"--isp"});
        const Run r = Cli({"device", "info"}, sim.path);
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("mode: ISP\n"));
    }

    void nothingAnswers() {
        Sim silent({"--fault", "drop:ENTRANCE"});
        Run r = Cli({"device", "info"}, "/dev/tavo-absent:" + silent.path);
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("no device answered on /dev/tavo-absent, " + silent.path));
        QVERIFY(r.out.isEmpty());
        r = Cli({"device", "info"}, "");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("no serial ports to search"));
        QCOMPARE(Cli({"device", "info", "--port"}, "").code, 2);
        // a second command while another one holds the port: the port is busy, not silent
        Sim held;
        QProcess watch;
        watch.start(QStringLiteral(TAVO_BINARY_DIR "/tools/tavo-cli/tavo-cli"),
                    {"device", "watch", "--port", held.path});
        QVERIFY(watch.waitForReadyRead(10000)); // "connected: ..."
        for (const QStringList& args :
             {QStringList{"device", "info"}, QStringList{"device", "read", "input1", "/dev/null"},
              QStringList{"device", "description"}}) {
            r = Cli(args + QStringList{"--port", held.path}, "");
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(held.path + " is busy: another program or tavo-cli command is "
                                                "using it"),
                     qPrintable(args.join(' ') + ": " + r.err));
        }
        r = Cli({"device", "info"}, "/dev/tavo-absent:" + held.path);
        QVERIFY2(
            r.err.contains("no device answered on /dev/tavo-absent; " + held.path + " is busy"),
            qPrintable(r.err));
        watch.terminate();
        watch.waitForFinished(5000);
        QCOMPARE(Cli({"device", "frobnicate"}, "").code, 2);
    }

    void descriptorsThatNeverArriveAreAFailure() {
        Sim sim({"--fault", "badcrc:SYS_DSCPT"});
        const Run r = Cli({"device", "info", "--port", sim.path}, "");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("did not give its descriptors"));
        QVERIFY(r.err.contains("CRC Error!"));
    }
};

} // namespace link_cli_test

QTEST_MAIN(link_cli_test::LinkCliTest)
#include "link_cli_test.moc"
