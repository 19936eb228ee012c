#pragma once
// TabSheet4 "EDID Creator" with its page control PageControl2.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in EdidCreatorPage.{h,cpp}, which finds the controls by those names.
class QWidget;

namespace tavo::creator {

// Heights of the folding panels, open and folded.
inline constexpr int kAudioPanelOpenHeight = 110;
inline constexpr int kHdrPanelOpenHeight = 156;
inline constexpr int kFoldedPanelHeight = 23;

} // namespace tavo::creator

namespace tavo::pages {

void BuildEdidCreator(QWidget* page);

} // namespace tavo::pages
