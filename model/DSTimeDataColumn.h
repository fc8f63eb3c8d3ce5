#pragma once

#include "model/DSStoredColumn.h"
#include "model/DSTimeColumn.h"

#include <QByteArray>

// The time column whose values and intervals are stored in the document.
//
// Stored form: "time_values" and "time_intervals" hold the zlib streams of
// k doubles each, little-endian, in row order; a time-of-day column stores
// seconds since midnight. Rows k and above, up to the table's row count,
// read as missing (NaN, interval 0). An empty row has interval 0.
//
// Its life cycle (import, decode, cell edits held until the document
// saves, fault) is DSStoredColumn's. Decoded are the inflated arrays (the
// column's own copies, which a cell edit writes in place), the NaN mask and
// the calendar dates. The import buffers are temp_time_values and
// temp_time_intervals; a row change (dropRows, addRows) and an edit outside
// a context rewrite both stored arrays.
//
// Undo of a cell edit records the row, its old value and interval only,
// through the context's undo manager; undoing it is a cell edit in turn.
class DSTimeDataColumn : public DSStoredColumn<DSTimeColumn>
{
public:
    DSTimeDataColumn();
    ~DSTimeDataColumn() override;

    using DSTimeColumn::getTimeValues;
    using DSTimeColumn::getGregorianDates;

    QByteArray time_values() const { return dataForKey(QStringLiteral("time_values")); }
    QByteArray time_intervals() const { return dataForKey(QStringLiteral("time_intervals")); }

    // Stores empty data.
    void awakeFromInsert() override;
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;

    // The inflated arrays and their count (cut to the table's rows).
    qint64 getTimeValues(const double **values, const double **intervals) override;
    // The whole column's calendar cache from offset on.
    qint64 getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps, qint64 offset,
                             qint64 limit) override;

    // Filling. Appends one row; a time-of-day column keeps the value's
    // seconds since midnight. Buffers start at 4,096 rows and double. False
    // on allocation failure ("Error in malloc()" or "Error in realloc()"
    // logged), the row not added.
    bool appendTimeValue(double value, double interval);
    bool appendEmptyValue() override { return appendTimeValue(NAN, 0); }
    // Pads with empty rows up to the table's row count, then saves.
    bool saveAfterImport() override;

    // Editing (refused, logged, when the column is damaged), each called
    // before the table changes its row count; rows outside the table are
    // ignored. Each purges this column and everything derived from it. An
    // edit that cannot be stored ("Error in malloc()" or "Error compressing
    // data" logged) changes nothing.
    void dropRows(const DSIndexSet &rows) override;
    void addRows(qint64 n) override;
    // Makes the row's value and interval the given ones (a time of day
    // reduced as when appending). In a context the decoded arrays change and
    // the column counts as unsaved; outside one both stored arrays are
    // rewritten. False, changing nothing, for a row outside the table or
    // when memory runs out.
    bool replaceTimeValueAtIndex(qint64 row, double value, double interval);

    QString name() const override { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) override { setPrimitiveValue(name, QStringLiteral("name")); }
    // Unless damaged.
    bool isEditable() const override { return isSound(); }

protected:
    // Inflates the stored arrays (at most the table's rows), marks NaN rows
    // and the rows past the stored ones in the NaN mask, and fills the
    // calendar dates. Arrays that do not read back whole (see
    // ds_inflate_stored_doubles) or that the store could not read make the
    // column damaged: no rows, every row missing.
    void decode() override;
    void releaseDecoded() override;
    bool followsRowCount() const override { return m_edited; }
    void scanMissingRows() override;
    QByteArray importedArray(size_t key) const override;
    void releaseImportBuffers() override;
    std::optional<QByteArray> editedArray(size_t key) const override;

private:
    // Fills the buffers with exactly n rows: the stored ones, then empty.
    bool loadEditBuffers(qint64 n);
    // Makes the decoded arrays cover at least n rows (NaN values and zero
    // intervals past the stored ones). False when memory runs out.
    bool coverRows(qint64 n);
    // Writes the stored value and the interval at row of the decoded arrays,
    // keeps the mask and the calendar dates in step, marks the column
    // unsaved, purges and registers the undo of the cell.
    bool editCell(qint64 row, double value, double interval);
    // The value as stored: seconds since midnight for a time-of-day column.
    double storedValue(double value) const;

    DSColumnBuffer<double> m_values;
    DSColumnBuffer<double> m_intervals;
    qint64 m_count = 0;
    // A cell edit wrote the decoded arrays: they are the column's data.
    bool m_edited = false;
};
