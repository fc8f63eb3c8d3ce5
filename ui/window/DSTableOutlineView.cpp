#include "ui/window/DSTableOutlineView.h"

#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>

namespace {

using Operation = DSTableOutlineDelegate::Operation;
using Source = DSTableOutlineDelegate::Source;

Qt::DropAction dropAction(Operation operation, Source source)
{
    if (operation == Operation::None)
        return Qt::IgnoreAction;
    return operation == Operation::Every && source == Source::ThisSidebar ? Qt::MoveAction : Qt::CopyAction;
}

} // namespace

DSStatDocumentWindow *DSTableOutlineView::document() const
{
    return m_document;
}

DSTableOutlineView::DSTableOutlineView(QWidget *parent) : QTreeView(parent), m_delegate(new DSTableOutlineDelegate(this))
{
    setModel(m_delegate);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { m_collapsed.insert(DSTableOutlineDelegate::itemAtIndex(index)); });
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { m_collapsed.remove(DSTableOutlineDelegate::itemAtIndex(index)); });
}

void DSTableOutlineView::setDocument(DSStatDocumentWindow *document)
{
    m_document = document;
    m_delegate->setDocument(document);
    m_collapsed.clear();
    reloadData();
}

void DSTableOutlineView::reloadData()
{
    const QScopedValueRollback<bool> mirroring(m_mirroring, true);
    DSManagedObject *selected = selectedItem();
    const QSet<const void *> collapsed = m_collapsed;
    m_delegate->reload();
    for (int row = 0; row < m_delegate->rowCount(); ++row) {
        const QModelIndex index = m_delegate->index(row, 0);
        if (!collapsed.contains(DSTableOutlineDelegate::itemAtIndex(index)))
            expand(index);
    }
    m_collapsed = collapsed;
    selectItem(selected);
}

void DSTableOutlineView::selectItem(DSManagedObject *item)
{
    const QScopedValueRollback<bool> mirroring(m_mirroring, true);
    const QModelIndex index = m_delegate->indexOfItem(item);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clearSelection();
}

DSManagedObject *DSTableOutlineView::selectedItem() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : DSTableOutlineDelegate::itemAtIndex(rows.first());
}

void DSTableOutlineView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    if (!m_mirroring)
        m_delegate->activateItem(selectedItem());
}

void DSTableOutlineView::deleteSelected()
{
    DSManagedObject *item = selectedItem();
    if (!item) {
        // Nothing to delete: the active table stays as it was.
        if (m_document)
            m_document->beep();
        return;
    }
    deleteItem(item);
}

bool DSTableOutlineView::deleteItem(DSManagedObject *item)
{
    auto *table = ds_object_cast<DSTable>(item);
    auto *model = ds_object_cast<DSRegressionModel>(item);
    if (!m_document || (!table && !model) || item->integerForKey(QStringLiteral("index")) < 0) {
        if (m_document)
            m_document->beep();
        return false;
    }
    DSDataRoot *root = m_document->data_root();
    DSManagedObjectContext *context = m_document->managedObjectContext();
    m_document->setIs_updating(true);
    const qint64 i = item->integerForKey(QStringLiteral("index"));
    DSTable *active = m_document->active_table();
    DSTable *owner = model ? model->table() : nullptr;
    const bool wasActiveModel = owner && owner->active_model() == model;
    context->deleteObject(item);
    context->processPendingChanges();
    if (table == active)
        active = root->tableAtIndex(i) ? root->tableAtIndex(i) : root->tableAtIndex(i - 1);
    if (wasActiveModel) {
        DSManagedObject *next = owner->regressionModelAtIndex(i) ? owner->regressionModelAtIndex(i)
                                                                 : owner->regressionModelAtIndex(i - 1);
        owner->setActive_model(ds_object_cast<DSRegressionModel>(next));
        if (!next)
            owner->setShowTable(true);
    }
    m_document->setActive_table(active);
    m_document->setIs_updating(false);
    if (active) {
        if (auto *records = dynamic_cast<DSRecordsViewDelegate *>(m_document->records_delegate()))
            records->rebuildRecordsTable();
        m_document->refreshFiltersWithButtons(this);
    }
    m_document->refreshView(this);
    return true;
}

