#include "ui/window/DSStatDocumentWindow.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataColumn.h"
#include "model/DSDataImporter.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSTable.h"
#include "pivot/DSPivot.h"
#include "platform/dispatch/ds_invoke_queued.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"
#include "ui/DSFileMenuDelegate.h"
#include "ui/DSNib.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/panes/DSStatsOutlineDelegate.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSSplitViewDelegate.h"
#include "ui/window/DSSplitter.h"
#include "ui/window/DSTableOutlineView.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/sheets/DSExporter.h"
#include "ui/sheets/DSExporterSheetDelegate.h"
#include "ui/sheets/DSMissingValuesSheetDelegate.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"
#include "ui/window/DSImportRun.h"
#include "ui/window/DSOnActivation.h"
#include "ui/window/DSDocumentWindowHost.h"
#include "ui/window/DSFilterViewDelegate.h"
#include "ui/window/DSFilterViewHost.h"
#include "ui/window/DSStatDocumentPaneView.h"
#include "ui/window/DSStatDocumentPopoverViewDelegate.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/ds_change_ladder.h"

#include <QAbstractButton>
#include <QLayout>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QThreadPool>
#include <QTreeView>
#include <QToolBar>

#include <algorithm>

namespace {

// The toolbars in their fixed order; a toolbar's number is its place + 1.
const QStringList k_toolbarNames{QStringLiteral("summary_toolbar"), QStringLiteral("summary_toolbar_no_model"),
                                 QStringLiteral("model_toolbar")};

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

bool isFault(const DSManagedObject *object)
{
    return object && object->isFault();
}

// Routes the window's close requests to its document, which may ask first.
class CloseFilter : public QObject
{
public:
    CloseFilter(QObject *parent, std::function<bool()> mayClose) : QObject(parent), m_mayClose(std::move(mayClose)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Close || m_mayClose())
            return false;
        event->ignore();
        return true;
    }

private:
    std::function<bool()> m_mayClose;
};

} // namespace

DSStatDocumentWindow::DSStatDocumentWindow(DSDocumentWindowHost *host, QObject *parent)
    : DSStatDocument(parent), m_host(host), m_filterHost(std::make_unique<DSFilterViewHost>(this))
{
}

DSStatDocumentWindow::~DSStatDocumentWindow()
{
    close();
    // A run still parsing has been told to stop; its completion, queued to
    // this object, goes with it.
    waitForBackgroundRuns();
}

void DSStatDocumentWindow::waitForBackgroundRuns()
{
    if (m_backgroundQueue)
        m_backgroundQueue->waitForDone();
}

bool DSStatDocumentWindow::makeWindowControllers()
{
    if (m_window)
        return true;
    QObjectList built;
    if (!DSNib::instantiateWithOwner(windowNibName(), this, &built)) {
        qWarning("WARNING - failed locate NIB named %s", qPrintable(windowNibName()));
        return false;
    }
    for (QObject *object : built)
        if (auto *window = qobject_cast<QMainWindow *>(object); window && !m_window)
            m_window = window;
        else
            delete object;
    if (!m_window)
        return false;
    windowControllerDidLoadNib();
    return true;
}

QWidget *DSStatDocumentWindow::outlet(const QString &name) const
{
    return m_window ? m_window->findChild<QWidget *>(name) : nullptr;
}

QWidget *DSStatDocumentWindow::stat_pane() const
{
    return outlet(QStringLiteral("stat_pane"));
}

QSplitter *DSStatDocumentWindow::filters_splitter() const
{
    return qobject_cast<QSplitter *>(outlet(QStringLiteral("filters_splitter")));
}

QLabel *DSStatDocumentWindow::import_data_message() const
{
    return qobject_cast<QLabel *>(outlet(QStringLiteral("import_data_message")));
}

DSTableOutlineView *DSStatDocumentWindow::tables_table() const
{
    return qobject_cast<DSTableOutlineView *>(outlet(QStringLiteral("tables_table")));
}

void DSStatDocumentWindow::windowControllerDidLoadNib()
{
    m_isRefreshing = true;
    DSDataRoot *root = data_root();
    if (root)
        root->setActive_table(nullptr);
    if (m_host)
        m_host->orderOutSplashWindow();
    m_window->setProperty("ds_document", QVariant::fromValue<QObject *>(this));
    m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
    for (const QString &name : {QStringLiteral("stat_pane"), QStringLiteral("filters_pane")})
        if (auto *pane = dynamic_cast<DSStatDocumentPaneView *>(outlet(name)))
            pane->setDocument(this);
    if (DSTableOutlineView *sidebar = tables_table())
        sidebar->setDocument(this);
    auto *splitRules = new DSSplitViewDelegate(m_window);
    splitRules->setDocument(this);
    for (auto *splitter : m_window->findChildren<DSSplitter *>())
        splitter->setSplitDelegate(splitRules);

    m_window->setMouseTracking(true);
    moveFiltersDivider(0);
    m_lastFiltersPaneHeight = 180;

    if (root) {
        root->setActive_table(root->tableAtIndex(0));
        for (DSTable *table : root->tables())
            for (DSColumn *column : table->columns())
                column->makeDependencies();
    }
    if (DSTable *table = active_table()) {
        table->setShowTable(true);
        table->setShowRecords(true);
        table->setShowModeler(true);
    }

    DSManagedObjectContext *context = managedObjectContext();
    m_observers << connect(context, &DSManagedObjectContext::objectsDidChange, this,
                           &DSStatDocumentWindow::managedObjectsDidChange);
    if (DSUndoManager *undo = context->undoManager()) {
        m_observers << connect(undo, &DSUndoManager::didUndo, this, &DSStatDocumentWindow::undoRedoHandler);
        m_observers << connect(undo, &DSUndoManager::didRedo, this, &DSStatDocumentWindow::undoRedoHandler);
    }
    for (const QString &name : k_toolbarNames)
        if (auto *toolbar = m_window->findChild<QToolBar *>(name)) {
            m_toolbars.append(toolbar);
            m_window->removeToolBar(toolbar);
        }
    connectToolbarActions();
    rebuildToolbar();
    rebuildFilterViews();
    connectFilterButtons();
    setupSheetDelegates();
    setupPaneDelegates();

    if (root)
        root->setActiveModelObserver([this](DSRegressionModel *previous) { activeModelObserver(previous); });
    if (QSplitter *splitter = filters_splitter())
        m_observers << connect(splitter, &QSplitter::splitterMoved, this, [this](int position) {
            if (position > 0)
                m_lastFiltersPaneHeight = position;
        });
    m_observers << connect(this, &DSStatDocument::documentEditedChanged, this,
                           &DSStatDocumentWindow::updateWindowModified);
    watchWindow();

    m_observersRegistered = true;
    m_isRefreshing = false;
    refreshView(nullptr);
}

