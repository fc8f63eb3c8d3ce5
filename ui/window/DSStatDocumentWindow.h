#pragma once

#include "model/DSStatDocument.h"
#include "platform/predicate/DSPredicateValue.h"
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
class DSFilterViewHost;
class DSDataImporter;
class DSExporter;
class DSImportRun;
class QThreadPool;
class DSRegressionModel;
class DSStatDocumentPaneView;
class DSStatDocumentSheetDelegate;
class DSTable;
class QAction;
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
    static void setEnabledForControls(bool enabled, const QList<QWidget *> &views);

    // Pane switching; each but the filter toggle ends with closePopovers()
    // and refreshView(sender).
    void showRawData(QObject *sender);
    void showPivotTable(QObject *sender);
    void showSummary(QObject *sender);
    void showModeler(QObject *sender);
    void showPredictor(QObject *sender);
    void showHideInstruments(QObject *) {}
    void showHideFilters(QObject *sender);
    void showFiltersPane();
    void hideFiltersPane();
    void closePopovers(QObject *sender);
    // Toggles the filter-set popover at the sender (a view), above it.
    void showFilterSetPopover(QObject *sender);

    // The toolbar: chooses the window's toolbar and its selected item.
    void rebuildToolbar();
    // Whether a toolbar item (an action named by identifier) is enabled.
    bool validateToolbarItem(const QAction *item);
    // The toolbar installed in the window, or null.
    QToolBar *installedToolbar() const { return m_installedToolbar; }

    // Row masks of the active table under the filters (DSFilterViewHost):
    // null and length 0 mean every row. The mask stays the host's.
    qint64 getMask(const uint8_t **mask);
    qint64 getMask(const uint8_t **mask, QObject *outcome);
    qint64 getMask(const uint8_t **mask, QObject *button, uint32_t flags);
    bool isIncludeMaskNullWhenExcludingButton(QObject *button, uint32_t flags);
    qint64 getZoomMask(const uint8_t **mask);
    bool table_mask_needs_update() const;
    // Moves each time the active table's row mask is built again.
    uint64_t mask_generation() const;

    // The filter pane.
    void rebuildFilterViews();
    DSFilterViewDelegate *filterDelegateAtIndex(int index) const;
    int numberOfFilters() const;
    // One more filter shown, up to six; then a refresh.
    void createFilter(QObject *sender);
    // The table's zoom flag follows the button's check state; then a refresh.
    void setZoomToFilteredValues(QObject *button);
    void refreshFiltersNoButtons(QObject *sender);
    void refreshFiltersWithButtons(QObject *sender);
    void updateFilterSelections();
    QString activeConditionString() const;

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
    double lastFiltersPaneHeight() const { return m_lastFiltersPaneHeight; }
    const QList<QToolBar *> &toolbars() const { return m_toolbars; }
    DSDocumentWindowHost *host() const { return m_host; }

    // Outlets of the interface file.
    QMainWindow *document_window() const { return m_window; }
    QWidget *stat_pane() const;
    QSplitter *filters_splitter() const;
    QLabel *import_data_message() const;
    DSTableOutlineView *tables_table() const;
    QWidget *outlet(const QString &name) const;

    // Pane controllers (not owned; a missing one makes its steps do nothing).
    DSStatDocumentViewDelegate *summary_delegate() const { return m_summaryDelegate; }
    void setSummary_delegate(DSStatDocumentViewDelegate *d) { m_summaryDelegate = d; }
    DSStatDocumentViewDelegate *records_delegate() const { return m_recordsDelegate; }
    void setRecords_delegate(DSStatDocumentViewDelegate *d) { m_recordsDelegate = d; }
    DSStatDocumentViewDelegate *pivot_delegate() const { return m_pivotDelegate; }
    void setPivot_delegate(DSStatDocumentViewDelegate *d) { m_pivotDelegate = d; }
    DSStatDocumentViewDelegate *model_delegate() const { return m_modelDelegate; }
    void setModel_delegate(DSStatDocumentViewDelegate *d) { m_modelDelegate = d; }
    DSStatDocumentViewDelegate *predictor_delegate() const { return m_predictorDelegate; }
    void setPredictor_delegate(DSStatDocumentViewDelegate *d) { m_predictorDelegate = d; }
    DSStatDocumentViewDelegate *filter_set_delegate() const { return m_filterSetDelegate; }
    void setFilter_set_delegate(DSStatDocumentViewDelegate *d) { m_filterSetDelegate = d; }

    // The sheet registry: the controllers of the document's sheets, one of
    // each registered class, made at window set-up and torn down at close.
    // sheetDelegateInfo() lists every property name with its class name.
    static const QList<std::pair<QString, QString>> &sheetDelegateInfo();
    void setupSheetDelegates();
    // The panes the window makes itself; each replaces its placeholder.
    void setupPaneDelegates();
    void teardownSheetDelegates();
    // The controller kept under the property name, or null when its class
    // is not registered.
    DSStatDocumentSheetDelegate *sheetDelegate(const QString &property) const;
    DSStatDocumentSheetDelegate *data_importer_sheet_delegate() const;
    DSStatDocumentSheetDelegate *exporter_sheet_delegate() const;
    DSStatDocumentSheetDelegate *missing_values_sheet_delegate() const;
    QList<DSStatDocumentSheetDelegate *> sheet_delegates() const;
    // Opens the missing-values sheet on the columns, proposing the values
    // (may be empty) as missing.
    void showMissingValuesSheetForColumns(const QList<DSColumn *> &columns, const QList<DSPredicateValue> &defaultValues);
    // The window sheets are shown on.
    QWidget *windowForSheet() const;
    // The one sheet up on the window, or null.
    DSStatDocumentSheetDelegate *attached_sheet() const;
    void setAttached_sheet(DSStatDocumentSheetDelegate *sheet);
    // The system beep, through the host when there is one.
    void beep();

    // The import hand-off: parses with the importer on a thread of the
    // document's own while the import progress sheet shows, then copies the
    // parsed tables into the store at the insertion index, on the main
    // thread. Always true.
    bool beginImport(std::shared_ptr<DSDataImporter> importer, qint64 index);
    // The main thread's completion of an import (queued by the run, never
    // called directly): nothing when the sheet ended first (abort set); the
    // importer's error when it parsed nothing; else the tables, one undo
    // step, the first active on its records pane.
    void finishImport(const std::shared_ptr<DSImportRun> &run);
    // The export hand-off: the exporter writes the filtered rows to the URL
    // in the background while the export sheet shows. Always true.
    bool exportToURL(std::shared_ptr<DSExporter> exporter, const QUrl &url);
    void finishExport(const std::shared_ptr<DSExporter> &exporter);
    // The window became main for the first time: a file opened from the
    // desktop or the command line starts its import (at the top of the
    // table list), once. Its tables are where the document starts: the
    // document is clean when they land, and the import is no undo step.
    void windowDidBecomeMain();
    // True from the opening of a file to import until that import and every
    // other one started since has landed, failed or been ended.
    bool isImporting() const;
    // The import-data action: the File menu's panel for any importable
    // files, then one import of them all at the top of the table list;
    // nothing when the panel is cancelled.
    void importData(QObject *sender);
    // Fills the texts of the import panel's accessory
    // (general_import_accessory): the instructions and the binary formats.
    void refreshImportAccessory();
    QWidget *general_import_accessory() const;
    // Waits for every background run of the document to end.
    void waitForBackgroundRuns();

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
    // Lets choose set the active table's view flags, then closes the
    // popovers and refreshes.
    void switchPane(QObject *sender, const std::function<void(DSTable *)> &choose);
    void reloadSidebar();
    // Builds the pane and puts its view in place of the window's
    // placeholder of that name; false, with the pane torn down, when either
    // is missing. The window keeps the pane.
    bool installPane(std::unique_ptr<DSStatDocumentViewDelegate> pane, const QString &viewName);
    void selectSidebarItem(DSManagedObject *object);
    void installToolbar(QToolBar *toolbar);
    void refreshModelSide(DSTable *table);
    void setPaneVisible(const QString &name, bool visible);
    bool filtersPaneCollapsed() const;
    void moveFiltersDivider(int position);
    void connectToolbarActions();
    void connectFilterButtons();
    // beginImport() with the run it started.
    std::shared_ptr<DSImportRun> startImport(std::shared_ptr<DSDataImporter> importer, qint64 index);
    // The document's own threads for background runs, made on first use.
    QThreadPool *backgroundQueue();
    void watchWindow();
    void updateWindowModified();

    DSDocumentWindowHost *m_host;
    QPointer<QMainWindow> m_window;
    QList<QToolBar *> m_toolbars;
    QPointer<QToolBar> m_installedToolbar;
    QPointer<DSStatDocumentViewDelegate> m_summaryDelegate, m_recordsDelegate, m_pivotDelegate, m_modelDelegate,
        m_predictorDelegate, m_filterSetDelegate;
    QList<QMetaObject::Connection> m_observers;
    double m_lastFiltersPaneHeight = 180;
    bool m_isRefreshing = false;
    bool m_isUpdating = false;
    bool m_observersRegistered = false;
    std::unique_ptr<DSFilterViewHost> m_filterHost;
    std::vector<std::pair<QString, std::unique_ptr<DSStatDocumentSheetDelegate>>> m_sheetDelegates;
    std::vector<std::unique_ptr<DSStatDocumentViewDelegate>> m_ownedPanes;
    QPointer<DSStatDocumentSheetDelegate> m_attachedSheet;
    // The background runs: their own threads, and the imports still
    // running, which closing the document aborts.
    std::unique_ptr<QThreadPool> m_backgroundQueue;
    QList<std::weak_ptr<DSImportRun>> m_runningImports;
    // The run of the initial import until it finishes (compared, never
    // dereferenced).
    const DSImportRun *m_initialRun = nullptr;
    bool m_refreshQueued = false;
    bool m_closed = false;
    bool m_closeConfirmed = false;
};
