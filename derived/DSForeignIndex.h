#pragma once

#include <QList>

#include <cstdint>
#include <vector>

class DSColumn;
class DSJoinColumnCondition;
struct ck_hash_table_s;

// The foreign index of a joined column (the join key of every row of the
// foreign table, ds_make_join_key, with its row) and the lookups of the
// local rows through it. Where foreign keys repeat, the last foreign row of
// a key is the one found, on every path and for every kind, as the joined
// missing mask (markJoinMisses) has it.
//
// Threads: the main thread builds and frees the index; the lookups of one
// request read it from the parallel chunks.
class DSForeignIndex
{
public:
    DSForeignIndex() = default;
    ~DSForeignIndex();
    DSForeignIndex(const DSForeignIndex &) = delete;
    DSForeignIndex &operator=(const DSForeignIndex &) = delete;

    // Frees the index and the rows of the last lookup; the next request of
    // several rows builds the index afresh.
    void purge();
    bool isBuilt() const { return _foreign_index_table != nullptr; }

    // The foreign row whose value each local row of offset to offset +
    // rows - 1 (rows: the local table's rows of the asked range, offset at
    // least 0) takes, -1 where no foreign row has the row's key: one entry
    // per row whose local keys can be read (none without conditions, fewer
    // when a local key column delivers fewer rows). A single row asked
    // before the index exists is found by a scan of the foreign keys, which
    // leaves the index unbuilt; otherwise the index of joined's conditions
    // is built first. When memory for it runs out (logged) every row finds
    // nothing and nothing is kept. Every key column's values are read and
    // done with before this returns, so the caller may then read any column,
    // a key column included. The rows belong to the index, valid until its
    // next lookup.
    const std::vector<int64_t> &foreignRows(DSColumn &joined, qint64 offset, qint64 rows);

    // to[j] = from[rows[j]] for each of the rows, none where rows[j] is not
    // one of from's n rows (or from is null).
    template <class T>
    static void gather(const std::vector<int64_t> &rows, const T *from, qint64 n, T none, T *to)
    {
        for (size_t j = 0; j < rows.size(); ++j)
            to[j] = from && rows[j] >= 0 && rows[j] < n ? from[rows[j]] : none;
    }

    // Sets in mask (absolute rows) the bit of each row offset + j of the
    // count rows whose foreign row rows[j] (foreignRows' answer) is none or
    // missing in the input (inputMissing, inputLength bytes; every row
    // without an input); whether it set any.
    static bool markMisses(uint8_t *mask, qint64 offset, qint64 count, const std::vector<int64_t> &rows,
                           bool hasInput, const uint8_t *inputMissing, qint64 inputLength);
    // The joined part of the missing mask of joined (a text, numeric or time
    // joined column, mask its shared mask set up for the range): markMisses
    // for the rows foreignRows finds, so the mask and the values agree.
    bool markJoinMisses(DSColumn &joined, uint8_t *mask, qint64 offset, qint64 count);

    // The missing mask of a text, numeric or time joined column: its kind's
    // set-up (the column's own missing-values rule), then the rows that find
    // no foreign row with a value (joined.setupJoinedMissingMask). The
    // shared mask's length, or 0 and a null *out when no row of the range is
    // missing by either rule.
    static qint64 joinedMissingMask(DSColumn &joined, const uint8_t **out, qint64 offset, qint64 limit);

private:
    // Builds the index from every foreign row's key; false (logged) when
    // memory runs out.
    bool build(const QList<DSJoinColumnCondition *> &conditions);

    ck_hash_table_s *_foreign_index_table = nullptr;
    std::vector<int64_t> m_rows;
};
