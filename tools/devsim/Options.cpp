#include "Options.h"

#include <charconv>

#include "BuiltinEdid.h"
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

std::optional<unsigned> Number(std::string_view s, unsigned max) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || v > max)
        return std::nullopt;
    return v;
}

} // namespace

std::string_view HelpText() {
    return kHelp;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    DeviceConfig& d = o.device;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto fail = [&](const std::string& why) {
            error = name + ": " + why;
            return std::nullopt;
        };
        // value of an option that takes one
        std::string value;
        auto take = [&]() -> bool {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto flag = [&](bool& target) -> bool {
            if (!take()) return false;
            if (value != "0" && value != "1") return false;
            target = value == "1";
            return true;
        };
        auto text = [&](std::string& target, std::size_t max) -> std::optional<std::string> {
            if (!take()) return "needs a value";
            if (value.size() > max) return "at most " + std::to_string(max) + " characters";
            target = value;
            return std::nullopt;
        };
        auto count = [&](unsigned& target) -> bool {
            if (!take()) return false;
            const auto n = Number(value, 255);
            if (!n) return false;
            target = *n;
            return true;
        };
        constexpr std::size_t kTextMax = 64; // keeps the descriptor line well inside 1024 bytes
        std::optional<std::string> textError;

        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--isp") {
            d.isp = true;
        } else if (name == "--isp-banner") {
            if ((textError = text(d.ispBanner, kTextMax))) return fail(*textError);
        } else if (name == "--vid") {
            if ((textError = text(d.vid, kTextMax))) return fail(*textError);
        } else if (name == "--pid") {
            if ((textError = text(d.pid, kTextMax))) return fail(*textError);
        } else if (name == "--product") {
            if ((textError = text(d.product, kTextMax))) return fail(*textError);
        } else if (name == "--description") {
            if ((textError = text(d.description, kDescriptionMax))) return fail(*textError);
        } else if (name == "--field5") {
            if ((textError = text(d.field5, kTextMax))) return fail(*textError);
        } else if (name == "--fw-version") {
            if ((textError = text(d.firmwareVersion, kTextMax))) return fail(*textError);
        } else if (name == "--descriptor-flag") {
            if (!flag(d.descriptorFlag)) return fail("expects 0 or 1");
        } else if (name == "--inputs") {
            if (!count(d.counts[0])) return fail("expects a number from 0 to 255");
        } else if (name == "--outputs") {
            if (!count(d.counts[1])) return fail("expects a number from 0 to 255");
        } else if (name == "--users") {
            if (!count(d.counts[2])) return fail("expects a number from 0 to 255");
        } else if (name == "--internals") {
            if (!count(d.counts[3])) return fail("expects a number from 0 to 255");
        } else if (name == "--mode") {
            unsigned m = 0;
            if (!count(m)) return fail("expects a number from 0 to 255");
            d.mode = static_cast<std::uint8_t>(m);
        } else if (name == "--modes-selectable") {
            if (!flag(d.modesSelectable)) return fail("expects 0 or 1");
        } else if (name == "--copy-panel") {
            if (!flag(d.copyPanel)) return fail("expects 0 or 1");
        } else if (name == "--corrupt-writes") {
            d.corruptWrites = true;
        } else if (name == "--late-commit") {
            d.lateCommit = true;
        } else if (name == "--mode-poll") {
            if (!flag(d.modePoll)) return fail("expects 0 or 1");
        } else if (name == "--slot") {
            if (!take()) return fail("needs NAME=FILE");
            const auto eq = value.find('=');
            const auto slot =
                eq == std::string::npos ? std::nullopt : SlotFromName(value.substr(0, eq));
            if (!slot || eq + 1 >= value.size())
                return fail("expects NAME=FILE with NAME like input1, output1, user3, internal2");
            o.slotFiles.emplace_back(*slot, value.substr(eq + 1));
        } else if (name == "--link" || name == "--log" || name == "--state-dir" ||
                   name == "--fw-out") {
            std::string& target = name == "--link"     ? o.link
                                  : name == "--log"    ? o.log
                                  : name == "--fw-out" ? o.fwOut
                                                       : o.stateDir;
            if (!take() || value.empty()) return fail("needs a path");
            target = value;
        } else if (name == "--fault") {
            if (!take()) return fail("needs a rule");
            std::string why;
            auto rule = ParseFaultRule(value, why);
            if (!rule) return fail(why);
            o.faults.push_back(*rule);
        } else if (name == "--net") {
            if (!take()) return fail("needs a number");
            const auto n = Number(value, 255);
            if (!n || *n == 0) return fail("expects a number from 1 to 255");
            o.net = *n;
        } else if (name == "--net-only") {
            o.netOnly = true;
        } else if (name == "--allow-network") {
            o.allowNetwork = true;
        } else if (name == "--hangup-after") {
            if (!take()) return fail("needs a number");
            const auto n = Number(value, 0xFFFFFFFFu);
            if (!n || *n == 0) return fail("expects a number from 1");
            o.hangupAfter = *n;
        } else {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
        if (inlineValue && (name == "--isp" || name == "--help" || name == "-h" ||
                            name == "--net-only" || name == "--allow-network")) {
            error = name + " takes no value";
            return std::nullopt;
        }
    }
    if (o.netOnly && o.net == 0) {
        error = "--net-only needs --net N";
        return std::nullopt;
    }
    for (const auto& [slot, file] : o.slotFiles) {
        if (slot.index() >= d.counts[slot.kindCode()]) {
            error = "--slot: the device has no " + SlotName(slot);
            return std::nullopt;
        }
    }
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
