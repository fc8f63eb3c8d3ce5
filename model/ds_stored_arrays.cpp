#include "model/ds_stored_arrays.h"

#include "model/ds_row_mask.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>

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
