#include "derived/DSTextConstantColumn.h"

#include <algorithm>

qint64 DSTextConstantColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    const qint64 rows = tableRowCount();
    offset = std::max<qint64>(offset, 0);
    const qint64 left = rows - offset;
    const qint64 n = limit > 0 && limit < left ? limit : left;
    const char **pointers = n > 0 ? temp_pointers.reserve(n) : nullptr;
    if (pointers) {
        if (const QByteArray text = value().toUtf8(); text != m_text || m_text.isNull())
            m_text = text.isNull() ? QByteArray("") : text;
        std::fill_n(pointers, n, m_text.constData());
        temp_pointers.setUsed(n);
    }
    if (out)
        *out = pointers;
    return pointers ? n : 0;
}

qint64 DSTextConstantColumn::getMissingMask(const uint8_t **out)
{
    if (out)
        *out = nullptr;
    return 0;
}
