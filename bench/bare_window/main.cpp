// A bare Qt Widgets window of the given size, nothing in it: the yardstick for the GUI's time to
// its first shown window and its peak memory (bench/gui_start_bench.sh).
// With --text the window shows one push button with a caption, which costs what any window with
// text pays once: the font database and the style.
// usage: tavo_bare_window [WIDTH HEIGHT [--text]]   (TAVO_EXIT_AFTER_SHOW=1 to quit once shown)
#include <QApplication>
#include <QPushButton>
#include <QWidget>
#include <cstdlib>
#include <cstring>

#include "ui/qt/ExitAfterShow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavo::ExitAfterShow::InstallIfAsked(app);
    QWidget window;
    const int width = argc > 2 ? std::atoi(argv[1]) : 583;
    const int height = argc > 2 ? std::atoi(argv[2]) : 530;
    window.setFixedSize(width > 0 ? width : 583, height > 0 ? height : 530);
    if (argc > 3 && std::strcmp(argv[3], "--text") == 0)
        (new QPushButton("Search", &window))->setGeometry(12, 22, 100, 32);
    window.show();
    return app.exec();
}
