// The one QApplication of a skin test program, on the offscreen platform unless one is chosen.
#pragma once

#include <QApplication>

inline QApplication& SkinTestApp() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "skin_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}
