#include "derived/DSForeignIndex.h"

#include "model/DSColumn.h"
#include "model/ds_join_key.h"
#include "model/ds_row_mask.h"
#include "model/util/ck_hash_table.h"

#include <algorithm>
#include <atomic>

namespace {

// The key values of one side of a join: slot i of the array of condition
// i's kind, for rows rows (pointers owned by the key columns, valid until
// their next request).
struct JoinKeys
{
    DSColumn::JoinTexts text;
    DSColumn::JoinValues numeric, time;
    qint64 rows = 0;

    void keyOf(std::vector<uint8_t> &key, qint64 row) const
    {
        ds_make_join_key(key, row, qint64(text.size()), text.data(), numeric.data(), time.data());
    }
};

JoinKeys foreignKeys(const QList<DSJoinColumnCondition *> &conditions)
{
    JoinKeys keys;
    keys.rows = DSColumn::populateForeignJoiningText(&keys.text, &keys.numeric, &keys.time, conditions);
    return keys;
}

JoinKeys localKeys(const QList<DSJoinColumnCondition *> &conditions, qint64 offset, qint64 rows)
{
    JoinKeys keys;
    keys.rows = DSColumn::populateLocalJoiningText(&keys.text, &keys.numeric, &keys.time, conditions, offset, rows);
    return keys;
}

// Whether the bit of a row of first to end - 1 is set.
bool anyRowMarked(const uint8_t *mask, qint64 first, qint64 end)
{
    for (; first < end && (first & 7); ++first)
        if (ds_mask_test(mask, first))
            return true;
    for (; first + 8 <= end; first += 8)
        if (mask[first >> 3])
            return true;
    for (; first < end; ++first)
        if (ds_mask_test(mask, first))
            return true;
    return false;
}

} // namespace

DSForeignIndex::~DSForeignIndex()
{
    ck_hash_free(_foreign_index_table);
}

void DSForeignIndex::purge()
{
    ck_hash_free(_foreign_index_table);
    _foreign_index_table = nullptr;
    std::vector<int64_t>().swap(m_rows);
}

bool DSForeignIndex::build(const QList<DSJoinColumnCondition *> &conditions)
{
    const JoinKeys foreign = foreignKeys(conditions);
    // Twice the rows keeps the load at one half, so the table never grows
    // while it is filled.
    ck_hash_table_s *table = ck_hash_create(uint64_t(2 * foreign.rows), 32);
    std::vector<uint8_t> key;
    for (qint64 i = 0; table && i < foreign.rows; ++i) {
        foreign.keyOf(key, i);
        // Inserted in row order, so a repeated key ends with its last row.
        if (!ck_hash_insert(key.data(), key.size(), uint64_t(i) + 1, table)) {
            ck_hash_free(table);
            table = nullptr;
        }
    }
    if (!table) {
        qCritical("Error in malloc()");
        return false;
    }
    _foreign_index_table = table;
    return true;
}

const std::vector<int64_t> &DSForeignIndex::foreignRows(DSColumn &joined, qint64 offset, qint64 rows)
{
    m_rows.clear();
    const QList<DSJoinColumnCondition *> conditions = joined.sortedJoinConditions();
    if (rows <= 0 || conditions.isEmpty())
        return m_rows;

    if (rows == 1 && !_foreign_index_table) {
        const JoinKeys local = localKeys(conditions, offset, 1);
        if (local.rows < 1)
            return m_rows;
        std::vector<uint8_t> key, other;
        local.keyOf(key, 0);
        const JoinKeys foreign = foreignKeys(conditions);
        int64_t found = -1;
        // Backwards: the last foreign row of a key is the one the index finds.
        for (qint64 i = foreign.rows - 1; i >= 0 && found < 0; --i) {
            foreign.keyOf(other, i);
            if (other == key)
                found = i;
        }
        m_rows.push_back(found);
        return m_rows;
    }

    // The foreign keys are copied into the index before the local ones are
    // read, so a column that is a key on both sides serves both.
    const bool indexed = _foreign_index_table || build(conditions);
    const JoinKeys local = localKeys(conditions, offset, rows);
    m_rows.assign(size_t(local.rows), -1);
    if (!indexed)
        return m_rows;
    const ck_hash_table_s *index = _foreign_index_table;
    int64_t *found = m_rows.data();
    ds_parallel_for_aligned(ds_row_chunks, uint64_t(local.rows), ds_mask_alignment,
                            [&](uint64_t, int64_t first, int64_t end) {
                                std::vector<uint8_t> key;
                                for (int64_t i = first; i < end; ++i) {
                                    local.keyOf(key, i);
                                    found[i] = int64_t(ck_hash_lookup(key.data(), key.size(), index)) - 1;
                                }
                            });
    return m_rows;
}

bool DSForeignIndex::markMisses(uint8_t *mask, qint64 offset, qint64 count, const std::vector<int64_t> &rows,
                                bool hasInput, const uint8_t *inputMissing, qint64 inputLength)
{
    std::atomic<bool> marked = false;
    ds_mark_rows(mask, offset, count, [&](int64_t j) {
        const int64_t row = j < qint64(rows.size()) ? rows[size_t(j)] : -1;
        const bool missing =
            !hasInput || row < 0 || (inputMissing && row / 8 < inputLength && ds_mask_test(inputMissing, row));
        if (missing)
            marked.store(true, std::memory_order_relaxed);
        return missing;
    });
    return marked.load();
}

bool DSForeignIndex::markJoinMisses(DSColumn &joined, uint8_t *mask, qint64 offset, qint64 count)
{
    offset = std::max<qint64>(offset, 0);
    if (count <= 0 || !mask || joined.missingMaskLength() < ds_mask_bytes(offset + count))
        return false;
    const std::vector<int64_t> &rows = foreignRows(joined, offset, count);
    DSColumn *source = joined.input();
    const uint8_t *theirMissing = nullptr;
    const qint64 theirLength = source ? source->getMissingMask(&theirMissing) : 0;
    return markMisses(mask, offset, count, rows, source != nullptr, theirMissing, theirLength);
}

qint64 DSForeignIndex::joinedMissingMask(DSColumn &joined, const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 length = joined.setupMissingMask(offset, limit);
    if (out)
        *out = nullptr;
    if (length <= 0)
        return 0;
    // Rows the column's own rule marked count as much as the join's misses.
    const bool joinMarked = joined.setupJoinedMissingMask(offset, limit);
    const qint64 end = std::min(offset + std::max<qint64>(limit, 0), length * 8);
    if (!joinMarked && !anyRowMarked(joined.missingMask(), offset, end))
        return 0;
    if (out)
        *out = joined.missingMask();
    return length;
}