bool DSTableOutlineView::duplicateItem(DSManagedObject *item)
{
    auto *table = ds_object_cast<DSTable>(item);
    auto *model = ds_object_cast<DSRegressionModel>(item);
    if (!m_document || (!table && !model))
        return false;
    DSDataRoot *root = m_document->data_root();
    DSError error;
    DSManagedObject *copy = root->duplicateManagedObject(item, &error);
    if (!copy) {
        m_document->presentError(error);
        return false;
    }
    if (table) {
        root->insertTable(ds_object_cast<DSTable>(copy), table->index() + 1);
        ds_object_cast<DSTable>(copy)->setData_root(root);
    } else if (DSTable *owner = model->table()) {
        owner->insertRegressionModel(copy, model->index() + 1);
        copy->setObject(owner, QStringLiteral("table"));
    }
    m_document->managedObjectContext()->processPendingChanges();
    m_document->refreshView(this);
    return true;
}

QMenu *DSTableOutlineView::contextMenuForRow(const QModelIndex &index)
{
    DSManagedObject *item = DSTableOutlineDelegate::itemAtIndex(index);
    const bool isModel = ds_object_cast<DSRegressionModel>(item);
    auto *menu = new QMenu(this);
    QAction *duplicate = menu->addAction(isModel ? tr("Duplicate Model") : tr("Duplicate Table"));
    QAction *remove = menu->addAction(isModel ? tr("Delete Model") : tr("Delete Table"));
    duplicate->setEnabled(item);
    remove->setEnabled(item);
    connect(duplicate, &QAction::triggered, this, [this, item] { duplicateItem(item); });
    connect(remove, &QAction::triggered, this, [this, item] { deleteItem(item); });
    return menu;
}

void DSTableOutlineView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && state() != EditingState) {
        deleteSelected();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void DSTableOutlineView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = contextMenuForRow(indexAt(event->pos()));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

Source DSTableOutlineView::sourceKind(const QObject *source) const
{
    if (!source)
        return Source::Other;
    if (source == this)
        return Source::ThisSidebar;
    if (qobject_cast<const DSTableOutlineView *>(source))
        return Source::OtherSidebar;
    if (dynamic_cast<const DSRecordsTableView *>(source))
        return Source::RecordsGrid;
    if (source->inherits("DSStatsOutlineView"))
        return Source::StatsOutline;
    if (source->inherits("DSOutcomeOutlineView"))
        return Source::OutcomeOutline;
    return Source::Other;
}

std::pair<QModelIndex, int> DSTableOutlineView::dropTarget(const QPoint &point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return {QModelIndex(), m_delegate->rowCount()};
    const QRect rect = visualRect(index);
    const int margin = std::max(2, rect.height() / 4);
    if (point.y() < rect.top() + margin)
        return {index.parent(), index.row()};
    if (point.y() > rect.bottom() - margin)
        return {index.parent(), index.row() + 1};
    return {index, -1};
}

Operation DSTableOutlineView::validate(QDropEvent *event) const
{
    const auto [parent, row] = dropTarget(event->position().toPoint());
    return m_delegate->validateDrop(event->mimeData(), sourceKind(event->source()), parent, row);
}

void DSTableOutlineView::dragEnterEvent(QDragEnterEvent *event)
{
    event->acceptProposedAction();
}

void DSTableOutlineView::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeView::dragMoveEvent(event);
    const Qt::DropAction action = dropAction(validate(event), sourceKind(event->source()));
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void DSTableOutlineView::dropEvent(QDropEvent *event)
{
    const auto [parent, row] = dropTarget(event->position().toPoint());
    const Source source = sourceKind(event->source());
    if (m_delegate->acceptDrop(event->mimeData(), source, parent, row)) {
        // A move inside this sidebar is done: the drag must not remove the
        // row again at its source.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}