const QList<std::pair<QString, QString>> &DSStatDocumentWindow::sheetDelegateInfo()
{
    static const QList<std::pair<QString, QString>> info{
        {QStringLiteral("indicator_variable_sheet_delegate"), QStringLiteral("DSIndicatorVariableSheetDelegate")},
        {QStringLiteral("joined_column_sheet_delegate"), QStringLiteral("DSJoinedColumnSheetDelegate")},
        {QStringLiteral("data_importer_sheet_delegate"), QStringLiteral("DSDataImporterSheetDelegate")},
        {QStringLiteral("exporter_sheet_delegate"), QStringLiteral("DSExporterSheetDelegate")},
        {QStringLiteral("stacked_table_sheet_delegate"), QStringLiteral("DSStackedTableSheetDelegate")},
        {QStringLiteral("recode_variable_sheet_delegate"), QStringLiteral("DSRecodeVariableSheetDelegate")},
        {QStringLiteral("constant_column_sheet_delegate"), QStringLiteral("DSConstantColumnSheetDelegate")},
        {QStringLiteral("power_column_sheet_delegate"), QStringLiteral("DSPowerColumnSheetDelegate")},
        {QStringLiteral("missing_values_sheet_delegate"), QStringLiteral("DSMissingValuesSheetDelegate")},
        {QStringLiteral("scale_up_column_sheet_delegate"), QStringLiteral("DSScaleUpColumnSheetDelegate")},
        {QStringLiteral("scale_down_column_sheet_delegate"), QStringLiteral("DSScaleDownColumnSheetDelegate")},
        {QStringLiteral("compose_date_column_sheet_delegate"), QStringLiteral("DSComposeDateColumnSheetDelegate")},
        {QStringLiteral("compose_time_column_sheet_delegate"), QStringLiteral("DSComposeTimeColumnSheetDelegate")},
        {QStringLiteral("compute_time_difference_column_sheet_delegate"),
         QStringLiteral("DSComputeTimeDifferenceColumnSheetDelegate")},
        {QStringLiteral("import_stata_dictionary_sheet_delegate"),
         QStringLiteral("DSImportStataDictionarySheetDelegate")},
        {QStringLiteral("import_spss_dictionary_sheet_delegate"), QStringLiteral("DSImportCommandsSheetDelegate")},
        {QStringLiteral("import_sas_binary_sheet_delegate"), QStringLiteral("DSImportSASBinarySheetDelegate")},
        {QStringLiteral("import_database_sheet_delegate"), QStringLiteral("DSImportDatabaseSheetDelegate")},
    };
    return info;
}

void DSStatDocumentWindow::setupSheetDelegates()
{
    teardownSheetDelegates();
    for (const auto &[property, className] : sheetDelegateInfo()) {
        const DSStatDocumentSheetDelegate::Maker make = DSStatDocumentSheetDelegate::registeredClass(className);
        if (!make)
            continue;
        std::unique_ptr<DSStatDocumentSheetDelegate> sheet = make();
        sheet->setDocument(this);
        sheet->awakeFromNib();
        m_sheetDelegates.emplace_back(property, std::move(sheet));
    }
}

bool DSStatDocumentWindow::installPane(std::unique_ptr<DSStatDocumentViewDelegate> pane, const QString &viewName)
{
    pane->setDocument(this);
    pane->awakeFromNib();
    auto *view = pane->outlet<QWidget>(viewName);
    QWidget *placeholder = outlet(viewName);
    if (!view || !placeholder || !placeholder->parentWidget() || !placeholder->parentWidget()->layout()) {
        pane->teardown();
        return false;
    }
    view->setVisible(placeholder->isVisible());
    delete placeholder->parentWidget()->layout()->replaceWidget(placeholder, view);
    delete placeholder;
    m_ownedPanes.push_back(std::move(pane));
    return true;
}

void DSStatDocumentWindow::setupPaneDelegates()
{
    auto records = std::make_unique<DSRecordsViewDelegate>();
    DSStatDocumentViewDelegate *recordsPane = records.get();
    if (installPane(std::move(records), QStringLiteral("records_view")))
        m_recordsDelegate = recordsPane;
    auto summary = std::make_unique<DSSummaryViewDelegate>();
    DSStatDocumentViewDelegate *summaryPane = summary.get();
    if (installPane(std::move(summary), QStringLiteral("summary_view")))
        m_summaryDelegate = summaryPane;
}

void DSStatDocumentWindow::teardownSheetDelegates()
{
    // A sheet still up ends as cancelled (an import's ending aborts it).
    for (auto &[property, sheet] : std::exchange(m_sheetDelegates, {}))
        sheet->teardown();
}

DSStatDocumentSheetDelegate *DSStatDocumentWindow::sheetDelegate(const QString &property) const
{
    for (const auto &[name, sheet] : m_sheetDelegates)
        if (name == property)
            return sheet.get();
    return nullptr;
}

DSStatDocumentSheetDelegate *DSStatDocumentWindow::data_importer_sheet_delegate() const
{
    return sheetDelegate(QStringLiteral("data_importer_sheet_delegate"));
}

DSStatDocumentSheetDelegate *DSStatDocumentWindow::exporter_sheet_delegate() const
{
    return sheetDelegate(QStringLiteral("exporter_sheet_delegate"));
}

DSStatDocumentSheetDelegate *DSStatDocumentWindow::missing_values_sheet_delegate() const
{
    return sheetDelegate(QStringLiteral("missing_values_sheet_delegate"));
}

QList<DSStatDocumentSheetDelegate *> DSStatDocumentWindow::sheet_delegates() const
{
    QList<DSStatDocumentSheetDelegate *> sheets;
    for (const auto &[name, sheet] : m_sheetDelegates)
        sheets.append(sheet.get());
    return sheets;
}

void DSStatDocumentWindow::showMissingValuesSheetForColumns(const QList<DSColumn *> &columns,
                                                            const QList<DSPredicateValue> &defaultValues)
{
    auto *sheet = dynamic_cast<DSMissingValuesSheetDelegate *>(missing_values_sheet_delegate());
    if (!sheet || columns.isEmpty())
        return;
    if (attached_sheet()) {
        beep();
        return;
    }
    sheet->setColumns(columns, defaultValues);
    sheet->showSheet(windowForSheet());
}

