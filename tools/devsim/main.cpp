// tavo-devsim: the simulated device on a pseudo-terminal. Everything the device does lives in
// devsim_core; this file owns the terminal, the files, the signals and the poll() loop.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Device.h"
#include "Faults.h"
#include "NetDevices.h"
#include "Options.h"
#include "RequestParser.h"
#include "StateDir.h"
#include "TavoVersion.h"
#include "discovery/Discovery.h"
#include "link/DeviceCommand.h"

namespace {

using namespace tavo;
using namespace tavo::devsim;
using Clock = std::chrono::steady_clock;

int gSignalPipe[2] = {-1, -1};

void OnSignal(int sig) {
    const int saved = errno;
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const auto n = write(gSignalPipe[1], &c, 1);
    errno = saved;
}

// A request log line shows the request as text; bytes outside printable ASCII are escaped.
std::string Printable(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

class RequestLog {
public:
    bool Open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "a");
        return file_ != nullptr;
    }
    ~RequestLog() {
        if (file_) std::fclose(file_);
    }
    void Line(const std::string& text) {
        if (!file_) return;
        std::fputs(text.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_ = nullptr;
};

// Something the loop polls: the terminal, the network side.
class PollSource {
public:
    virtual ~PollSource() = default;
    virtual int Fd() const = 0;
    virtual short Events(Clock::time_point now) const = 0;
    // Milliseconds until the source has something to do without an event; -1 for never.
    virtual int TimeoutMs(Clock::time_point now) const = 0;
    virtual void OnEvents(short revents, Clock::time_point now) = 0;
    // Work that is due without an event (timed writes).
    virtual void OnTime(Clock::time_point now) = 0;
};

class SerialSide : public PollSource {
public:
    SerialSide(Device& device, const Options& options, RequestLog& log, StateDir* state)
        : device_(device), hangupAfter_(options.hangupAfter),
          delay_(std::chrono::milliseconds(options.delayMs)),
          restart_(std::chrono::milliseconds(options.restartMs)), log_(log), state_(state) {
        const std::vector<FaultRule>& faults = options.faults;
        for (const auto& f : faults)
            faults_.Add(f);
    }
    ~SerialSide() override { Close(); }

    bool Open(std::string& error) {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            error = std::string("openpty: ") + std::strerror(errno);
            return false;
        }
        path_ = name;
        termios t{};
        if (tcgetattr(slave_, &t) == 0) {
            cfmakeraw(&t);
            t.c_cflag |= CLOCAL | CREAD;
            cfsetispeed(&t, B115200);
            cfsetospeed(&t, B115200);
            tcsetattr(slave_, TCSANOW, &t);
        }
        // The slave stays open here as well: without it the master reports a hang-up (and
        // poll() would wake for ever) whenever the tool has the port closed.
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        return true;
    }
    const std::string& Path() const { return path_; }
    bool Closed() const { return master_ < 0; }
    bool Failed() const { return failed_; }

    void Close() {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
        master_ = slave_ = -1;
    }

    int Fd() const override { return master_; }

    short Events(Clock::time_point now) const override {
        short e = POLLIN;
        if (!out_.empty() && out_.front().due <= now) e |= POLLOUT;
        return e;
    }

    int TimeoutMs(Clock::time_point now) const override {
        if (out_.empty() || out_.front().due <= now) return -1; // POLLOUT covers a due write
        const auto ms =
            std::chrono::ceil<std::chrono::milliseconds>(out_.front().due - now).count();
        return static_cast<int>(ms);
    }

    void OnEvents(short revents, Clock::time_point now) override {
        if (revents & POLLIN) Read(now);
        if (Closed()) return;
        if (revents & POLLOUT) OnTime(now);
        if ((revents & (POLLERR | POLLNVAL)) && !(revents & POLLIN)) {
            std::fprintf(stderr, "tavo-devsim: terminal error\n");
            failed_ = true;
            Close();
        }
    }

    void OnTime(Clock::time_point now) override {
        while (!Closed() && !out_.empty() && out_.front().due <= now) {
            Pending& p = out_.front();
            const ssize_t n = write(master_, p.bytes.data(), p.bytes.size());
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) return; // POLLOUT brings us back
                std::fprintf(stderr, "tavo-devsim: write: %s\n", std::strerror(errno));
                failed_ = true;
                Close();
                return;
            }
            p.bytes.erase(0, static_cast<std::size_t>(n));
            if (!p.bytes.empty()) return;
            out_.pop_front();
        }
    }

