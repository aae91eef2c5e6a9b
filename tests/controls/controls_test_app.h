// The one QApplication of a controls test program, on the offscreen platform unless one is
// chosen.
#pragma once

#include <QApplication>

inline QApplication& ControlsTestApp() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "controls_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: a QApplication torn down among the static destructors crashes in
    // QWindow clean-up once the thread storage it needs is gone.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
