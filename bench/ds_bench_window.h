#pragma once
// What a benchmark of a document window needs before its first window: one
// application for the program, settings in a scratch folder, and the
// defaults, entity classes, nib and sheets registered as the program does.
#include "app/ds_register_model_classes.h"
#include "model/DSUserDefaults.h"
#include "model/ds_application_defaults.h"
#include "ui/panes/ds_register_pane_classes.h"
#include "ui/sheets/ds_register_sheet_classes.h"
#include "ui/window/DSStatDocumentNib.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

inline void ds_bench_window_application()
{
    static int argc = 1;
    static char name[] = "ostrel_bench";
    static char *argv[] = {name, nullptr};
    // Never destroyed: destroying an application from the exit handlers,
    // after Qt's own statics are gone, crashes in its input devices.
    static QApplication *application = new QApplication(argc, argv);
    (void)application;
    static QTemporaryDir settings;
    static const bool registered = [] {
        DSUserDefaults::setStandardUserDefaults(
            std::make_unique<DSUserDefaults>(settings.filePath(QStringLiteral("Ostrel.conf"))));
        ds_register_application_defaults();
        ds_register_model_classes();
        DSStatDocumentNib::registerNib();
        ds_register_sheet_classes();
        ds_register_pane_classes();
        return true;
    }();
    (void)registered;
}
