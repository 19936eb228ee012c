// The GUI's entry: the application, the main window and the two pop-ups.
#include <QApplication>

#include "app/qt/User_interface.h"
#include "ui/qt/ExitAfterShow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavo::ExitAfterShow::InstallIfAsked(app); // TAVO_EXIT_AFTER_SHOW=1: start-up figures
    return tavo::RunApplication(app);
}
