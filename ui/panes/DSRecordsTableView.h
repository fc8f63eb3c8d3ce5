#pragma once

#include "ui/panes/DSTableView.h"


class DSRecordsViewDelegate;

// The records grid: Return, Tab and Backtab move editing on between cells
// as a spreadsheet does, and Delete removes the selected columns.
class DSRecordsTableView : public DSTableView
{
public:
    explicit DSRecordsTableView(QWidget *parent = nullptr);

    void setRecords_delegate(DSRecordsViewDelegate *pane) { m_pane = pane; }
    // Starts editing a cell with its text selected, its row selected alone.
    void editCell(int row, int column);
    // The same once the grid's window is active: at once when it is, else
    // when it next becomes active (a sheet closing hands activation back
    // later, and the focus it takes back would end an edit started before).
    void editCellWhenActive(int row, int column);

protected:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The first (last) grid column shown that may be edited in the row, or
    // -1.
    int firstEditableColumn(int row) const;
    int lastEditableColumn(int row) const;

    DSRecordsViewDelegate *m_pane = nullptr;  // cleared by the pane's teardown
};
