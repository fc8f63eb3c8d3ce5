#pragma once

#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "platform/store/DSObjectFactory.h"

#include <cmath>
#include <vector>

// Columns whose values a test sets directly, standing in for the stored
// column classes: registered for their entities by useTestColumns().

class TestNumericColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;

    std::vector<double> values;

    qint64 getValues(const double **out, qint64 offset, qint64 limit) override
    {
        const qint64 count = std::max<qint64>(0, std::min<qint64>(limit, qint64(values.size()) - offset));
        *out = count ? values.data() + offset : nullptr;
        return count;
    }
    // NaN rows are missing.
    qint64 getMissingMask(const uint8_t **out, qint64, qint64) override
    {
        m_missing.assign((values.size() + 7) / 8, 0);
        bool any = false;
        for (size_t r = 0; r < values.size(); ++r)
            if (std::isnan(values[r])) {
                m_missing[r / 8] |= uint8_t(1u << (r % 8));
                any = true;
            }
        *out = any ? m_missing.data() : nullptr;
        return any ? qint64(m_missing.size()) : 0;
    }

private:
    std::vector<uint8_t> m_missing;
};

class TestIndicatorColumn : public DSIndicatorColumn
{
public:
    std::vector<uint8_t> bits, missing;

    qint64 getBytes(const uint8_t **values, const uint8_t **missingOut) override
    {
        *values = bits.empty() ? nullptr : bits.data();
        if (missingOut)
            *missingOut = missing.empty() ? nullptr : missing.data();
        return qint64(bits.size());
    }
};

inline void useTestColumns()
{
    DSObjectFactory::registerClass<TestNumericColumn>(QStringLiteral("DSNumericDataColumn"));
    DSObjectFactory::registerClass<TestIndicatorColumn>(QStringLiteral("DSIndicatorLocalColumn"));
}
