// The request parser against the exact bytes the tool writes, split every way the line may
// deliver them, and against what it must refuse.
#include <gtest/gtest.h>

#include "RequestParser.h"
#include "TestHelpers.h"

using namespace tavo;
using namespace tavo::devsim;
using namespace tavo::devsim::test;

namespace {

struct Case {
    std::uint8_t mode;
    std::uint16_t command;
    std::vector<std::uint8_t> payload;
    RequestVerb verb;
};

std::vector<Case> ToolRequests() {
    std::vector<std::uint8_t> chunk(64);
    for (unsigned i = 0; i < 64; ++i)
        chunk[i] = static_cast<std::uint8_t>(i * 7 + 0xA0);
    const std::vector<std::uint8_t> text = {'H', 'a', 'l', 'l', ' ', '2'};
    return {
        {kModeGet, ENTRANCE, {}, RequestVerb::Entrance},
        {kModeGet, SYS_DSCPT, {}, RequestVerb::Get},
        {kModeGet, ND_DSCPT, {}, RequestVerb::Get},
        {kModeGet, ND_ED1B, {}, RequestVerb::Get},
        {kModeGet, RXEDMD, {0x12, 0x34}, RequestVerb::Get}, // a GET drops its payload
        {kModeSet, ND_SEL, {0x20, 0x00}, RequestVerb::Set},
        {kModeSet, ND_SEL, {0x00, 0x00}, RequestVerb::Set},
        {kModeSet, RXEDMD, {0x03}, RequestVerb::Set},
        {kModeSet, SYS_STM, {}, RequestVerb::Set},
        {kModeSet, SYS_DEF, {0x55}, RequestVerb::Set},
        {kModeSet, SYS_STR, text, RequestVerb::Set},
        {kModeSet, ND_ED0B, chunk, RequestVerb::Set},
        {kModeSet, FW_ADDR, {0xFF, 0xC0}, RequestVerb::Set},
        {kModeSet, FW_DATA, chunk, RequestVerb::Set},
        {kModeSet, FW_END, {}, RequestVerb::Set},
    };
}

// Lines only; `wakeups` counts the wake-ups among them.
std::vector<ParsedLine> Lines(std::vector<ParsedLine> all, int* wakeups = nullptr) {
    const auto n = std::erase_if(all, [](const ParsedLine& p) { return p.wakeup; });
    if (wakeups) *wakeups = static_cast<int>(n);
    return all;
}

void ExpectRequest(std::vector<ParsedLine> all, const Case& c, const std::string& how) {
    int wakeups = 0;
    const auto lines = Lines(std::move(all), &wakeups);
    EXPECT_EQ(wakeups, c.command == ENTRANCE ? 1 : 0) << how;
    ASSERT_EQ(lines.size(), 1u) << how;
    const ParsedLine& p = lines[0];
    ASSERT_TRUE(p.ok()) << how << ": " << RequestErrorName(p.error) << " " << p.text;
    EXPECT_EQ(p.request.verb, c.verb) << how;
    EXPECT_EQ(p.request.command, c.command) << how;
    EXPECT_EQ(p.request.payload, c.mode == kModeSet ? c.payload : std::vector<std::uint8_t>{})
        << how;
}

std::vector<ParsedLine> FeedAll(std::string_view bytes, int* wakeups = nullptr) {
    RequestParser parser;
    std::vector<ParsedLine> out;
    parser.Feed(bytes, out);
    return Lines(std::move(out), wakeups);
}

} // namespace

TEST(RequestParser, ToolFramesWholeByteByByteAndAtEverySplit) {
    for (const Case& c : ToolRequests()) {
        const std::string frame = ToolFrame(c.mode, c.command, c.payload);
        const std::string name(CommandName(c.command));
        {
            RequestParser parser;
            std::vector<ParsedLine> out;
            parser.Feed(frame, out);
            ExpectRequest(out, c, name + " whole");
        }

        // the tool's own writes, one Feed each
        {
            RequestParser parser;
            std::vector<ParsedLine> out;
            for (const auto& step :
                 FrameWrites(c.mode, c.command, static_cast<std::uint16_t>(c.payload.size()),
                                  c.payload.data()))
                parser.Feed(step.bytes, out);
            ExpectRequest(out, c, name + " as written");
        }
        // byte by byte
        {
            RequestParser parser;
            std::vector<ParsedLine> out;
            for (char ch : frame)
                parser.Feed(std::string_view(&ch, 1), out);
            ExpectRequest(out, c, name + " byte by byte");
        }
        // every cut into two reads
        for (std::size_t cut = 1; cut < frame.size(); ++cut) {
            RequestParser parser;
            std::vector<ParsedLine> out;
            parser.Feed(std::string_view(frame).substr(0, cut), out);
            EXPECT_TRUE(Lines(out).empty());
            parser.Feed(std::string_view(frame).substr(cut), out);
            ExpectRequest(out, c, name + " cut at " + std::to_string(cut));
        }
    }
}

