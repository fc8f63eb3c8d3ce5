#include "window_test_support.h"

#include "app/ds_register_model_classes.h"
#include "model/DSUserDefaults.h"
#include "model/ds_application_defaults.h"
#include "ui/sheets/ds_register_sheet_classes.h"
#include "ui/window/DSStatDocumentNib.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

#include <iostream>

void ensureWindowTestApplication()
{
    static QApplication *app = [] {
        static int argc = 1;
        static char name[] = "ostrel_window_tests";
        static char *argv[] = {name, nullptr};
        auto *application = new QApplication(argc, argv);
        static QTemporaryDir settings;
        DSUserDefaults::setStandardUserDefaults(
            std::make_unique<DSUserDefaults>(settings.filePath(QStringLiteral("Ostrel.conf"))));
        ds_register_application_defaults();
        ds_register_model_classes();
        DSStatDocumentNib::registerNib();
        ds_register_sheet_classes();
        return application;
    }();
    (void)app;
}

void keepPicture(QWidget *widget, const QString &fileName)
{
    // Layouts settle in posted events: a pane just shown or hidden has not
    // been laid out yet.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QString path = QDir(QStringLiteral(OSTREL_TEST_BINARY_DIR)).filePath(fileName);
    ASSERT_TRUE(widget->grab().save(path)) << path.toStdString();
    std::cout << "window picture: " << path.toStdString() << std::endl;
}
