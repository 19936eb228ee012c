// 10,000 datagrams through the main window's announcement handler: random bytes, truncated and
// corrupted announcements, datagrams of other kinds and oversized ones, and well-formed
// announcements with random fields. After every one the tables keep their limits (at most 20
// devices, at most 21 grid rows with the header), a datagram that is not a whole announcement adds
// no row, and a well-formed one with a new MAC is listed with its own fields while there is room.
// "Search" (against a port that does not exist) empties the list now and then, as an operator
// would. A second part sends random datagrams over the network to the group and the window's own
// socket inside this test's network namespace.
// TAVO_FLOOD_SEED=N repeats a run with another seed.
#include <QAbstractButton>
#include <QTest>
#include <QUdpSocket>
#include <memory>
#include <random>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/UdpEndpoints.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"

using namespace tavo;
using tavo::test::RecordingDialogs;
using tavo::test::ScopedDialogs;

namespace {

constexpr int kDatagrams = 10000;
constexpr int kMaxGridRows = kMaxDevices + 1; // the header row and one row per device

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

class Source {
public:
    explicit Source(unsigned seed) : rng_(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    std::uint8_t Byte() { return std::uint8_t(Int(0, 255)); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }

    std::vector<std::uint8_t> RandomBytes(int size) {
        std::vector<std::uint8_t> v(std::size_t(size), 0);
        for (auto& b : v)
            b = Byte();
        return v;
    }
    // Any bytes: NUL, control characters and bytes above 127 included.
    std::string Text(int maxLength) {
        std::string s;
        const int n = Int(0, maxLength);
        for (int i = 0; i < n; ++i)
            s += char(Chance(70) ? Int(0x20, 0x7E) : Int(0, 255));
        return s;
    }
    std::string Address() {
        return std::to_string(Int(0, 255)) + "." + std::to_string(Int(0, 255)) + "." +
               std::to_string(Int(0, 255)) + "." + std::to_string(Int(0, 255));
    }
    // A record whose announcement fits in one datagram (items at most 255 bytes).
    NetDeviceRecord Record() {
        NetDeviceRecord r;
        static const char kHex[] = "0123456789ABCDEF";
        for (int i = Int(0, 3) * 2; i > 0; --i)
            r.productId += kHex[Int(0, 15)];
        for (auto& b : r.mac)
            b = Byte();
        r.macText = MacText(r.mac);
        r.ip = Address();
        r.mask = Address();
        r.gateway = Address();
        r.dns = Address();
        r.ipMode = Int(0, 1);
        r.webPort = Int(0, 65535);
        r.telnetPort = Int(0, 65535);
        r.serial = Text(40);
        r.productName = Text(60);
        r.description = Text(60);
        return r;
    }

private:
    std::mt19937 rng_;
};

unsigned Seed() {
    const QByteArray env = qgetenv("TAVO_FLOOD_SEED");
    return env.isEmpty() ? 20261207u : env.toUInt();
}

} // namespace

class AnnouncementFloodTest : public QObject {
    Q_OBJECT

private:
    RecordingDialogs dialogs_;
    std::unique_ptr<ScopedDialogs> installed_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<TForm1> form_;

    int Count() const { return state_->deviceTable.count; }
    int Rows() const { return form_->StringGrid1->RowCount(); }

    bool WithinLimits() const {
        return Count() >= 0 && Count() <= kMaxDevices && Rows() <= kMaxGridRows;
    }
    bool Listed(const std::array<std::uint8_t, 6>& mac) const {
        for (int i = 0; i < Count(); ++i)
            if (state_->deviceTable.records[std::size_t(i)].serialDevice != 1 &&
                state_->netDeviceTable.records[std::size_t(i)].mac == mac)
                return true;
        return false;
    }
    // "Search" as the operator clicks it; true when it emptied the list
    bool Search() {
        auto* search = form_->findChild<QAbstractButton*>("BitBtn_Search");
        if (!search) return false;
        search->click();
        return Count() == 0;
    }

private slots:
    void init() {
        // a search that finds no port: it only empties the list
        qputenv("TAVO_SERIAL_PORTS", "/nonexistent/tavo-flood-port");
        dialogs_ = RecordingDialogs();
        installed_ = std::make_unique<ScopedDialogs>(&dialogs_);
        state_ = std::make_unique<AppState>();
        form_ = std::make_unique<TForm1>(*state_);
        QVERIFY(form_->Grid);
        QVERIFY(!form_->TerminateRequested());
    }
    void cleanup() {
        form_.reset();
        state_.reset();
        installed_.reset();
    }