QWidget *DSStatDocumentWindow::windowForSheet() const
{
    return m_window;
}

DSStatDocumentSheetDelegate *DSStatDocumentWindow::attached_sheet() const
{
    return m_attachedSheet;
}

void DSStatDocumentWindow::setAttached_sheet(DSStatDocumentSheetDelegate *sheet)
{
    m_attachedSheet = sheet;
}

void DSStatDocumentWindow::beep()
{
    if (m_host)
        m_host->beep();
    else
        QApplication::beep();
}

bool DSStatDocumentWindow::beginImport(std::shared_ptr<DSDataImporter> importer, qint64 index)
{
    startImport(std::move(importer), index);
    return true;
}

std::shared_ptr<DSImportRun> DSStatDocumentWindow::startImport(std::shared_ptr<DSDataImporter> importer, qint64 index)
{
    closePopovers(nullptr);
    auto run = std::make_shared<DSImportRun>(std::move(importer));
    m_runningImports.removeIf([](const std::weak_ptr<DSImportRun> &running) { return running.expired(); });
    m_runningImports.append(run);
    backgroundQueue()->start([this, run, model = managedObjectModel(), index] {
        run->asyncParseWithManagedObjectModel(model);
        if (!run->asyncAbort())
            run->numberTables(index);
        ds_invoke_queued(this, [this, run] { finishImport(run); });
    });
    if (auto *sheet = dynamic_cast<DSDataImporterSheetDelegate *>(data_importer_sheet_delegate())) {
        sheet->setImporter(run);
        sheet->showSheet(windowForSheet());
    }
    return run;
}

QThreadPool *DSStatDocumentWindow::backgroundQueue()
{
    if (!m_backgroundQueue)
        m_backgroundQueue = std::make_unique<QThreadPool>();
    return m_backgroundQueue.get();
}

QWidget *DSStatDocumentWindow::general_import_accessory() const
{
    return outlet(QStringLiteral("general_import_accessory"));
}

void DSStatDocumentWindow::importData(QObject *)
{
    const QList<QUrl> urls = DSFileMenuDelegate::chooseAnyForDocument(this, true);
    if (urls.isEmpty())
        return;
    if (!beginImport(DSDataImporter::importerForClassName(QStringLiteral("DSDataImporterMultiple"), urls), 0))
        beep();
}

void DSStatDocumentWindow::refreshImportAccessory()
{
    if (auto *instructions = qobject_cast<QLabel *>(outlet(QStringLiteral("general_import_accessory_instructions"))))
        instructions->setText(QStringLiteral("Spreadsheets and plain-text files should have variable names on the first "
                                             "line.\nTo import data using custom delimiters%1, use the File menu.")
                                  .arg(QStringLiteral(" or a command file")));
    const QStringList formats{QStringLiteral("SPSS binary"), QStringLiteral("SPSS portable"),
                              QStringLiteral("Stata binary"), QStringLiteral("SAS binary")};
    for (int k = 1; k <= 4; ++k)
        if (auto *feature = qobject_cast<QLabel *>(outlet(QStringLiteral("general_import_accessory_feature%1").arg(k))))
            feature->setText(k <= formats.size() ? QStringLiteral("• %1").arg(formats[k - 1]) : QString());
}

void DSStatDocumentWindow::windowDidBecomeMain()
{
    std::unique_ptr<DSDataImporter> importer = takeInitial_importer();
    if (!importer || m_closed)
        return;
    m_initialRun = startImport(std::move(importer), 0).get();
}

bool DSStatDocumentWindow::isImporting() const
{
    if (initial_importer())
        return true;
    return std::any_of(m_runningImports.begin(), m_runningImports.end(),
                       [](const std::weak_ptr<DSImportRun> &running) { return !running.expired(); });
}

void DSStatDocumentWindow::finishImport(const std::shared_ptr<DSImportRun> &run)
{
    m_runningImports.removeIf([&run](const std::weak_ptr<DSImportRun> &running) {
        return running.expired() || running.lock() == run;
    });
    const bool initial = run.get() == m_initialRun;
    if (initial)
        m_initialRun = nullptr;
    // Ending the sheet sets the flag itself, so it is read before the sheet
    // is closed below.
    if (m_closed || run->asyncAbort())
        return;
    if (auto *sheet = dynamic_cast<DSDataImporterSheetDelegate *>(data_importer_sheet_delegate());
        sheet && sheet->importer() == run)
        sheet->closeSheet(nullptr);
    const QList<DSTable *> tables = run->asyncResult();
    if (tables.isEmpty()) {
        presentError(importFailure(*run));
        return;
    }
    DSDataRoot *root = data_root();
    DSManagedObjectContext *context = managedObjectContext();
    DSUndoManager *undo = context->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    DSTable *first = nullptr;
    for (DSTable *table : tables) {
        DSError error;
        auto *copy = ds_object_cast<DSTable>(root->duplicateManagedObject(table, &error));
        if (!copy) {
            presentError(error);
            continue;
        }
        root->insertTable(copy, table->index());
        copy->setData_root(root);
        if (!first)
            first = copy;
    }
    // The empty table of a new document gives way to the imported ones.
    if (DSTable *active = active_table(); first && active && active->num_records() == 0 && active->columns().isEmpty())
        context->deleteObject(active);
    context->processPendingChanges();
    if (undo)
        undo->endUndoGrouping();
    if (!first)
        return;
    if (initial) {
        if (undo)
            undo->removeAllActions();
        markClean();
    }
    root->setActive_table(first);
    first->setShowTable(true);
    first->setShowRecords(true);
    refreshView(nullptr);
}

bool DSStatDocumentWindow::exportToURL(std::shared_ptr<DSExporter> exporter, const QUrl &url)
{
    const uint8_t *mask = nullptr;
    const qint64 length = getMask(&mask);
    exporter->setAsyncIncludeMask(mask, length);
    backgroundQueue()->start([this, exporter, url] {
        exporter->asyncExportToURL(url);
        ds_invoke_queued(this, [this, exporter] { finishExport(exporter); });
    });
    if (auto *sheet = dynamic_cast<DSExporterSheetDelegate *>(exporter_sheet_delegate())) {
        sheet->setExporter(exporter);
        sheet->showSheet(windowForSheet());
    }
    return true;
}

