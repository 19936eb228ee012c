#pragma once
// The main window "TAVO 2016" and the application's entry sequence.
#include <QApplication>

namespace tavo {

// Creates the windows in order and runs the message loop; returns the exit code.
int RunApplication(QApplication& app);

} // namespace tavo