private:
    struct Pending {
        std::string bytes;
        Clock::time_point due;
    };

    void Read(Clock::time_point now) {
        char buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) return;
            std::fprintf(stderr, "tavo-devsim: read: %s\n", std::strerror(errno));
            failed_ = true;
            Close();
            return;
        }
        std::vector<ParsedLine> lines;
        parser_.Feed(std::string_view(buf, static_cast<std::size_t>(n)), lines);
        for (const ParsedLine& line : lines) {
            Serve(line, now);
            if (Closed()) return;
        }
    }

    void Serve(const ParsedLine& line, Clock::time_point now) {
        if (now < restartEnd_) { // restarting after a firmware update: nothing is heard
            if (!line.wakeup)
                log_.Line(std::string(RequestErrorName(line.error)) + "\t" + Printable(line.text) +
                          "\tsilent (restarting)");
            return;
        }
        if (line.wakeup) {
            WakeUp();
            return;
        }
        std::string entry = std::string(RequestErrorName(line.error)) + "\t" + Printable(line.text);
        if (!line.ok()) {
            log_.Line(entry + "\tsilent");
            return;
        }
        if (hangupAfter_ != 0 && ++requests_ >= hangupAfter_) {
            log_.Line(entry + "\thang-up");
            log_.Line("# hang-up after " + std::to_string(requests_) + " requests");
            out_.clear();
            Close();
            return;
        }
        DeviceResult result = device_.Handle(line.request);
        if (state_ && result.changes.any() && !state_->Save(device_, result.changes))
            std::fprintf(stderr, "tavo-devsim: cannot write the state directory %s\n",
                         state_->Path().c_str());
        entry += result.answered ? "\tanswered" : "\tsilent";
        if (!result.note.empty()) entry += " (" + result.note + ")";
        if (result.answered) {
            std::vector<std::string> notes;
            const auto pieces = faults_.Apply(line.request.command, result.answer, &notes);
            for (const auto& n : notes)
                entry += " +" + n;
            Schedule(pieces, now);
        }
        log_.Line(entry);
        if (result.restarted) {
            restartEnd_ = (out_.empty() ? now : out_.back().due) + restart_;
            log_.Line("# restart into normal mode, firmware " + device_.Config().firmwareVersion);
        }
    }

    // The wake-up starts a new session: whatever the previous one left unread (answers still
    // queued here, bytes waiting in the terminal) would only confuse the new one. A serial line
    // that nobody listened to keeps nothing either.
    void WakeUp() {
        int unread = 0;
        ioctl(slave_, FIONREAD, &unread);
        const std::size_t queued = out_.size();
        out_.clear();
        tcflush(slave_, TCIFLUSH);
        std::string line = "# wake-up";
        if (unread > 0 || queued > 0)
            line += ": " + std::to_string(unread) + " unread bytes and " + std::to_string(queued) +
                    " queued writes discarded";
        log_.Line(line);
    }

    // Answers leave in the order of the requests, each piece after its delay.
    // With a delay every answer leaves that much after its request (a slow device), still in order.
    void Schedule(const std::vector<AnswerPiece>& pieces, Clock::time_point now) {
        Clock::time_point t = now + delay_;
        if (!out_.empty()) t = std::max(t, out_.back().due);
        for (const auto& piece : pieces) {
            t += std::chrono::milliseconds(piece.delayMs);
            out_.push_back({piece.bytes, t});
        }
    }

    Device& device_;
    FaultPlan faults_;
    unsigned hangupAfter_ = 0;
    Clock::duration delay_{};
    Clock::duration restart_{};
    Clock::time_point restartEnd_{};
    unsigned requests_ = 0;
    RequestLog& log_;
    StateDir* state_ = nullptr;
    RequestParser parser_;
    std::deque<Pending> out_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    bool failed_ = false;
};

// The networked devices on UDP: one socket on port 31001 that hears the broadcast and the group,
// and sends announcements to the group's receive port.
class NetSide : public PollSource {
public:
    NetSide(unsigned count, RequestLog& log) : devices_(count), log_(log) {}
    ~NetSide() override {
        if (fd_ >= 0) close(fd_);
    }