    void tenThousandDatagramsKeepTheLimits() {
        const unsigned seed = Seed();
        qInfo("seed %u (TAVO_FLOOD_SEED)", seed);
        Source src(seed);
        DeviceGrid* grid = form_->Grid;
        int listed = 0, refused = 0, fullSeen = 0, searches = 0;

        for (int i = 0; i < kDatagrams; ++i) {
            const int before = Count();
            const int kind = src.Int(0, 9);
            QByteArray d;
            // a well-formed announcement: the row must show its fields when there is room
            std::optional<NetDeviceRecord> wellFormed;
            bool mustBeRefused = false;
            switch (kind) {
            case 0: // anything, of any length up to past the largest datagram
                d = Bytes(src.RandomBytes(src.Int(0, 1100)));
                break;
            case 1: { // the announcement kind and a length byte, random rest
                auto v = src.RandomBytes(src.Int(1, 300));
                v[0] = kDatagramAnnouncement;
                d = Bytes(v);
                break;
            }
            case 2: // a correct frame around random items: CRC right, items nonsense
                d = Bytes(FrameDatagram(kDatagramAnnouncement, src.RandomBytes(src.Int(0, 255))));
                break;
            case 3:
            case 4: { // well-formed, a new MAC or, now and then, one already listed
                NetDeviceRecord r = src.Record();
                if (Count() > 0 && src.Chance(15))
                    r.mac =
                        state_->netDeviceTable.records[std::size_t(src.Int(0, Count() - 1))].mac;
                r.macText = MacText(r.mac);
                d = Bytes(BuildAnnouncement(r));
                wellFormed = r;
                break;
            }
            case 5: { // well-formed, cut short anywhere: never whole
                const auto full = BuildAnnouncement(src.Record());
                d = Bytes(full).left(src.Int(0, int(full.size()) - 1));
                mustBeRefused = true;
                break;
            }
            case 6: { // well-formed with one byte of the items or the CRC changed
                auto v = BuildAnnouncement(src.Record());
                const std::size_t at = std::size_t(src.Int(2, int(v.size()) - 1));
                v[at] = std::uint8_t(v[at] ^ src.Int(1, 255));
                d = Bytes(v);
                mustBeRefused = true;
                break;
            }
            case 7: { // a request or a configuration, well-formed
                auto v = BuildAnnouncement(src.Record());
                v[0] = src.Chance(50) ? kDatagramRequest : kDatagramConfiguration;
                d = Bytes(v);
                mustBeRefused = true;
                break;
            }
            case 8: { // a well-formed announcement followed by padding past 1024 bytes
                auto v = BuildAnnouncement(src.Record());
                v.resize(std::size_t(src.Int(int(kMaxDatagram) + 1, 2000)), std::uint8_t(0));
                d = Bytes(v);
                mustBeRefused = true;
                break;
            }
            default: // a few bytes only
                d = Bytes(src.RandomBytes(src.Int(0, 5)));
                break;
            }

            const bool duplicate = wellFormed && Listed(wellFormed->mac);
            grid->IdIPMCastClient1IPMCastRead(d);

            if (!WithinLimits())
                QFAIL(qPrintable(QString("datagram %1 (kind %2): %3 devices, %4 grid rows")
                                     .arg(i)
                                     .arg(kind)
                                     .arg(Count())
                                     .arg(Rows())));
            if (Count() < before || Count() > before + 1)
                QFAIL(qPrintable(
                    QString("datagram %1: count went %2 -> %3").arg(i).arg(before).arg(Count())));
            if (mustBeRefused && Count() != before)
                QFAIL(qPrintable(QString("datagram %1 (kind %2) was listed").arg(i).arg(kind)));
            if (wellFormed) {
                const bool room = before < kMaxDevices;
                const int want = (!duplicate && room) ? before + 1 : before;
                if (Count() != want)
                    QFAIL(qPrintable(QString("announcement %1: count %2, want %3 (duplicate %4)")
                                         .arg(i)
                                         .arg(Count())
                                         .arg(want)
                                         .arg(duplicate)));
                if (Count() == before + 1) {
                    const NetDeviceRecord& r = *wellFormed;
                    const QStringList wantRow = {
                        QString::number(Count()),           "ETHERNET",
                        DeviceGrid::NetText(r.productName), DeviceGrid::NetText(r.description),
                        DeviceGrid::NetText(r.ip),          DeviceGrid::NetText(r.macText)};
                    QStringList got;
                    for (int c = 0; c < 6; ++c)
                        got << form_->StringGrid1->Cell(Count(), c);
                    QCOMPARE(got, wantRow);
                    QCOMPARE(Rows(), Count() + 1);
                    const NetDeviceRecord& stored =
                        state_->netDeviceTable.records[std::size_t(Count() - 1)];
                    QCOMPARE(stored.serial, r.serial);
                    QCOMPARE(stored.webPort, r.webPort);
                    QCOMPARE(stored.telnetPort, r.telnetPort);
                    QCOMPARE(stored.ipMode, r.ipMode);
                    QCOMPARE(stored.productId, r.productId);
                } else if (!duplicate && !room) {
                    ++fullSeen;
                }
            }
            if (Count() > before)
                ++listed;
            else
                ++refused;

            // the operator searches again now and then, more often once the list is full
            if ((Count() == kMaxDevices && src.Chance(5)) || src.Chance(1)) {
                QVERIFY(Search());
                ++searches;
            }
        }
        qInfo("%d datagrams: %d listed, %d refused, %d announcements met a full list, %d searches",
              kDatagrams, listed, refused, fullSeen, searches);
        QVERIFY(listed > 200); // the run reached the listing, not only the refusals
        QVERIFY(fullSeen > 0); // and the limit
        QVERIFY(searches > 10);
    }

