#include "ui/window/DSImportExportRunner.h"

#include "model/DSDataImporter.h"
#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "platform/dispatch/ds_invoke_queued.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/DSFileMenuDelegate.h"
#include "ui/sheets/DSExporter.h"
#include "ui/sheets/DSProgressSheetDelegate.h"
#include "ui/window/DSImportRun.h"
#include "ui/window/DSOnActivation.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QLabel>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

const QString k_importSheet = QStringLiteral("data_importer_sheet_delegate");
const QString k_exportSheet = QStringLiteral("exporter_sheet_delegate");

// The error of an import that brought no table, naming the files it read
// when the importer's own message does not.
DSError importFailure(const DSImportRun &run)
{
    DSError error = run.asyncError().value_or(ds_make_error(1, QStringLiteral("It holds no table.")));
    QStringList names;
    for (const QUrl &url : run.importer()->urls())
        names << QStringLiteral("“%1”").arg(url.fileName());
    const bool named = std::any_of(names.begin(), names.end(), [&error](const QString &name) {
        return error.localizedDescription.contains(name.mid(1, name.size() - 2));
    });
    if (!named && !names.isEmpty())
        error.localizedDescription = QStringLiteral("%1 could not be imported. %2")
                                         .arg(names.join(QStringLiteral(", ")), error.localizedDescription);
    return error;
}

} // namespace

void DSImportExportRunner::showProgressSheet(const QString &property, std::shared_ptr<DSAsyncTask> task)
{
    if (auto *sheet = dynamic_cast<DSProgressSheetDelegate *>(m_document->sheetDelegate(property))) {
        sheet->setTask(std::move(task));
        sheet->showSheet(m_document->windowForSheet());
    }
}

void DSImportExportRunner::closeProgressSheet(const QString &property, const std::shared_ptr<DSAsyncTask> &task)
{
    if (auto *sheet = dynamic_cast<DSProgressSheetDelegate *>(m_document->sheetDelegate(property));
        sheet && sheet->task() == task)
        sheet->closeSheet(nullptr);
}

DSImportExportRunner::DSImportExportRunner(DSStatDocumentWindow *document) : m_document(document) {}

DSImportExportRunner::~DSImportExportRunner()
{
    waitForBackgroundRuns();
}

void DSImportExportRunner::waitForBackgroundRuns()
{
    if (m_backgroundQueue)
        m_backgroundQueue->waitForDone();
}

QThreadPool *DSImportExportRunner::backgroundQueue()
{
    if (!m_backgroundQueue)
        m_backgroundQueue = std::make_unique<QThreadPool>();
    return m_backgroundQueue.get();
}

void DSImportExportRunner::abortImports()
{
    for (const std::weak_ptr<DSImportRun> &running : std::exchange(m_runningImports, {}))
        if (const std::shared_ptr<DSImportRun> run = running.lock())
            run->setAsyncAbort(true);
}

bool DSImportExportRunner::beginImport(std::shared_ptr<DSDataImporter> importer, qint64 index)
{
    startImport(std::move(importer), index);
    return true;
}

void DSImportExportRunner::importOnFirstActivation(QWidget *window)
{
    if (!m_document->initial_importer())
        return;
    QPointer<DSStatDocumentWindow> document(m_document);
    new DSOnActivation(window, [document] {
        if (document)
            document->windowDidBecomeMain();
    });
}

void DSImportExportRunner::beginInitialImport()
{
    std::unique_ptr<DSDataImporter> importer = m_document->takeInitial_importer();
    if (importer && !m_document->is_closed())
        m_initialRun = startImport(std::move(importer), 0).get();
}

bool DSImportExportRunner::isImporting() const
{
    return std::any_of(m_runningImports.begin(), m_runningImports.end(),
                       [](const std::weak_ptr<DSImportRun> &running) { return !running.expired(); });
}

std::shared_ptr<DSImportRun> DSImportExportRunner::startImport(std::shared_ptr<DSDataImporter> importer, qint64 index)
{
    m_document->closePopovers(nullptr);
    auto run = std::make_shared<DSImportRun>(std::move(importer));
    m_runningImports.removeIf([](const std::weak_ptr<DSImportRun> &running) { return running.expired(); });
    m_runningImports.append(run);
    backgroundQueue()->start([this, run, model = m_document->managedObjectModel(), index] {
        run->asyncParseWithManagedObjectModel(model);
        if (!run->asyncAbort())
            run->numberTables(index);
        ds_invoke_queued(m_document, [this, run] { finishImport(run); });
    });
    showProgressSheet(k_importSheet, run);
    return run;
}