    bool Open(std::string& error) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return Fail("socket", error);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on); // several simulators at once
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(kDiscoveryOutPort);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            return Fail("bind UDP port 31001", error);
        ip_mreq join{};
        inet_pton(AF_INET, kDiscoveryGroup, &join.imr_multiaddr);
        join.imr_interface.s_addr = htonl(INADDR_ANY);
        if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0)
            return Fail("join 225.12.13.14", error);
        group_.sin_family = AF_INET;
        group_.sin_port = htons(kDiscoveryInPort);
        inet_pton(AF_INET, kDiscoveryGroup, &group_.sin_addr);
        return true;
    }

    int Fd() const override { return fd_; }
    short Events(Clock::time_point) const override { return POLLIN; }
    int TimeoutMs(Clock::time_point) const override { return -1; }
    void OnTime(Clock::time_point) override {}

    void OnEvents(short revents, Clock::time_point) override {
        if (!(revents & POLLIN)) return;
        for (;;) {
            std::uint8_t buf[2048];
            const ssize_t n = recv(fd_, buf, sizeof buf, 0);
            if (n < 0) return; // EAGAIN: all read
            const NetOutcome outcome = devices_.Handle(buf, static_cast<std::size_t>(n));
            if (outcome.note.empty()) continue;
            log_.Line("# net " + outcome.note);
            for (const auto& a : outcome.announcements) {
                if (sendto(fd_, a.data(), a.size(), 0, reinterpret_cast<sockaddr*>(&group_),
                           sizeof group_) < 0)
                    std::fprintf(stderr, "tavo-devsim: send announcement: %s\n",
                                 std::strerror(errno));
            }
        }
    }

private:
    bool Fail(const char* what, std::string& error) {
        error = std::string(what) + ": " + std::strerror(errno);
        return false;
    }

    NetDevices devices_;
    RequestLog& log_;
    int fd_ = -1;
    sockaddr_in group_{};
};

bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status)) {
        if (!fs::is_symlink(status)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        fs::remove(link, ec);
    }
    fs::create_symlink(target, link, ec);
    if (ec) {
        error = "cannot link " + link + ": " + ec.message();
        return false;
    }
    return true;
}

constexpr int kExitUsage = 2;  // bad options, unreadable or unusable files
constexpr int kExitFailed = 1; // the terminal, the socket or the loop failed

int Say(int status, const std::string& what) {
    std::fprintf(stderr, "tavo-devsim: %s\n", what.c_str());
    return status;
}

// The options, with the --slot files read. nullopt with `status` set when the run ends here
// (--help, a refused option, an unreadable file).
std::optional<Options> ReadCommandLine(int argc, char** argv, int& status) {
    std::string error;
    auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "tavo-devsim: %s\nTry 'tavo-devsim --help'.\n", error.c_str());
        status = kExitUsage;
        return std::nullopt;
    }
    if (parsed->help) {
        std::fwrite(HelpText().data(), 1, HelpText().size(), stdout);
        status = 0;
        return std::nullopt;
    }
    if (!LoadSlotFiles(*parsed, error)) {
        status = Say(kExitUsage, error);
        return std::nullopt;
    }
    return parsed;
}

// The state directory: loaded into the device, then written whole. False with a reason.
bool OpenStateDir(const Options& o, Device& device, std::unique_ptr<StateDir>& state,
                  std::string& error) {
    if (o.stateDir.empty()) return true;
    state = std::make_unique<StateDir>(o.stateDir);
    if (!state->Load(device, error)) return false;
    state->SaveAll(device);
    return true;
}

