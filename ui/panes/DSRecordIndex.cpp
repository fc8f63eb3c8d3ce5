#include "ui/panes/DSRecordIndex.h"

#include "model/util/ds_sort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

bool included(const uint8_t *mask, int64_t maskBytes, int64_t record)
{
    return !mask || (record >> 3 < maskBytes && (mask[record >> 3] >> (record & 7) & 1));
}

int64_t countIncluded(const uint8_t *mask, int64_t maskBytes, int64_t n)
{
    if (!mask)
        return n;
    int64_t count = 0;
    for (int64_t i = 0; i < maskBytes; ++i)
        count += std::popcount(mask[i]);
    return count;
}

} // namespace

int64_t DSRecordIndex::rebuild(const uint8_t *mask, int64_t maskBytes, int64_t n, bool ascending, KeyReader read,
                               void *context)
{
    if (maskBytes <= 0)
        mask = nullptr;
    n = std::min<int64_t>(n, std::numeric_limits<int32_t>::max());
    const int64_t m = std::min(countIncluded(mask, maskBytes, n), n);
    if (m <= 0 || n <= 0)
        return m_rows = 0;
    if (int64_t(m_sortedRecords.size()) < m)
        m_sortedRecords.resize(size_t(m));
    m_record2row.assign(size_t(n), -1);

    // Keys are read in blocks so that a column's values stream past once.
    constexpr int64_t block = 65536;
    std::vector<double> keys(static_cast<size_t>(m));
    std::vector<double> blockKeys(read ? size_t(std::min(block, n)) : 0);
    int64_t j = 0;
    for (int64_t first = 0; first < n && j < m; first += block) {
        const int64_t count = std::min(block, n - first);
        if (read)
            read(context, first, count, blockKeys.data());
        for (int64_t k = 0; k < count && j < m; ++k) {
            const int64_t record = first + k;
            if (!included(mask, maskBytes, record))
                continue;
            double key = read ? blockKeys[size_t(k)] : double(record);
            if (std::isnan(key))
                key = -std::numeric_limits<double>::infinity();
            keys[size_t(j)] = ascending ? key : -key;
            m_sortedRecords[size_t(j)] = int32_t(record);
            ++j;
        }
    }
    m_rows = j;
    // Record order is already ascending by number: only other keys sort.
    if (read || !ascending)
        ds_sort(keys.data(), m_sortedRecords.data(), m_rows);
    for (int64_t row = 0; row < m_rows; ++row)
        m_record2row[size_t(m_sortedRecords[size_t(row)])] = row;
    return m_rows;
}

int64_t DSRecordIndex::recordAtRow(int64_t row) const
{
    return row >= 0 && row < m_rows ? m_sortedRecords[size_t(row)] : -1;
}

int64_t DSRecordIndex::rowOfRecord(int64_t record) const
{
    if (record < 0 || record >= int64_t(m_record2row.size()))
        return -1;
    const int64_t row = m_record2row[size_t(record)];
    return row < m_rows ? row : -1;
}