void DSImportExportRunner::importData()
{
    const QList<QUrl> urls = DSFileMenuDelegate::chooseAnyForDocument(m_document, true);
    if (urls.isEmpty())
        return;
    if (!beginImport(DSDataImporter::importerForClassName(QStringLiteral("DSDataImporterMultiple"), urls), 0))
        m_document->beep();
}

void DSImportExportRunner::refreshImportAccessory()
{
    if (auto *instructions =
            qobject_cast<QLabel *>(m_document->outlet(QStringLiteral("general_import_accessory_instructions"))))
        instructions->setText(QStringLiteral("Spreadsheets and plain-text files should have variable names on the first "
                                             "line.\nTo import data using custom delimiters%1, use the File menu.")
                                  .arg(QStringLiteral(" or a command file")));
    const QStringList formats{QStringLiteral("SPSS binary"), QStringLiteral("SPSS portable"),
                              QStringLiteral("Stata binary"), QStringLiteral("SAS binary")};
    for (int k = 1; k <= 4; ++k)
        if (auto *feature = qobject_cast<QLabel *>(
                m_document->outlet(QStringLiteral("general_import_accessory_feature%1").arg(k))))
            feature->setText(k <= formats.size() ? QStringLiteral("• %1").arg(formats[k - 1]) : QString());
}

void DSImportExportRunner::finishImport(const std::shared_ptr<DSImportRun> &run)
{
    m_runningImports.removeIf([&run](const std::weak_ptr<DSImportRun> &running) {
        return running.expired() || running.lock() == run;
    });
    const bool initial = run.get() == m_initialRun;
    if (initial)
        m_initialRun = nullptr;
    // Ending the sheet sets the flag itself, so it is read before the sheet
    // is closed below.
    if (m_document->is_closed() || run->asyncAbort())
        return;
    closeProgressSheet(k_importSheet, run);
    const QList<DSTable *> tables = run->asyncResult();
    if (tables.isEmpty()) {
        m_document->presentError(importFailure(*run));
        return;
    }
    DSDataRoot *root = m_document->data_root();
    DSManagedObjectContext *context = m_document->managedObjectContext();
    DSUndoManager *undo = context->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    DSTable *first = nullptr;
    for (DSTable *table : tables) {
        DSError error;
        auto *copy = ds_object_cast<DSTable>(root->duplicateManagedObject(table, &error));
        if (!copy) {
            m_document->presentError(error);
            continue;
        }
        root->insertTable(copy, table->index());
        copy->setData_root(root);
        if (!first)
            first = copy;
    }
    // The empty table of a new document gives way to the imported ones.
    if (DSTable *active = m_document->active_table();
        first && active && active->num_records() == 0 && active->columns().isEmpty())
        context->deleteObject(active);
    context->processPendingChanges();
    if (undo)
        undo->endUndoGrouping();
    if (!first)
        return;
    if (initial)
        m_document->startFromImportedTables();
    root->setActive_table(first);
    first->setShowTable(true);
    first->setShowRecords(true);
    m_document->refreshView(nullptr);
}

bool DSImportExportRunner::exportToURL(std::shared_ptr<DSExporter> exporter, const QUrl &url)
{
    const DSRowMaskRef mask = m_document->getMask();
    exporter->setAsyncIncludeMask(ds_mask_data(mask), ds_mask_length(mask));
    backgroundQueue()->start([this, exporter, url] {
        exporter->asyncExportToURL(url);
        ds_invoke_queued(m_document, [this, exporter] { finishExport(exporter); });
    });
    showProgressSheet(k_exportSheet, exporter);
    return true;
}

void DSImportExportRunner::finishExport(const std::shared_ptr<DSExporter> &exporter)
{
    closeProgressSheet(k_exportSheet, exporter);
    if (exporter->asyncError())
        m_document->presentError(*exporter->asyncError());
}
