#pragma once
// TabSheet10 "IP Configure": a networked device's settings.
// This file is the page's layout: it creates the controls and gives them their object names.
// The page's behaviour lives in IpConfigurePage.{h,cpp}, which finds the controls by those names.
class QWidget;

namespace tavo::pages {

void BuildIpConfigure(QWidget* page);

} // namespace tavo::pages
