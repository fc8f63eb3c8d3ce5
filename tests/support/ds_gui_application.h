#pragma once

#include <QGuiApplication>

// Starts the one QGuiApplication of a test program, for tests that need
// fonts or images (QT_QPA_PLATFORM=offscreen, which ctest sets).
inline void ds_ensure_gui_application()
{
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "ostrel_test";
    static char *argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}
