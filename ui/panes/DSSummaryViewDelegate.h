#pragma once

#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTreeView>

#include <memory>

class DSBottomLineViewDelegate;
class DSColumn;
class DSShortNumberFormatter;
class DSSmallNumberFormatter;
class DSStatsOutlineDelegate;
class DSStyle;
class DSTable;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSplitter;

class QWidget;

// The summary pane: the active table's columns one by one. A searchable
// list of the columns beside the graphics pane, whose option views change
// how the selection is treated and drawn, the bottom line with the test
// conclusion, and the controls that start model building.
//
// The pane keeps no statistics: the selection lives in the table, options in
// table and column attributes, statistics in the columns' caches. Its own
// state is the filtered column list, the graphics pane's last width and two
// formatters. The picture, the covariate pane, the censoring popover and the
// column-format inspector are not part of it yet: their calls do nothing.
//
// Main thread only.
class DSSummaryViewDelegate : public DSStatDocumentViewDelegate
{
public:
    DSSummaryViewDelegate();
    ~DSSummaryViewDelegate() override;

    QString nibName() const override;
    void teardown() override;

    // Full refresh: search text, outline reload, its selection, then the
    // controls. Guarded by is_refreshing().
    void refreshView(QObject *sender) override;
    // Everything but the outline's rows.
    void refreshSummaryViewNoTable(QObject *sender);
    // Selects in the outline what the table's column selection holds.
    void refreshSummaryTableSelection(QObject *sender);
    void refreshTheBottomLine(QObject *sender);
    void refreshBuildModelControls(QObject *sender);
    void refreshTutorial(QObject *sender);
    void refreshTreatAsCategoriesButton(QObject *sender);
    void refreshTimeResolutionButton(QObject *sender);
    void refreshHistogramBinSizeLabel(QObject *sender);
    void refreshCensoringLabel(QObject *sender);
    void refreshConfidenceViews(QObject *sender);

    // The filtered column list: the index of each listed column in list
    // order. refreshFilteredColumns() rebuilds it from the table's search
    // text, drops hidden columns from the column selection and answers the
    // count.
    qint64 refreshFilteredColumns();
    qint64 numberOfFilteredColumns() const { return m_filteredColumns.size(); }
    // The listed column at the position, or null outside the list.
    DSColumn *columnAtFilteredIndex(qint64 position) const;
    // The index of that column, or -1 outside the list.
    qint64 columnIndexAtFilteredIndex(qint64 position) const;
    // The position of the column index in the list, or the largest qint64
    // when it is not listed.
    qint64 filteredIndexOfColumnIndex(qint64 index) const;

    // Selection services.
    QList<DSColumn *> selectedColumns() const override;
    QList<DSColumn *> clickedOrSelectedColumns() const override;
    // Selects the columns' rows in the outline and scrolls to the first.
    void revealColumns(const QList<DSColumn *> &columns) override;
    void deselectAllColumns();
    // After the store deleted the column that had this index (-1: several):
    // selects the column that moved into its place, else the new last one.
    // An index that was not listed selects nothing.
    void didDeleteColumnAtIndex(qint64 index);
    void scrollSummaryTablesToSelectedRows(QObject *sender);
    DSStyle *previewStyle() { return style(); }

    // The graphics pane beside the list.
    void showHideSummaryGraphics(QObject *sender);
    void showSummaryGraphics();
    void hideSummaryGraphics();
    bool graphicsPaneCollapsed() const;

    // Actions of the pane's controls.
    void selectHistogramResolutionLevel(QSlider *sender);
    void selectContinuousDistribution(QComboBox *sender);
    void selectTimeResolution(QComboBox *sender);
    void toggleTreatAsCategoriesForSelectedColumns(QObject *sender);
    void toggleTreatAsSurvivalTimesForSelectedColumns(QObject *sender);
    void setDataType(QComboBox *sender);
    void toggleShowMissing(QAbstractButton *sender);
    void toggleRepeatedMeasures(QAbstractButton *sender);
    void setConfidenceLevel(QSlider *sender);
    void toggleBuildModelUnlocked(QAbstractButton *sender);
    void showCensoringPopover(QObject *sender);
    void openBuildModelHelp(QObject *sender);
    void showHideFormattingOptions(QObject *sender);

    // The censoring label's text for a fraction f of censored rows, and
    // whether it reads grey (no censored row).
    static QString censoringText(double f, bool *grey);

    DSTable *active_table() const;
    QTreeView *stats_table() const { return m_statsTable; }
    DSStatsOutlineDelegate *stats_outline_delegate() const { return m_outline.get(); }
    DSBottomLineViewDelegate *the_bottom_line_delegate() const { return m_bottomLine.get(); }
    QWidget *summary_view() const { return m_summaryView; }
    double lastGraphicsPaneWidth() const { return m_lastGraphicsPaneWidth; }
    // The control named by an outlet of the interface file, or null.
    template <class T>
    T *control(const char *name) const
    {
        return outlet<T>(QString::fromLatin1(name));
    }

protected:
    void didLoadNib() override;
    void unregisterObservers() override;

private:
    // Shows exactly the named option view (none for null).
    void showOptionView(const char *name);
    void connectControls();
    QWidget *view(const char *name) const { return control<QWidget>(name); }
    void setVisible(const char *name, bool visible) const;
    void moveGraphicsDivider(int position);

    std::unique_ptr<DSShortNumberFormatter> m_bigFormatter;
    std::unique_ptr<DSSmallNumberFormatter> m_lilFormatter;
    std::unique_ptr<DSStatsOutlineDelegate> m_outline;
    std::unique_ptr<DSBottomLineViewDelegate> m_bottomLine;
    QList<qint64> m_filteredColumns;
    double m_lastGraphicsPaneWidth = 0;
    QPointer<QWidget> m_summaryView;
    QPointer<QTreeView> m_statsTable;
    QPointer<QSplitter> m_splitter;
    QMetaObject::Connection m_splitterObserver;
};
