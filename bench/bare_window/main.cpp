// A bare Qt Widgets window of the given size, nothing in it: the yardstick for the GUI's time to
// its first shown window and its peak memory (bench/gui_start_bench.sh).
// usage: tavo_bare_window [WIDTH HEIGHT]   (TAVO_EXIT_AFTER_SHOW=1 to quit once shown)
#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "app/qt/ExitAfterShow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavo::ExitAfterShow::InstallIfAsked(app);
    QWidget window;
    const int width = argc > 2 ? std::atoi(argv[1]) : 583;
    const int height = argc > 2 ? std::atoi(argv[2]) : 530;
    window.setFixedSize(width > 0 ? width : 583, height > 0 ? height : 530);
    window.show();
    return app.exec();
}
