#pragma once

#include "model/DSRowMask.h"
#include "model/DSStatDocument.h"
#include "ui/window/DSFilterViewHost.h"
#include "ui/window/DSImportExportRunner.h"
#include "ui/window/DSPaneSwitcher.h"
#include "ui/window/DSSheetRegistry.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QToolBar>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class DSColumn;
class DSManagedObject;
class DSDocumentWindowHost;
class DSFilterViewDelegate;
class DSRegressionModel;
class DSStatDocumentPaneView;
class DSTable;
class QLabel;
class QSplitter;
class DSTableOutlineView;
class QWidget;
struct DSObjectsDidChange;

// The window side of a document: the spine of the user interface. It builds
// the window from the interface file "DSStatDocument", keeps the window in
// step with every change of the store (choosing the pane a change should
// bring forward), re-validates the active objects after undo and redo, owns
// the invalidation ladder through which panes ask for a model to be re-run,
// and performs the guarded refresh that redraws what is visible. Every pane
// ends its work with a rung of the ladder or refreshView().
//
// The rest it hands to parts of its own, whose services it forwards: the
// pane and toolbar switcher (DSPaneSwitcher, with the registered panes),
// the sheet registry (DSSheetRegistry), the import and export runner
// (DSImportExportRunner) and the filter pane (DSFilterViewHost; the row
// masks themselves are the table's).
//
// A refresh is synchronous and guarded: a refreshView() issued from inside
// a pane's refresh reloads the sidebar but refreshes no pane again. The
// store's notification arrives after the code that changed the store has
// refreshed, so a rung of the change ladder that switches a pane queues one
// coalesced refresh instead.
//
// Main thread only. Outlets are not owned: the window owns its views.
class DSStatDocumentWindow : public DSStatDocument
{
    Q_OBJECT

public:
    // The host (not owned) must outlive the document; null runs without one
    // (no action count, no fitting context).
    explicit DSStatDocumentWindow(DSDocumentWindowHost *host = nullptr, QObject *parent = nullptr);
    ~DSStatDocumentWindow() override;

    // Builds the window from its interface file and sets it up once; false,
    // with nothing built, when the file cannot be found.
    bool makeWindowControllers();
    // The one-time set-up after the window has loaded.
    void windowControllerDidLoadNib();
    // Tears the window side down (observers, controllers) and closes the
    // window; the document may be deleted afterwards. Idempotent.
    void close();

    // The change ladder (the store's objects-did-change notification).
    void managedObjectsDidChange(const DSObjectsDidChange &change);

    // The invalidation ladder; each rung ends in refreshView(sender).
    void allModelsNeedRegression(QObject *sender);
    void activeModelNeedsRegression(QObject *sender);
    void activeModelNeedsUnload(QObject *sender);
    void activeModelNeedsPanelsRebuilt(QObject *sender);
    void activeOutcomeNeedsSecondaryBuffersRebuilt(QObject *sender);

    // Full refresh: the sidebar and its selection, then refreshViewNoTable().
    void refreshView(QObject *sender);
    // The guarded refresh of the visible panes.
    void refreshViewNoTable(QObject *sender);
    // Purges the columns' statistics and refreshes the visible data pane.
    void refreshSummaryViewForColumns(const QList<DSColumn *> &columns);
    void refreshSummaryViewActiveColumnOnly();

