#include "Options.h"

#include "BuiltinEdid.h"
#include "CommandLine.h"
#include "StateDir.h"

namespace tavo::devsim {
namespace {

constexpr std::string_view kHelp = R"(Usage: tavo-devsim [OPTION]...
A simulated device of the family on a pseudo-terminal. Prints the terminal's path as the first
line on standard output, then answers requests until SIGTERM or SIGINT (exit status 0).
Options take their value as the next argument or after '=' (--inputs=2).

Connection and records:
  --link PATH             also make PATH a symbolic link to the terminal (an existing symbolic
                          link there is replaced; removed again at exit)
  --log FILE              append one line per request received: the verdict (ok, badcrc,
                          malformed, unknown, toolong, abandoned), a tab, the line from '$'
                          without CR LF; then, after a tab, what the device made of it
                          (answered, silent, a note, faults applied). Lines starting with '#'
                          are events (start, wake-up, hang-up, firmware written, stop).
  --state-dir DIR         keep each slot's EDID (input1.bin, user3.bin, ...), the EDID mode
                          (mode) and the description (description) in DIR, rewritten atomically
                          on every change; input, user, mode and description files found there
                          at start are loaded (output and internal slots always come from the
                          options)

Mode:
  --isp                   start in ISP (firmware loader) mode: the handshake answers "$ISP029"
                          followed by the banner; only FW_ADDR, FW_DATA and FW_END are answered
  --isp-banner TEXT       the text after "$ISP029" (default: the product text)
  --fw-out FILE           in ISP mode, write the image received to FILE at each FW_END (blocks
                          at their addresses, whole 64-byte blocks, gaps 0xFF)
  --fw-restart MS         after answering an FW_END that stored the image, restart: hear nothing
                          for MS milliseconds, then answer as a device in normal mode whose
                          firmware version is the image's (the text at offset 520)
  --fw-restart-version TEXT
                          with --fw-restart: report TEXT instead of the image's version (an
                          update that did not take)

System descriptor:
  --vid TEXT              VID text (default 5441)
  --pid TEXT              PID text (default 0401)
  --product TEXT          product text (default "DevSim 4x1")
  --description TEXT      description, at most 31 characters (default "Simulated device");
                          also what SYS_DEF restores
  --field5 TEXT           fifth field, which the tool does not use (default "HW1.0")
  --fw-version TEXT       firmware version text (default 1.00)
  --descriptor-flag 0|1   seventh field, "T" or "F" (default 1)
  --inputs N              inputs (default 4)
  --outputs N             outputs (default 1)
  --users N               user EDID slots (default 8)
  --internals N           internal EDID slots (default 8)
                          (N from 0 to 255; the tool shows at most 10 inputs, 1 output, 8 user
                          and 8 internal slots, larger counts test its limits)

Port descriptor (every input and output reports the same):
  --mode N                EDID mode at start and after SYS_DEF (default 0); modes count
                          internal slots, then outputs, then user slots; any 0..255 is accepted
                          here, while SET RXEDMD refuses modes outside the device's range
  --modes-selectable 0|1  every mode may be chosen (default 1)
  --copy-panel 0|1        the tool shows its EDID copy panel (default 1)
  --mode-poll 0|1         the tool polls the EDID mode every 2 s (default 1)
  --corrupt-writes        every EDID chunk written is stored with its first byte inverted,
                          still answered "OK"
  --late-commit           the first read of a slot after a write still shows its former bytes

EDIDs:
  --slot NAME=FILE        preload slot NAME (input1, output1, user3, internal2, ...) from FILE,
                          read as 256 bytes, a short file padded with 0xFF; repeatable. Slots
                          without a file hold the built-in new EDID. User slots return to these
                          EDIDs on SYS_DEF. Output and internal slots are read-only: a SET there
                          is refused.

Faults (repeatable --fault RULE; RULE is KIND[:CMD[:ARGS]]):
  CMD is a command name (SYS_DSCPT, ND_ED0A, RXEDMD, ENTRANCE for the handshake, ...) or * (the
  default) for every answer. ARGS is a number (the kind's main argument) or key=value pairs
  separated by commas: count=N (answers affected; default all), skip=N (matching answers let
  through first), ms=N, pieces=N, bytes=N.
  drop:CMD[:COUNT]        the answer is not sent
  badcrc:CMD[:COUNT]      the answer's CRC is wrong
  lowercrc:CMD[:COUNT]    the answer's CRC digits are lower case (no change when the CRC has no
                          letter A-F)
  split:CMD[:MS]          the answer is written in pieces (pieces=3) MS apart (default 30)
  late:CMD:MS             the answer is written MS milliseconds late
  flood:CMD[:BYTES]       BYTES of filler (default 2048, must be over 1024) and the answer are
                          written at once
  ng:CMD[:COUNT]          the answer is "NG" (a refusal; the request was handled all the same)
  Answers leave in the order of the requests: a late answer delays the ones after it.
  --delay-ms N            every answer leaves N milliseconds (0 to 10000) after its request
                          (a slow device; faults add their own delays on top)
  --hangup-after N        when the Nth well-formed request arrives (it is not answered), close
                          the terminal so the tool sees the port die, and exit 0

Answers: every answer line is body + CRC ("%04X" of the body) + LF. A SET is answered "OK" 0x0C
when applied and "NG" 0x0C when refused; a GET with nothing to report (no valid slot selected,
no GET form) and any request with a bad CRC get no answer. A CR outside a request (the " \r"
before the handshake) starts a new session: answers the previous one left unread are discarded.

Network (discovery):
  --net N                 also simulate N networked devices (1 to 255; distinct MACs
                          02:44:53:4E:00:nn, addresses, names). They listen on UDP port 31001
                          (broadcast and the group 225.12.13.14), answer a discovery request with
                          their announcements to 225.12.13.14:31002 and apply a configuration
                          datagram addressed to their MAC (the next announcement shows it).
                          Refused outside an isolated network namespace (TAVO_ISOLATED=1, or
                          no interface but lo) unless --allow-network is given.
  --net-only              no terminal: only the networked devices (needs --net); prints "net"
                          as the first line instead of a terminal path
  --allow-network         start the network side on a machine's real network as well

