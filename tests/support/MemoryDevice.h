#pragma once
// A device with EDID images behind a MemoryTransport, for widget tests: answers the handshake,
// the descriptors, ND_SEL, the four chunk GETs and SETs and RXEDMD the way the device does, and
// records every request. Faults: drop or corrupt the answer of a command, lose the port.
#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"
#include "link/Response.h"
#include "link/qt/MemoryTransport.h"

namespace tavo::test {

struct Request {
    QByteArray verb; // "GET" / "SET" / "ENTRANCE"
    QByteArray name;
    QByteArray payload; // decoded bytes of a SET
};

class MemoryDevice {
public:
    unsigned inputs = 1, outputs = 1, users = 2, internals = 8;
    bool modesSelectable = true, copyPanel = true, modePoll = false;
    bool refuseMode = false; // SET RXEDMD answers NG and changes nothing
    bool isp = false;        // waits in ISP mode: the handshake gets the loader's banner
    std::map<std::uint16_t, EdidImage> images; // by selector value
    std::optional<std::uint16_t> selected = 0;
    int mode = 0;
    QList<Request> requests;
    std::set<QByteArray> drop;    // command names whose answers are not sent
    std::set<QByteArray> corrupt; // command names whose answers get a bad CRC
    int dropCount = -1;           // how many answers the faults affect (-1: all)
    // Called for each request before it is answered (e.g. to lose the port mid-way).
    std::function<void(const Request&)> onRequest;

    MemoryTransport* transport = new MemoryTransport; // handed to the window, which owns it

    explicit MemoryDevice(const QString& path = QStringLiteral("/dev/memory-device")) {
        transport->present = {path};
        auto pending = std::make_shared<QByteArray>();
        transport->onWrite = [this, pending](const QByteArray& b) {
            *pending += b;
            while (true) {
                const qsizetype end = pending->indexOf("\r\n");
                if (end < 0) return;
                const QByteArray line = pending->left(end);
                pending->remove(0, end + 2);
                const qsizetype dollar = line.indexOf('$');
                if (dollar >= 0) handle(line.mid(dollar + 1));
            }
        };
    }

    EdidImage& Slot(std::uint16_t selector) {
        if (!images.count(selector)) images[selector] = EdidImage{};
        return images[selector];
    }
    QList<QByteArray> Names() const {
        QList<QByteArray> out;
        for (const Request& r : requests)
            out << r.verb + " " + r.name;
        return out;
    }
    // Requests after the handshake and the descriptors.
    QList<QByteArray> NamesSince(int from) const { return Names().mid(from); }
    int Count() const { return static_cast<int>(requests.size()); }

private:
    void answer(const QByteArray& name, const std::string& body) {
        const bool affected = dropCount != 0;
        if (affected && drop.count(name)) {
            if (dropCount > 0) --dropCount;
            return;
        }
        std::string line = MakeResponseLine(body);
        if (affected && corrupt.count(name)) {
            if (dropCount > 0) --dropCount;
            line[line.size() - 2] = line[line.size() - 2] == '0' ? '1' : '0';
        }
        transport->deliver(QByteArray::fromStdString(line));
    }

    void handle(const QByteArray& text) {
        const QList<QByteArray> parts = text.split(' ');
        Request r;
        if (parts.value(0) == "ENTRANCE") {
            r.verb = "ENTRANCE";
        } else {
            r.verb = parts.value(0);
            r.name = parts.value(1);
            const QByteArray field = parts.value(2);
            if (r.verb == "SET" && field.size() >= 4)
                r.payload = QByteArray::fromHex(field.left(field.size() - 4));
        }
        requests << r;
        if (onRequest) onRequest(r);
        if (!transport->isOpen()) return;
        if (r.verb == "ENTRANCE") return answer("ENTRANCE", isp ? "$ISP029Loader 1.0" : "$ACCEPT");
        auto n = [](unsigned v) { return std::to_string(v) + "\f"; };
        auto flag = [](bool v) { return std::string(v ? "T\f" : "F\f"); };
        if (r.verb == "GET" && r.name == "SYS_DSCPT")
            return answer(r.name, "V\fP\fMemory Matrix\fHall\f-\f1.0\fT\f" + n(inputs) +
                                      n(outputs) + n(users) + n(internals));
        if (r.verb == "GET" && r.name == "ND_DSCPT")
            return answer(r.name, "0\f0\f0\fT\f" + flag(modesSelectable) + flag(copyPanel) +
                                      flag(modePoll) + "F\f");
        const int chunk =
            QList<QByteArray>{"ND_ED0A", "ND_ED0B", "ND_ED1A", "ND_ED1B"}.indexOf(r.name);
        if (r.verb == "GET" && chunk >= 0) {
            if (!selected) return;
            const EdidImage& image = Slot(*selected);
            const QByteArray hex =
                QByteArray(reinterpret_cast<const char*>(image.data()) + 64 * chunk, 64)
                    .toHex()
                    .toUpper();
            return answer(r.name, hex.toStdString());
        }
        if (r.verb == "GET" && r.name == "RXEDMD") return answer(r.name, n(unsigned(mode)));
        if (r.verb != "SET") return;
        bool ok = true;
        if (r.name == "ND_SEL") {
            selected = r.payload.size() == 2
                           ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(
                                 std::uint8_t(r.payload[0]) << 8 | std::uint8_t(r.payload[1])))
                           : std::nullopt;
        } else if (chunk >= 0) {
            const unsigned kind = selected ? *selected >> 12 : 9;
            ok = (kind == 0 || kind == 2) && r.payload.size() == 64;
            if (ok)
                std::copy(r.payload.begin(), r.payload.end(), Slot(*selected).begin() + 64 * chunk);
        } else if (r.name == "RXEDMD" && r.payload.size() == 1) {
            ok = !refuseMode;
            if (ok) mode = std::uint8_t(r.payload[0]);
        }
        answer(r.name, ok ? "OK\f" : "NG\f");
    }
};

} // namespace tavo::test
