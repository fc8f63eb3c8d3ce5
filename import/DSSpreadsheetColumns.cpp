#include "import/DSSpreadsheetColumns.h"

#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "model/util/ds_excel_format.h"
#include "platform/store/DSObjectPool.h"

#include <QCborMap>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

enum ColumnKind { NumericColumn = 1, DurationColumn, TimeColumn, TextColumn };

// 2001-01-01 minus 1904-01-01, and 1904-01-01 minus 1899-12-30, in seconds.
constexpr double k_secondsSince1904 = 3061152000.0;
constexpr double k_secondsFrom1900To1904 = 126316800.0;
constexpr double k_secondsPerDay = 86400.0;
constexpr int64_t k_day = 9;
// Excel's calendar ends with 9999-12-31, serial 2,958,465; no date is
// negative. A serial outside is no time (and would overflow the calendar).
constexpr double k_serialLimit = 2958466;

// The number a cell stands for in a numeric or time column: a text reads
// as a number when it is one.
double numberOfCell(const DSSpreadsheetCell &cell)
{
    return cell.kind == DSSpreadsheetCell::Text ? DSSpreadsheetColumns::readNumber(cell.text) : cell.number;
}

} // namespace

DSSpreadsheetColumns::DSSpreadsheetColumns(DSObjectPool &pool, const QString &tableName, bool date1904)
    : m_pool(pool), m_tableName(tableName), m_date1904(date1904)
{
}

double DSSpreadsheetColumns::readNumber(const char *text)
{
    // from_chars is several times faster than strtod on a sheet's millions
    // of numbers; it takes neither white space nor a "+", nor hexadecimal,
    // which strtod then reads.
    const char *p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    double x = NAN;
    const auto [end, error] = std::from_chars(p, p + std::strlen(p), x);
    if (error == std::errc() && !(end - p == 1 && (*p == '0') && (end[0] == 'x' || end[0] == 'X')))
        return x;
    char *stop = nullptr;
    x = std::strtod(text, &stop);
    return stop == text ? NAN : x;
}

DSDataTable *DSSpreadsheetColumns::table()
{
    if (!m_table) {
        m_table = m_pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (m_table)
            m_table->setName(m_tableName);
    }
    return m_table;
}

bool DSSpreadsheetColumns::addCell(qsizetype position, const DSSpreadsheetCell &cell)
{
    DSColumnSlots::Slot *slot = m_slots.slotAt(position);
    if (!slot)
        return true;
    if (cell.kind == DSSpreadsheetCell::Empty)
        return DSColumnSlots::addEmptyCell(*slot);
    if (!slot->column && !placeColumn(position, cell))
        return false;
    return appendCell(*slot, cell);
}

bool DSSpreadsheetColumns::addEmptyCells(qsizetype from, qsizetype to)
{
    bool ok = true;
    for (qsizetype i = std::max<qsizetype>(from, 0); i <= to && i < m_slots.size(); ++i)
        ok = DSColumnSlots::addEmptyCell(*m_slots.slotAt(i)) && ok;
    return ok;
}

bool DSSpreadsheetColumns::placeColumn(qsizetype position, const DSSpreadsheetCell &cell)
{
    DSTable *owner = table();
    if (!owner)
        return false;
    const bool number = cell.kind == DSSpreadsheetCell::Number || cell.kind == DSSpreadsheetCell::Boolean;
    if (number && (cell.kind == DSSpreadsheetCell::Boolean || ds_excel_format_is_numeric(cell.format))) {
        auto *column = m_pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        if (!column)
            return false;
        // The formatter exists only once the column's dependencies are made,
        // and a duration style must be set before the first value.
        column->makeDependencies();
        if (cell.format)
            if (DSNumberFormatter *formatter = column->number_formatter())
                formatter->setExcelFormatString(QString::fromUtf8(cell.format));
        if (cell.kind == DSSpreadsheetCell::Boolean) {
            column->setCategory_labels(QCborMap{{0.0, QStringLiteral("FALSE")}, {1.0, QStringLiteral("TRUE")}});
            column->setTreat_as_categories(true);
        }
        // A duration keeps seconds: the day fractions are scaled as they come.
        return m_slots.place(position, column, column, column->isDuration() ? DurationColumn : NumericColumn, owner);
    }
    if (number) {
        auto *column = m_pool.insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        if (!column)
            return false;
        // Before the first value: a time-of-day column keeps seconds since
        // midnight of what it is given.
        const int64_t coarsest = ds_format_coarsest_unit(cell.format, 0);
        column->setRelative_time_unit(coarsest != -1 && coarsest < k_day ? 1 : 0);
        return m_slots.place(position, column, column, TimeColumn, owner);
    }
    auto *column = m_pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    if (!column)
        return false;
    return m_slots.place(position, column, column, TextColumn, owner);
}

int64_t DSSpreadsheetColumns::finestUnit(const char *format)
{
    auto found = m_finestUnits.find(format);
    if (found == m_finestUnits.end()) {
        const int64_t unit = ds_format_finest_unit(format, 0);
        found = m_finestUnits.emplace(format, unit == -1 ? k_day : unit).first;
    }
    return found->second;
}

double DSSpreadsheetColumns::timeOfSerial(double serial) const
{
    if (m_date1904)
        return serial * k_secondsPerDay - k_secondsSince1904;
    if (serial >= 1 && serial < 60)
        serial += 1;
    return serial * k_secondsPerDay - k_secondsSince1904 - k_secondsFrom1900To1904;
}

bool DSSpreadsheetColumns::appendCell(DSColumnSlots::Slot &slot, const DSSpreadsheetCell &cell)
{
    if (slot.kind == TextColumn)
        return static_cast<DSTextDataColumn *>(slot.column)->appendTextValue(cell.text ? cell.text : "");
    if (slot.kind == NumericColumn || slot.kind == DurationColumn) {
        const double x = numberOfCell(cell);
        return static_cast<DSNumericDataColumn *>(slot.column)
            ->appendValue(slot.kind == DurationColumn ? x * k_secondsPerDay : x);
    }
    double t = numberOfCell(cell);
    double interval = 0;
    if (!(t >= 0 && t < k_serialLimit))
        t = NAN;
    if (!std::isnan(t)) {
        // A serial holds a time to the second only to about 1e-11 of a day:
        // 09:26:53 comes back as 09:26:52.99999. Rounding to the millisecond
        // first keeps the floor to the format's unit from losing a second.
        t = std::round(timeOfSerial(t) * 1000) / 1000;
        if (cell.format)
            t = ds_time_floor(finestUnit(cell.format), &interval, t);
    }
    return static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, std::isnan(t) ? 0 : interval);
}

bool DSSpreadsheetColumns::finish(qint64 records)
{
    DSDataTable *owner = table();
    if (!owner)
        return false;
    owner->setNum_records(records);
    return m_slots.finish();
}

void DSSpreadsheetColumns::teardown()
{
    m_slots.teardown();
}
