#pragma once
// TabSheet1 "EDID Controller": slot transfers, analysis, copy and Mode Select.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in EdidControllerPage.{h,cpp}, which finds the controls by those
// names.
class QWidget;

namespace tavo::pages {

void BuildEdidController(QWidget* page);

} // namespace tavo::pages