  --help                  show this text and exit
  --version               print the version and exit
)";

using cmdline::OptionParser;

constexpr std::size_t kTextMax = 64; // keeps the descriptor line well inside 1024 bytes
constexpr std::string_view kExpects01 = "expects 0 or 1";
const std::string kExpectsCount = cmdline::ExpectsNumber(0, 255);

OptionParser::OnValue Text(std::string& target, std::size_t max) {
    return [&target, max](const std::string& value) -> std::string {
        if (value.size() > max) return "at most " + std::to_string(max) + " characters";
        target = value;
        return {};
    };
}

OptionParser::OnValue ZeroOrOne(bool& target) {
    return [&target](const std::string& value) -> std::string {
        if (value != "0" && value != "1") return std::string(kExpects01);
        target = value == "1";
        return {};
    };
}

template <typename T> OptionParser::OnValue Count(T& target) {
    return [&target](const std::string& value) -> std::string {
        const auto n = cmdline::ParseInteger(value, 0, 255);
        if (!n) return kExpectsCount;
        target = static_cast<T>(*n);
        return {};
    };
}

OptionParser::OnValue Path(std::string& target) {
    return [&target](const std::string& value) -> std::string {
        if (value.empty()) return "needs a path";
        target = value;
        return {};
    };
}

// The system descriptor's texts and counts, the port descriptor's flags and the mode.
void DeclareDescriptorOptions(OptionParser& p, DeviceConfig& d) {
    p.Flag("--isp", [&d] { d.isp = true; })
        .Value("--isp-banner", "needs a value", Text(d.ispBanner, kTextMax))
        .Value("--vid", "needs a value", Text(d.vid, kTextMax))
        .Value("--pid", "needs a value", Text(d.pid, kTextMax))
        .Value("--product", "needs a value", Text(d.product, kTextMax))
        .Value("--description", "needs a value", Text(d.description, kDescriptionMax))
        .Value("--field5", "needs a value", Text(d.field5, kTextMax))
        .Value("--fw-version", "needs a value", Text(d.firmwareVersion, kTextMax))
        .Value("--descriptor-flag", std::string(kExpects01), ZeroOrOne(d.descriptorFlag))
        .Value("--inputs", kExpectsCount, Count(d.counts[0]))
        .Value("--outputs", kExpectsCount, Count(d.counts[1]))
        .Value("--users", kExpectsCount, Count(d.counts[2]))
        .Value("--internals", kExpectsCount, Count(d.counts[3]))
        .Value("--mode", kExpectsCount, Count(d.mode))
        .Value("--modes-selectable", std::string(kExpects01), ZeroOrOne(d.modesSelectable))
        .Value("--copy-panel", std::string(kExpects01), ZeroOrOne(d.copyPanel))
        .Value("--mode-poll", std::string(kExpects01), ZeroOrOne(d.modePoll))
        .Flag("--corrupt-writes", [&d] { d.corruptWrites = true; })
        .Flag("--late-commit", [&d] { d.lateCommit = true; });
}

