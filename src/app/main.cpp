// The GUI's entry: the application, the main window and the two pop-ups.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "TavoVersion.h"

#include "app/qt/User_interface.h"
#include "ui/qt/ExitAfterShow.h"

namespace {

constexpr const char* kHelp =
    "Usage: tavo [--version] [--help] [QT-OPTION]...\n"
    "The desktop tool for HDMI signal-distribution devices: finds the device on a serial port,\n"
    "reads, analyses, builds and writes the EDIDs in its slots, sets its EDID mode, description\n"
    "and defaults, updates its firmware, and configures networked devices of the family.\n"
    "\n"
    "Options:\n"
    "  --version               print the version and exit\n"
    "  --help                  print this help and exit\n"
    "  Qt's own options (-platform NAME, -style NAME, ...) are taken as well.\n"
    "\n"
    "Environment:\n"
    "  TAVO_SERIAL_PORTS       colon-separated device paths: the whole list of ports \"Search\"\n"
    "                          tries (instead of every serial port the system knows)\n"
    "  TAVO_DRM_ROOT           the folder read instead of /sys/class/drm for this computer's\n"
    "                          displays (\"Add display...\", display:CONNECTOR)\n"
    "  TAVO_EDID_DECODE        the edid-decode program that the hex view's full report runs\n"
    "                          (set to anything but a program: no full report)\n";

// --version and --help are answered before Qt starts, so they need no display.
bool AnswerInformationOptions(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavo %s\n", tavo::kVersionText);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (int status = 0; AnswerInformationOptions(argc, argv, status)) return status;
    QApplication app(argc, argv);
    tavo::ExitAfterShow::InstallIfAsked(app); // TAVO_EXIT_AFTER_SHOW=1: start-up figures
    return tavo::RunApplication(app);
}
