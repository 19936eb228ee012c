// The device runner over the in-memory device: operations run one at a time in the order they
// were submitted (also those submitted while one runs, and after a handler that held the link),
// none interleaves its commands with another's, stop ends the running one between commands, and
// a lost port ends it with the failure text.
#include <QSignalSpy>
#include <QtTest>
#include <map>

#include "link/qt/DeviceRunner.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/SystemConfig.h"
#include "support/MemoryDevice.h"

namespace device_runner_test {

using namespace tavo;
using tavo::test::MemoryDevice;
using tavo::test::Request;

constexpr SlotSelector kOutput1 = SlotSelector::Make(SlotKind::Output, 0);
constexpr SlotSelector kUser1 = SlotSelector::Make(SlotKind::User, 0);
constexpr SlotSelector kUser2 = SlotSelector::Make(SlotKind::User, 1);
constexpr SlotSelector kInput1 = SlotSelector{0};

const QList<QByteArray> kRead = {"SET ND_SEL", "GET ND_ED0A", "GET ND_ED0B", "GET ND_ED1A",
                                 "GET ND_ED1B"};
const QList<QByteArray> kWrite = {"SET ND_SEL", "SET ND_ED0A", "SET ND_ED0B", "SET ND_ED1A",
                                  "SET ND_ED1B"};

QList<QByteArray> Bracketed(std::initializer_list<QList<QByteArray>> parts) {
    QList<QByteArray> out{"SET SYS_STM"};
    for (const auto& p : parts)
        out += p;
    out << "SET SYS_CTM";
    return out;
}

EdidImage Pattern(std::uint8_t seed) {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(seed + i);
    return image;
}

// A connected session over the memory device, its runner, and the commands each operation sent
// (the requests between its start and its end).
struct Rig {
    MemoryDevice device;
    DeviceTable devices;
    EdidImage transfer{};
    UartSession session{devices, transfer, device.transport};
    SlotHistory history;
    SlotTransfer transfers{session};
    DeviceRunner runner{session, transfers};
    std::map<quint64, int> startedAt, endedAt;
    std::vector<OperationResult> results;

    Rig() {
        device.images[kOutput1.value] = Pattern(1);
        device.images[kUser1.value] = Pattern(2);
        qputenv("TAVO_SERIAL_PORTS", "/dev/memory-device");
        QObject::connect(&runner, &DeviceRunner::started,
                         [this](quint64 id) { startedAt[id] = device.Count(); });
        QObject::connect(&runner, &DeviceRunner::finished, [this](const OperationResult& r) {
            endedAt[r.id] = device.Count();
            results.push_back(r);
        });
    }
    bool connect() { return session.Uart_Search() == UartSession::Found::Normal; }
    QList<QByteArray> commandsOf(quint64 id) const {
        return device.Names().mid(startedAt.at(id), endedAt.at(id) - startedAt.at(id));
    }
};

class DeviceRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void operationsRunInOrderWithoutInterleaving() {
        Rig rig;
        QVERIFY(rig.connect());
        const int before = rig.device.Count();
        // two operations are submitted while the first one runs, right after its start
        quint64 write = 0, readBack = 0;
        QObject::connect(&rig.runner, &DeviceRunner::started, [&](quint64 id) {
            if (id != 1) return;
            write = rig.runner.submit(WriteSlot{kUser1, Pattern(7), {true, false, {}}});
            readBack = rig.runner.submit(ReadSlots{{kUser1}});
        });
        const quint64 first = rig.runner.submit(ReadSlots{{kOutput1, kUser1}});
        QCOMPARE(first, quint64(1));
        QVERIFY(rig.runner.running() || !rig.runner.idle()); // queued, started from the loop
        QTRY_COMPARE_WITH_TIMEOUT(rig.results.size(), std::size_t(3), 10000);
        QVERIFY(rig.runner.idle());

