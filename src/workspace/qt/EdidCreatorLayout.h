#pragma once
// TabSheet4 "EDID Creator" with its page control PageControl2.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in EdidCreatorPage.{h,cpp}, which finds the controls by those names.
class QWidget;

namespace tavo::pages {

void BuildEdidCreator(QWidget* page);

} // namespace tavo::pages
