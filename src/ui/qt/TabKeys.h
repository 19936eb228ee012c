#pragma once
// Ctrl+Tab and Ctrl+Shift+Tab (and the arrows on the tab bar) move only between the tabs that are
// shown and enabled: a page hidden for the selected device cannot be reached from the keyboard.
class QTabWidget;

namespace tavo {

void KeepKeysOnShownTabs(QTabWidget* pages);

// The next tab from `from` in direction `step` (+1 or -1) that is shown and enabled, wrapping
// around; -1 when there is none other.
int NextShownTab(const QTabWidget* pages, int from, int step);

} // namespace tavo
