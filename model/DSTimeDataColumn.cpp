#include "model/DSTimeDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "model/ds_time_units.h"
#include "platform/store/DSUndoManager.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "stored times are little-endian doubles");

namespace {

const QString k_values = QStringLiteral("time_values");
const QString k_intervals = QStringLiteral("time_intervals");

// The doubles of a stored stream into buffer, at most maxRows of them; their
// count, or -1 when the stream is damaged (0 when no memory).
qint64 inflateInto(const QByteArray &stored, qint64 maxRows, DSColumnBuffer<double> &buffer)
{
    QByteArray bytes;
    buffer.release();
    if (!ds_inflate_stored_doubles(stored, maxRows, &bytes))
        return -1;
    const qint64 n = bytes.size() / qsizetype(sizeof(double));
    if (n == 0 || !buffer.reserve(n))
        return 0;
    std::memcpy(buffer.data(), bytes.constData(), size_t(n) * sizeof(double));
    buffer.setUsed(n);
    return n;
}

} // namespace

DSTimeDataColumn::DSTimeDataColumn() : DSStoredColumn({k_values, k_intervals}) {}

DSTimeDataColumn::~DSTimeDataColumn() = default;

void DSTimeDataColumn::awakeFromInsert()
{
    DSTimeColumn::awakeFromInsert();
    setPrimitiveValue(QByteArray(""), k_values);
    setPrimitiveValue(QByteArray(""), k_intervals);
}

void DSTimeDataColumn::decode()
{
    const qint64 limit = storedRowLimit();
    const qint64 values = inflateInto(time_values(), limit, m_values);
    const qint64 intervals = inflateInto(time_intervals(), limit, m_intervals);
    if (values < 0 || intervals < 0 || isValueUnreadable(k_values) || isValueUnreadable(k_intervals)) {
        setDamaged();
        qWarning("The column “%s” is damaged: its stored times do not read back whole", qPrintable(name()));
        m_values.release();
        m_intervals.release();
        m_count = 0;
    } else {
        // Rows without both a value and an interval read as missing.
        m_count = std::min(values, intervals);
    }
    m_edited = false;
    scanMissingRows();
}

void DSTimeDataColumn::scanMissingRows()
{
    const qint64 n = table() ? decodedRows() : m_count;
    m_missingRows.release();
    const double *v = m_values.data();
    const qint64 valued = std::min(m_count, n);
    for (qint64 row = 0; row < valued; ++row)
        if (std::isnan(v[row]) && !ds_mark_nan_row(m_missingRows, n, row))
            break;
    ds_mark_nan_rows(m_missingRows, n, valued, n);
    setupGregorianDatesForTimeValues(m_values.data(), m_intervals.data(), valued);
}

bool DSTimeDataColumn::checkStoredArrays(qint64 maxRows, qint64 *rows) const
{
    QByteArray values, intervals;
    if (isValueUnreadable(k_values) || isValueUnreadable(k_intervals)
        || !ds_inflate_stored_doubles(time_values(), maxRows, &values)
        || !ds_inflate_stored_doubles(time_intervals(), maxRows, &intervals))
        return false;
    *rows = std::min(values.size(), intervals.size()) / qsizetype(sizeof(double));
    return true;
}

void DSTimeDataColumn::releaseDecoded()
{
    m_values.release();
    m_intervals.release();
    m_count = 0;
    m_edited = false;
}

qint64 DSTimeDataColumn::getTimeValues(const double **values, const double **intervals)
{
    ensureDecoded();
    qint64 count = m_count;
    if (table())
        count = std::min(count, decodedRows());
    count = std::max<qint64>(count, 0);
    if (values)
        *values = count ? m_values.data() : nullptr;
    if (intervals)
        *intervals = count ? m_intervals.data() : nullptr;
    return count;
}

qint64 DSTimeDataColumn::getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps, qint64 offset,
                                           qint64 limit)
{
    const qint64 count = getTimeValues(nullptr, nullptr);
    if (temp_gregorian_dates.used() != count || temp_gregorian_intervals.used() != count)
        setupGregorianDatesForTimeValues(m_values.data(), m_intervals.data(), count);
    offset = std::max<qint64>(offset, 0);
    const qint64 answered = offset < count ? std::clamp<qint64>(limit, 0, count - offset) : 0;
    const ds_gmt_date_s *allDates = temp_gregorian_dates.data();
    const ds_gmt_units_s *allSteps = temp_gregorian_intervals.data();
    if (dates)
        *dates = answered && allDates ? allDates + offset : nullptr;
    if (steps)
        *steps = answered && allSteps ? allSteps + offset : nullptr;
    return answered;
}

double DSTimeDataColumn::storedValue(double value) const
{
    return isTimeOfDay() ? value - ds_time_floor(ds_time_unit_day, nullptr, value) : value;
}

