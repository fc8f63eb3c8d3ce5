#pragma once
// The key by which a joined column matches a local row with foreign rows.

#include <cstdint>
#include <vector>

// Writes into key the join key of row: for each of count conditions in
// order, the row's value from the array of the condition's kind (text[i],
// else numeric[i], else time[i]; the other two are null): a text as its
// bytes with ASCII letters upper-cased and no terminator (no bytes for a
// missing text, so a missing and an empty text join each other), a numeric
// or time value as the 8 bytes of the double as held in memory. Each part
// is preceded by its length (LEB128), so parts never run into each other:
// ("A|", "B") and ("A", "|B") give different keys. The key grows to any
// length; a condition with no array contributes a part of length 0.
// Returns the key's length in bytes (never 0 when count > 0).
int64_t ds_make_join_key(std::vector<uint8_t> &key, int64_t row, int64_t count, const char *const *const *text,
                         const double *const *numeric, const double *const *time);
