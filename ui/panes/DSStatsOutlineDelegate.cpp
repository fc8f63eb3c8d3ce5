#include "ui/panes/DSStatsOutlineDelegate.h"

#include "model/DSColumn.h"
#include "model/DSTable.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

#include <algorithm>
#include <limits>

DSStatsOutlineDelegate::DSStatsOutlineDelegate(DSSummaryViewDelegate *owner) : m_owner(owner) {}

void DSStatsOutlineDelegate::attachOutline(QTreeView *outline)
{
    m_outline = outline;
    outline->setModel(this);
    QObject::connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this] { selectionDidChange(); });
}

void DSStatsOutlineDelegate::reloadData()
{
    beginResetModel();
    const qint64 count = m_owner->refreshFilteredColumns();
    endResetModel();
    if (auto *label = m_owner->control<QLabel>("number_of_columns_label")) {
        const DSStatDocumentWindow *document = m_owner->document();
        const DSPlatformNumberFormatter *decimal = document ? document->decimal_formatter() : nullptr;
        const QString number = decimal ? decimal->stringFromNumber(double(count)) : QString::number(count);
        label->setText(count == 1 ? QStringLiteral("1 column") : QStringLiteral("%1 columns").arg(number));
    }
}

int DSStatsOutlineDelegate::rowOfColumn(const DSColumn *column) const
{
    if (!column)
        return -1;
    const qint64 position = m_owner->filteredIndexOfColumnIndex(column->index());
    return position == std::numeric_limits<qint64>::max() ? -1 : int(position);
}

void DSStatsOutlineDelegate::selectColumns(const QList<DSColumn *> &columns, bool extend)
{
    if (!m_outline)
        return;
    QItemSelection rows;
    for (DSColumn *column : columns)
        if (const int row = rowOfColumn(column); row >= 0)
            rows.select(index(row, 0), index(row, columnCount() - 1));
    m_outline->selectionModel()->select(rows, extend ? QItemSelectionModel::Select
                                                     : QItemSelectionModel::ClearAndSelect);
}

void DSStatsOutlineDelegate::updateFilter(const QString &text)
{
    DSTable *table = m_owner->active_table();
    if (!table)
        return;
    table->column_filter_summary = text;
    m_owner->refreshView(nullptr);
    if (const int row = rowOfColumn(table->active_column()); row >= 0 && m_outline)
        m_outline->scrollTo(index(row, 0));
}

void DSStatsOutlineDelegate::selectionDidChange()
{
    DSTable *table = m_owner->active_table();
    if (m_owner->is_refreshing() || !table || !m_outline)
        return;
    QModelIndexList rows = m_outline->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    DSColumnSelection *selection = table->column_selection();
    selection->removeAllColumns();
    for (const QModelIndex &row : rows)
        if (DSColumn *column = m_owner->columnAtFilteredIndex(row.row()))
            selection->addColumn(column);
    m_owner->refreshSummaryViewNoTable(m_outline);
    m_outline->viewport()->update();
}

QModelIndex DSStatsOutlineDelegate::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex DSStatsOutlineDelegate::parent(const QModelIndex &) const
{
    return {};
}

int DSStatsOutlineDelegate::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_owner->numberOfFilteredColumns());
}

int DSStatsOutlineDelegate::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant DSStatsOutlineDelegate::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    DSColumn *column = m_owner->columnAtFilteredIndex(index.row());
    return column ? QVariant(column->longName()) : QVariant();
}

QVariant DSStatsOutlineDelegate::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0)
        return QStringLiteral("Name");
    return {};
}