TEST(RequestParser, SeveralRequestsInOneRead) {
    const std::string bytes = ToolFrame(kModeGet, ENTRANCE) + ToolFrame(kModeGet, SYS_DSCPT) +
                              ToolFrame(kModeSet, ND_SEL, {0x00, 0x00}) +
                              ToolFrame(kModeGet, ND_DSCPT);
    int wakeups = 0;
    const auto lines = FeedAll(bytes, &wakeups);
    EXPECT_EQ(wakeups, 1);
    ASSERT_EQ(lines.size(), 4u);
    const std::uint16_t expected[] = {ENTRANCE, SYS_DSCPT, ND_SEL, ND_DSCPT};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(lines[i].ok());
        EXPECT_EQ(lines[i].request.command, expected[i]);
    }
    EXPECT_EQ(lines[0].text, "$ENTRANCE FFFF"); // the " \r" wake-up is not part of the line
}

TEST(RequestParser, RefusesWhatTheToolNeverSends) {
    const struct {
        const char* line;
        RequestError error;
    } cases[] = {
        {"$SET ND_SEL 00004E5D", RequestError::BadCrc}, // one digit off
        {"$SET ND_SEL 00004e5c", RequestError::BadCrc}, // lower-case CRC digits
        {"$SET RXEDMD 03FFFF", RequestError::BadCrc},   // CRC of an empty payload
        {"$SET ND_SEL 0000", RequestError::BadCrc},     // payload taken for the CRC
        {"$GET SYS_DSCPT FFFE", RequestError::BadCrc},
        {"$SET ND_SEL 0a00FFFF", RequestError::Malformed}, // lower-case payload letter
        {"$SET RXEDMD 3FFFF", RequestError::Malformed},    // odd number of letters
        {"$SET RXEDMD 0G4502", RequestError::Malformed},   // not hex
        {"$GET RXEDMD 034502", RequestError::Malformed},   // a GET carries no payload
        {"$ENTRANCE 034502", RequestError::Malformed},
        {"$SYS_DSCPT FFFF", RequestError::Malformed}, // no verb: only the handshake
        {"$GET SYS_DSCPT", RequestError::Malformed},  // no CRC field
        {"$GET SYS_DSCPT FFF", RequestError::Malformed},
        {"$GET  FFFF", RequestError::Malformed},
        {"$GETSYS_DSCPT FFFF", RequestError::Malformed},
        {"$GET SYS_DSCPTX FFFF", RequestError::UnknownCommand},
        {"$GET RESERVED FFFF", RequestError::UnknownCommand},
        {"$SET ENTRANCE FFFF", RequestError::UnknownCommand},
        {"$get SYS_DSCPT FFFF", RequestError::Malformed},
    };
    for (const auto& c : cases) {
        const auto lines = FeedAll(std::string(c.line) + "\r\n");
        ASSERT_EQ(lines.size(), 1u) << c.line;
        EXPECT_EQ(lines[0].error, c.error)
            << c.line << " gave " << RequestErrorName(lines[0].error);
        EXPECT_EQ(lines[0].text, c.line);
    }
}

TEST(RequestParser, RecoversAfterNoiseBrokenAndOverlongLines) {
    std::string bytes = "noise\r\n\x01\xFF";
    bytes += "$SET ND_ED0A 0102"; // broken off: the next "$" starts over
    bytes += ToolFrame(kModeGet, RXEDMD);
    bytes += "$SET SYS_STR " + std::string(2000, 'A') + "\r\n"; // far longer than any request
    bytes += "$GET SYS_DSCPT FFFF\n";                           // LF without CR is accepted
    int wakeups = 0;
    const auto lines = FeedAll(bytes, &wakeups);
    EXPECT_EQ(wakeups, 1); // the CR of "noise\r\n"; the CRs ending lines are not wake-ups
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].error, RequestError::Abandoned);
    EXPECT_EQ(lines[0].text, "$SET ND_ED0A 0102");
    EXPECT_TRUE(lines[1].ok());
    EXPECT_EQ(lines[1].request.command, RXEDMD);
    EXPECT_EQ(lines[2].error, RequestError::TooLong);
    EXPECT_LE(lines[2].text.size(), kMaxRequestLine);
    EXPECT_TRUE(lines[3].ok());
    EXPECT_EQ(lines[3].request.command, SYS_DSCPT);
}