    void datagramsFromTheNetwork() {
        // Through the window's own receive socket: bound, member of the group, in this namespace.
        QVERIFY(form_->Udp && form_->Udp->ReceiverActive());
        Source src(Seed() + 1);
        QUdpSocket device;
        const QHostAddress group = UdpEndpoints::Group();
        NetDeviceRecord first = src.Record();
        device.writeDatagram(Bytes(BuildAnnouncement(first)), group, kDiscoveryInPort);
        QTRY_COMPARE(Count(), 1); // the path works before the flood goes down it

        for (int i = 0; i < 2000; ++i) {
            QByteArray d;
            switch (src.Int(0, 3)) {
            case 0:
                d = Bytes(src.RandomBytes(src.Int(0, 1100)));
                break;
            case 1:
                d = Bytes(BuildAnnouncement(src.Record())).chopped(1);
                break;
            case 2:
                d = Bytes(FrameDatagram(kDatagramAnnouncement, src.RandomBytes(src.Int(0, 255))));
                break;
            default:
                d = Bytes(BuildAnnouncement(src.Record()));
                break;
            }
            if (src.Chance(50))
                device.writeDatagram(d, group, kDiscoveryInPort);
            else
                device.writeDatagram(d, QHostAddress::LocalHost, kDiscoveryInPort);
            if (i % 50 == 49) {
                QTest::qWait(5); // let the window read what arrived
                QVERIFY(WithinLimits());
            }
        }
        // about 500 of them were well-formed with new MACs: the list is full by now
        QTest::qWait(200);
        QVERIFY(WithinLimits());
        QCOMPARE(Count(), kMaxDevices);
        QCOMPARE(Rows(), kMaxGridRows);
    }
};

QTEST_MAIN(AnnouncementFloodTest)
#include "announcement_flood_test.moc"
