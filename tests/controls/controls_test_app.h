// The one QApplication of a controls test program, on the offscreen platform unless one is
// chosen.
#pragma once

#include <QApplication>

inline QApplication& ControlsTestApp() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "controls_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}