        QCOMPARE(rig.results[0].id, first);
        QCOMPARE(rig.results[1].id, write);
        QCOMPARE(rig.results[2].id, readBack);
        // each ran whole, one after the other, and nothing else went out in between
        QCOMPARE(rig.startedAt[first], before);
        QCOMPARE(rig.startedAt[write], rig.endedAt[first]);
        QCOMPARE(rig.startedAt[readBack], rig.endedAt[write]);
        QCOMPARE(rig.endedAt[readBack], rig.device.Count());
        QCOMPARE(rig.commandsOf(first), Bracketed({kRead, kRead}));
        QCOMPARE(rig.commandsOf(write), Bracketed({kWrite, kRead}));
        QCOMPARE(rig.commandsOf(readBack), Bracketed({kRead}));
        // the values: the two slots as they were, the write verified, the slot read afterwards
        QVERIFY(rig.results[0].failure.empty());
        QCOMPARE(rig.results[0].reads.size(), std::size_t(2));
        QVERIFY(rig.results[0].reads[0].complete() && rig.results[0].reads[1].complete());
        QVERIFY(rig.results[0].reads[0].image == Pattern(1));
        QVERIFY(rig.results[0].reads[1].image == Pattern(2));
        QVERIFY(rig.results[1].write && rig.results[1].write->ok());
        QVERIFY(rig.results[2].reads.at(0).image == Pattern(7));
    }

    void aHandlerHoldingTheLinkGoesFirst() {
        Rig rig;
        QVERIFY(rig.connect());
        bool doneCalled = false;
        {
            const DeviceOperation held(rig.session);
            QVERIFY(held);
            rig.runner.submit(SetMode{3, true},
                              [&](const OperationResult& r) { doneCalled = r.modeTaken; });
            QTest::qWait(100);
            QVERIFY(rig.results.empty()); // nothing starts while another holds the link
            QVERIFY(!rig.runner.running());
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.results.size(), std::size_t(1), 5000);
        QVERIFY(doneCalled);
        QCOMPARE(rig.results[0].mode, 3);
        QCOMPARE(rig.device.mode, 3);
        // while it ran, it held the link
        QVERIFY(!rig.session.operationRunning());
    }

    // stop and a lost port, each in the middle of a write: the sequence sends nothing more (but
    // the closing SYS_CTM after a stop) and says why in its result; what was queued still runs
    void stopAndLossEndTheRunningOperation_data() {
        QTest::addColumn<bool>("lose");
        QTest::newRow("stop") << false;
        QTest::newRow("lost port") << true;
    }
    void stopAndLossEndTheRunningOperation() {
        QFETCH(bool, lose);
        Rig rig;
        QVERIFY(rig.connect());
        rig.device.onRequest = [&](const tavo::test::Request& r) {
            if (r.verb != "SET" || r.name != "ND_ED0B") return;
            if (lose)
                rig.device.transport->fail();
            else
                rig.runner.stop();
        };
        const quint64 write = rig.runner.submit(WriteSlot{kInput1, Pattern(9), {true, false, {}}});
        const quint64 after = rig.runner.submit(ReadSlots{{kOutput1}});
        QTRY_COMPARE_WITH_TIMEOUT(rig.results.size(), std::size_t(2), 10000);
        const OperationResult& r = rig.results[0];
        QCOMPARE(r.id, write);
        QCOMPARE(r.stopped, !lose);
        QCOMPARE(r.lost, lose);
        QCOMPARE(QString::fromStdString(r.failure),
                 lose ? QStringLiteral("the device was lost") : QStringLiteral("stopped"));
        QVERIFY(r.write && !r.write->ok());
        QList<QByteArray> sent = {"SET SYS_STM", "SET ND_SEL", "SET ND_ED0A", "SET ND_ED0B"};
        if (!lose) sent << "SET SYS_CTM";
        QCOMPARE(rig.commandsOf(write), sent);
        QCOMPARE(rig.device.transport->writesWhileClosed, 0);
        // the next one runs after it: whole after a stop, finding the port gone after a loss
        QCOMPARE(rig.results[1].id, after);
        QCOMPARE(rig.results[1].reads.empty() || !rig.results[1].reads[0].complete(), lose);
        QCOMPARE(rig.results[1].failure.empty(), !lose);
    }

