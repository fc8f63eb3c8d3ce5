#include "ui/window/DSStatDocumentWindow.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataColumn.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSTable.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"
#include "ui/DSNib.h"
#include "ui/window/DSSplitViewDelegate.h"
#include "ui/window/DSSplitter.h"
#include "ui/window/DSTableOutlineView.h"
#include "ui/window/DSWindowCloseFilter.h"
#include "ui/window/DSDocumentWindowHost.h"
#include "ui/window/DSFilterViewDelegate.h"
#include "ui/window/DSFilterViewHost.h"
#include "ui/window/DSStatDocumentPaneView.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/ds_change_ladder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>

#include <algorithm>

namespace {

bool isFault(const DSManagedObject *object)
{
    return object && object->isFault();
}

} // namespace

DSStatDocumentWindow::DSStatDocumentWindow(DSDocumentWindowHost *host, QObject *parent)
    : DSStatDocument(parent), m_host(host), m_filterHost(std::make_unique<DSFilterViewHost>(this)),
      m_panes(std::make_unique<DSPaneSwitcher>(this)), m_sheets(std::make_unique<DSSheetRegistry>(this)),
      m_runner(std::make_unique<DSImportExportRunner>(this))
{
}

DSStatDocumentWindow::~DSStatDocumentWindow()
{
    close();
    // A run still parsing has been told to stop; its completion, queued to
    // this object, goes with it.
    waitForBackgroundRuns();
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
    m_observers << m_panes->setupFiltersPane();

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
    m_panes->setupToolbars();
    rebuildToolbar();
    rebuildFilterViews();
    m_observers << m_filterHost->connectButtons();
    setupSheetDelegates();
    m_panes->setupPanes();

    if (root)
        root->setActiveModelObserver([this](DSRegressionModel *previous) { activeModelObserver(previous); });
    m_observers << connect(this, &DSStatDocument::documentEditedChanged, this,
                           &DSStatDocumentWindow::updateWindowModified);
    watchWindow();

    m_observersRegistered = true;
    m_isRefreshing = false;
    refreshView(nullptr);
}

void DSStatDocumentWindow::beep()
{
    if (m_host)
        m_host->beep();
    else
        QApplication::beep();
}

void DSStatDocumentWindow::startFromImportedTables()
{
    if (DSUndoManager *undo = managedObjectContext()->undoManager())
        undo->removeAllActions();
    markClean();
}

void DSStatDocumentWindow::watchWindow()
{
    m_runner->importOnFirstActivation(m_window);
    m_window->installEventFilter(new DSWindowCloseFilter(m_window, [this] {
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
    m_panes->teardownPanes();
    m_filterHost->teardownFilterViews();
    teardownSheetDelegates();
    m_runner->abortImports();
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

void DSStatDocumentWindow::refreshViewNoTable(QObject *sender)
{
    if (m_isRefreshing || !m_window)
        return;
    {
        const QScopedValueRollback<bool> refreshing(m_isRefreshing, true);
        if (DSTable *table = active_table())
            table->row_masks().invalidate();
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
            if (DSStatDocumentViewDelegate *filterSet = filter_set_delegate())
                filterSet->refreshView(sender);
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
        // The snapshot is held for as long as the fit reads it.
        const DSRowMaskRef mask = getMask();
        // A failed fit stays with the model, whose pane shows it.
        model->runRegressionIfNeededForMask(ds_mask_data(mask), ds_mask_length(mask),
                                            m_host ? m_host->varrow_context() : nullptr);
    }
    setPaneVisible(QStringLiteral("model_pane"), true);
    setPaneVisible(QStringLiteral("import_data_message"), false);
    const bool predict = table->showPredictor();
    setPaneVisible(QStringLiteral("model_view"), !predict);
    setPaneVisible(QStringLiteral("predictor_view"), predict);
    if (DSStatDocumentViewDelegate *pane = predict ? predictor_delegate() : model_delegate())
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
    DSStatDocumentViewDelegate *pane = table->showSummary() ? summary_delegate()
                                       : table->showRecords() ? records_delegate()
                                       : table->showPivot()   ? pivot_delegate()
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
    DSStatDocumentViewDelegate *pane = m_panes->visibleDataPane(table);
    return pane ? pane->clickedOrSelectedColumns() : QList<DSColumn *>{};
}

QList<DSColumn *> DSStatDocumentWindow::selectedColumns()
{
    DSTable *table = active_table();
    if (!table || !table->showTable())
        return {};
    DSStatDocumentViewDelegate *pane = table->showSummary() ? summary_delegate()
                                       : table->showRecords() ? records_delegate()
                                                              : nullptr;
    return pane ? pane->selectedColumns() : QList<DSColumn *>{};
}

void DSStatDocumentWindow::toggleTreatAsCategoriesForColumns(const QList<DSColumn *> &columns)
{
    DSColumn::toggleTreatAsCategories(columns);
    refreshSummaryViewForColumns(columns);
}

void DSStatDocumentWindow::toggleTreatAsSurvivalTimesForColumns(const QList<DSColumn *> &columns)
{
    DSColumn::toggleTreatAsSurvivalTimes(columns);
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
    if (DSStatDocumentViewDelegate *records = records_delegate())
        records->columnsDidChange();
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
    DSStatDocumentViewDelegate *records = records_delegate();
    if (records)
        records->columnsDidChange();
    refreshFiltersWithButtons(nullptr);
    refreshView(nullptr);
    if (!table->showTable())
        return;
    if (DSStatDocumentViewDelegate *summary = summary_delegate(); summary && table->showSummary())
        summary->revealColumns(columns);
    else if (records && table->showRecords())
        records->revealColumns(columns);
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
    if (DSTable *table = active_table())
        table->purgeImagesForColumnsDisplayingLabel(label);
}
