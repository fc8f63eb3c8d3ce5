#pragma once

#include "import/DSColumnSlots.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <unordered_map>

class DSDataTable;
class DSObjectPool;

// One cell of a workbook as both Excel readers hand it over: what the file
// says it is, its number (NaN when it has none), its text form and the code
// of its number format (null when it has none; the empty code is a code).
struct DSSpreadsheetCell
{
    enum Kind { Empty, Number, Boolean, Text };
    Kind kind = Empty;
    double number = 0;
    const char *text = "";
    const char *format = nullptr;
};

// The columns of one worksheet being imported: the header's slots, the
// table they go into, and the rules both Excel readers share for a
// column's kind (by its first non-empty cell) and for turning a cell into
// the column's value.
//
// A number cell makes a numeric column, unless its format shows a date or
// a time: then a time column, of times of day when the format shows
// nothing coarser than hours. A numeric column takes the format's digits
// and style (a duration stores seconds); a boolean one is treated as
// categories labelled FALSE and TRUE. Any other cell makes a text column.
// Serial day numbers count from 1899-12-30, or from 1904-01-01 in the 1904
// date system; in the 1900 system serials 1 to 59 get back the day that
// the calendar's nonexistent 1900-02-29 took from them.
//
// The table is made on first need, so a sheet that ends up without one
// leaves nothing in the pool.
class DSSpreadsheetColumns
{
public:
    DSSpreadsheetColumns(DSObjectPool &pool, const QString &tableName, bool date1904);

    // The number a text starts with, after leading white space (as "%lf"
    // reads it); NaN when it starts with none.
    static double readNumber(const char *text);

    // One counting slot per header name.
    void setHeader(const QStringList &names) { m_slots.reset(names); }
    qsizetype size() const { return m_slots.size(); }

    // The sheet's table, made with the sheet's name on the first call; null
    // when the pool's model has no tables.
    DSDataTable *table();

    // Applies a cell at a header position: an empty cell counts or appends
    // a missing value; the first other cell makes the column. Positions past
    // the header are ignored. False when the column could not be made or
    // memory ran out; the caller then gives up the sheet.
    bool addCell(qsizetype position, const DSSpreadsheetCell &cell);
    // Missing values at positions from..to, inclusive.
    bool addEmptyCells(qsizetype from, qsizetype to);

    // Makes the table when there is none yet, sets its record count and
    // finishes its columns in position order. False when a column could not
    // be saved.
    bool finish(qint64 records);
    // Releases the columns' import buffers after a failure.
    void teardown();

private:
    bool placeColumn(qsizetype position, const DSSpreadsheetCell &cell);
    bool appendCell(DSColumnSlots::Slot &slot, const DSSpreadsheetCell &cell);
    // The finest unit a format code shows (the day when it shows none),
    // read once a code: the codes are the workbook's and outlive the sheet.
    int64_t finestUnit(const char *format);
    // Seconds since 2001-01-01 GMT of a serial day number.
    double timeOfSerial(double serial) const;

    DSObjectPool &m_pool;
    QString m_tableName;
    bool m_date1904;
    DSDataTable *m_table = nullptr;
    DSColumnSlots m_slots;
    std::unordered_map<const char *, int64_t> m_finestUnits;
};