void DSStatDocumentWindow::finishExport(const std::shared_ptr<DSExporter> &exporter)
{
    if (auto *sheet = dynamic_cast<DSExporterSheetDelegate *>(exporter_sheet_delegate());
        sheet && sheet->exporter() == exporter)
        sheet->closeSheet(nullptr);
    if (exporter->asyncError())
        presentError(*exporter->asyncError());
}

void DSStatDocumentWindow::watchWindow()
{
    if (initial_importer()) {
        QPointer<DSStatDocumentWindow> self(this);
        new DSOnActivation(m_window, [self] {
            if (self)
                self->windowDidBecomeMain();
        });
    }
    m_window->installEventFilter(new CloseFilter(m_window, [this] {
        if (m_closed || m_closeConfirmed || !isDocumentEdited()) {
            // Once the window has really closed, the window side goes.
            QMetaObject::invokeMethod(this, &DSStatDocumentWindow::close, Qt::QueuedConnection);
            return true;
        }
        canCloseDocument([this](bool ok) {
            if (!ok || !m_window)
                return;
            m_closeConfirmed = true;
            m_window->close();
        });
        return false;
    }));
}

void DSStatDocumentWindow::updateWindowModified()
{
    if (m_window)
        m_window->setWindowModified(isDocumentEdited());
}

QString DSStatDocumentWindow::displayName() const
{
    return fileURL().isEmpty() ? QStringLiteral("Untitled") : QFileInfo(fileURL().toLocalFile()).fileName();
}

void DSStatDocumentWindow::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_observersRegistered) {
        for (const QMetaObject::Connection &c : std::exchange(m_observers, {}))
            disconnect(c);
        if (DSDataRoot *root = data_root())
            root->setActiveModelObserver(nullptr);
        m_observersRegistered = false;
    }
    for (DSStatDocumentViewDelegate *delegate :
         {m_modelDelegate.data(), m_pivotDelegate.data(), m_recordsDelegate.data(), m_summaryDelegate.data(),
          m_predictorDelegate.data(), m_filterSetDelegate.data()})
        if (delegate)
            delegate->teardown();
    m_modelDelegate = m_pivotDelegate = m_recordsDelegate = m_summaryDelegate = m_predictorDelegate =
        m_filterSetDelegate = nullptr;
    m_filterHost->teardownFilterViews();
    teardownSheetDelegates();
    for (const std::weak_ptr<DSImportRun> &running : std::exchange(m_runningImports, {}))
        if (const std::shared_ptr<DSImportRun> run = running.lock())
            run->setAsyncAbort(true);
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
    }
    Q_EMIT closed();
}

void DSStatDocumentWindow::managedObjectsDidChange(const DSObjectsDidChange &change)
{
    DSTable *table = active_table();
    if (!table)
        return;
    if (m_host)
        m_host->incrementActionCount();
    const DSLadderDecision decision = ds_change_ladder(change, table);
    if (ds_apply_ladder_action(decision.action, table))
        queueRefresh();
}

void DSStatDocumentWindow::queueRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshQueued = false;
            if (!m_closed)
                refreshView(nullptr);
        },
        Qt::QueuedConnection);
}

void DSStatDocumentWindow::undoRedoHandler()
{
    DSDataRoot *root = data_root();
    if (!root)
        return;
    if (DSTable *table = active_table()) {
        if (DSRegressionModel *model = table->active_model()) {
            if (isFault(model->active_prediction()))
                model->setActive_prediction(nullptr);
            if (isFault(model->active_outcome()))
                model->setActive_outcome(nullptr);
            if (isFault(model->active_instrument()))
                model->setActive_instrument(nullptr);
            if (isFault(model->active_explanatory_variable()))
                model->setActive_explanatory_variable(nullptr);
            if (isFault(model))
                table->setActive_model(nullptr);
        }
        if (isFault(table->active_filter_set()))
            table->setActive_filter_set(nullptr);
        table->column_selection()->removeFaultedColumns();
        table->covariate_selection()->removeFaultedColumns();
        if (isFault(table->active_pivot()))
            table->setActive_pivot(nullptr);
    }
    if (isFault(active_table()))
        root->setActive_table(nullptr);
    if (!active_table())
        root->setActive_table(root->tableAtIndex(0));
    if (DSTable *table = active_table())
        table->removeFaultedColumnsFromCovariateSet();

    m_isUpdating = true;
    for (DSTable *table : root->tables()) {
        table->tearDownColumnArray();
        for (DSRegressionModel *model : ds_objects_cast<DSRegressionModel>(table->sortedRegressionModels())) {
            model->setNeeds_regression(true);
            model->setNeeds_panels_rebuilt(true);
        }
        for (DSColumn *column : table->columns())
            if (auto *data = dynamic_cast<DSDataColumn *>(column))
                data->teardown();
    }
    // The predict view, the records grid and the results table rebuild in
    // their own refresh.
    refreshView(nullptr);
    m_isUpdating = false;
}

void DSStatDocumentWindow::activeModelObserver(DSRegressionModel *previous)
{
    if (m_isUpdating)
        return;
    const QScopedValueRollback<bool> updating(m_isUpdating, true);
    if (previous && !previous->isFault())
        previous->unloadDataMatrix();
}

void DSStatDocumentWindow::activeOutcomeNeedsSecondaryBuffersRebuilt(QObject *sender)
{
    if (DSTable *table = active_table())
        if (DSRegressionModel *model = table->active_model())
            if (auto *outcome = ds_object_cast<DSOutcomeVariable>(model->active_outcome()))
                outcome->unloadBuffers();
    activeModelNeedsRegression(sender);
}

void DSStatDocumentWindow::activeModelNeedsUnload(QObject *sender)
{
    if (DSTable *table = active_table())
        if (DSRegressionModel *model = table->active_model())
            model->unloadDataMatrix();
    activeModelNeedsRegression(sender);
}

void DSStatDocumentWindow::activeModelNeedsPanelsRebuilt(QObject *sender)
{
    if (DSTable *table = active_table())
        if (DSRegressionModel *model = table->active_model())
            model->setNeeds_panels_rebuilt(true);
    activeModelNeedsRegression(sender);
}

void DSStatDocumentWindow::activeModelNeedsRegression(QObject *sender)
{
    if (DSTable *table = active_table())
        if (DSRegressionModel *model = table->active_model())
            model->setNeeds_regression(true);
    refreshView(sender);
}

void DSStatDocumentWindow::allModelsNeedRegression(QObject *sender)
{
    if (DSTable *table = active_table())
        for (DSRegressionModel *model : ds_objects_cast<DSRegressionModel>(table->sortedRegressionModels()))
            model->setNeeds_regression(true);
    refreshView(sender);
}

