#pragma once
// How the window shows an analysis (workspace/analysis/AnalyzerSummary.h says what it is): the
// rows' captions and value labels, the audio row wrapped onto a second line and its panel's height,
// and the glyph of the open-in-creator button. The analyzer group and the compose window's result
// both show the rows this way.
#include <QString>
#include <array>
#include <string_view>

#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo {

// Object names of the value labels, row by row (the compose window's end in "_Compose").
inline constexpr std::array<std::string_view, kSummaryRowCount> kSummaryLabelNames = {
    "Label_Edid_Header",    "Label_Edid_Checksum",  "Label_Edid_Format",    "Label_Manufac_Name",
    "Label_Monitor_Name",   "Label_Max_Resolution", "Label_Max_ColorDepth", "Label_Support_3D",
    "Label_Support_YUV420", "Label_Support_SCDC",   "Label_Support_600MHz", "Label_Support_HDR",
    "Label_Audio_Formats",  "Label_Audio_Channel",  "Label_CEC_Address",
};

// Heights of the audio row's panel (Panel10): one line, and two after the wrap.
inline constexpr int kAudioPanelHeight = 23;
inline constexpr int kAudioPanelWrappedHeight = 38;

inline constexpr std::string_view kGlyphModifyColor = "ModifyColor";
inline constexpr std::string_view kGlyphModifyGray = "ModifyGray";

// A row's caption as the analyzer's panels show it: "    EDID Header :".
QString SummaryCaption(std::string_view title);

// The rows of an analysis as the labels show them: Latin-1 text with its control characters made
// visible; the audio formats break once, before the entry that would start after the 30th
// character.
struct ShownSummary {
    std::array<QString, kSummaryRowCount> rows;
    bool audioWrapped = false;
    QString glyph; // of the open-in-creator button: in colour for a valid EDID, grey otherwise
};
ShownSummary SummaryAsShown(const AnalyzerSummary& summary);

// The audio row's panel height for `shown`: an invalid EDID's rows keep the height the panel has.
int AudioRowHeight(const AnalyzerSummary& summary, const ShownSummary& shown, int current);

} // namespace tavo