    // Column and selection services: menus and sheets ask the document, the
    // document asks the visible data pane. Each answers none (null, an empty
    // list) when its condition fails.
    // The active table's column at the position.
    DSColumn *columnAtIndex(qint64 index);
    // The summary pane's answer when it is chosen, else the records pane's,
    // else the pivot pane's; none on the model side.
    QList<DSColumn *> clickedOrSelectedColumns();
    // As clickedOrSelectedColumns(), but none on the pivot pane.
    QList<DSColumn *> selectedColumns();
    // Every column that can be is treated as categories, unless all already
    // were: then none is. The columns' statistics are purged and the data
    // pane refreshed.
    void toggleTreatAsCategoriesForColumns(const QList<DSColumn *> &columns);
    // The same rule for survival times.
    void toggleTreatAsSurvivalTimesForColumns(const QList<DSColumn *> &columns);
    // The records grid's header menu: the column at the position (the
    // menu item's tag) flips treat-as-categories, or is deleted.
    void toggleTreatAsCategoriesForClickedRecordColumn(qint64 position);
    void deleteClickedRecordColumn(qint64 position);
    // The table's column selection becomes exactly these columns.
    void selectExistingColumns(const QList<DSColumn *> &columns);
    // After a sheet or menu made columns: the search texts are cleared, the
    // window refreshed and the new columns selected in the visible pane.
    void selectNewColumns(const QList<DSColumn *> &columns);
    // Inserts the table into the root at the index and shows it.
    void activateTable(DSTable *table, qint64 index);
    // Gives the model the index (its table's models at or above it move up
    // one), makes its first explanatory variable active when none is, and
    // shows it in the sidebar.
    void activateModel(DSRegressionModel *model, qint64 index);
    // After a label's colour changed: the active table's columns whose
    // summary shows the label drop their mini chart (kept as last_image).
    void purgeImagesForColumsDisplayingLabel(const QString &label);
    // Enables or disables each view of the list: controls directly (text
    // fields also black or grey), other views through their subviews.
    static void setEnabledForControls(bool enabled, const QList<QWidget *> &views)
    {
        DSStatDocumentViewDelegate::setEnabledForControls(enabled, views);
    }

    // Pane switching (DSPaneSwitcher); each but the filter toggle ends with
    // closePopovers() and refreshView(sender).
    void showRawData(QObject *sender) { m_panes->showRawData(sender); }
    void showPivotTable(QObject *sender) { m_panes->showPivotTable(sender); }
    void showSummary(QObject *sender) { m_panes->showSummary(sender); }
    void showModeler(QObject *sender) { m_panes->showModeler(sender); }
    void showPredictor(QObject *sender) { m_panes->showPredictor(sender); }
    void showHideInstruments(QObject *) {}
    void showHideFilters(QObject *sender) { m_panes->showHideFilters(sender); }
    void showFiltersPane() { m_panes->showFiltersPane(); }
    void hideFiltersPane() { m_panes->hideFiltersPane(); }
    void closePopovers(QObject *sender) { m_panes->closePopovers(sender); }
    // Toggles the filter-set popover at the sender (a view), above it.
    void showFilterSetPopover(QObject *sender) { m_panes->showFilterSetPopover(sender); }
    // The toolbar: chooses the window's toolbar and its selected item.
    void rebuildToolbar() { m_panes->rebuildToolbar(); }
    bool validateToolbarItem(const QAction *item) { return m_panes->validateToolbarItem(item); }
    QToolBar *installedToolbar() const { return m_panes->installedToolbar(); }
    DSPaneSwitcher &pane_switcher() { return *m_panes; }

    // Row masks of the active table under its filters, asked of the table
    // through the filter pane (DSFilterViewHost): null means every row. A
    // reader keeps its snapshot as long as it reads.
    DSRowMaskRef getMask() { return m_filterHost->tableMask(); }
    // The table mask narrowed by the outcome (a DSOutcomeVariable, or none)
    // to the rows its model uses.
    DSRowMaskRef getMask(QObject *outcome) { return m_filterHost->outcomeMask(outcome); }
    // The leave-one-out mask: the filter whose view owns the button (or
    // none) leaves out the parts the flags name; never cached.
    DSRowMaskRef getMask(QObject *button, uint32_t flags) { return m_filterHost->maskExcluding(button, flags); }
    bool isIncludeMaskNullWhenExcludingButton(QObject *button, uint32_t flags)
    {
        return m_filterHost->isEveryRowExcluding(button, flags);
    }
    DSRowMaskRef getZoomMask() { return m_filterHost->zoomMask(); }
    // Whether the active table's next mask is built afresh.
    bool table_mask_needs_update() { return m_filterHost->tableMaskNeedsUpdate(); }