void DSStatDocumentWindow::reloadSidebar()
{
    if (DSTableOutlineView *sidebar = tables_table())
        sidebar->reloadData();
}

void DSStatDocumentWindow::selectSidebarItem(DSManagedObject *object)
{
    if (DSTableOutlineView *sidebar = tables_table())
        sidebar->selectItem(object);
}

void DSStatDocumentWindow::refreshView(QObject *sender)
{
    reloadSidebar();
    if (DSTable *table = active_table()) {
        if (table->showModel() && !table->active_model())
            table->setActive_model(ds_object_cast<DSRegressionModel>(table->regressionModelAtIndex(0)));
        if (table->showModel()) {
            if (table->active_model())
                selectSidebarItem(table->active_model());
            else
                table->setShowTable(true);
        }
        if (table->showTable())
            selectSidebarItem(table);
    } else {
        selectSidebarItem(nullptr);
    }
    refreshViewNoTable(sender);
}

void DSStatDocumentWindow::setPaneVisible(const QString &name, bool visible)
{
    if (QWidget *pane = outlet(name))
        pane->setVisible(visible);
}

void DSStatDocumentWindow::refreshViewNoTable(QObject *sender)
{
    if (m_isRefreshing || !m_window)
        return;
    {
        const QScopedValueRollback<bool> refreshing(m_isRefreshing, true);
        m_filterHost->markStale();
        rebuildToolbar();
        auto *refreshButton = qobject_cast<QAbstractButton *>(outlet(QStringLiteral("refresh_table_data_button")));
        DSTable *table = active_table();
        if (!table) {
            if (refreshButton)
                refreshButton->setEnabled(false);
            setPaneVisible(QStringLiteral("stat_view"), false);
            setPaneVisible(QStringLiteral("import_data_message"), true);
            closePopovers(sender);
        } else {
            if (refreshButton)
                refreshButton->setEnabled(ds_object_cast<DSDataTable>(table) && !table->columns().isEmpty());
            setPaneVisible(QStringLiteral("stat_view"), true);
            if (table->show_filters)
                showFiltersPane();
            else
                hideFiltersPane();
            if (m_filterSetDelegate)
                m_filterSetDelegate->refreshView(sender);
            refreshFiltersNoButtons(sender);
            if (table->showTable()) {
                setPaneVisible(QStringLiteral("model_pane"), false);
                if (m_host)
                    m_host->hideEstimationCommand(sender);
                setPaneVisible(QStringLiteral("import_data_message"), false);
                refreshSummaryViewForColumns(table->columns());
            } else if (table->showModel()) {
                refreshModelSide(table);
            }
        }
    }
    Q_EMIT refreshed();
}

void DSStatDocumentWindow::refreshModelSide(DSTable *table)
{
    for (const QString &name : {QStringLiteral("summary_view"), QStringLiteral("pivot_view"), QStringLiteral("records_view")})
        setPaneVisible(name, false);
    if (DSRegressionModel *model = table->active_model(); model && model->needs_regression()) {
        const uint8_t *mask = nullptr;
        const qint64 length = getMask(&mask);
        // A failed fit stays with the model, whose pane shows it.
        model->runRegressionIfNeededForMask(mask, length, m_host ? m_host->varrow_context() : nullptr);
    }
    setPaneVisible(QStringLiteral("model_pane"), true);
    setPaneVisible(QStringLiteral("import_data_message"), false);
    const bool predict = table->showPredictor();
    setPaneVisible(QStringLiteral("model_view"), !predict);
    setPaneVisible(QStringLiteral("predictor_view"), predict);
    if (DSStatDocumentViewDelegate *pane = predict ? m_predictorDelegate : m_modelDelegate)
        pane->refreshView(nullptr);
}

void DSStatDocumentWindow::refreshSummaryViewForColumns(const QList<DSColumn *> &columns)
{
    DSTable *table = active_table();
    if (!table)
        return;
    setPaneVisible(QStringLiteral("pivot_view"), table->showPivot());
    setPaneVisible(QStringLiteral("records_view"), table->showRecords());
    setPaneVisible(QStringLiteral("summary_view"), table->showSummary());
    for (DSColumn *column : columns)
        column->purgeStats();
    DSStatDocumentViewDelegate *pane = table->showSummary() ? m_summaryDelegate.data()
                                       : table->showRecords() ? m_recordsDelegate.data()
                                       : table->showPivot()   ? m_pivotDelegate.data()
                                                              : nullptr;
    if (pane)
        pane->refreshView(nullptr);
}

void DSStatDocumentWindow::refreshSummaryViewActiveColumnOnly()
{
    if (DSTable *table = active_table()) {
        QList<DSColumn *> columns;
        if (DSColumn *column = table->active_column())
            columns.append(column);
        refreshSummaryViewForColumns(columns);
    }
}

qint64 DSStatDocumentWindow::getMask(const uint8_t **mask)
{
    return m_filterHost->getMask(mask);
}

qint64 DSStatDocumentWindow::getMask(const uint8_t **mask, QObject *outcome)
{
    return m_filterHost->getMask(mask, dynamic_cast<DSOutcomeVariable *>(outcome));
}

qint64 DSStatDocumentWindow::getMask(const uint8_t **mask, QObject *button, uint32_t flags)
{
    return m_filterHost->getMask(mask, button, flags);
}

bool DSStatDocumentWindow::isIncludeMaskNullWhenExcludingButton(QObject *button, uint32_t flags)
{
    return m_filterHost->isIncludeMaskNullWhenExcludingButton(button, flags);
}

qint64 DSStatDocumentWindow::getZoomMask(const uint8_t **mask)
{
    return m_filterHost->getZoomMask(mask);
}

bool DSStatDocumentWindow::table_mask_needs_update() const
{
    return m_filterHost->tableMaskNeedsUpdate();
}

uint64_t DSStatDocumentWindow::mask_generation() const
{
    return m_filterHost->maskGeneration();
}

void DSStatDocumentWindow::rebuildFilterViews()
{
    m_filterHost->rebuildFilterViews();
}

DSFilterViewDelegate *DSStatDocumentWindow::filterDelegateAtIndex(int index) const
{
    return m_filterHost->filterDelegateAtIndex(index);
}

int DSStatDocumentWindow::numberOfFilters() const
{
    return m_filterHost->numberOfFilters();
}

void DSStatDocumentWindow::createFilter(QObject *sender)
{
    if (m_filterHost->createFilter())
        refreshView(sender);
}

