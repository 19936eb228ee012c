#pragma once
// "Hex View": the window that shows an EDID's 256 bytes as a hex grid coloured by the parts of its
// block map, the list of the parts, the decoded fields of the part chosen and, where edid-decode
// is installed, its full report. This file is the window's layout: it creates the controls and
// gives them their object names; the behaviour lives in HexView.{h,cpp}.
class QWidget;

namespace tavo::pages {

// Fills `window` (a top-level widget named "Form_HexView").
void BuildHexView(QWidget* window);

} // namespace tavo::pages