    // The filter pane.
    void rebuildFilterViews() { m_filterHost->rebuildFilterViews(); }
    DSFilterViewDelegate *filterDelegateAtIndex(int index) const { return m_filterHost->filterDelegateAtIndex(index); }
    int numberOfFilters() const { return m_filterHost->numberOfFilters(); }
    // One more filter shown, up to six; then a refresh.
    void createFilter(QObject *sender)
    {
        if (m_filterHost->createFilter())
            refreshView(sender);
    }
    // The table's zoom flag follows the button's check state; then a refresh.
    void setZoomToFilteredValues(QObject *button) { m_filterHost->setZoomToFilteredValues(button); }
    void refreshFiltersNoButtons(QObject *sender) { m_filterHost->refreshFilterViews(sender); }
    void refreshFiltersWithButtons(QObject *sender)
    {
        m_filterHost->refreshFilterButtons();
        m_filterHost->refreshFilterViews(sender);
    }
    void updateFilterSelections() { m_filterHost->updateFilterSelections(); }
    QString activeConditionString() const { return m_filterHost->activeConditionString(); }

    // The document machinery's questions.
    // Calls done(true) when the document may close: at once when there is
    // nothing to save (a read-only document never asks), else after a
    // window-modal "Save" / "Don't Save" / "Cancel" alert (Save saves first;
    // a failed save, like Cancel, answers false).
    void canCloseDocument(std::function<void(bool)> done);
    // Saves in place, or asks for a place when untitled; false on failure
    // (the error is presented) or when no place was given.
    bool saveDocument();
    bool revertDocumentToSaved();
    void undo();
    void redo();

    bool is_refreshing() const { return m_isRefreshing; }
    bool is_updating() const { return m_isUpdating; }
    void setIs_updating(bool updating) { m_isUpdating = updating; }
    bool observers_registered() const { return m_observersRegistered; }
    double lastFiltersPaneHeight() const { return m_panes->lastFiltersPaneHeight(); }
    const QList<QToolBar *> &toolbars() const { return m_panes->toolbars(); }
    // Whether the window side has been torn down.
    bool is_closed() const { return m_closed; }
    DSDocumentWindowHost *host() const { return m_host; }

    // Outlets of the interface file.
    QMainWindow *document_window() const { return m_window; }
    QWidget *stat_pane() const;
    QSplitter *filters_splitter() const;
    QLabel *import_data_message() const;
    DSTableOutlineView *tables_table() const;
    QWidget *outlet(const QString &name) const;

    // Pane controllers (DSPaneSwitcher; a missing one makes its steps do
    // nothing).
    DSStatDocumentViewDelegate *summary_delegate() const { return m_panes->summary_delegate(); }
    void setSummary_delegate(DSStatDocumentViewDelegate *d) { m_panes->setSummary_delegate(d); }
    DSStatDocumentViewDelegate *records_delegate() const { return m_panes->records_delegate(); }
    void setRecords_delegate(DSStatDocumentViewDelegate *d) { m_panes->setRecords_delegate(d); }
    DSStatDocumentViewDelegate *pivot_delegate() const { return m_panes->pivot_delegate(); }
    void setPivot_delegate(DSStatDocumentViewDelegate *d) { m_panes->setPivot_delegate(d); }
    DSStatDocumentViewDelegate *model_delegate() const { return m_panes->model_delegate(); }
    void setModel_delegate(DSStatDocumentViewDelegate *d) { m_panes->setModel_delegate(d); }
    DSStatDocumentViewDelegate *predictor_delegate() const { return m_panes->predictor_delegate(); }
    void setPredictor_delegate(DSStatDocumentViewDelegate *d) { m_panes->setPredictor_delegate(d); }
    DSStatDocumentViewDelegate *filter_set_delegate() const { return m_panes->filter_set_delegate(); }
    void setFilter_set_delegate(DSStatDocumentViewDelegate *d) { m_panes->setFilter_set_delegate(d); }