// The slots' files, the terminal's link, the log, the state and firmware files.
void DeclareFileOptions(OptionParser& p, Options& o) {
    p.Value("--slot", "needs NAME=FILE",
            [&o](const std::string& value) -> std::string {
                const auto eq = value.find('=');
                const auto slot =
                    eq == std::string::npos ? std::nullopt : SlotFromName(value.substr(0, eq));
                if (!slot || eq + 1 >= value.size())
                    return "expects NAME=FILE with NAME like input1, output1, user3, internal2";
                o.slotFiles.emplace_back(*slot, value.substr(eq + 1));
                return {};
            })
        .Value("--link", "needs a path", Path(o.link))
        .Value("--log", "needs a path", Path(o.log))
        .Value("--state-dir", "needs a path", Path(o.stateDir))
        .Value("--fw-out", "needs a path", Path(o.fwOut));
}

OptionParser::OnValue Milliseconds(unsigned& target) {
    return [&target](const std::string& value) -> std::string {
        const auto n = cmdline::ParseInteger(value, 0, 10000);
        if (!n) return "expects milliseconds from 0 to 10000";
        target = static_cast<unsigned>(*n);
        return {};
    };
}

// How slowly the device answers, and its restart after a firmware update.
void DeclareTimingOptions(OptionParser& p, Options& o) {
    p.Value("--delay-ms", "needs a number", Milliseconds(o.delayMs))
        .Value("--fw-restart", "needs a number",
               [&o, ms = Milliseconds(o.restartMs)](const std::string& value) {
                   o.device.restartAfterFirmware = true;
                   return ms(value);
               })
        .Value("--fw-restart-version", "needs a value", Text(o.device.restartVersion, kTextMax));
}

// Faults, the hang-up and the networked devices.
void DeclareFaultAndNetOptions(OptionParser& p, Options& o) {
    p.Value("--fault", "needs a rule",
            [&o](const std::string& value) -> std::string {
                std::string why;
                auto rule = ParseFaultRule(value, why);
                if (!rule) return why;
                o.faults.push_back(*rule);
                return {};
            })
        .Value("--hangup-after", "needs a number",
               [&o](const std::string& value) -> std::string {
                   const auto n = cmdline::ParseInteger(value, 1, 0xFFFFFFFFu);
                   if (!n) return "expects a number from 1";
                   o.hangupAfter = static_cast<unsigned>(*n);
                   return {};
               })
        .Value("--net", "needs a number",
               [&o](const std::string& value) -> std::string {
                   const auto n = cmdline::ParseInteger(value, 1, 255);
                   if (!n) return cmdline::ExpectsNumber(1, 255);
                   o.net = static_cast<unsigned>(*n);
                   return {};
               })
        .Flag("--net-only", [&o] { o.netOnly = true; })
        .Flag("--allow-network", [&o] { o.allowNetwork = true; });
}

// What the options say together: empty when they fit, otherwise why not.
std::string CheckCombination(const Options& o) {
    if (o.netOnly && o.net == 0) return "--net-only needs --net N";
    if (!o.device.restartVersion.empty() && !o.device.restartAfterFirmware)
        return "--fw-restart-version needs --fw-restart MS";
    for (const auto& [slot, file] : o.slotFiles)
        if (slot.index() >= o.device.counts[slot.kindCode()])
            return "--slot: the device has no " + SlotName(slot);
    return {};
}

} // namespace

std::string_view HelpText() {
    return kHelp;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    OptionParser parser;
    parser.Flag("--help|-h", [&o] { o.help = true; });
    DeclareDescriptorOptions(parser, o.device);
    DeclareFileOptions(parser, o);
    DeclareFaultAndNetOptions(parser, o);
    DeclareTimingOptions(parser, o);
    if (const auto failure = parser.Parse(args)) {
        error = failure->Text();
        return std::nullopt;
    }
    error = CheckCombination(o);
    if (!error.empty()) return std::nullopt;
    return o;
}

bool LoadSlotFiles(Options& options, std::string& error) {
    const EdidImage builtin = BuiltinNewEdid();
    for (const auto& [slot, file] : options.slotFiles) {
        const auto bytes = ReadFileBytes(file);
        if (!bytes) {
            error = "cannot read " + file + " for " + SlotName(slot);
            return false;
        }
        auto& list = options.device.slots[slot.kindCode()];
        if (list.size() <= slot.index()) list.resize(slot.index() + 1, builtin);
        list[slot.index()] = ImageFromBytes(bytes->data(), bytes->size());
    }
    return true;
}

} // namespace tavo::devsim
