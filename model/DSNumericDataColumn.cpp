#include "model/DSNumericDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "platform/store/DSUndoManager.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The stored array is the machine's doubles as they are.
static_assert(std::endian::native == std::endian::little, "stored values are little-endian doubles");

namespace {

const QString k_values = QStringLiteral("values");

// Writes NaN into count doubles.
void fillMissing(double *to, qint64 count)
{
    std::fill_n(to, std::max<qint64>(count, 0), double(NAN));
}

} // namespace

DSNumericDataColumn::DSNumericDataColumn() : DSStoredColumn({k_values}) {}

DSNumericDataColumn::~DSNumericDataColumn() = default;

void DSNumericDataColumn::awakeFromInsert()
{
    DSNumericColumn::awakeFromInsert();
    setPrimitiveValue(QByteArray(""), k_values);
}

void DSNumericDataColumn::decode()
{
    // Read whole and checked: damage never reads as other numbers, and a
    // small stream that would inflate to gigabytes costs no more than the
    // table's rows.
    if (isValueUnreadable(k_values) || !ds_inflate_stored_doubles(values(), storedRowLimit(), &m_decompressed)) {
        setDamaged();
        qWarning("The column “%s” is damaged: its stored values do not read back whole", qPrintable(name()));
    }
    m_count = m_decompressed.size() / qsizetype(sizeof(double));
    m_values = reinterpret_cast<const double *>(m_decompressed.constData());
    if (m_count > 0 && reinterpret_cast<uintptr_t>(m_values) % alignof(double) != 0) {
        // The inflated bytes are read in place; only a block that is not
        // aligned for doubles is copied once.
        double *aligned = m_alignedValues.reserve(m_count);
        if (aligned)
            std::memcpy(aligned, m_decompressed.constData(), size_t(m_count) * sizeof(double));
        m_values = aligned;
        m_count = aligned ? m_count : 0;
    }
    m_editable = false;
    scanDecoded();
}

bool DSNumericDataColumn::checkStoredArrays(qint64 maxRows, qint64 *rows) const
{
    QByteArray inflated;
    if (isValueUnreadable(k_values) || !ds_inflate_stored_doubles(values(), maxRows, &inflated))
        return false;
    *rows = inflated.size() / qsizetype(sizeof(double));
    return true;
}

void DSNumericDataColumn::scanDecoded()
{
    const qint64 n = decodedRows();
    m_onlyIntegers = true;
    m_integersStale = false;
    m_missingRows.release();
    const auto markMissing = [&](qint64 row) { return ds_mark_nan_row(m_missingRows, n, row); };
    const qint64 valued = std::min(m_count, n);
    for (qint64 i = 0; i < valued; ++i) {
        const double x = m_values[i];
        if (std::isnan(x)) {
            if (!markMissing(i))
                return;
        } else if (m_onlyIntegers && !isWhole(x)) {
            m_onlyIntegers = false;
        }
    }
    ds_mark_nan_rows(m_missingRows, n, std::max<qint64>(m_count, 0), n);
}

void DSNumericDataColumn::releaseDecoded()
{
    if (m_editable)
        temp_values.release();
    m_editable = false;
    m_decompressed = QByteArray();
    m_alignedValues.release();
    m_values = nullptr;
    m_count = 0;
    m_onlyIntegers = false;
}

qint64 DSNumericDataColumn::getValues(const double **out)
{
    ensureDecoded();
    qint64 count = m_count;
    if (table())
        count = std::min(count, decodedRows());
    if (out)
        *out = count > 0 ? m_values : nullptr;
    return std::max<qint64>(count, 0);
}

bool DSNumericDataColumn::containsOnlyIntegers()
{
    ensureDecoded();
    if (m_integersStale) {
        const qint64 valued = std::min(m_count, decodedRows());
        m_onlyIntegers = std::all_of(m_values, m_values + std::max<qint64>(valued, 0),
                                     [](double x) { return std::isnan(x) || isWhole(x); });
        m_integersStale = false;
    }
    return m_onlyIntegers;
}

qint64 DSNumericDataColumn::getIndex(const double **out)
{
    // Decoding first: new stored data purges what was kept.
    getValues(nullptr);
    if (temp_index.used() == 0)
        return DSNumericColumn::getIndex(out);
    if (out)
        *out = temp_index.data();
    return temp_index.used();
}

qint64 DSNumericDataColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    const double *values = nullptr;
    const qint64 count = getValues(&values);
    if (count > 0 && temp_indexed_values.used() != count && temp_index.used() == 0) {
        if (int32_t *positions = temp_indexed_values.reserve(count)) {
            const qint64 length = ds_numeric_index_build(values, count, [this](int64_t n) { return reserveIndex(n); },
                                                         positions);
            temp_index.setUsed(length);
            temp_indexed_values.setUsed(length ? count : 0);
            temp_indexed_values_bins = length;
        }
    }
    if (count == 0 || temp_indexed_values.used() != count)
        return DSNumericColumn::getIndexedValues(out, bins);
    if (out)
        *out = temp_indexed_values.data();
    if (bins)
        *bins = temp_indexed_values_bins;
    return count;
}

bool DSNumericDataColumn::appendValue(double x)
{
    if (!ds_append_to_buffer(temp_values, std::isinf(x) ? double(NAN) : x))
        return false;
    noteFilled();
    return true;
}