void DSStatDocumentWindow::setZoomToFilteredValues(QObject *button)
{
    auto *check = qobject_cast<QAbstractButton *>(button);
    if (DSTable *table = active_table())
        table->setValue(check && check->isChecked(), QStringLiteral("zoom_to_filtered_values"));
    refreshView(button);
}

void DSStatDocumentWindow::connectFilterButtons()
{
    if (auto *add = qobject_cast<QAbstractButton *>(outlet(QStringLiteral("filter_add_button"))))
        m_observers << connect(add, &QAbstractButton::clicked, this, [this, add] { createFilter(add); });
    if (auto *zoom = qobject_cast<QAbstractButton *>(outlet(QStringLiteral("filter_zoom_button")))) {
        zoom->setCheckable(true);
        m_observers << connect(zoom, &QAbstractButton::clicked, this, [this, zoom] { setZoomToFilteredValues(zoom); });
    }
}

void DSStatDocumentWindow::refreshFiltersNoButtons(QObject *sender)
{
    DSTable *table = active_table();
    if (table && table->show_filters)
        for (int i = 0; i < DSFilterViewHost::maxFilters; ++i)
            if (DSFilterViewDelegate *filter = m_filterHost->filterDelegateAtIndex(i))
                filter->refreshView(sender);
    if (auto *add = qobject_cast<QAbstractButton *>(outlet(QStringLiteral("filter_add_button"))))
        add->setEnabled(numberOfFilters() < DSFilterViewHost::maxFilters);
    if (auto *zoom = qobject_cast<QAbstractButton *>(outlet(QStringLiteral("filter_zoom_button")))) {
        const bool enabled = table && ((table->showTable() && (table->showSummary() || table->showPivot())) ||
                                       (table->showModel() && table->showPredictor()));
        zoom->setEnabled(enabled);
        zoom->setChecked(enabled && table->boolForKey(QStringLiteral("zoom_to_filtered_values")));
    }
}

void DSStatDocumentWindow::refreshFiltersWithButtons(QObject *sender)
{
    m_filterHost->refreshFilterButtons();
    refreshFiltersNoButtons(sender);
}

void DSStatDocumentWindow::updateFilterSelections()
{
    m_filterHost->updateFilterSelections();
}

QString DSStatDocumentWindow::activeConditionString() const
{
    return m_filterHost->activeConditionString();
}

void DSStatDocumentWindow::switchPane(QObject *sender, const std::function<void(DSTable *)> &choose)
{
    if (DSTable *table = active_table())
        choose(table);
    closePopovers(sender);
    refreshView(sender);
}

void DSStatDocumentWindow::showRawData(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowRecords(true);
    });
}

void DSStatDocumentWindow::showPivotTable(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowPivot(true);
    });
}

void DSStatDocumentWindow::showSummary(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowSummary(true);
        table->setBuild_model_unlocked(false);
    });
}

void DSStatDocumentWindow::showModeler(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowModel(true);
        table->setShowModeler(true);
    });
}

void DSStatDocumentWindow::showPredictor(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowModel(true);
        table->setShowPredictor(true);
        if (!table->active_model())
            table->setActive_model(ds_object_cast<DSRegressionModel>(table->regressionModelAtIndex(0)));
        DSRegressionModel *model = table->active_model();
        if (model && !model->active_outcome() && model->active_prediction())
            model->setActive_outcome(
                ds_object_cast<DSOutcomeVariable>(model->active_prediction()->objectForKey(QStringLiteral("outcome_variable"))));
    });
}

void DSStatDocumentWindow::closePopovers(QObject *sender)
{
    if (auto *filterSet = dynamic_cast<DSStatDocumentPopoverViewDelegate *>(m_filterSetDelegate.data()))
        filterSet->closePopover(sender);
}

void DSStatDocumentWindow::showFilterSetPopover(QObject *sender)
{
    auto *filterSet = dynamic_cast<DSStatDocumentPopoverViewDelegate *>(m_filterSetDelegate.data());
    if (auto *view = qobject_cast<QWidget *>(sender); filterSet && view)
        filterSet->showPopoverRelativeToView(view, DSStatDocumentPopoverViewDelegate::MaxYEdge);
}

bool DSStatDocumentWindow::filtersPaneCollapsed() const
{
    QSplitter *splitter = filters_splitter();
    return !splitter || splitter->sizes().value(0) <= 0;
}

void DSStatDocumentWindow::moveFiltersDivider(int position)
{
    QSplitter *splitter = filters_splitter();
    if (!splitter)
        return;
    const QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    if (total <= 0)
        total = splitter->height();
    splitter->setSizes({position, std::max(1, total - position)});
}

void DSStatDocumentWindow::showHideFilters(QObject *)
{
    if (filtersPaneCollapsed())
        showFiltersPane();
    else
        hideFiltersPane();
}

void DSStatDocumentWindow::showFiltersPane()
{
    DSTable *table = active_table();
    if (table && !table->active_filter_set())
        table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0)));
    if (filtersPaneCollapsed()) {
        moveFiltersDivider(int(m_lastFiltersPaneHeight));
        closePopovers(nullptr);
    }
}

void DSStatDocumentWindow::hideFiltersPane()
{
    // A collapsed pane has no height to remember: recording its 0 would
    // leave the pane collapsed at the next show.
    if (!filtersPaneCollapsed()) {
        m_lastFiltersPaneHeight = filters_splitter()->sizes().value(0);
        moveFiltersDivider(0);
        closePopovers(nullptr);
    }
}

void DSStatDocumentWindow::connectToolbarActions()
{
    const QList<std::pair<QString, void (DSStatDocumentWindow::*)(QObject *)>> actions{
        {QStringLiteral("raw_data"), &DSStatDocumentWindow::showRawData},
        {QStringLiteral("summary"), &DSStatDocumentWindow::showSummary},
        {QStringLiteral("pivot"), &DSStatDocumentWindow::showPivotTable},
        {QStringLiteral("filters"), &DSStatDocumentWindow::showHideFilters},
        {QStringLiteral("model"), &DSStatDocumentWindow::showModeler},
        {QStringLiteral("predict"), &DSStatDocumentWindow::showPredictor},
        {QStringLiteral("instruments"), &DSStatDocumentWindow::showHideInstruments},
        {QStringLiteral("import_data"), &DSStatDocumentWindow::importData},
    };
    for (qsizetype i = 0; i < m_toolbars.size(); ++i)
        for (QAction *action : m_toolbars[i]->actions())
            for (const auto &[base, slot] : actions)
                if (action->objectName() == base + QString::number(i + 1))
                    connect(action, &QAction::triggered, this, [this, action, slot = slot] { (this->*slot)(action); });
}

