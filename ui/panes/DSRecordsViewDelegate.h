#pragma once

#include "model/DSColumn.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

class DSColumn;
class DSCreateDataColumnSheetDelegate;
class DSRecordsTableDelegate;
class DSTable;
class QAbstractButton;
class QLineEdit;

// The records pane: the active table as a grid of the records the row mask
// includes, in the table's sort order. Browsing, it searches columns by
// name, shows category labels and sorts by header clicks; with the table's
// padlock open, cells are typed into and rows are added and dropped.
//
// Main thread only.
class DSRecordsViewDelegate : public DSStatDocumentViewDelegate
{
public:
    DSRecordsViewDelegate();
    ~DSRecordsViewDelegate() override;

    QString nibName() const override;
    void refreshView(QObject *sender) override;
    void teardown() override;

    // Replaces the grid's data columns by the table's; nothing without an
    // active table.
    void rebuildRecordsTable();
    // Rebuilds the grid's columns.
    void columnsDidChange() override { rebuildRecordsTable(); }
    // Selects the columns' whole grid columns and scrolls to the first.
    void revealColumns(const QList<DSColumn *> &columns) override;
    // The record shown in a grid row, or -1.
    int64_t convertRowToIndex(int64_t row) const;
    DSColumn *columnForTableColumnIndex(int gridColumn) const;
    // The columns of the selected grid columns in grid order; with none
    // selected, the table's sort column when it has one.
    QList<DSColumn *> selectedColumns() const override;
    qint64 numberOfSelectedRecords() const;
    DSIndexSet selectedRecords() const;
    // Selects the rows showing those records (others skipped); nothing while
    // a grid column is selected or the grid has no rows.
    void selectRecords(const DSIndexSet &records);

    void toggleEditingTable(bool on);
    void dropSelectedRows();
    void addRow();
    void toggleShowCategoryLabels(bool on);
    // Opens the add-column sheet on the document's window.
    void addColumn();
    void updateFilter(const QString &text);
    // Tab past the last cell of the last row: a new record, then editing
    // goes on in its first editable cell.
    void addRecordAndEdit(int gridColumn);
    // Deletes the table columns of the selected grid columns; false when
    // none is selected (the record number alone does not count).
    bool deleteSelectedColumns();

    DSTable *active_table() const;
    DSRecordsTableView *records_table() const { return m_table; }
    DSRecordsTableDelegate *records_table_delegate() const { return m_model.get(); }
    DSCreateDataColumnSheetDelegate *create_column_sheet_delegate() const { return m_createColumnSheet.get(); }

protected:
    void didLoadNib() override;

private:
    void refreshControls(DSTable *table);
    // The grid and its header forget the pane and its data.
    void detachViews();
    void connectButton(const QString &name, std::function<void(bool)> action);
    // A header section dragged from one grid position to another.
    void columnMoved(int from, int to);

    std::unique_ptr<DSRecordsTableDelegate> m_model;
    std::unique_ptr<DSCreateDataColumnSheetDelegate> m_createColumnSheet;
    QPointer<DSRecordsTableView> m_table;
    QPointer<QLineEdit> m_filterField;
    bool m_rebuilding = false;
};
