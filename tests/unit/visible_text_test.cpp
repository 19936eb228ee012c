// Text from files and devices shown as text: the terminal guard, the window's labels and the
// JSON writers never pass a control character on.
#include <gtest/gtest.h>

#include <string>

#include "edid/BlockMap.h"
#include "edid/JsonWriter.h"
#include "edid/VisibleText.h"
#include "maintenance/Firmware.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo {
namespace {

TEST(VisibleText, ControlsBecomeVisibleAndTextStays) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", ""},
        {"DELL U2720Q", "DELL U2720Q"},
        {"\x1b[2J\x1b[H", "\\x1B[2J\\x1B[H"},  // clear screen, cursor home
        {"a\rb\nc\td", "a\\x0Db\\x0Ac\\x09d"}, // no line of its own, no overwrite
        {std::string("x\0y", 3), "x\\x00y"},   // a zero byte is shown too
        {"\x7f", "\\x7F"},                     // DEL
        {"\xc2\x9b"
         "31m",
         "\\x9B31m"},                         // C1 CSI in UTF-8
        {"\xc2\x85", "\\x85"},                // C1 next line
        {"Écran 显示器 ü", "Écran 显示器 ü"}, // valid UTF-8 letters stay
        {"\xe2\x80\xae"
         "gpj.exe",
         "\\u202Egpj.exe"},                       // right-to-left override
        {"caf\xe9", "caf\\xE9"},                  // Latin-1 byte: not UTF-8
        {"\xc3", "\\xC3"},                        // cut sequence
        {"\xc0\xaf", "\\xC0\\xAF"},               // overlong
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},      // surrogate
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"}, // four bytes, valid
        {"back\\slash", "back\\slash"},           // a backslash is no control
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VisibleText(c.in), c.out) << c.in;
        EXPECT_EQ(IsVisibleText(c.in), c.in == c.out) << c.in;
        EXPECT_TRUE(IsVisibleText(VisibleText(c.in))) << c.in;
    }
    EXPECT_EQ(VisibleText("a\r\nb\tc\x1b", true), "a\r\nb\tc\\x1B"); // a log keeps its lines
}

TEST(VisibleText, Latin1BecomesUtf8WithControlsVisible) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"Hall", "Hall"},
        {"caf\xe9", "caf\xc3\xa9"},
        {"\x1b]0;owned\x07", "\\x1B]0;owned\\x07"}, // window title sequence
        {"\x9b"
         "2J",
         "\\x9B2J"}, // C1 CSI as a Latin-1 byte
        {"\x7f\xa0\xff", "\\x7F\xc2\xa0\xc3\xbf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VisibleLatin1(c.in), c.out) << c.in;
}

TEST(VisibleText, JsonEscapesEveryControlAndStaysValid) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"\x1b[2J", "\"\\u001b[2J\""}, {"\xc2\x9b", "\"\\u009b\""},
        {"\x7f", "\"\\u007f\""},       {"\xe2\x80\xae", "\"\\u202e\""},
        {"caf\xe9", "\"caf\\u00e9\""}, {"Écran", "\"Écran\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonWriter().String(c.in).Text(), c.out) << c.in;
    EXPECT_EQ(JsonWriter().Latin1("a\x1b\x9b\xe9").Text(), "\"a\\u001b\\u009b\xc3\xa9\"");
}

TEST(VisibleText, FirmwareFieldsAreShownNotActedOn) {
    std::string image(1024, '\xff');
    image.replace(512, 7, "FW VER:");
    image.replace(520, 8, std::string("\x1b[2J\x1b[H", 8));
    image.replace(528, 4, "\x1b]0;");
    image.replace(532, 4, "PID\x07");
    const FirmwareHeader h =
        CheckFirmwareHeader(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
    ASSERT_TRUE(h.accepted);
    const std::string line = TargetLine(h);
    EXPECT_TRUE(IsVisibleText(line)) << line;
    EXPECT_NE(line.find("Version-\\x1B[2J\\x1B[H"), std::string::npos) << line;
    EXPECT_TRUE(IsVisibleText(CurrentLine("\x1b", "\x9b", "v\x07"))) << CurrentLine("\x1b", "", "");
}

} // namespace
} // namespace tavo