    // The description and the defaults, stated by the System layer: each one's commands against
    // the memory device and the value it yields.
    void systemOperationsSendTheirSequence() {
        const QList<QByteArray> keptFirst =
            Bracketed({kRead, kRead}) + QList<QByteArray>{"SET SYS_DEF", "GET SYS_DSCPT"};
        auto refuse = [](SlotSelector, const std::string&) { return false; };
        auto agree = [](SlotSelector, const std::string&) { return true; };
        const struct {
            const char* name;
            DeviceOperationValue operation;
            bool history; // the transfers keep a history
            QList<QByteArray> sent;
            bool reported;
            std::optional<DefaultsKeep> keep; // kept, refused, slot (lost: never here)
        } cases[] = {{"description", SetDescription{"Rack 7"}, true, {"SET SYS_STR"}, false, {}},
                     {"description read back",
                      SetDescription{"Rack 7", true},
                      true,
                      {"SET SYS_STR", "GET SYS_DSCPT"},
                      true,
                      {}},
                     {"defaults, the user slots kept", RestoreDefaults{}, true, keptFirst, true,
                      DefaultsKeep{2, false, {}, {}, false}},
                     {"defaults without the history",
                      RestoreDefaults{{false, {}, {}, {}}},
                      true,
                      {"SET SYS_DEF", "GET SYS_DSCPT"},
                      true,
                      DefaultsKeep{}},
                     {"defaults refused: nowhere to keep User 1",
                      RestoreDefaults{{true, {}, refuse, {}}}, false, Bracketed({kRead}), false,
                      DefaultsKeep{0, true, kUser1, "no history to keep it in", false}},
                     {"defaults reset all the same", RestoreDefaults{{true, {}, agree, {}}}, false,
                      keptFirst, true,
                      DefaultsKeep{0, false, kUser1, "no history to keep it in", false}}};
        for (const auto& c : cases) {
            Rig rig;
            QTemporaryDir root;
            SlotHistory history(root.path());
            if (c.history) rig.transfers.setHistory(&history);
            QVERIFY(rig.connect());
            rig.runner.submit(c.operation);
            QTRY_COMPARE_WITH_TIMEOUT(rig.results.size(), std::size_t(1), 10000);
            const OperationResult& r = rig.results[0];
            QVERIFY2(r.failure.empty(), c.name);
            QVERIFY2(rig.commandsOf(r.id) == c.sent,
                     qPrintable(QString(c.name) + ": " + rig.commandsOf(r.id).join(' ')));
            QVERIFY2(r.reported == c.reported, c.name);
            QVERIFY2(r.keep.has_value() == c.keep.has_value(), c.name);
            if (c.keep) {
                QVERIFY2(r.keep->kept == c.keep->kept && r.keep->refused == c.keep->refused &&
                             r.keep->slot.value == c.keep->slot.value &&
                             r.keep->error == c.keep->error && !r.keep->lost,
                         c.name);
                QCOMPARE(int(history.Entries(rig.devices.Current(), kUser1).size() +
                             history.Entries(rig.devices.Current(), kUser2).size()),
                         c.keep->kept);
            }
            // the text as the device takes it, the defaults' own byte
            for (const Request& q : rig.device.requests) {
                if (q.name == "SYS_STR") QCOMPARE(q.payload, QByteArray("Rack 7"));
                if (q.name == "SYS_DEF") QCOMPARE(q.payload, QByteArray("\x55"));
            }
        }
    }
};

} // namespace device_runner_test

QTEST_MAIN(device_runner_test::DeviceRunnerTest)
#include "device_runner_test.moc"
