#pragma once

#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class DSStatDocumentWindow;
class DSTable;
class QAction;
class QObject;
class QSplitter;
class QToolBar;

// Which pane of a document's window shows, and its toolbar: the pane
// controllers (made from the registered pane classes, or handed in), the
// switches between the data panes and the model side, the filter pane's
// divider and the three toolbars with their selected item.
//
// Panes register their class under the placeholder view they replace
// (ds_register_pane_classes()), as interface files register their builders,
// so the window names no concrete pane.
//
// Main thread only. The document (not owned) outlives the switcher; the
// pane controllers it made are its own.
class DSPaneSwitcher
{
public:
    // The placeholder views a registered pane can take, one pane each.
    static const QString summaryView, recordsView, pivotView, modelView, predictorView;
    using Maker = std::function<std::unique_ptr<DSStatDocumentViewDelegate>()>;
    // The pane class that replaces the placeholder named view; a second
    // registration for the view replaces the first, a null maker removes it.
    static void registerPane(const QString &view, Maker maker);

    explicit DSPaneSwitcher(DSStatDocumentWindow *document);
    ~DSPaneSwitcher();

    // Builds each registered pane and puts its view in place of the
    // window's placeholder; a pane whose view or placeholder is missing is
    // torn down and left out.
    void setupPanes();
    // Tears every pane down (handed-in ones too) and forgets them.
    void teardownPanes();

    // Pane controllers (not owned when handed in; a missing one makes its
    // steps do nothing).
    DSStatDocumentViewDelegate *summary_delegate() const { return m_summary; }
    void setSummary_delegate(DSStatDocumentViewDelegate *d) { m_summary = d; }
    DSStatDocumentViewDelegate *records_delegate() const { return m_records; }
    void setRecords_delegate(DSStatDocumentViewDelegate *d) { m_records = d; }
    DSStatDocumentViewDelegate *pivot_delegate() const { return m_pivot; }
    void setPivot_delegate(DSStatDocumentViewDelegate *d) { m_pivot = d; }
    DSStatDocumentViewDelegate *model_delegate() const { return m_model; }
    void setModel_delegate(DSStatDocumentViewDelegate *d) { m_model = d; }
    DSStatDocumentViewDelegate *predictor_delegate() const { return m_predictor; }
    void setPredictor_delegate(DSStatDocumentViewDelegate *d) { m_predictor = d; }
    DSStatDocumentViewDelegate *filter_set_delegate() const { return m_filterSet; }
    void setFilter_set_delegate(DSStatDocumentViewDelegate *d) { m_filterSet = d; }
    // The data pane the active table shows (summary, else records, else
    // pivot), or null.
    DSStatDocumentViewDelegate *visibleDataPane(DSTable *table) const;

    // Pane switching; each but the filter toggle ends with closePopovers()
    // and the document's refreshView(sender).
    void showRawData(QObject *sender);
    void showPivotTable(QObject *sender);
    void showSummary(QObject *sender);
    void showModeler(QObject *sender);
    void showPredictor(QObject *sender);
    void showHideFilters(QObject *sender);
    void showFiltersPane();
    void hideFiltersPane();
    void closePopovers(QObject *sender);
    // Toggles the filter-set popover at the sender (a view), above it.
    void showFilterSetPopover(QObject *sender);
    void setPaneVisible(const QString &name, bool visible);
    double lastFiltersPaneHeight() const { return m_lastFiltersPaneHeight; }
    // Collapses the filter pane at its default height and follows the
    // heights the user drags it to (the window's set-up); the caller keeps
    // the connections to cut them at close.
    QList<QMetaObject::Connection> setupFiltersPane();

    // Takes the window's three toolbars out of it and connects their items.
    void setupToolbars();
    // Chooses the window's toolbar and its selected item.
    void rebuildToolbar();
    // Whether a toolbar item (an action named by identifier) is enabled.
    bool validateToolbarItem(const QAction *item);
    QToolBar *installedToolbar() const { return m_installedToolbar; }
    const QList<QToolBar *> &toolbars() const { return m_toolbars; }

private:
    // Lets choose set the active table's view flags, then closes the
    // popovers and refreshes.
    void switchPane(QObject *sender, const std::function<void(DSTable *)> &choose);
    bool installPane(std::unique_ptr<DSStatDocumentViewDelegate> pane, const QString &viewName);
    void installToolbar(QToolBar *toolbar);
    bool filtersPaneCollapsed() const;
    void moveFiltersDivider(int position);
    QSplitter *filtersSplitter() const;

    DSStatDocumentWindow *m_document;
    QPointer<DSStatDocumentViewDelegate> m_summary, m_records, m_pivot, m_model, m_predictor, m_filterSet;
    std::vector<std::unique_ptr<DSStatDocumentViewDelegate>> m_ownedPanes;
    QList<QToolBar *> m_toolbars;
    QPointer<QToolBar> m_installedToolbar;
    double m_lastFiltersPaneHeight = 180;
};
