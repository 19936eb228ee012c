#pragma once
// The creator page as values: the state of every control of the seven creator pages by its
// object name (check boxes and the two format radio buttons ticked or not, edit texts), the font
// colour of each control and the text of the warning line. The Qt pages mirror this value; the
// load mapping, the input rules and the build work on it without a window.
//
// Edit texts are 8-bit strings (Latin-1), like the record's texts.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavo::creator {

enum class FontColour : std::uint8_t { Black, Red };

class CreatorPage {
public:
    // Every control in its start state: boxes clear, "HDMI" selected, the channel-count edits
    // "0", the bit-rate edits "     0", the luminance edits "    0", the CEC address "0000", the
    // descriptor edits empty, every font black, the warning line empty.
    CreatorPage();

    // The object names of every check box (radio buttons included) and every edit, in page order.
    static const std::vector<std::string>& CheckNames();
    static const std::vector<std::string>& EditNames();
    static bool IsCheck(std::string_view name);
    static bool IsEdit(std::string_view name);
    // Every control has a fixed index: the check boxes in CheckNames() order, then the edits.
    // -1 for an unknown name.
    static int IndexOf(std::string_view name);

    // The raw state, no rule runs. An unknown name throws std::out_of_range (a misspelt name is
    // a programming error, never a page state). Ticking one format radio button clears the other.
    bool Checked(std::string_view name) const;
    void SetChecked(std::string_view name, bool checked);
    const std::string& Text(std::string_view name) const;
    void SetText(std::string_view name, std::string text);
    FontColour Colour(std::string_view name) const;
    void SetColour(std::string_view name, FontColour colour);

    bool IsDvi() const;

    // Label_EdidCreator_Warning
    const std::string& Warning() const { return warning_; }
    void SetWarning(std::string text) { warning_ = std::move(text); }

    bool operator==(const CreatorPage&) const = default;

private:
    struct Control {
        bool checked = false;
        std::string text;
        FontColour colour = FontColour::Black;
        bool operator==(const Control&) const = default;
    };
    struct Blank {};
    explicit CreatorPage(Blank);
    Control& Find(std::string_view name);
    const Control& Find(std::string_view name) const;

    std::vector<Control> controls_; // by IndexOf
    std::string warning_;
};

// Whether a folding panel is open, as the page's detail boxes set it.
bool AudioPanelOpen(const CreatorPage& page, int panelIndex); // index into kAudioPanels
bool HdrPanelOpen(const CreatorPage& page);

} // namespace tavo::creator
