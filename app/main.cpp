#include "app/DSAppDelegate.h"
#include "app/ds_register_model_classes.h"
#include "migration/DSPendingDataMigrator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdlib>
#include <random>

int main(int argc, char *argv[])
{
    srandom(std::random_device()());

    QApplication app(argc, argv);
    QApplication::setApplicationName("Ostrel");
    QApplication::setOrganizationName("Quillmoth");
    QApplication::setOrganizationDomain("quillmoth.org");

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument("file", "A document or a file to import.");
    QCommandLineOption quitOption("quit-after-launch",
                                  "Finish launching, then quit (used by the tests).");
    parser.addOption(quitOption);
    parser.process(app);

    // Defaults first: everything after may read them.
    DSAppDelegate::initialize();
    ds_register_model_classes();
    DSPendingDataMigrator::registerPendingMigrators();

    DSAppDelegate delegate;
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, &DSAppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, &delegate, [&] {
        delegate.applicationDidFinishLaunching();
        if (parser.isSet(quitOption))
            QTimer::singleShot(0, &app, &QApplication::quit);
    });
    return app.exec();
}
