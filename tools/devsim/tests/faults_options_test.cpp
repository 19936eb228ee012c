// Fault rules (parsing and what they do to an answer) and the command line.
#include <gtest/gtest.h>

#include <cctype>

#include "CommandLine.h"
#include "Faults.h"
#include "Options.h"
#include "StateDir.h"
#include "TestHelpers.h"

using namespace tavo;
using namespace tavo::devsim;
using namespace tavo::devsim::test;

namespace {

std::string Join(const std::vector<AnswerPiece>& pieces) {
    std::string s;
    for (const auto& p : pieces)
        s += p.bytes;
    return s;
}

FaultRule Rule(const char* text) {
    std::string error;
    auto r = ParseFaultRule(text, error);
    EXPECT_TRUE(r) << text << ": " << error;
    return r.value_or(FaultRule{});
}

std::optional<Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = ParseOptions(args, e);
    if (error) *error = e;
    return o;
}

} // namespace

TEST(FaultRules, Parsing) {
    const struct {
        const char* text;
        FaultKind kind;
        int command;
        unsigned count, skip, ms, pieces, bytes;
    } good[] = {
        {"drop:RXEDMD", FaultKind::Drop, RXEDMD, 0, 0, 30, 3, 2048},
        {"drop:RXEDMD:2", FaultKind::Drop, RXEDMD, 2, 0, 30, 3, 2048},
        {"badcrc:*:count=1,skip=3", FaultKind::BadCrc, kAnyCommand, 1, 3, 30, 3, 2048},
        {"lowercrc:ENTRANCE", FaultKind::LowerCrc, ENTRANCE, 0, 0, 30, 3, 2048},
        {"split:ND_ED0A", FaultKind::Split, ND_ED0A, 0, 0, 30, 3, 2048},
        {"split:ND_ED0A:45", FaultKind::Split, ND_ED0A, 0, 0, 45, 3, 2048},
        {"split:SYS_DSCPT:pieces=5,ms=10", FaultKind::Split, SYS_DSCPT, 0, 0, 10, 5, 2048},
        {"late:SYS_DSCPT:300", FaultKind::Late, SYS_DSCPT, 0, 0, 300, 3, 2048},
        {"flood", FaultKind::Flood, kAnyCommand, 0, 0, 30, 3, 2048},
        {"flood:ND_DSCPT:4096", FaultKind::Flood, ND_DSCPT, 0, 0, 30, 3, 4096},
        {"ng:FW_DATA:skip=4,count=1", FaultKind::Ng, FW_DATA, 1, 4, 30, 3, 2048},
    };
    for (const auto& g : good) {
        const FaultRule r = Rule(g.text);
        EXPECT_EQ(r.kind, g.kind) << g.text;
        EXPECT_EQ(r.command, g.command) << g.text;
        EXPECT_EQ(r.count, g.count) << g.text;
        EXPECT_EQ(r.skip, g.skip) << g.text;
        EXPECT_EQ(r.ms, g.ms) << g.text;
        EXPECT_EQ(r.pieces, g.pieces) << g.text;
        EXPECT_EQ(r.bytes, g.bytes) << g.text;
    }
    for (const char* bad : {"", "explode:RXEDMD", "drop:NO_SUCH", "drop:RXEDMD:x",
                            "drop:RXEDMD:count=", "late:RXEDMD", "split:RXEDMD:pieces=1",
                            "flood:*:1024", "drop:RXEDMD:colour=2", "drop:RXEDMD:-1"}) {
        std::string error;
        EXPECT_FALSE(ParseFaultRule(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(FaultRules, WhatTheyDoToAnAnswer) {
    const std::string answer = AnswerLine("12\x0C"); // CRC "…" upper case, LF
    {
        FaultPlan plan; // no rule: one write, at once
        EXPECT_EQ(plan.Apply(RXEDMD, answer), (std::vector<AnswerPiece>{{answer, 0}}));
    }
    {
        FaultPlan plan;
        plan.Add(Rule("drop:RXEDMD:2"));
        EXPECT_TRUE(plan.Apply(RXEDMD, answer).empty());
        EXPECT_EQ(Join(plan.Apply(SYS_DSCPT, answer)), answer); // other commands pass
        EXPECT_TRUE(plan.Apply(RXEDMD, answer).empty());
        EXPECT_EQ(Join(plan.Apply(RXEDMD, answer)), answer); // the count is used up
    }
    {
        FaultPlan plan;
        plan.Add(Rule("badcrc:*:skip=1"));
        EXPECT_EQ(Join(plan.Apply(RXEDMD, answer)), answer);
        const std::string bad = Join(plan.Apply(RXEDMD, answer));
        ASSERT_EQ(bad.size(), answer.size());
        EXPECT_EQ(bad.substr(0, 3), "12\x0C");
        EXPECT_NE(bad.substr(3, 4), answer.substr(3, 4));
        for (char c : bad.substr(3, 4))
            EXPECT_TRUE(std::isxdigit(c) && !std::islower(c));
        EXPECT_EQ(bad.back(), '\n');
    }
    {
        // "$ACCEPT" has the CRC 6E89: a letter to lower
        FaultPlan plan;
        plan.Add(Rule("lowercrc:ENTRANCE"));
        EXPECT_EQ(Join(plan.Apply(ENTRANCE, AnswerLine("$ACCEPT"))), "$ACCEPT6e89\n");
    }
    {
        FaultPlan plan;
        plan.Add(Rule("split:*:pieces=4,ms=25"));
        plan.Add(Rule("late:*:100"));
        const auto pieces = plan.Apply(SYS_DSCPT, answer);
        ASSERT_EQ(pieces.size(), 4u);
        EXPECT_EQ(Join(pieces), answer);
        EXPECT_EQ(pieces[0].delayMs, 100u);
        for (std::size_t i = 1; i < pieces.size(); ++i)
            EXPECT_EQ(pieces[i].delayMs, 25u);
        for (const auto& p : pieces)
            EXPECT_FALSE(p.bytes.empty());
        EXPECT_EQ(pieces.back().bytes.back(), '\n');
    }
    {
        // a refusal in place of the answer, from the third FW_DATA on, twice
        FaultPlan plan;
        plan.Add(Rule("ng:FW_DATA:skip=2,count=2"));
        const std::string ok = AnswerLine("OK\x0C");
        for (const char* want : {"OK", "OK", "NG", "NG", "OK"})
            EXPECT_EQ(Join(plan.Apply(FW_DATA, ok)), AnswerLine(std::string(want) + "\x0C"));
        EXPECT_EQ(Join(plan.Apply(FW_ADDR, ok)), ok);
    }
    {
        FaultPlan plan;
        plan.Add(Rule("flood:*:count=1"));
        const auto pieces = plan.Apply(RXEDMD, answer);
        ASSERT_EQ(pieces.size(), 1u); // one write: the tool sees it all queued at once
        EXPECT_EQ(pieces[0].bytes.size(), 2048 + answer.size());
        EXPECT_TRUE(pieces[0].bytes.ends_with(answer));
        EXPECT_EQ(pieces[0].bytes.find('\n'), pieces[0].bytes.size() - 1);
        EXPECT_EQ(Join(plan.Apply(RXEDMD, answer)), answer);
    }
}

TEST(Options, DefaultsAndEveryOption) {
    auto d = Parse({});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->device.counts, (std::array<unsigned, 4>{4, 1, 8, 8}));
    EXPECT_FALSE(d->device.isp);
    EXPECT_EQ(d->hangupAfter, 0u);

    auto o = Parse({"--isp",
                    "--isp-banner=LDR",
                    "--inputs",
                    "2",
                    "--outputs",
                    "1",
                    "--users=2",
                    "--internals",
                    "3",
                    "--product",
                    "P",
                    "--description",
                    "D",
                    "--vid",
                    "V",
                    "--pid",
                    "Q",
                    "--fw-version",
                    "9",
                    "--field5",
                    "F5",
                    "--descriptor-flag",
                    "0",
                    "--mode",
                    "200",
                    "--modes-selectable",
                    "0",
                    "--copy-panel",
                    "0",
                    "--mode-poll",
                    "0",
                    "--slot",
                    "user2=/x.bin",
                    "--slot",
                    "internal3=/y",
                    "--link",
                    "/tmp/l",
                    "--log",
                    "/tmp/g",
                    "--state-dir",
                    "/tmp/s",
                    "--fw-out",
                    "/tmp/f",
                    "--fault",
                    "drop:RXEDMD:1",
                    "--fault=late:*:5",
                    "--hangup-after",
                    "7",
                    "--delay-ms",
                    "150",
                    "--fw-restart=400",
                    "--fw-restart-version",
                    "0.9"});
    ASSERT_TRUE(o);
    const DeviceConfig& c = o->device;
    EXPECT_TRUE(c.isp);
    EXPECT_EQ(c.ispBanner, "LDR");
    EXPECT_EQ(c.counts, (std::array<unsigned, 4>{2, 1, 2, 3}));
    EXPECT_EQ(c.product + c.description + c.vid + c.pid + c.firmwareVersion + c.field5, "PDVQ9F5");
    EXPECT_FALSE(c.descriptorFlag || c.modesSelectable || c.copyPanel || c.modePoll);
    EXPECT_EQ(c.mode, 200);
    ASSERT_EQ(o->slotFiles.size(), 2u);
    EXPECT_EQ(o->slotFiles[0].first, SlotSelector::Make(SlotKind::User, 1));
    EXPECT_EQ(o->slotFiles[1].first, SlotSelector::Make(SlotKind::Internal, 2));
    EXPECT_EQ(o->slotFiles[1].second, "/y");
    EXPECT_EQ(o->link + o->log + o->stateDir + o->fwOut, "/tmp/l/tmp/g/tmp/s/tmp/f");
    ASSERT_EQ(o->faults.size(), 2u);
    EXPECT_EQ(o->faults[1].kind, FaultKind::Late);
    EXPECT_EQ(o->hangupAfter, 7u);
    EXPECT_EQ(o->delayMs, 150u);
    EXPECT_EQ(o->restartMs, 400u);
    EXPECT_TRUE(c.restartAfterFirmware);
    EXPECT_EQ(c.restartVersion, "0.9");
}

TEST(Options, Refusals) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--inputs"},
        {"--inputs", "256"},
        {"--inputs", "-1"},
        {"--users", "two"},
        {"--mode", "300"},
        {"--copy-panel", "yes"},
        {"--description", std::string(32, 'd')}, // the device keeps 31 characters
        {"--product", std::string(65, 'p')},
        {"--slot", "input1"},
        {"--slot", "socket1=/x"},
        {"--slot", "input0=/x"},
        {"--slot", "input5=/x"}, // 4 inputs by default
        {"--inputs", "1", "--slot", "input2=/x"},
        {"--fault", "drop:NOPE"},
        {"--hangup-after", "0"},
        {"--link", ""},
        {"--isp=1"},
        {"--delay-ms", "10001"},
        {"--delay-ms", "-5"},
        {"--fw-restart", "soon"},
        {"--fw-restart-version", "2.0"}, // without --fw-restart
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    // a slot beyond the default count is fine once the count allows it
    EXPECT_TRUE(Parse({"--slot", "input6=/x", "--inputs", "6"}));
}

TEST(Options, HelpNamesEveryOption) {
    const std::string help(HelpText());
    for (const char* name : {"--link",
                             "--log",
                             "--state-dir",
                             "--isp",
                             "--isp-banner",
                             "--fw-out",
                             "--vid",
                             "--pid",
                             "--product",
                             "--description",
                             "--field5",
                             "--fw-version",
                             "--descriptor-flag",
                             "--inputs",
                             "--outputs",
                             "--users",
                             "--internals",
                             "--mode",
                             "--modes-selectable",
                             "--copy-panel",
                             "--mode-poll",
                             "--slot",
                             "--fault",
                             "drop:",
                             "badcrc:",
                             "lowercrc:",
                             "split:",
                             "late:",
                             "flood:",
                             "--hangup-after",
                             "--delay-ms",
                             "--fw-restart",
                             "--fw-restart-version",
                             "--help"}) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
        // and every option named in the help is accepted by the parser
        if (std::string_view(name).starts_with("--") && std::string_view(name) != "--help" &&
            std::string_view(name) != "--isp") {
            EXPECT_FALSE(Parse({name}).has_value()) << name << " should need a value";
        }
    }
    EXPECT_TRUE(Parse({"--help"})->help);
}

TEST(Options, SlotFilesAreReadAsTheOpenDialogsReadThem) {
    const auto dir = std::filesystem::temp_directory_path() / "devsim-slotfiles";
    std::filesystem::create_directories(dir);
    const std::string shortFile = (dir / "short.bin").string();
    const std::string longFile = (dir / "long.bin").string();
    WriteFileAtomic(shortFile, std::string(10, '\x01'));
    WriteFileAtomic(longFile, std::string(300, '\x02'));
    auto o = Parse({"--slot", "user3=" + shortFile, "--slot", "input1=" + longFile});
    ASSERT_TRUE(o);
    std::string error;
    ASSERT_TRUE(LoadSlotFiles(*o, error)) << error;
    Device d(o->device);
    const EdidImage& user3 = d.Slot(SlotSelector::Make(SlotKind::User, 2));
    EXPECT_EQ(user3[9], 0x01);
    EXPECT_EQ(user3[10], 0xFF);
    EXPECT_EQ(user3[255], 0xFF);
    EXPECT_EQ(d.Slot(SlotSelector::Make(SlotKind::Input, 0))[255], 0x02);
    std::uint16_t status = 0;
    EXPECT_TRUE(ValidateImage(d.Slot(SlotSelector::Make(SlotKind::User, 0)), status));

    auto missing = Parse({"--slot", "user1=" + (dir / "none.bin").string()});
    ASSERT_TRUE(missing);
    EXPECT_FALSE(LoadSlotFiles(*missing, error));
    EXPECT_NE(error.find("user1"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// The number and option reading both tools share (tools/common/CommandLine.h).
TEST(CommandLine, WholeNumbersInRange) {
    const struct {
        const char* text;
        long long min, max;
        std::optional<long long> value;
    } cases[] = {
        {"0", 0, 255, 0},
        {"255", 0, 255, 255},
        {"256", 0, 255, std::nullopt},
        {"007", 0, 255, 7},
        {"", 0, 255, {}},
        {"-1", 0, 255, {}},
        {"-0", 0, 255, {}},
        {"+1", 0, 255, {}},
        {" 1", 0, 255, {}},
        {"1 ", 0, 255, {}},
        {"1x", 0, 255, {}},
        {"0x10", 0, 255, {}},
        {"0", 1, 9, {}},
        {"-3", -5, 5, -3},
        {"99999999999999999999", 0, 9, {}},
        {"4294967295", 1, 0xFFFFFFFFLL, 0xFFFFFFFFLL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cmdline::ParseInteger(c.text, c.min, c.max), c.value) << '"' << c.text << '"';
}

TEST(CommandLine, OptionsValuesAndArguments) {
    struct Seen {
        bool verbose = false;
        std::string port;
        std::vector<std::string> arguments;
    };
    auto parse = [](std::vector<std::string> args, Seen& seen, bool doubleDash) {
        cmdline::OptionParser p;
        p.Flag("--verbose|-v", [&] { seen.verbose = true; })
            .Value("--port", "needs a path",
                   [&](const std::string& v) -> std::string {
                       if (v.find(':') != std::string::npos) return "is not a serial port";
                       seen.port = v;
                       return {};
                   })
            .Arguments([&](const std::string& a) {
                seen.arguments.push_back(a);
                return a != "refused";
            });
        if (doubleDash) p.DoubleDashEndsOptions();
        const auto failure = p.Parse(args);
        return failure ? failure->Text() : std::string("ok");
    };
    const struct {
        std::vector<std::string> args;
        bool doubleDash;
        const char* outcome;
        const char* port;
        bool verbose;
        std::size_t arguments;
    } cases[] = {
        {{"-v", "--port", "/dev/a", "x"}, false, "ok", "/dev/a", true, 1},
        {{"--port=/dev/b", "--verbose"}, false, "ok", "/dev/b", true, 0},
        {{"--port="}, false, "ok", "", false, 0},
        {{"--port", "--verbose"}, false, "ok", "--verbose", false, 0}, // the next one is the value
        {{"-", "", "y"}, false, "ok", "", false, 3},                   // "-" and "" are arguments
        {{"--port"}, false, "--port: needs a path", "", false, 0},
        {{"--port", "a:b"}, false, "--port: is not a serial port", "", false, 0},
        {{"--verbose=1"}, false, "--verbose takes no value", "", false, 0},
        {{"-v=1"}, false, "unknown option -v=1", "", false, 0},
        {{"--bogus=2"}, false, "unknown option --bogus=2", "", false, 0},
        {{"refused"}, false, "unknown option refused", "", false, 1},
        {{"--", "-v"}, false, "unknown option --", "", false, 0},
        {{"--", "-v", "--port"}, true, "ok", "", false, 2},
    };
    for (const auto& c : cases) {
        Seen seen;
        EXPECT_EQ(parse(c.args, seen, c.doubleDash), c.outcome) << c.args[0];
        EXPECT_EQ(seen.port, c.port) << c.args[0];
        EXPECT_EQ(seen.verbose, c.verbose) << c.args[0];
        EXPECT_EQ(seen.arguments.size(), c.arguments) << c.args[0];
    }
}
