#include "app/DSAppDelegate.h"
#include "app/ds_register_model_classes.h"
#include "filter/DSTableFilterViewDelegate.h"
#include "migration/ds_register_migration_policies.h"
#include "ui/window/DSDocumentController.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
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
    ds_register_migration_policies();
    DSTableFilterViewDelegate::registerFilterClass();

    DSAppDelegate delegate;
    DSDocumentController documents(&delegate);
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, &DSAppDelegate::applicationWillTerminate);
    QObject::connect(&delegate, &DSAppDelegate::openExistingFileRequested, &documents,
                     &DSDocumentController::openDocument);
    QObject::connect(&documents, &DSDocumentController::didTerminate, &app, &QApplication::quit);
    QTimer::singleShot(0, &delegate, [&] {
        for (const QString &file : parser.positionalArguments())
            documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
        delegate.applicationDidFinishLaunching();
        if (parser.isSet(quitOption)) {
            // What opened, for the tests that launch the application.
            for (const DSStatDocumentWindow *document : documents.documents())
                std::printf("window: %s\n", qPrintable(document->displayName()));
            std::fflush(stdout);
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    return app.exec();
}
