#include "ui/panes/DSRecordsTableView.h"

#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSOnActivation.h"

#include <QKeyEvent>
#include <QPointer>

#include <functional>
#include <utility>
#include <QLineEdit>

DSRecordsTableView::DSRecordsTableView(QWidget *parent) : DSTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
}

int DSRecordsTableView::firstEditableColumn(int row) const
{
    for (int c = 0; c < model()->columnCount(); ++c)
        if (!isColumnHidden(c) && model()->flags(model()->index(row, c)) & Qt::ItemIsEditable)
            return c;
    return -1;
}

int DSRecordsTableView::lastEditableColumn(int row) const
{
    for (int c = model()->columnCount() - 1; c >= 0; --c)
        if (!isColumnHidden(c) && model()->flags(model()->index(row, c)) & Qt::ItemIsEditable)
            return c;
    return -1;
}

void DSRecordsTableView::editCell(int row, int column)
{
    const QModelIndex cell = model()->index(row, column);
    if (!cell.isValid())
        return;
    selectRow(row);
    scrollTo(cell);
    setCurrentIndex(cell);
    edit(cell);
    // Closed editors linger until deleted later: the open one is shown.
    for (auto *field : viewport()->findChildren<QLineEdit *>())
        if (field->isVisible())
            field->selectAll();
}

void DSRecordsTableView::editCellWhenActive(int row, int column)
{
    if (isActiveWindow())
        return editCell(row, column);
    QPointer<DSRecordsTableView> grid(this);
    new DSOnActivation(window(), [grid, row, column] {
        if (grid)
            grid->editCell(row, column);
    });
    window()->activateWindow();
}

void DSRecordsTableView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
const QModelIndex current = currentIndex();
    const int rows = model()->rowCount(), row = current.row(), column = current.column();
    // The view's own moves skip our rules: it ends the edit and we move.
    DSTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (!current.isValid())
        return;
    switch (hint) {
    case QAbstractItemDelegate::SubmitModelCache: {  // Return
        if (row >= rows - 1)
            return;
        const QString below = model()->index(row + 1, column).data(Qt::EditRole).toString();
        if (below.isEmpty())
            editCell(row + 1, column);
        return;
    }
    case QAbstractItemDelegate::EditPreviousItem: {  // Backtab
        if (row > 0 && column == firstEditableColumn(row)) {
            const int last = lastEditableColumn(row - 1);
            editCell(row - 1, last < 0 ? model()->columnCount() - 1 : last);
        } else if (column > 0) {
            for (int c = column - 1; c >= 0; --c)
                if (!isColumnHidden(c) && model()->flags(model()->index(row, c)) & Qt::ItemIsEditable)
                    return editCell(row, c);
        }
        return;
    }
    case QAbstractItemDelegate::EditNextItem: {  // Tab
        if (column < model()->columnCount() - 1) {
            for (int c = column + 1; c < model()->columnCount(); ++c)
                if (!isColumnHidden(c) && model()->flags(model()->index(row, c)) & Qt::ItemIsEditable)
                    return editCell(row, c);
            return;
        }
        if (row == rows - 1 && m_pane)
            m_pane->addRecordAndEdit(-1);
        else {
            const int first = firstEditableColumn(row + 1);
            editCell(row + 1, first < 0 ? 1 : first);
        }
        return;
    }
    default:
        return;
    }
}

void DSRecordsTableView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && state() != EditingState && m_pane &&
        m_pane->deleteSelectedColumns()) {
        event->accept();
        return;
    }
    DSTableView::keyPressEvent(event);
}
