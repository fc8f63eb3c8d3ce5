#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One immutable row mask of a table: bit r % 8 (least significant first) of
// byte r / 8 is set for a row the mask keeps, bits past the last row clear.
// Masks are handed out as std::shared_ptr<const DSRowMask>: a reader keeps
// its snapshot for as long as it reads, whatever rebuilds the table does in
// the meantime, and may read it from any thread. A null snapshot means
// every row.
class DSRowMask
{
public:
    // Takes bytes, which hold ds_mask_bytes(rows) bytes (asserted).
    DSRowMask(std::vector<uint8_t> bytes, int64_t rows);

    const uint8_t *bytes() const { return m_bytes.data(); }
    // The length in bytes: ds_mask_bytes(rows()).
    int64_t length() const { return int64_t(m_bytes.size()); }
    // The rows of the table the mask was built for.
    int64_t rows() const { return m_rows; }
    // The rows the mask keeps.
    int64_t count() const;

private:
    const std::vector<uint8_t> m_bytes;
    const int64_t m_rows;
};

using DSRowMaskRef = std::shared_ptr<const DSRowMask>;

// The bytes of a snapshot, null for "every row"; valid while the caller
// holds the snapshot.
inline const uint8_t *ds_mask_data(const DSRowMaskRef &mask)
{
    return mask ? mask->bytes() : nullptr;
}

// The length in bytes of a snapshot, 0 for "every row".
inline int64_t ds_mask_length(const DSRowMaskRef &mask)
{
    return mask ? mask->length() : 0;
}

// A snapshot holding a copy of length bytes of mask over rows rows (bytes
// past length clear, those past ds_mask_bytes(rows) dropped); null for a
// null mask, "every row".
DSRowMaskRef ds_row_mask_copy(const uint8_t *mask, int64_t length, int64_t rows);