void DSStatDocumentWindow::installToolbar(QToolBar *toolbar)
{
    if (!toolbar || toolbar == m_installedToolbar)
        return;
    if (m_installedToolbar)
        m_window->removeToolBar(m_installedToolbar);
    m_window->addToolBar(Qt::TopToolBarArea, toolbar);
    toolbar->show();
    m_installedToolbar = toolbar;
}

void DSStatDocumentWindow::rebuildToolbar()
{
    if (m_toolbars.size() < 3)
        return;
    DSTable *table = active_table();
    QToolBar *toolbar = nullptr;
    QString selected;
    if (!table) {
        toolbar = m_toolbars[1];
    } else if (table->showModel()) {
        toolbar = m_toolbars[2];
        if (table->active_model())
            selected = table->showPredictor() ? QStringLiteral("predict") : QStringLiteral("model");
    } else if (table->showTable()) {
        toolbar = m_toolbars[table->sortedRegressionModels().isEmpty() ? 1 : 0];
        selected = table->showSummary() ? QStringLiteral("summary")
                   : table->showPivot() ? QStringLiteral("pivot")
                                        : QStringLiteral("raw_data");
    } else {
        toolbar = m_installedToolbar;
    }
    if (!toolbar)
        return;
    installToolbar(toolbar);
    const QString identifier = selected.isEmpty() ? QString() : selected + QString::number(m_toolbars.indexOf(toolbar) + 1);
    for (QAction *action : toolbar->actions()) {
        action->setEnabled(validateToolbarItem(action));
        if (action->isCheckable())
            action->setChecked(action->objectName() == identifier);
    }
}

bool DSStatDocumentWindow::validateToolbarItem(const QAction *item)
{
    const QString identifier = item->objectName();
    DSTable *table = active_table();
    for (const QString &base : {QStringLiteral("raw_data"), QStringLiteral("summary"), QStringLiteral("pivot"),
                                QStringLiteral("filters")})
        if (identifier.startsWith(base))
            return table;
    if (identifier.startsWith(QStringLiteral("model")) || identifier.startsWith(QStringLiteral("predict")))
        return table && !table->sortedRegressionModels().isEmpty();
    if (identifier.startsWith(QStringLiteral("instruments")))
        return table && table->showModel() && table->active_model();
    return true;
}

void DSStatDocumentWindow::canCloseDocument(std::function<void(bool)> done)
{
    if (!isDocumentEdited() || !m_window) {
        done(true);
        return;
    }
    auto *alert = new QMessageBox(QMessageBox::Warning, QString(),
                                  QStringLiteral("Do you want to save the changes made to the document “%1”?")
                                      .arg(displayName()),
                                  QMessageBox::NoButton, m_window);
    alert->setObjectName(QStringLiteral("save_changes_alert"));
    alert->setInformativeText(QStringLiteral("Your changes will be lost if you don’t save them."));
    QPushButton *save = alert->addButton(QStringLiteral("Save"), QMessageBox::AcceptRole);
    QPushButton *discard = alert->addButton(QStringLiteral("Don’t Save"), QMessageBox::DestructiveRole);
    QPushButton *cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    save->setObjectName(QStringLiteral("save_button"));
    discard->setObjectName(QStringLiteral("dont_save_button"));
    cancel->setObjectName(QStringLiteral("cancel_button"));
    alert->setDefaultButton(save);
    alert->setEscapeButton(cancel);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::finished, this, [this, alert, save, discard, done = std::move(done)] {
        QAbstractButton *answer = alert->clickedButton();
        if (answer == save)
            done(saveDocument());
        else
            done(answer == discard);
    });
    alert->open();
}

bool DSStatDocumentWindow::saveDocument()
{
    QUrl url = fileURL();
    DSSaveOperation operation = DSSaveOperation::Save;
    if (url.isEmpty()) {
        const QString path = QFileDialog::getSaveFileName(m_window, QString(), displayName() + QStringLiteral(".ostrel"),
                                                          QStringLiteral("Ostrel documents (*.ostrel)"));
        if (path.isEmpty())
            return false;
        url = QUrl::fromLocalFile(path);
        operation = DSSaveOperation::SaveAs;
    }
    DSError error;
    if (!writeSafelyToURL(url, nativeType, operation, &error)) {
        presentError(error);
        return false;
    }
    if (m_window)
        m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
    updateWindowModified();
    return true;
}

bool DSStatDocumentWindow::revertDocumentToSaved()
{
    if (fileURL().isEmpty())
        return false;
    DSError error;
    if (!revertToContentsOfURL(fileURL(), fileType(), &error)) {
        presentError(error);
        return false;
    }
    if (DSDataRoot *root = data_root()) {
        root->setActiveModelObserver([this](DSRegressionModel *previous) { activeModelObserver(previous); });
        root->setActive_table(root->tableAtIndex(0));
    }
    updateWindowModified();
    refreshView(nullptr);
    return true;
}

void DSStatDocumentWindow::undo()
{
    if (DSUndoManager *manager = managedObjectContext()->undoManager(); manager && manager->canUndo())
        manager->undo();
}

void DSStatDocumentWindow::redo()
{
    if (DSUndoManager *manager = managedObjectContext()->undoManager(); manager && manager->canRedo())
        manager->redo();
}

DSColumn *DSStatDocumentWindow::columnAtIndex(qint64 index)
{
    DSTable *table = active_table();
    return table ? table->columnAtIndex(index) : nullptr;
}

QList<DSColumn *> DSStatDocumentWindow::clickedOrSelectedColumns()
{
    DSTable *table = active_table();
    if (!table || !table->showTable())
        return {};
    DSStatDocumentViewDelegate *pane = table->showSummary() ? m_summaryDelegate.data()
                                       : table->showRecords() ? m_recordsDelegate.data()
                                                              : m_pivotDelegate.data();
    return pane ? pane->clickedOrSelectedColumns() : QList<DSColumn *>{};
}

QList<DSColumn *> DSStatDocumentWindow::selectedColumns()
{
    DSTable *table = active_table();
    if (!table || !table->showTable())
        return {};
    DSStatDocumentViewDelegate *pane = table->showSummary() ? m_summaryDelegate.data()
                                       : table->showRecords() ? m_recordsDelegate.data()
                                                              : nullptr;
    return pane ? pane->selectedColumns() : QList<DSColumn *>{};
}

