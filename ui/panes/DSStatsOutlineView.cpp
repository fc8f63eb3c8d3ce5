#include "ui/panes/DSStatsOutlineView.h"

#include "ui/panes/DSStatsOutlineDelegate.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace {

// The cell editor of the outline: records how each edit ends in the data
// source before the base commits the edit, so the data source's setData()
// knows whether Return ended it.
class StatsCellEditor : public QStyledItemDelegate
{
public:
    explicit StatsCellEditor(DSStatsOutlineView *view) : QStyledItemDelegate(view), m_view(view) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        // The cell may draw in grey or a highlight; the typed text does not.
        if (editor) {
            QPalette palette = editor->palette();
            palette.setColor(QPalette::Text, QPalette().color(QPalette::Text));
            editor->setPalette(palette);
        }
        if (DSStatsOutlineDelegate *outline = m_view->outlineDelegate())
            outline->setText_movement(DSStatsOutlineDelegate::k_otherTextMovement);
        return editor;
    }

protected:
    bool eventFilter(QObject *editor, QEvent *event) override
    {
        DSStatsOutlineDelegate *outline = m_view->outlineDelegate();
        if (outline && event->type() == QEvent::KeyPress) {
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                outline->setText_movement(DSStatsOutlineDelegate::k_returnTextMovement);
                break;
            case Qt::Key_Tab:
                outline->setText_movement(DSStatsOutlineDelegate::k_tabTextMovement);
                break;
            case Qt::Key_Backtab:
                outline->setText_movement(DSStatsOutlineDelegate::k_backtabTextMovement);
                break;
            case Qt::Key_Escape:
                outline->setText_movement(DSStatsOutlineDelegate::k_cancelTextMovement);
                break;
            default:
                break;
            }
        } else if (outline && event->type() == QEvent::FocusOut) {
            outline->setText_movement(DSStatsOutlineDelegate::k_otherTextMovement);
        }
        return QStyledItemDelegate::eventFilter(editor, event);
    }

private:
    DSStatsOutlineView *m_view;
};

} // namespace

DSStatsOutlineView::DSStatsOutlineView(QWidget *parent) : QTreeView(parent)
{
    setItemDelegate(new StatsCellEditor(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformRowHeights(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // The outline draws no focus ring.
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFrameShape(QFrame::NoFrame);
}

DSStatsOutlineDelegate *DSStatsOutlineView::outlineDelegate() const
{
    return dynamic_cast<DSStatsOutlineDelegate *>(model());
}

void DSStatsOutlineView::delete_()
{
    if (DSStatsOutlineDelegate *outline = outlineDelegate())
        outline->deleteSelectedColumns();
}

void DSStatsOutlineView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool moves = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    QTreeView::closeEditor(editor, moves ? QAbstractItemDelegate::NoHint : hint);
}

void DSStatsOutlineView::keyPressEvent(QKeyEvent *event)
{
    if (state() != EditingState && (event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace)) {
        delete_();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void DSStatsOutlineView::dragEnterEvent(QDragEnterEvent *event)
{
    if (DSStatsOutlineDelegate *outline = outlineDelegate()) {
        outline->setIs_dragging(true);
        outline->setDropPoint(event->position().toPoint());
    }
    QTreeView::dragEnterEvent(event);
}

void DSStatsOutlineView::dragMoveEvent(QDragMoveEvent *event)
{
    if (DSStatsOutlineDelegate *outline = outlineDelegate())
        outline->setDropPoint(event->position().toPoint());
    QTreeView::dragMoveEvent(event);
}

void DSStatsOutlineView::dragLeaveEvent(QDragLeaveEvent *event)
{
    if (DSStatsOutlineDelegate *outline = outlineDelegate())
        outline->setIs_dragging(false);
    QTreeView::dragLeaveEvent(event);
}

void DSStatsOutlineView::dropEvent(QDropEvent *event)
{
    if (DSStatsOutlineDelegate *outline = outlineDelegate())
        outline->setDropPoint(event->position().toPoint());
    QTreeView::dropEvent(event);
    if (DSStatsOutlineDelegate *outline = outlineDelegate())
        outline->setIs_dragging(false);
}
