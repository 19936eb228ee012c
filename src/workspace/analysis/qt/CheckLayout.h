#pragma once
// The check's two windows, reached from "EDID Analyzer": "Check Details" (the findings of the
// analysed EDID) and "Repair" (its repaired EDID, what changed, saved or uploaded). This file is
// their layout: it creates the controls and gives them their object names; the behaviour lives
// in CheckWindows.{h,cpp}.
class QWidget;

namespace tavo::pages {

// Fills `window` (a top-level widget named "Form_CheckDetails").
void BuildCheckDetails(QWidget* window);
// Fills `window` (a top-level widget named "Form_Repair").
void BuildRepair(QWidget* window);

} // namespace tavo::pages