namespace {

// Every column on (those that cannot be, off), unless every column was on:
// then every column off.
void toggleColumnFlag(const QList<DSColumn *> &columns, bool (DSColumn::*isOn)() const,
                      bool (DSColumn::*canBe)() const, void (DSColumn::*set)(bool))
{
    const bool allOn = std::all_of(columns.begin(), columns.end(), [&](DSColumn *c) { return (c->*isOn)(); });
    for (DSColumn *column : columns)
        (column->*set)(!allOn && (column->*canBe)());
}

} // namespace

void DSStatDocumentWindow::toggleTreatAsCategoriesForColumns(const QList<DSColumn *> &columns)
{
    toggleColumnFlag(columns, &DSColumn::treat_as_categories, &DSColumn::canBeTreatedAsCategories,
                     &DSColumn::setTreat_as_categories);
    refreshSummaryViewForColumns(columns);
}

void DSStatDocumentWindow::toggleTreatAsSurvivalTimesForColumns(const QList<DSColumn *> &columns)
{
    toggleColumnFlag(columns, &DSColumn::treat_as_survival_times, &DSColumn::canBeTreatedAsSurvivalTimes,
                     &DSColumn::setTreat_as_survival_times);
    refreshSummaryViewForColumns(columns);
}

void DSStatDocumentWindow::toggleTreatAsCategoriesForClickedRecordColumn(qint64 position)
{
    if (DSColumn *column = columnAtIndex(position)) {
        column->setTreat_as_categories(!column->treat_as_categories());
        refreshView(nullptr);
    }
}

void DSStatDocumentWindow::deleteClickedRecordColumn(qint64 position)
{
    DSColumn *column = columnAtIndex(position);
    if (!column)
        return;
    managedObjectContext()->deleteObject(column);
    managedObjectContext()->processPendingChanges();
    if (auto *records = dynamic_cast<DSRecordsViewDelegate *>(m_recordsDelegate.data()))
        records->rebuildRecordsTable();
    refreshFiltersWithButtons(nullptr);
    refreshView(nullptr);
}

void DSStatDocumentWindow::selectExistingColumns(const QList<DSColumn *> &columns)
{
    DSTable *table = active_table();
    if (!table)
        return;
    table->column_selection()->removeAllColumns();
    for (DSColumn *column : columns)
        table->column_selection()->addColumn(column);
}

void DSStatDocumentWindow::selectNewColumns(const QList<DSColumn *> &columns)
{
    DSTable *table = active_table();
    if (!table || columns.isEmpty())
        return;
    table->column_filter_summary.clear();
    table->column_filter_records.clear();
    auto *records = dynamic_cast<DSRecordsViewDelegate *>(m_recordsDelegate.data());
    if (records)
        records->rebuildRecordsTable();
    refreshFiltersWithButtons(nullptr);
    refreshView(nullptr);
    if (!table->showTable())
        return;
    if (auto *summary = dynamic_cast<DSSummaryViewDelegate *>(m_summaryDelegate.data()); summary && table->showSummary()) {
        DSStatsOutlineDelegate *outline = summary->stats_outline_delegate();
        outline->selectColumns(columns, false);
        if (const int row = outline->rowOfColumn(columns.first()); row >= 0 && summary->stats_table())
            summary->stats_table()->scrollTo(outline->index(row, 0));
    } else if (records && table->showRecords() && records->records_table()) {
        DSRecordsTableDelegate *grid = records->records_table_delegate();
        QItemSelection selection;
        for (DSColumn *column : columns)
            if (const int section = grid->gridColumnOfColumn(column); section >= 0 && grid->rowCount() > 0)
                selection.select(grid->index(0, section), grid->index(grid->rowCount() - 1, section));
        records->records_table()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect
                                                                          | QItemSelectionModel::Columns);
        if (const int first = grid->gridColumnOfColumn(columns.first()); first >= 0 && grid->rowCount() > 0)
            records->records_table()->scrollTo(grid->index(0, first));
    }
}

void DSStatDocumentWindow::activateTable(DSTable *table, qint64 index)
{
    DSDataRoot *root = data_root();
    if (!root || !table)
        return;
    root->insertTable(table, index);
    reloadSidebar();
    root->setActive_table(table);
    refreshView(nullptr);
}

void DSStatDocumentWindow::activateModel(DSRegressionModel *model, qint64 index)
{
    DSTable *table = model ? model->table() : nullptr;
    if (!table)
        return;
    for (DSManagedObject *object : table->sortedRegressionModels())
        if (auto *other = ds_object_cast<DSRegressionModel>(object); other && other != model && other->index() >= index)
            other->setIndex(other->index() + 1);
    model->setIndex(index);
    if (!model->active_explanatory_variable())
        model->setActive_explanatory_variable(model->explanatoryVariableAtIndex(0));
    reloadSidebar();
    selectSidebarItem(model);
}

void DSStatDocumentWindow::purgeImagesForColumsDisplayingLabel(const QString &label)
{
    DSTable *table = active_table();
    if (!table)
        return;
    for (DSColumn *column : table->columns()) {
        const std::shared_ptr<DSColumnSummary> summary = column->temp_summary();
        if (!summary)
            continue;
        const QList<DSColumnSummary::CategoryRef> categories = summary->categories();
        const bool shows = std::any_of(categories.begin(), categories.end(), [&](const auto &category) {
            return category && category->longValue() == label;
        });
        if (!shows)
            continue;
        column->setLast_image(column->temp_image());
        column->setTemp_image(nullptr);
        for (const auto &category : categories)
            if (category)
                category->purgeImageAndColors();
    }
}

void DSStatDocumentWindow::setEnabledForControls(bool enabled, const QList<QWidget *> &views)
{
    for (QWidget *view : views) {
        if (qobject_cast<QLineEdit *>(view) || qobject_cast<QLabel *>(view)) {
            view->setEnabled(enabled);
            QPalette palette = view->palette();
            palette.setColor(qobject_cast<QLabel *>(view) ? QPalette::WindowText : QPalette::Text,
                             enabled ? Qt::black : Qt::gray);
            view->setPalette(palette);
        } else if (qobject_cast<QAbstractButton *>(view) || view->inherits("QAbstractSlider")
                   || view->inherits("QComboBox") || view->inherits("QAbstractSpinBox")) {
            view->setEnabled(enabled);
        } else {
            QList<QWidget *> subviews;
            for (QObject *child : view->children())
                if (child->isWidgetType())
                    subviews.append(static_cast<QWidget *>(child));
            setEnabledForControls(enabled, subviews);
        }
    }
}
