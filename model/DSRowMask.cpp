#include "model/DSRowMask.h"

#include "model/ds_row_mask.h"

#include <algorithm>
#include <bit>
#include <cassert>

DSRowMask::DSRowMask(std::vector<uint8_t> bytes, int64_t rows) : m_bytes(std::move(bytes)), m_rows(rows)
{
    assert(int64_t(m_bytes.size()) == ds_mask_bytes(rows));
}

int64_t DSRowMask::count() const
{
    int64_t kept = 0;
    for (uint8_t byte : m_bytes)
        kept += std::popcount(byte);
    return kept;
}

DSRowMaskRef ds_row_mask_copy(const uint8_t *mask, int64_t length, int64_t rows)
{
    if (!mask)
        return nullptr;
    std::vector<uint8_t> bytes(size_t(ds_mask_bytes(rows)), uint8_t(0));
    std::copy_n(mask, std::min<int64_t>(std::max<int64_t>(length, 0), int64_t(bytes.size())), bytes.begin());
    if (rows % 8 && !bytes.empty())
        bytes.back() &= uint8_t((1u << (rows % 8)) - 1);
    return std::make_shared<const DSRowMask>(std::move(bytes), rows);
}
