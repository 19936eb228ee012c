#include "app/qt/User_interface.h"

#include <QMainWindow>

namespace tavo {

int RunApplication(QApplication& app) {
    QMainWindow w;
    w.setWindowTitle("TAVO 2016");
    w.show();
    return app.exec();
}

} // namespace tavo
