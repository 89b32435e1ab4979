// brushwick — entry point of the desktop application.
#include <clocale>

#include "desktop/crash_handler.h"
#include "window/app.h"

int main(int argc, char** argv) {
    // First of all, so that a crash anywhere later still leaves a report.
    CrashHandler::install();
    std::setlocale(LC_ALL, "");
    // Number conversions in the settings files always use a decimal point;
    // the interface formats numbers for the language by itself.
    std::setlocale(LC_NUMERIC, "C");
    App app;
    return app.run(argc, argv);
}