bool DSTimeDataColumn::appendTimeValue(double value, double interval)
{
    // Both buffers grow in step: a row whose interval cannot be added loses
    // its value too.
    if (!ds_append_to_buffer(temp_time_values, storedValue(value)))
        return false;
    if (!ds_append_to_buffer(temp_time_intervals, interval)) {
        temp_time_values.setUsed(temp_time_values.used() - 1);
        return false;
    }
    noteFilled();
    return true;
}

bool DSTimeDataColumn::saveAfterImport()
{
    bool filled = true;
    while (temp_time_values.used() < tableRowCount())
        if (!appendEmptyValue()) {
            filled = false;
            break;
        }
    return save() && filled;
}

bool DSTimeDataColumn::loadEditBuffers(qint64 n)
{
    if (!beginRowChange())
        return false;
    temp_time_values.release();
    temp_time_intervals.release();
    double *values = temp_time_values.reserve(n);
    double *intervals = temp_time_intervals.reserve(n);
    if (!values || !intervals) {
        qCritical("Error in malloc()");
        temp_time_values.release();
        temp_time_intervals.release();
        return false;
    }
    const qint64 stored = std::clamp<qint64>(std::min(m_count, decodedRows()), 0, n);
    if (stored > 0) {
        std::memcpy(values, m_values.data(), size_t(stored) * sizeof(double));
        std::memcpy(intervals, m_intervals.data(), size_t(stored) * sizeof(double));
    }
    std::fill(values + stored, values + n, double(NAN));
    std::fill(intervals + stored, intervals + n, 0.0);
    temp_time_values.setUsed(n);
    temp_time_intervals.setUsed(n);
    noteFilled();
    return true;
}

void DSTimeDataColumn::dropRows(const DSIndexSet &rows)
{
    const qint64 n = tableRowCount();
    if (!takesEdits() || !loadEditBuffers(n))
        return;
    qint64 kept = 0;
    double *values = temp_time_values.data(), *intervals = temp_time_intervals.data();
    for (qint64 row = 0; row < n; ++row) {
        if (rows.count(row))
            continue;
        values[kept] = values[row];
        intervals[kept++] = intervals[row];
    }
    temp_time_values.setUsed(kept);
    temp_time_intervals.setUsed(kept);
    finishRowChange();
}

void DSTimeDataColumn::addRows(qint64 n)
{
    if (takesEdits() && loadEditBuffers(tableRowCount() + std::max<qint64>(n, 0)))
        finishRowChange();
}

bool DSTimeDataColumn::replaceTimeValueAtIndex(qint64 row, double value, double interval)
{
    if (row < 0 || row >= tableRowCount() || !takesEdits())
        return false;
    return editCell(row, storedValue(value), interval);
}

bool DSTimeDataColumn::coverRows(qint64 n)
{
    if (n <= m_count)
        return true;
    // Both arrays grow in step, the rows past the stored ones empty.
    if (!m_values.reserve(n) || !m_intervals.reserve(n)) {
        qCritical("Error in malloc()");
        return false;
    }
    std::fill(m_values.data() + m_count, m_values.data() + n, double(NAN));
    std::fill(m_intervals.data() + m_count, m_intervals.data() + n, 0.0);
    m_values.setUsed(n);
    m_intervals.setUsed(n);
    m_count = n;
    return true;
}

bool DSTimeDataColumn::editCell(qint64 row, double value, double interval)
{
    double oldValue = NAN, oldInterval = 0;
    const auto set = [this, row](double v, double d) {
        m_values.data()[row] = v;
        m_intervals.data()[row] = d;
        markMissing(row, std::isnan(v));
        updateGregorianDate(row, v, d);
    };
    const auto write = [&] {
        ensureDecoded();
        if (!coverRows(std::max(decodedRows(), row + 1)))
            return false;
        oldValue = m_values.data()[row];
        oldInterval = m_intervals.data()[row];
        set(value, interval);
        m_edited = true;
        return true;
    };
    return DSStoredColumn::editCell(write, [&] { set(oldValue, oldInterval); }, [&](DSUndoManager *undo) {
        undo->registerUndo([this, row, oldValue, oldInterval] { editCell(row, oldValue, oldInterval); },
                           qint64(sizeof row + sizeof oldValue + sizeof oldInterval));
    });
}

QByteArray DSTimeDataColumn::importedArray(size_t key) const
{
    // Rows without both a value and an interval are not stored.
    const qint64 n = std::min(temp_time_values.used(), temp_time_intervals.used());
    const double *data = key == 0 ? temp_time_values.data() : temp_time_intervals.data();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(n) * qsizetype(sizeof(double)));
}

void DSTimeDataColumn::releaseImportBuffers()
{
    temp_time_values.release();
    temp_time_intervals.release();
}

std::optional<QByteArray> DSTimeDataColumn::editedArray(size_t key) const
{
    const double *data = key == 0 ? m_values.data() : m_intervals.data();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(m_count) * qsizetype(sizeof(double)));
}
