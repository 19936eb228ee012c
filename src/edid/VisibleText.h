#pragma once
// Text that came from a file or a device (an EDID's names and serial text, a firmware image's
// header, the device's description, history and manifest fields, datagrams) shown as text: a
// control character never reaches a terminal or a window as itself, where an escape sequence
// could clear the screen, move the cursor or rewrite what was printed before.
//
//   - C0 controls (0x00-0x1F), DEL and C1 controls (U+0080-U+009F) become "\x1B", "\x7F",
//     "\x85" (two upper-case hex digits);
//   - the invisible direction marks and overrides (U+200E, U+200F, U+202A-U+202E,
//     U+2066-U+2069) become "\u202E";
//   - a byte that is not part of valid UTF-8 becomes "\xE9";
//   - everything else (printable ASCII, valid UTF-8 letters and signs) stays as it is.
#include <string>
#include <string_view>

namespace tavo {

// UTF-8 text with its control characters made visible, as above. `keepLayout`: line breaks
// ("\r", "\n") and tabs stay as they are (a log of several lines).
std::string VisibleText(std::string_view utf8, bool keepLayout = false);

// Latin-1 text (what an EDID and the device hold) as UTF-8, control characters made visible.
std::string VisibleLatin1(std::string_view latin1);

// Appends `utf8` to `out` as a quoted JSON string: quotes and backslashes escaped, the characters
// VisibleText would change as "\u001b" escapes (a byte outside valid UTF-8 read as Latin-1,
// "\u00e9"), so that the JSON is valid and a reader that prints it prints no control character.
void AppendJsonVisible(std::string& out, std::string_view utf8);

// True when VisibleText leaves `utf8` as it is.
bool IsVisibleText(std::string_view utf8);

} // namespace tavo
