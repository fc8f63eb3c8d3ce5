#pragma once

#include <cstdint>
#include <vector>

// The records grid's map between its rows and the table's records: the
// records a row mask includes, in the order of a sort key, and back.
//
// The key of a record is what it sorts by: its number when the table has no
// sort column, a value (missing values as minus infinity), or a bin number.
// Ascending and descending orders are both stable: equal keys keep record
// order, so missing values come first ascending and last descending.
//
// Main thread only; the arrays belong to the index.
class DSRecordIndex
{
public:
    // Reads the keys of `count` records starting at `first` into keys[0..count).
    using KeyReader = void (*)(void *context, int64_t first, int64_t count, double *keys);

    // Rebuilds from a mask of maskBytes bytes (null or 0 bytes: every
    // record) over n records; keys from read (null: the record numbers).
    // Returns the number of rows. With no rows (an empty mask, no records)
    // the arrays are left as they were and there are no rows. Records
    // past 2^31 - 1 are not shown (the sort carries 32-bit companions).
    int64_t rebuild(const uint8_t *mask, int64_t maskBytes, int64_t n, bool ascending, KeyReader read,
                    void *context);

    int64_t rowCount() const { return m_rows; }
    // The record shown in a row, or -1 outside the rows of the last rebuild.
    int64_t recordAtRow(int64_t row) const;
    // The row showing a record, or -1 when it is not shown.
    int64_t rowOfRecord(int64_t record) const;

private:
    std::vector<int32_t> m_sortedRecords;  // only grows
    std::vector<int64_t> m_record2row;
    int64_t m_rows = 0;
};
