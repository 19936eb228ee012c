#pragma once
// Form1 "TAVO 2016": the menus, the device grid, the search buttons, the debug pane and the five
// tab sheets of the device pages (each built by its page's layout).
// This file is the main window's layout: it creates the controls and gives them their object
// names. The window's behaviour lives in User_interface.{h,cpp}.
namespace tavo {

class TForm1;

namespace pages {

// Main window layout, client coordinates.
inline constexpr int kClientWidth = 1350; // as designed; narrowed to the grid by FormCreate
inline constexpr int kClientHeight = 506;
inline constexpr int kGridWidth = 553;
inline constexpr int kMemoWidth = 289;
inline constexpr int kDebugPaneExtra = kMemoWidth + 25; // the window widens by this for the log

// Creates the window's controls into `form`'s members, as designed, before FormCreate adjusts it.
void BuildMainWindow(TForm1& form);

} // namespace pages
} // namespace tavo
