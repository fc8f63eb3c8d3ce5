#pragma once

#include "model/DSDataColumn.h"
#include "model/DSStoredColumnState.h"
#include "model/DSTimeColumn.h"

#include <QByteArray>

// The time column whose values and intervals are stored in the document.
//
// Stored form: "time_values" and "time_intervals" hold the zlib streams of
// k doubles each, little-endian, in row order; a time-of-day column stores
// seconds since midnight. Rows k and above, up to the table's row count,
// read as missing (NaN, interval 0). An empty row has interval 0.
//
// States as for stored numeric columns: importing (rows appended into the
// buffers, nothing stored yet); encoded; decoded (the inflated arrays, the
// NaN mask and the calendar dates held from the first reader until the next
// save, teardown or fault). Every edit rewrites both arrays, saves and
// purges the column and everything computed from it.
class DSTimeDataColumn : public DSTimeColumn, public DSDataColumn
{
public:
    DSTimeDataColumn();
    ~DSTimeDataColumn() override;

    using DSTimeColumn::getMissingMask;
    using DSTimeColumn::getTimeValues;
    using DSTimeColumn::getGregorianDates;

    QByteArray time_values() const { return dataForKey(QStringLiteral("time_values")); }
    QByteArray time_intervals() const { return dataForKey(QStringLiteral("time_intervals")); }

    // Stores empty data.
    void awakeFromInsert() override;
    void didTurnIntoFault() override;
    // Inflates the stored arrays (at most the table's rows), marks NaN rows
    // and the rows past the stored ones in the NaN mask, and fills the
    // calendar dates. Arrays that do not read back whole (see
    // ds_inflate_stored_doubles) or that the store could not read make the
    // column damaged: no rows, every row missing.
    void setup();
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;
    // A damaged column takes no edit (refused, logged): its stored bytes
    // stay as they were.
    bool isDamaged() override;
    // Releases the inflated arrays and the NaN mask, and purges.
    void teardown() override;
    // Where the column is in its life cycle (DSStoredColumnState); a time
    // column takes no cell edit in memory, so never Editing, Edited or Saving.
    DSStoredColumnState storedState() const;

    // The inflated arrays and their count (cut to the table's rows).
    qint64 getTimeValues(const double **values, const double **intervals) override;
    // The whole column's calendar cache from offset on.
    qint64 getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps, qint64 offset,
                             qint64 limit) override;
    // Without the predicate applied the NaN mask itself (null and 0 when no
    // row is missing); with it the shared mask with the NaN mask ORed in.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

    // Filling. Appends one row; a time-of-day column keeps the value's
    // seconds since midnight. Buffers start at 4,096 rows and double. False
    // on allocation failure ("Error in malloc()" or "Error in realloc()"
    // logged), the row not added.
    bool appendTimeValue(double value, double interval);
    bool appendEmptyValue() override { return appendTimeValue(NAN, 0); }
    // Pads with empty rows up to the table's row count, then saves.
    bool saveAfterImport() override;
    // Deflates the used rows of both buffers into the stored attributes,
    // empties the buffers and tears down. False when deflating fails: the
    // buffers are kept and nothing is stored.
    bool save() override;

    // Editing, each called before the table changes its row count; rows
    // outside the table are ignored. An edit that cannot be stored changes
    // nothing.
    void dropRows(const DSIndexSet &rows) override;
    void addRows(qint64 n) override;
    // Stores the row (a time of day reduced as when appending). False for a
    // row outside the table or an edit that cannot be stored.
    bool replaceTimeValueAtIndex(qint64 row, double value, double interval);

    QString name() const override { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) override { setPrimitiveValue(name, QStringLiteral("name")); }
    // Unless damaged.
    bool isEditable() const override { return isSound(); }

private:
    void ensureDecoded();
    // Fills the buffers with exactly n rows: the stored ones, then empty.
    bool loadEditBuffers(qint64 n);
    bool finishEdit();
    // The value as stored: seconds since midnight for a time-of-day column.
    double storedValue(double value) const;

    QByteArray m_decodedValuesFrom, m_decodedIntervalsFrom;
    qint64 m_decodedRows = 0;
    bool m_decoded = false;
    // Rows have been appended, or loaded for a row change, for save().
    bool m_loaded = false;
    bool m_damaged = false;
    DSColumnBuffer<double> m_values;
    DSColumnBuffer<double> m_intervals;
    qint64 m_count = 0;
    DSColumnBuffer<uint8_t> temp_nan_mask;
};
