#include "derived/DSNumericConstantColumn.h"

#include "platform/format/DSPlatformNumberFormatter.h"

#include <algorithm>
#include <cmath>

qint64 DSNumericConstantColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    const qint64 n = rowsInRange(offset, limit);
    double *buffer = n > 0 ? valueBuffer(n) : nullptr;
    if (buffer) {
        std::fill_n(buffer, n, value());
        temp_values.setUsed(n);
    }
    if (out)
        *out = buffer;
    return buffer ? n : 0;
}

qint64 DSNumericConstantColumn::getMissingMask(const uint8_t **out)
{
    if (out)
        *out = nullptr;
    return 0;
}

QString DSNumericConstantColumn::suggestedName() const
{
    return DSPlatformNumberFormatter(DSPlatformNumberFormatter::DecimalStyle).stringFromNumber(value());
}

bool DSNumericConstantColumn::containsOnlyIntegers()
{
    return std::trunc(value()) == value();
}