// Where a firmware image received in ISP mode goes: the --fw-out file, or only the log.
void SinkFirmware(Device& device, const std::string& fwOut, RequestLog& log) {
    device.firmwareSink = [&log, fwOut](const std::vector<std::uint8_t>& image) {
        if (fwOut.empty()) {
            log.Line("# firmware received, " + std::to_string(image.size()) + " bytes");
            return true;
        }
        const bool ok = WriteFileAtomic(
            fwOut, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
        log.Line("# firmware " + std::to_string(image.size()) + " bytes " +
                 (ok ? "written to " : "NOT written to ") + fwOut);
        if (!ok) std::fprintf(stderr, "tavo-devsim: cannot write %s\n", fwOut.c_str());
        return ok;
    };
}

// SIGTERM, SIGINT and SIGHUP arrive as a byte on the signal pipe, which the loop polls.
bool CatchSignals() {
    if (pipe(gSignalPipe) != 0) return false;
    for (int fd : gSignalPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// The networked devices when --net asks for them, only in an isolated namespace unless allowed.
// 0 when there is nothing to open or it opened, otherwise the exit status.
int OpenNetSide(const Options& o, RequestLog& log, std::unique_ptr<NetSide>& net) {
    if (o.net == 0) return 0;
    if (!o.allowNetwork && !IsIsolatedNetwork(std::getenv("TAVO_ISOLATED")))
        return Say(kExitUsage, "--net: this is not an isolated network namespace (run it under "
                               "scripts/isolated, or add --allow-network)");
    net = std::make_unique<NetSide>(o.net, log);
    std::string error;
    if (!net->Open(error)) return Say(kExitFailed, error);
    return 0;
}

// The pseudo-terminal and its --link. 0 when it opened, otherwise the exit status.
int OpenSerialSide(const Options& o, SerialSide& serial) {
    std::string error;
    if (!serial.Open(error)) return Say(kExitFailed, error);
    if (!o.link.empty() && !MakeLink(o.link, serial.Path(), error)) return Say(kExitUsage, error);
    return 0;
}

// Polls the signal pipe and the sources until a signal arrives, the terminal closes (hung up
// on purpose or failed) or poll() fails.
void ServeUntilStopped(const std::vector<PollSource*>& sources, const SerialSide* serial) {
    bool stop = false;
    while (!stop) {
        const auto now = Clock::now();
        std::vector<pollfd> fds;
        fds.push_back({gSignalPipe[0], POLLIN, 0});
        int timeout = -1;
        for (PollSource* s : sources) {
            fds.push_back({s->Fd(), s->Events(now), 0});
            const int t = s->TimeoutMs(now);
            if (t >= 0 && (timeout < 0 || t < timeout)) timeout = t;
        }
        const int n = poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR) {
            std::fprintf(stderr, "tavo-devsim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            char c;
            while (read(gSignalPipe[0], &c, 1) == 1)
                stop = true;
        }
        const auto after = Clock::now();
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (n > 0 && fds[i + 1].revents) sources[i]->OnEvents(fds[i + 1].revents, after);
            if (!serial || !serial->Closed()) sources[i]->OnTime(after);
        }
        if (serial && serial->Closed()) break;
    }
}

int Run(int argc, char** argv) {
    int status = 0;
    std::optional<Options> parsed = ReadCommandLine(argc, argv, status);
    if (!parsed) return status;
    const Options& o = *parsed;

    RequestLog log;
    if (!o.log.empty() && !log.Open(o.log))
        return Say(kExitUsage, "cannot open " + o.log + ": " + std::strerror(errno));
    Device device(o.device);
    std::unique_ptr<StateDir> state;
    if (std::string error; !OpenStateDir(o, device, state, error)) return Say(kExitUsage, error);
    SinkFirmware(device, o.fwOut, log);
    if (!CatchSignals()) return kExitFailed;

    std::unique_ptr<NetSide> net;
    if (const int failed = OpenNetSide(o, log, net)) return failed;
    SerialSide serial(device, o, log, state.get());
    const bool withSerial = !o.netOnly;
    if (withSerial)
        if (const int failed = OpenSerialSide(o, serial)) return failed;
    std::printf("%s\n", withSerial ? serial.Path().c_str() : "net");
    std::fflush(stdout);
    log.Line("# start " + (withSerial ? serial.Path() : std::string("net-only")) +
             (device.Isp() ? " isp" : " normal") +
             (net ? " net " + std::to_string(o.net) : std::string()));

    std::vector<PollSource*> sources;
    if (withSerial) sources.push_back(&serial);
    if (net) sources.push_back(net.get());
    ServeUntilStopped(sources, withSerial ? &serial : nullptr);

    log.Line(serial.Failed() ? "# stop, terminal failed" : "# stop");
    serial.Close();
    if (withSerial && !o.link.empty()) {
        std::error_code ec;
        std::filesystem::remove(o.link, ec);
    }
    return serial.Failed() ? kExitFailed : 0;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("tavo-devsim %s\n", tavo::kVersionText);
            return 0;
        }
    }
    return Run(argc, argv);
}
