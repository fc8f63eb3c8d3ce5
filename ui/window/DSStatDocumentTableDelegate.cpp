#include "ui/window/DSStatDocumentTableDelegate.h"

#include "ui/window/DSDataSourceMimeData.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/panes/ds_italic_font.h"

#include <QFont>
#include <QItemSelectionModel>

#include <algorithm>
#include <set>

DSStatDocumentTableDelegate::DSStatDocumentTableDelegate(DSStatDocumentViewDelegate *owner) : m_owner(owner) {}

DSStatDocumentTableDelegate::~DSStatDocumentTableDelegate()
{
    if (m_table && m_table->model() == this)
        m_table->setModel(nullptr);
}

void DSStatDocumentTableDelegate::setTable(QTableView *table)
{
    m_table = table;
    if (table)
        table->setModel(this);
}

DSTable *DSStatDocumentTableDelegate::active_table() const
{
    DSStatDocumentWindow *document = m_owner ? m_owner->document() : nullptr;
    return document ? document->active_table() : nullptr;
}

bool DSStatDocumentTableDelegate::shouldRearrange() const
{
    return false;
}

QString DSStatDocumentTableDelegate::pasteboardItemType() const
{
    return {};
}

QVariant DSStatDocumentTableDelegate::removeItemAtIndex(int)
{
    return {};
}

void DSStatDocumentTableDelegate::insertItem(const QVariant &, int) {}

void DSStatDocumentTableDelegate::didMoveItems()
{
    if (m_owner)
        m_owner->refreshView(m_table);
}

QColor DSStatDocumentTableDelegate::backgroundColorForRow(int, const QString &, DSStyle *) const
{
    return {};
}

bool DSStatDocumentTableDelegate::shouldBoldfaceRow(int, const QString &) const
{
    return false;
}

bool DSStatDocumentTableDelegate::shouldItalicizeRow(int, const QString &) const
{
    return false;
}

QVariant DSStatDocumentTableDelegate::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QString identifier = columnIdentifier(index.column());
    if (role == Qt::BackgroundRole) {
        const QColor colour = backgroundColorForRow(index.row(), identifier, m_owner ? m_owner->style() : nullptr);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    if (role == Qt::FontRole) {
        const bool bold = shouldBoldfaceRow(index.row(), identifier);
        const bool italic = shouldItalicizeRow(index.row(), identifier);
        if (!bold && !italic)
            return {};
        return ds_cell_font(m_table ? m_table->font() : QFont(), bold, italic);
    }
    return {};
}

Qt::ItemFlags DSStatDocumentTableDelegate::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return shouldRearrange() ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (shouldRearrange())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList DSStatDocumentTableDelegate::mimeTypes() const
{
    const QString type = pasteboardItemType();
    return type.isEmpty() ? QStringList() : QStringList{type};
}

Qt::DropActions DSStatDocumentTableDelegate::supportedDragActions() const
{
    return Qt::CopyAction;
}

Qt::DropActions DSStatDocumentTableDelegate::supportedDropActions() const
{
    return shouldRearrange() ? Qt::MoveAction | Qt::CopyAction : Qt::IgnoreAction;
}

QMimeData *DSStatDocumentTableDelegate::mimeData(const QModelIndexList &indexes) const
{
    const QString type = pasteboardItemType();
    if (!shouldRearrange() || type.isEmpty())
        return nullptr;
    std::set<int> rows;
    for (const QModelIndex &index : indexes)
        rows.insert(index.row());
    QStringList items;
    for (int row : rows)
        items.append(QString::number(row));
    auto *data = new DSDataSourceMimeData(this);
    data->setData(type, items.join(QLatin1Char('\n')).toUtf8());
    return data;
}

bool DSStatDocumentTableDelegate::canDropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                                                  const QModelIndex &parent) const
{
    const bool between = !parent.isValid() || row >= 0;
    return shouldRearrange() && between && DSDataSourceMimeData::isFrom(data, this);
}

bool DSStatDocumentTableDelegate::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                               const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    // A drop past the last row comes without a row.
    const int rows = rowCount();
    const int r = row < 0 || row > rows ? rows : row;
    int target = r;
    QVariantList kept;
    // Rows are taken out in ascending order, each earlier one shifting the
    // later ones up by one.
    int last = -1;
    // The subclass's list changes under the view: it reads every row again.
    beginResetModel();
    const QStringList lines = QString::fromUtf8(data->data(pasteboardItemType())).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        bool ok = false;
        const int b = line.toInt(&ok);
        if (!ok || b <= last || b >= rows)
            continue;
        last = b;
        if (b < r)
            --target;
        kept.append(removeItemAtIndex(b - int(kept.size())));
    }
    for (int i = 0; i < kept.size(); ++i)
        insertItem(kept[i], target + i);
    endResetModel();
    QItemSelection moved;
    for (int i = 0; i < kept.size(); ++i)
        moved.select(index(target + i, 0), index(target + i, std::max(columnCount() - 1, 0)));
    didMoveItems();
    if (m_table && m_table->selectionModel())
        m_table->selectionModel()->select(moved, QItemSelectionModel::ClearAndSelect);
    return true;
}
