#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

class DSAsyncTask;
class DSDataImporter;
class DSExporter;
class DSImportRun;
class DSStatDocumentWindow;
class QThreadPool;
class QWidget;

// A document's background runs: imports parse on the document's own
// threads while the import progress sheet shows, and their tables are
// copied into the store on the main thread; exports write the filtered rows
// while the export sheet shows. Closing the document aborts the imports
// still running; the runner waits for every run when it goes.
//
// Main thread only, but for the runs themselves. The document (not owned)
// outlives the runner, and its completions are queued to the document.
class DSImportExportRunner
{
public:
    explicit DSImportExportRunner(DSStatDocumentWindow *document);
    // Waits for the runs: one still parsing has been told to stop, and its
    // completion, queued to the document, goes with it.
    ~DSImportExportRunner();

    // Parses with the importer on a thread of the document's own while the
    // import progress sheet shows, then copies the parsed tables into the
    // store at the insertion index, on the main thread. Always true.
    bool beginImport(std::shared_ptr<DSDataImporter> importer, qint64 index);
    // When the window first becomes main, the file the document was opened
    // with starts its import; nothing when it was opened with none.
    void importOnFirstActivation(QWidget *window);
    // The import of the file the document was opened with, at the top of
    // the table list, once; when its tables land the document starts from
    // them.
    void beginInitialImport();
    // True while an import started here has not landed, failed or ended.
    bool isImporting() const;
    // The main thread's completion of an import (queued by the run, never
    // called directly): nothing when the sheet ended first (abort set) or
    // the document closed; the importer's error when it parsed nothing;
    // else the tables, one undo step, the first active on its records pane.
    void finishImport(const std::shared_ptr<DSImportRun> &run);
    // The exporter writes the active table's filtered rows to the URL in the
    // background while the export sheet shows. Always true.
    bool exportToURL(std::shared_ptr<DSExporter> exporter, const QUrl &url);
    void finishExport(const std::shared_ptr<DSExporter> &exporter);
    // The import-data action: the File menu's panel for any importable
    // files, then one import of them all at the top of the table list;
    // nothing when the panel is cancelled.
    void importData();
    // Fills the texts of the import panel's accessory
    // (general_import_accessory): the instructions and the binary formats.
    void refreshImportAccessory();

    // Sets the abort flag of every import still running.
    void abortImports();
    // Waits for every background run of the document to end.
    void waitForBackgroundRuns();

private:
    // beginImport() with the run it started.
    std::shared_ptr<DSImportRun> startImport(std::shared_ptr<DSDataImporter> importer, qint64 index);
    // The document's own threads for background runs, made on first use.
    QThreadPool *backgroundQueue();
    // The progress sheet kept under the property follows the task and shows.
    void showProgressSheet(const QString &property, std::shared_ptr<DSAsyncTask> task);
    // The progress sheet ends when it still follows the task.
    void closeProgressSheet(const QString &property, const std::shared_ptr<DSAsyncTask> &task);

    DSStatDocumentWindow *m_document;
    std::unique_ptr<QThreadPool> m_backgroundQueue;
    QList<std::weak_ptr<DSImportRun>> m_runningImports;
    // The run of the initial import until it finishes (compared, never
    // dereferenced).
    const DSImportRun *m_initialRun = nullptr;
};
