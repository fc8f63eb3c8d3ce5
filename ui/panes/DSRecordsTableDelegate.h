#pragma once

#include "model/DSRowMask.h"
#include "ui/panes/DSRecordIndex.h"

#include <QAbstractTableModel>
#include <QLabel>
#include <QList>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <vector>

class DSColumn;
class DSDurationFormatter;
class DSRecordsViewDelegate;
class DSTable;

// The records grid's data: one row per record of the pane's record index,
// column 0 the record number ("index"), then one grid column per column of
// the table, whose identifier (Qt::UserRole of the header) is "column" and
// the column's index.
//
// The grid never asks the table per cell: reload() fetches the columns and
// their formatters, rebuilds the record index only when what it depends on
// moved, and data() is then a read of one value.
//
// Main thread only.
class DSRecordsTableDelegate : public QAbstractTableModel
{
public:
    // The pane is not owned and outlives the delegate.
    explicit DSRecordsTableDelegate(DSRecordsViewDelegate *pane);
    ~DSRecordsTableDelegate() override;

    static QString identifierForColumn(const DSColumn *column);
    // The number of an identifier "column%d", or -1 for any other.
    static int64_t numberOfIdentifier(const QString &identifier);

    // Refetches the columns, rebuilds the record index when its key moved
    // and tells the views: a reset when the rows or columns changed, else
    // every cell changed. Sets the count label. Returns the row count.
    int64_t reload();
    const DSRecordIndex &recordIndex() const { return m_index; }

    // The text of a cell by identifier ("index" or "column%d") and grid row;
    // a null text when there is no value (the grid shows "-").
    QString objectValueForColumnIdentifier(const QString &identifier, int64_t row) const;
    // The table column of a grid column (0 is the record number: null).
    DSColumn *columnAtGridColumn(int gridColumn) const;
    int gridColumnOfColumn(const DSColumn *column) const;

    bool is_rebuilding() const { return m_isRebuilding; }
    void setIs_rebuilding(bool on) { m_isRebuilding = on; }
    void setNumber_of_records_label(QLabel *label) { m_countLabel = label; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A header click: stores the sort column and direction in the table,
    // refreshes the pane and selects the same records in their new rows.
    void sort(int column, Qt::SortOrder order) override;

    // Parses a typed value and stores it in the record of the row; false
    // when the column is not a stored one or the row shows no record.
    bool storeText(int gridColumn, int64_t row, const QString &text);

private:
    struct IndexKey
    {
        const DSTable *table = nullptr;
        int64_t records = -1;
        // A rebuilt mask is a new snapshot, so a key holding the old one
        // differs from the next.
        DSRowMaskRef mask;
        const DSColumn *sortColumn = nullptr;
        uint64_t sortVersion = 0;
        bool ascending = true;
        bool operator==(const IndexKey &) const = default;
    };

    DSTable *table() const;
    bool editing() const;
    int64_t rebuildIndexIfNeeded();
    QString cellText(DSColumn *column, int64_t record) const;
    QString numericText(DSColumn *column, int64_t record) const;
    QString timeText(DSColumn *column, int64_t record) const;
    QString textText(DSColumn *column, int64_t record) const;
    QString indicatorText(DSColumn *column, int64_t record) const;
    void updateCountLabel();

    DSRecordsViewDelegate *m_pane;
    QPointer<QLabel> m_countLabel;
    QList<DSColumn *> m_columns;
    std::vector<std::unique_ptr<DSDurationFormatter>> m_formatters;  // per column, numeric only
    DSRecordIndex m_index;
    IndexKey m_key;
    int64_t m_rows = 0;
    bool m_isRebuilding = false;
};
