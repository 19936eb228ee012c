// The GUI's entry: the application, the main window and the two pop-ups.
#include <QApplication>

#include "app/qt/User_interface.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return tavo::RunApplication(app);
}
