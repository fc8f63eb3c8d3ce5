#pragma once

#include <QAbstractItemModel>
#include <QList>

class DSColumn;
class DSSummaryViewDelegate;
class QTreeView;

// The data source of the summary pane's column list: one row per column of
// the pane's filtered list, showing its name. The selection of rows is the
// table's column selection: a user's selection rebuilds it, and the pane's
// own mirroring of it (while the pane refreshes) is ignored.
//
// Main thread only. The owner (not owned) outlives the data source.
class DSStatsOutlineDelegate : public QAbstractItemModel
{
public:
    explicit DSStatsOutlineDelegate(DSSummaryViewDelegate *owner);

    // Shows the model in the outline and follows its selection.
    void attachOutline(QTreeView *outline);
    // Rebuilds the pane's filtered list and every row from it.
    void reloadData();
    // Selects the rows of those listed columns (others skipped), adding to
    // the selection or replacing it.
    void selectColumns(const QList<DSColumn *> &columns, bool extend);
    // The search field's action: the table's search text, a pane refresh,
    // then the active column scrolled to when it is still listed.
    void updateFilter(const QString &text);
    // The outline row of the column, or -1 when it is not listed.
    int rowOfColumn(const DSColumn *column) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void selectionDidChange();

    DSSummaryViewDelegate *m_owner;
    QTreeView *m_outline = nullptr;
};
