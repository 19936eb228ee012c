// The program itself: started as a process, talked to over its pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "StateDir.h"
#include "TestHelpers.h"

using namespace tavo;
using namespace tavo::devsim;
using namespace tavo::devsim::test;
namespace fs = std::filesystem;

namespace {

constexpr int kTimeoutMs = 5000; // generous: only reached when something is broken

void SleepMs(long ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&ts, nullptr);
}

class Sim {
public:
    ~Sim() {
        if (port_ >= 0) close(port_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    // Starts the program and reads the terminal path from its first line of output.
    bool Start(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            std::string bin = DEVSIM_BINARY;
            argv.push_back(bin.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, kTimeoutMs) <= 0) return false;
            char buf[256];
            const ssize_t n = read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            line.append(buf, static_cast<std::size_t>(n));
        }
        path_ = line.substr(0, line.find('\n'));
        return !path_.empty();
    }

    bool OpenPort() {
        port_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return port_ >= 0;
    }

    void Write(const std::string& bytes) {
        ASSERT_EQ(write(port_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` LFs have arrived. nullopt when the port dies first (or time runs out).
    std::optional<std::string> ReadLines(std::size_t count) {
        std::size_t seen = 0;
        for (char c : pending_)
            seen += c == '\n';
        while (seen < count) {
            pollfd p{port_, POLLIN, 0};
            if (poll(&p, 1, kTimeoutMs) <= 0) return std::nullopt;
            char buf[4096];
            const ssize_t n = read(port_, buf, sizeof buf);
            if (n < 0 && errno == EAGAIN) continue;
            if (n <= 0) {
                hungUp_ = true;
                return std::nullopt;
            }
            for (ssize_t i = 0; i < n; ++i)
                seen += buf[i] == '\n';
            pending_.append(buf, static_cast<std::size_t>(n));
        }
        // hand back exactly `count` lines
        std::size_t end = 0;
        for (std::size_t i = 0; i < count; ++i)
            end = pending_.find('\n', end) + 1;
        std::string lines = pending_.substr(0, end);
        pending_.erase(0, end);
        return lines;
    }

    // Exit status after SIGTERM (or after it ended by itself); -1 when it does not end.
    int Stop(bool signal = true) {
        if (signal) kill(pid_, SIGTERM);
        return Wait();
    }
    int Wait() {
        for (int waited = 0; waited < kTimeoutMs; waited += 10) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            SleepMs(10);
        }
        return -1;
    }

    const std::string& Path() const { return path_; }
    bool HungUp() const { return hungUp_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = -1;
    std::string path_;
    std::string pending_;
    bool hungUp_ = false;
};

std::string Handshake() {
    return ToolFrame(kModeGet, ENTRANCE);
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("devsim-proc-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string File(const char* name) const { return (dir_ / name).string(); }
    static std::string Text(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir_;
};

} // namespace

TEST_F(ProcessTest, AnswersTheHandshakeOnItsTerminal) {
    Sim sim;
    ASSERT_TRUE(sim.Start({"--link", File("port"), "--log", File("log"), "--inputs=2"}));
    EXPECT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << sim.Path();
    EXPECT_EQ(fs::read_symlink(File("port")), sim.Path());
    ASSERT_TRUE(sim.OpenPort());
    sim.Write(Handshake());
    EXPECT_EQ(sim.ReadLines(1), "$ACCEPT6E89\n");
    sim.Write(ToolFrame(kModeGet, SYS_DSCPT));
    const auto line = sim.ReadLines(1);
    ASSERT_TRUE(line);
    EXPECT_NE(BodyOf(*line).find("\x0C"
                                 "2\x0C"
                                 "1\x0C"
                                 "8\x0C"
                                 "8\x0C"),
              std::string::npos);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(File("port")))); // the link goes with it
    const std::string log = Text(File("log"));
    EXPECT_NE(log.find("ok\t$ENTRANCE FFFF\tanswered"), std::string::npos) << log;
    EXPECT_NE(log.find("ok\t$GET SYS_DSCPT FFFF\tanswered"), std::string::npos) << log;
}

TEST_F(ProcessTest, KeepsStateAcrossRestarts) {
    const std::vector<std::string> args = {"--state-dir", File("state"), "--mode", "2"};
    {
        Sim sim;
        ASSERT_TRUE(sim.Start(args));
        ASSERT_TRUE(sim.OpenPort());
        sim.Write(ToolFrame(kModeSet, RXEDMD, {7}) + ToolFrame(kModeSet, SYS_STR, {'Z', '9'}));
        EXPECT_EQ(sim.ReadLines(2), AnswerLine(kOk) + AnswerLine(kOk));
        EXPECT_EQ(sim.Stop(), 0);
        EXPECT_EQ(Text(File("state/mode")), "7\n");
    }
    Sim again;
    ASSERT_TRUE(again.Start(args));
    ASSERT_TRUE(again.OpenPort());
    again.Write(ToolFrame(kModeGet, RXEDMD));
    EXPECT_EQ(again.ReadLines(1), AnswerLine("7\x0C"));
    again.Write(ToolFrame(kModeSet, SYS_DEF, {0x55}) + ToolFrame(kModeGet, RXEDMD));
    EXPECT_EQ(again.ReadLines(2), AnswerLine(kOk) + AnswerLine("2\x0C"));
    EXPECT_EQ(again.Stop(), 0);
    EXPECT_EQ(Text(File("state/description")), "Simulated device");
}

TEST_F(ProcessTest, IspModeWritesTheFirmwareItReceives) {
    Sim sim;
    ASSERT_TRUE(sim.Start({"--isp", "--isp-banner", "BOOT 7", "--fw-out", File("fw.bin")}));
    ASSERT_TRUE(sim.OpenPort());
    sim.Write(Handshake());
    EXPECT_EQ(sim.ReadLines(1), AnswerLine("$ISP029BOOT 7"));
    std::string sent;
    for (unsigned block = 0; block < 3; ++block) {
        std::vector<std::uint8_t> data(64);
        for (unsigned i = 0; i < 64; ++i)
            data[i] = static_cast<std::uint8_t>(block * 64 + i);
        sent.append(data.begin(), data.end());
        sim.Write(ToolFrame(kModeSet, FW_ADDR, {0, static_cast<std::uint8_t>(block * 64)}));
        sim.Write(ToolFrame(kModeSet, FW_DATA, data));
    }
    sim.Write(ToolFrame(kModeSet, FW_END));
    const auto acks = sim.ReadLines(7);
    ASSERT_TRUE(acks);
    std::string expected;
    for (int i = 0; i < 7; ++i)
        expected += AnswerLine(kOk);
    EXPECT_EQ(*acks, expected);
    EXPECT_EQ(Text(File("fw.bin")), sent); // the FW_END answer comes after the file is written
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(ProcessTest, AnswersLeaveInRequestOrderEvenWhenLate) {
    Sim sim;
    ASSERT_TRUE(sim.Start({"--fault", "late:ENTRANCE:150", "--fault", "split:RXEDMD:pieces=3,ms=5",
                           "--fault", "drop:SYS_DSCPT:1", "--fault", "badcrc:ND_DSCPT:1"}));
    ASSERT_TRUE(sim.OpenPort());
    sim.Write(Handshake() + ToolFrame(kModeGet, RXEDMD) + ToolFrame(kModeGet, SYS_DSCPT) +
              ToolFrame(kModeGet, ND_DSCPT) + ToolFrame(kModeGet, SYS_DSCPT));
    const auto lines = sim.ReadLines(4);
    ASSERT_TRUE(lines);
    std::vector<std::string> split;
    for (std::size_t start = 0; start < lines->size();) {
        const std::size_t end = lines->find('\n', start) + 1;
        split.push_back(lines->substr(start, end - start));
        start = end;
    }
    ASSERT_EQ(split.size(), 4u);
    EXPECT_EQ(split[0], "$ACCEPT6E89\n");
    EXPECT_EQ(split[1], AnswerLine("0\x0C"));
    // the first SYS_DSCPT was dropped; the ND_DSCPT answer fails the tool's CRC check
    const std::string nd = split[2];
    EXPECT_NE(nd.substr(nd.size() - 5, 4), CrcText(Uart_Crc16(nd.substr(0, nd.size() - 5))));
    EXPECT_TRUE(BodyOf(split[3]).starts_with("5441\x0C"));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(ProcessTest, HangsUpAfterTheGivenRequest) {
    Sim sim;
    ASSERT_TRUE(sim.Start({"--hangup-after", "2", "--log", File("log")}));
    ASSERT_TRUE(sim.OpenPort());
    sim.Write(Handshake());
    EXPECT_EQ(sim.ReadLines(1), "$ACCEPT6E89\n");
    sim.Write(ToolFrame(kModeGet, SYS_DSCPT));
    EXPECT_FALSE(sim.ReadLines(1)); // the port dies instead of answering
    EXPECT_TRUE(sim.HungUp());
    EXPECT_EQ(sim.Stop(false), 0); // and the program ends by itself
    EXPECT_NE(Text(File("log")).find("hang-up"), std::string::npos);
}

TEST_F(ProcessTest, HelpAndBadOptions) {
    const std::string bin = DEVSIM_BINARY;
    const std::string help = File("help");
    EXPECT_EQ(std::system((bin + " --help > " + help).c_str()), 0);
    EXPECT_TRUE(Text(help).starts_with("Usage: tavo-devsim"));
    const int bad = std::system((bin + " --inputs 999 2> " + File("err")).c_str());
    EXPECT_TRUE(WIFEXITED(bad));
    EXPECT_EQ(WEXITSTATUS(bad), 2);
    EXPECT_NE(Text(File("err")).find("--inputs"), std::string::npos);
}
