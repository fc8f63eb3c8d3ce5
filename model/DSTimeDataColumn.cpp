#include "model/DSTimeDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "model/ds_time_units.h"

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

std::optional<QByteArray> deflateDoubles(const double *data, qint64 n)
{
    if (n <= 0 || !data)
        return QByteArray("");
    return zlibDeflate(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(n) * qsizetype(sizeof(double))));
}

} // namespace

DSTimeDataColumn::DSTimeDataColumn() = default;

DSTimeDataColumn::~DSTimeDataColumn() = default;

void DSTimeDataColumn::awakeFromInsert()
{
    DSTimeColumn::awakeFromInsert();
    setPrimitiveValue(QByteArray(""), k_values);
    setPrimitiveValue(QByteArray(""), k_intervals);
}

DSStoredColumnState DSTimeDataColumn::storedState() const
{
    // Rows being written, or no stored rows that saving could lose.
    if (m_loaded || dataForKey(k_values).isEmpty())
        return DSStoredColumnState::Importing;
    return m_decoded ? DSStoredColumnState::Decoded : DSStoredColumnState::Encoded;
}

void DSTimeDataColumn::didTurnIntoFault()
{
    ds_stored_column_check(storedState(), DSStoredColumnMove::Fault);
    teardown();
    DSTimeColumn::didTurnIntoFault();
}

void DSTimeDataColumn::setup()
{
    m_decodedValuesFrom = time_values();
    m_decodedIntervalsFrom = time_intervals();
    m_decodedRows = tableRowCount();
    const qint64 limit = storedRowLimit();
    const qint64 values = inflateInto(m_decodedValuesFrom, limit, m_values);
    const qint64 intervals = inflateInto(m_decodedIntervalsFrom, limit, m_intervals);
    m_damaged = values < 0 || intervals < 0 || isValueUnreadable(k_values) || isValueUnreadable(k_intervals);
    if (m_damaged) {
        qWarning("The column “%s” is damaged: its stored times do not read back whole", qPrintable(name()));
        m_values.release();
        m_intervals.release();
    }
    // Rows without both a value and an interval read as missing.
    m_count = m_damaged ? 0 : std::min(values, intervals);
    m_decoded = true;

    const qint64 n = table() ? m_decodedRows : m_count;
    temp_nan_mask.release();
    const double *v = m_values.data();
    const qint64 valued = std::min(m_count, n);
    for (qint64 row = 0; row < valued; ++row)
        if (std::isnan(v[row]) && !ds_mark_nan_row(temp_nan_mask, n, row))
            break;
    ds_mark_nan_rows(temp_nan_mask, n, valued, n);
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

bool DSTimeDataColumn::isDamaged()
{
    ensureDecoded();
    return m_damaged;
}

void DSTimeDataColumn::teardown()
{
    m_values.release();
    m_intervals.release();
    m_decodedValuesFrom = QByteArray();
    m_decodedIntervalsFrom = QByteArray();
    m_count = 0;
    m_decoded = false;
    m_damaged = false;
    temp_nan_mask.release();
    purgeIndex();
    purgeStats();
}

void DSTimeDataColumn::ensureDecoded()
{
    if (m_decoded) {
        const QByteArray values = time_values(), intervals = time_intervals();
        if (values.constData() == m_decodedValuesFrom.constData() && values.size() == m_decodedValuesFrom.size()
            && intervals.constData() == m_decodedIntervalsFrom.constData()
            && intervals.size() == m_decodedIntervalsFrom.size() && tableRowCount() == m_decodedRows)
            return;
        teardown();
    }
    setup();
}

qint64 DSTimeDataColumn::getTimeValues(const double **values, const double **intervals)
{
    ensureDecoded();
    qint64 count = m_count;
    if (table())
        count = std::min(count, m_decodedRows);
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

qint64 DSTimeDataColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    ensureDecoded();
    if (!apply_missing_values_predicate() || !missing_values_predicate()) {
        if (out)
            *out = temp_nan_mask.data();
        return temp_nan_mask.used();
    }
    offset = std::max<qint64>(offset, 0);
    const qint64 length = setupMissingMask(offset, limit);
    uint8_t *mask = sharedMissingMask();
    ds_or_nan_mask(mask, temp_nan_mask, offset, length);
    if (out)
        *out = length ? mask : nullptr;
    return length;
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
    m_loaded = true;
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

bool DSTimeDataColumn::save()
{
    ds_stored_column_check(storedState(), DSStoredColumnMove::Save);
    const qint64 n = std::min(temp_time_values.used(), temp_time_intervals.used());
    const std::optional<QByteArray> values = deflateDoubles(temp_time_values.data(), n);
    const std::optional<QByteArray> intervals = deflateDoubles(temp_time_intervals.data(), n);
    if (!values || !intervals)
        return false;
    setPrimitiveValue(*values, k_values);
    setPrimitiveValue(*intervals, k_intervals);
    temp_time_values.release();
    temp_time_intervals.release();
    m_loaded = false;
    teardown();
    return true;
}

bool DSTimeDataColumn::loadEditBuffers(qint64 n)
{
    ensureDecoded();
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
    const qint64 stored = std::clamp<qint64>(std::min(m_count, m_decodedRows), 0, n);
    if (stored > 0) {
        std::memcpy(values, m_values.data(), size_t(stored) * sizeof(double));
        std::memcpy(intervals, m_intervals.data(), size_t(stored) * sizeof(double));
    }
    std::fill(values + stored, values + n, double(NAN));
    std::fill(intervals + stored, intervals + n, 0.0);
    temp_time_values.setUsed(n);
    temp_time_intervals.setUsed(n);
    m_loaded = true;
    return true;
}

bool DSTimeDataColumn::finishEdit()
{
    if (!save()) {
        qCritical("Error compressing data");
        temp_time_values.release();
        temp_time_intervals.release();
        m_loaded = false;
        return false;
    }
    recursivePurge();
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
    finishEdit();
}

void DSTimeDataColumn::addRows(qint64 n)
{
    if (takesEdits() && loadEditBuffers(tableRowCount() + std::max<qint64>(n, 0)))
        finishEdit();
}

bool DSTimeDataColumn::replaceTimeValueAtIndex(qint64 row, double value, double interval)
{
    const qint64 n = tableRowCount();
    if (row < 0 || row >= n || !takesEdits() || !loadEditBuffers(n))
        return false;
    temp_time_values.data()[row] = storedValue(value);
    temp_time_intervals.data()[row] = interval;
    return finishEdit();
}
