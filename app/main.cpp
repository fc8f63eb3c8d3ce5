#include "app/DSAppDelegate.h"
#include "app/ds_register_model_classes.h"
#include "filter/DSTableFilterViewDelegate.h"
#include "migration/ds_register_migration_policies.h"
#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "ui/window/DSDocumentController.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// What opened, for the tests that launch the application: each window with
// its tables and whether it is edited, and every error a document
// presented. Waits for the imports of the files given, then quits.
void reportWhenImported(const DSDocumentController &documents, const QStringList &errors, const QString &picture)
{
    const QList<DSStatDocumentWindow *> open = documents.documents();
    if (std::any_of(open.begin(), open.end(), [](const DSStatDocumentWindow *d) { return d->isImporting(); })) {
        QTimer::singleShot(20, [&documents, &errors, picture] { reportWhenImported(documents, errors, picture); });
        return;
    }
    for (DSStatDocumentWindow *document : open) {
        std::printf("window: %s\n", qPrintable(document->displayName()));
        if (DSDataRoot *root = document->data_root())
            for (const DSTable *table : root->sortedTables())
                std::printf("table: %s records %lld columns %lld%s\n", qPrintable(table->name()),
                            static_cast<long long>(table->num_records()),
                            static_cast<long long>(table->columns().size()),
                            table == document->active_table() ? " active" : "");
        std::printf("edited: %s\n", document->isDocumentEdited() ? "yes" : "no");
    }
    for (const QString &error : errors)
        std::printf("error: %s\n", qPrintable(error));
    std::fflush(stdout);
    if (!picture.isEmpty() && !open.isEmpty())
        open.last()->document_window()->grab().save(picture);
    QTimer::singleShot(0, qApp, &QApplication::quit);
}

} // namespace

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
                                  "Finish launching and the imports of the files given, report what "
                                  "opened, then quit (used by the tests).");
    QCommandLineOption pictureOption("window-picture",
                                     "With --quit-after-launch: save a picture of the last window "
                                     "opened to <png> (used by the tests).",
                                     "png");
    parser.addOption(quitOption);
    parser.addOption(pictureOption);
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
    QStringList errors;
    QTimer::singleShot(0, &delegate, [&] {
        for (const QString &file : parser.positionalArguments())
            if (DSStatDocumentWindow *document =
                    documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath())))
                QObject::connect(document, &DSStatDocument::errorPresented, &delegate,
                                 [&errors](const DSError &error) { errors << error.localizedDescription; });
        delegate.applicationDidFinishLaunching();
        if (parser.isSet(quitOption))
            reportWhenImported(documents, errors, parser.value(pictureOption));
    });
    return app.exec();
}
