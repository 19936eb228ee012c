#pragma once
// The scripted device of the widget tests, behind a MemoryTransport: answers the handshake (or
// waits in ISP mode), the descriptors, ND_SEL, the four chunk GETs and SETs and RXEDMD the way the
// device does, acknowledges every other SET (and GET), and records every request. Faults: drop or
// corrupt the answer of a command, lose the port, answer a line in its own way (answerFor).
#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstring>
#include <functional>
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
    // SYS_DSCPT: what the device says of itself, and its slot counts
    std::string vid = "V", pid = "P", product = "Memory Matrix", description = "Hall",
                version = "1.0";
    unsigned inputs = 1, outputs = 1, users = 2, internals = 8;
    bool modesSelectable = true, copyPanel = true, modePoll = false;
    bool refuseMode = false; // SET RXEDMD answers NG and changes nothing
    bool isp = false;        // waits in ISP mode: the handshake gets the loader's banner
    // after FW_END in ISP mode the device runs normally with this version ("": stays in ISP mode)
    std::string restartVersion;
    // the bytes sent for the handshake instead of the usual answer (a banner, garbage)
    std::optional<QByteArray> handshake;
    std::uint8_t blank = 0x00;                 // every byte of a slot never written
    std::map<std::uint16_t, EdidImage> images; // by selector value
    std::optional<std::uint16_t> selected = 0;
    int mode = 0;
    QList<Request> requests;
    QList<QByteArray> lines;      // every complete request line as it came, CR LF removed
    std::set<QByteArray> drop;    // command names whose answers are not sent
    std::set<QByteArray> corrupt; // command names whose answers get a bad CRC
    int dropCount = -1;           // how many answers the faults affect (-1: all)
    // Called for each request before it is answered (e.g. to lose the port mid-way).
    std::function<void(const Request&)> onRequest;
    // Given a request line, may set the answer's body in place of the usual one ("": silence).
    std::function<bool(const QByteArray& line, QByteArray& body)> answerFor;
    // Called with each request line after it was answered.
    std::function<void(const QByteArray& line)> onLine;

    MemoryTransport* transport = new MemoryTransport; // handed to the window, which owns it

    explicit MemoryDevice(const QString& path = QStringLiteral("/dev/memory-device")) {
        transport->present = {path};
        auto pending = std::make_shared<QByteArray>();
        transport->onWrite = [this, pending](const QByteArray& b) {
            *pending += b;
            while (true) {
                const qsizetype end = pending->indexOf("\r\n");
                if (end < 0) return;
                QByteArray line = pending->left(end);
                pending->remove(0, end + 2);
                const qsizetype dollar = line.indexOf('$');
                if (dollar < 0) continue;
                line = line.mid(dollar);
                lines << line;
                handle(line);
                if (isp && line.contains("FW_END") && !restartVersion.empty()) {
                    isp = false;
                    version = restartVersion;
                }
                if (onLine) onLine(line);
            }
        };
    }

    EdidImage& Slot(std::uint16_t selector) {
        if (!images.count(selector)) images[selector].fill(blank);
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
    // How many request lines hold `text` (a command name).
    int Count(const char* text) const {
        int n = 0;
        for (const QByteArray& l : lines)
            n += l.contains(text) ? 1 : 0;
        return n;
    }
    // The payload hex of the last request with this command.
    QByteArray Payload(const char* command) const {
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            if (!it->contains(command)) continue;
            const QByteArray body = it->mid(it->indexOf(command) + int(std::strlen(command)) + 1);
            return body.left(body.size() - 4); // the CRC
        }
        return {};
    }
    // The request lines without their CRC ("$GET SYS_DSCPT ").
    QStringList RequestLines() const {
        QStringList out;
        for (const QByteArray& l : lines)
            out << QString::fromLatin1(l.left(l.size() - 4));
        return out;
    }

private:
    void send(const QByteArray& name, std::string line) {
        const bool affected = dropCount != 0;
        if (affected && drop.count(name)) {
            if (dropCount > 0) --dropCount;
            return;
        }
        if (affected && corrupt.count(name)) {
            if (dropCount > 0) --dropCount;
            line[line.size() - 2] = line[line.size() - 2] == '0' ? '1' : '0';
        }
        transport->deliver(QByteArray::fromStdString(line));
    }
    void answer(const QByteArray& name, const std::string& body) {
        send(name, MakeResponseLine(body));
    }

    static Request Parse(const QByteArray& line) {
        const QList<QByteArray> parts = line.mid(1).split(' ');
        Request r;
        r.verb = parts.value(0);
        if (r.verb == "ENTRANCE") return r;
        r.name = parts.value(1);
        const QByteArray field = parts.value(2);
        if (r.verb == "SET" && field.size() >= 4)
            r.payload = QByteArray::fromHex(field.left(field.size() - 4));
        return r;
    }

    void handle(const QByteArray& line) {
        const Request r = Parse(line);
        requests << r;
        if (onRequest) onRequest(r);
        if (!transport->isOpen()) return;
        if (QByteArray body; answerFor && answerFor(line, body)) {
            if (!body.isEmpty()) answer(r.name, body.toStdString());
            return;
        }
        if (r.verb == "ENTRANCE") {
            if (handshake) return send("ENTRANCE", handshake->toStdString());
            return answer("ENTRANCE", isp ? "$ISP029Loader 1.0" : "$ACCEPT");
        }
        if (r.verb == "GET") return get(r);
        if (r.verb == "SET") return set(r);
    }

    void get(const Request& r) {
        auto n = [](unsigned v) { return std::to_string(v) + "\f"; };
        auto flag = [](bool v) { return std::string(v ? "T\f" : "F\f"); };
        if (r.name == "SYS_DSCPT")
            return answer(r.name, vid + "\f" + pid + "\f" + product + "\f" + description + "\f-\f" +
                                      version + "\fT\f" + n(inputs) + n(outputs) + n(users) +
                                      n(internals));
        if (r.name == "ND_DSCPT")
            return answer(r.name, "0\f0\f0\fT\f" + flag(modesSelectable) + flag(copyPanel) +
                                      flag(modePoll) + "F\f");
        if (const int chunk = ChunkOf(r.name); chunk >= 0) {
            if (!selected) return;
            const EdidImage& image = Slot(*selected);
            const QByteArray hex =
                QByteArray(reinterpret_cast<const char*>(image.data()) + 64 * chunk, 64)
                    .toHex()
                    .toUpper();
            return answer(r.name, hex.toStdString());
        }
        if (r.name == "RXEDMD") return answer(r.name, n(unsigned(mode)));
        answer(r.name, "OK\f");
    }

    void set(const Request& r) {
        bool ok = true;
        if (r.name == "ND_SEL") {
            selected = r.payload.size() == 2
                           ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(
                                 std::uint8_t(r.payload[0]) << 8 | std::uint8_t(r.payload[1])))
                           : std::nullopt;
        } else if (const int chunk = ChunkOf(r.name); chunk >= 0) {
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

    static int ChunkOf(const QByteArray& name) {
        return int(QList<QByteArray>{"ND_ED0A", "ND_ED0B", "ND_ED1A", "ND_ED1B"}.indexOf(name));
    }
};

} // namespace tavo::test
