#pragma once
// The device pages of the main window's page control, one builder per page. Each builder creates
// the page's controls under their object names; the handlers find them by name (a page may be
// shown inside the "Commander" window, so the main window looks them up, see TForm1::Find).
#include <QString>

class QAbstractButton;
class QWidget;

namespace tavo::pages {

void BuildIpConfigure(QWidget* page);    // TabSheet10 "IP Configure"
void BuildEdidController(QWidget* page); // TabSheet1 "EDID Controller"
void BuildEdidAnalyzer(QWidget* page);   // TabSheet3 "EDID Analyzer"
void BuildEdidCreator(QWidget* page);    // TabSheet4 "EDID Creator", with PageControl2
void BuildSystem(QWidget* page);         // TabSheet2 "System"

// A flat glyph button: the speed buttons of the pages.
QAbstractButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& text, int x,
                                 int y);

} // namespace tavo::pages