bool DSNumericDataColumn::saveAfterImport()
{
    if (!treat_as_categories()) {
        // At most two distinct non-missing values (or none) make categories;
        // decided before the filling rows exist.
        const double *v = temp_values.data();
        double first = NAN, second = NAN;
        bool third = false;
        for (qint64 i = 0, n = temp_values.used(); i < n && !third; ++i) {
            const double x = v[i];
            if (std::isnan(x) || x == first || x == second)
                continue;
            if (std::isnan(first))
                first = x;
            else if (std::isnan(second))
                second = x;
            else
                third = true;
        }
        if (!third)
            setTreat_as_categories(true);
    }
    bool filled = true;
    while (temp_values.used() < tableRowCount())
        if (!appendEmptyValue()) {
            filled = false;
            break;
        }
    return save() && filled;
}

bool DSNumericDataColumn::loadEditBuffer(qint64 n)
{
    if (!beginRowChange())
        return false;
    if (m_editable) {
        // The edited array becomes the buffer; what reads it decodes again.
        if (n > temp_values.capacity() && !temp_values.reallocate(n)) {
            qCritical("Error in realloc()");
            return false;
        }
        fillMissing(temp_values.data() + std::min(m_count, n), n - m_count);
        temp_values.setUsed(n);
        m_editable = false;
        teardown();
        noteFilled();
        return true;
    }
    temp_values.release();
    double *buffer = temp_values.reserve(n);
    if (!buffer) {
        qCritical("Error in malloc()");
        return false;
    }
    const qint64 stored = std::clamp<qint64>(std::min(m_count, decodedRows()), 0, n);
    if (stored > 0)
        std::memcpy(buffer, m_values, size_t(stored) * sizeof(double));
    fillMissing(buffer + stored, n - stored);
    temp_values.setUsed(n);
    noteFilled();
    return true;
}

void DSNumericDataColumn::dropRows(const DSIndexSet &rows)
{
    if (!takesEdits())
        return;
    const qint64 n = tableRowCount();
    if (!loadEditBuffer(n))
        return;
    // Compacts in place: the kept rows move down over the dropped ones.
    double *buffer = temp_values.data();
    qint64 kept = 0, from = 0;
    for (qint64 row : rows) {
        if (row < from || row >= n)
            continue;
        std::memmove(buffer + kept, buffer + from, size_t(row - from) * sizeof(double));
        kept += row - from;
        from = row + 1;
    }
    std::memmove(buffer + kept, buffer + from, size_t(n - from) * sizeof(double));
    temp_values.setUsed(kept + (n - from));
    finishRowChange();
}

void DSNumericDataColumn::addRows(qint64 n)
{
    if (!takesEdits() || !loadEditBuffer(tableRowCount() + std::max<qint64>(n, 0)))
        return;
    finishRowChange();
}

bool DSNumericDataColumn::replaceNumericValueAtIndex(qint64 row, double x)
{
    if (row < 0 || row >= tableRowCount() || !takesEdits())
        return false;
    return editCell(row, x);
}

bool DSNumericDataColumn::makeEditable(qint64 n)
{
    ensureDecoded();
    if (m_editable) {
        if (m_count >= n)
            return true;
        if (n > temp_values.capacity() && !temp_values.reallocate(n)) {
            qCritical("Error in realloc()");
            return false;
        }
    } else {
        temp_values.release();
        if (!temp_values.reserve(n)) {
            qCritical("Error in malloc()");
            return false;
        }
        const qint64 stored = std::clamp<qint64>(m_count, 0, n);
        if (stored > 0)
            std::memcpy(temp_values.data(), m_values, size_t(stored) * sizeof(double));
        m_count = stored;
        m_decompressed = QByteArray();
        m_alignedValues.release();
    }
    fillMissing(temp_values.data() + m_count, n - m_count);
    temp_values.setUsed(n);
    m_values = temp_values.data();
    m_count = n;
    m_editable = true;
    return true;
}

bool DSNumericDataColumn::editCell(qint64 row, double x)
{
    double old = NAN;
    const auto write = [&] {
        if (!makeEditable(std::max(tableRowCount(), row + 1)))
            return false;
        double &cell = temp_values.data()[row];
        old = cell;
        cell = x;
        markMissing(row, std::isnan(x));
        if (row < decodedRows()) {
            if (!std::isnan(x) && !isWhole(x))
                m_onlyIntegers = false;
            else if (!m_onlyIntegers && !std::isnan(old) && !isWhole(old))
                m_integersStale = true;  // the replaced value may have been the only fraction
        }
        return true;
    };
    const auto unwrite = [&] {
        temp_values.data()[row] = old;
        scanDecoded();
    };
    return DSStoredColumn::editCell(write, unwrite, [&](DSUndoManager *undo) {
        undo->registerUndo([this, row, old] { editCell(row, old); }, qint64(sizeof row + sizeof old));
    });
}

QByteArray DSNumericDataColumn::importedArray(size_t) const
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(temp_values.data()),
                                   qsizetype(temp_values.used()) * qsizetype(sizeof(double)));
}

std::optional<QByteArray> DSNumericDataColumn::editedArray(size_t) const
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(m_values), qsizetype(m_count) * qsizetype(sizeof(double)));
}
