#pragma once
// "Compose": the window that builds the EDID every display behind the device takes. This file is
// the window's layout: it creates the controls and gives them their object names; the behaviour
// lives in ComposeWindow.{h,cpp}.
class QWidget;

namespace tavo::pages {

// Fills `window` (a top-level widget named "Form_Compose").
void BuildCompose(QWidget* window);

} // namespace tavo::pages
