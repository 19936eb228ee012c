#pragma once
// TabSheet2 "System": description, defaults and the firmware update.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in SystemPage.{h,cpp}, which finds the controls by those names.
class QWidget;

namespace tavo::pages {

void BuildSystem(QWidget* page);

} // namespace tavo::pages