    // The sheet registry (DSSheetRegistry): one controller of each
    // registered sheet class, made at window set-up and torn down at close.
    static const QList<std::pair<QString, QString>> &sheetDelegateInfo() { return DSSheetRegistry::sheetDelegateInfo(); }
    void setupSheetDelegates() { m_sheets->setup(); }
    void teardownSheetDelegates() { m_sheets->teardown(); }
    // The controller kept under the property name, or null when its class
    // is not registered.
    DSStatDocumentSheetDelegate *sheetDelegate(const QString &property) const { return m_sheets->sheetDelegate(property); }
    DSStatDocumentSheetDelegate *data_importer_sheet_delegate() const
    {
        return sheetDelegate(QStringLiteral("data_importer_sheet_delegate"));
    }
    DSStatDocumentSheetDelegate *exporter_sheet_delegate() const
    {
        return sheetDelegate(QStringLiteral("exporter_sheet_delegate"));
    }
    DSStatDocumentSheetDelegate *missing_values_sheet_delegate() const
    {
        return sheetDelegate(QStringLiteral("missing_values_sheet_delegate"));
    }
    QList<DSStatDocumentSheetDelegate *> sheet_delegates() const { return m_sheets->sheet_delegates(); }
    // The window sheets are shown on.
    QWidget *windowForSheet() const { return m_window; }
    // The one sheet up on the window, or null.
    DSStatDocumentSheetDelegate *attached_sheet() const { return m_sheets->attached_sheet(); }
    void setAttached_sheet(DSStatDocumentSheetDelegate *sheet) { m_sheets->setAttached_sheet(sheet); }
    // The system beep, through the host when there is one.
    void beep();

    // Background runs (DSImportExportRunner): see there.
    bool beginImport(std::shared_ptr<DSDataImporter> importer, qint64 index)
    {
        return m_runner->beginImport(std::move(importer), index);
    }
    void finishImport(const std::shared_ptr<DSImportRun> &run) { m_runner->finishImport(run); }
    bool exportToURL(std::shared_ptr<DSExporter> exporter, const QUrl &url)
    {
        return m_runner->exportToURL(std::move(exporter), url);
    }
    void finishExport(const std::shared_ptr<DSExporter> &exporter) { m_runner->finishExport(exporter); }
    void importData(QObject *) { m_runner->importData(); }
    void refreshImportAccessory() { m_runner->refreshImportAccessory(); }
    QWidget *general_import_accessory() const { return outlet(QStringLiteral("general_import_accessory")); }
    void waitForBackgroundRuns() { m_runner->waitForBackgroundRuns(); }
    // The window became main for the first time: a file opened from the
    // desktop or the command line starts its import (at the top of the
    // table list), once. Its tables are where the document starts: the
    // document is clean when they land, and the import is no undo step.
    void windowDidBecomeMain() { m_runner->beginInitialImport(); }
    // True from the opening of a file to import until that import and every
    // other one started since has landed, failed or been ended.
    bool isImporting() const { return initial_importer() || m_runner->isImporting(); }
    // The initial import's tables landed: they are where the document
    // starts, so no undo step leads back and nothing is left to save.
    void startFromImportedTables();

    // The window's title: the package's name, or "Untitled".
    QString displayName() const;

Q_SIGNALS:
    // A pane refresh ran (refreshViewNoTable() past its guard).
    void refreshed();
    // The window side has been torn down.
    void closed();

private:
    void undoRedoHandler();
    void activeModelObserver(DSRegressionModel *previous);
    void queueRefresh();
    void reloadSidebar();
    void selectSidebarItem(DSManagedObject *object);
    void refreshModelSide(DSTable *table);
    void setPaneVisible(const QString &name, bool visible) { m_panes->setPaneVisible(name, visible); }
    void watchWindow();
    void updateWindowModified();

    DSDocumentWindowHost *m_host;
    QPointer<QMainWindow> m_window;
    QList<QMetaObject::Connection> m_observers;
    bool m_isRefreshing = false;
    bool m_isUpdating = false;
    bool m_observersRegistered = false;
    std::unique_ptr<DSFilterViewHost> m_filterHost;
    std::unique_ptr<DSPaneSwitcher> m_panes;
    std::unique_ptr<DSSheetRegistry> m_sheets;
    std::unique_ptr<DSImportExportRunner> m_runner;
    bool m_refreshQueued = false;
    bool m_closed = false;
    bool m_closeConfirmed = false;
};
