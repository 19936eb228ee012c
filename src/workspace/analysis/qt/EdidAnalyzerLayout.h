#pragma once
// TabSheet3 "EDID Analyzer": the summary group that moves into the "EDID Analyzer" window.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in EdidControllerPage.{h,cpp} (the analysis), which finds the controls
// by those names.
class QWidget;

namespace tavo::pages {

void BuildEdidAnalyzer(QWidget* page);

} // namespace tavo::pages
