#include "model/ds_stored_arrays.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <limits>

std::optional<QByteArray> ds_deflate_stored_array(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QByteArray("");
    return zlibDeflate(bytes);
}

bool ds_append_to_buffer(DSColumnBuffer<double> &buffer, double x)
{
    if (buffer.isEmpty()) {
        if (!buffer.reserve(4096)) {
            qCritical("Error in malloc()");
            return false;
        }
        buffer.setUsed(0);
    } else if (buffer.used() == buffer.capacity() && !buffer.reallocate(2 * buffer.capacity())) {
        qCritical("Error in realloc()");
        return false;
    }
    buffer.data()[buffer.used()] = x;
    buffer.setUsed(buffer.used() + 1);
    return true;
}

bool ds_mark_nan_row(DSColumnBuffer<uint8_t> &mask, qint64 rows, qint64 row)
{
    if (mask.isEmpty()) {
        const qint64 bytes = ds_mask_bytes(rows);
        if (!mask.reserve(bytes)) {
            qCritical("Error in malloc()");
            return false;
        }
        std::memset(mask.data(), 0, size_t(bytes));
        mask.setUsed(bytes);
    }
    ds_mask_set(mask.data(), row);
    return true;
}

void ds_or_nan_mask(uint8_t *shared, const DSColumnBuffer<uint8_t> &mask, qint64 offset, qint64 length)
{
    const uint8_t *missing = mask.data();
    for (qint64 b = offset / 8, end = std::min(length, mask.used()); missing && b < end; ++b)
        shared[b] |= missing[b];
}

bool ds_mark_nan_rows(DSColumnBuffer<uint8_t> &mask, qint64 rows, qint64 from, qint64 to)
{
    from = std::max<qint64>(from, 0);
    to = std::min(to, rows);
    if (from >= to)
        return true;
    if (!ds_mark_nan_row(mask, rows, from))
        return false;
    uint8_t *bits = mask.data();
    // Partial bytes at either end bit by bit, whole bytes between by memset.
    qint64 row = from;
    for (; row < to && row % 8 != 0; ++row)
        ds_mask_set(bits, row);
    const qint64 wholeEnd = row + (to - row) / 8 * 8;
    if (wholeEnd > row)
        std::memset(bits + row / 8, 0xff, size_t((wholeEnd - row) / 8));
    for (row = wholeEnd; row < to; ++row)
        ds_mask_set(bits, row);
    return true;
}

namespace {

constexpr qint64 k_entry = 8;

// The byte limit of maxRows entries, kept clear of overflow.
qsizetype entryBytes(qint64 maxRows)
{
    const qint64 most = std::numeric_limits<qsizetype>::max() / k_entry;
    return qsizetype(std::clamp<qint64>(maxRows, 0, most) * k_entry);
}

} // namespace

bool ds_inflate_stored_doubles(const QByteArray &stored, qint64 maxRows, QByteArray *out)
{
    std::optional<QByteArray> bytes = zlibInflate(stored, entryBytes(maxRows));
    if (!bytes || bytes->size() % k_entry != 0) {
        *out = QByteArray();
        return false;
    }
    *out = std::move(*bytes);
    return true;
}

bool ds_inflate_stored_texts(const QByteArray &storedTexts, const QByteArray &storedOffsets, qint64 maxRows,
                             QByteArray *texts, QByteArray *offsets)
{
    const auto damaged = [&] {
        *texts = QByteArray();
        *offsets = QByteArray();
        return false;
    };
    if (!ds_inflate_stored_doubles(storedOffsets, maxRows, offsets))
        return damaged();
    // Texts are as long as the rows' texts together: no limit but their own.
    std::optional<QByteArray> inflated = zlibInflate(storedTexts);
    if (!inflated || (!inflated->isEmpty() && inflated->back() != '\0'))
        return damaged();
    const qint64 size = inflated->size();
    const qint64 count = offsets->size() / k_entry;
    for (qint64 i = 0; i < count; ++i) {
        int64_t at;
        std::memcpy(&at, offsets->constData() + i * k_entry, sizeof at);
        if (at != -1 && (at < 0 || at >= size))
            return damaged();
    }
    *texts = std::move(*inflated);
    return true;
}
