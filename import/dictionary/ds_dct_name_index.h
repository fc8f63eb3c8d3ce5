#pragma once

#include "import/dictionary/ds_stata_dct.h"

#include <cstdint>

// Finds a data dictionary's entries by name through a hash table, so the
// handlers that look a name up for every variable, label and format of a
// command file take time linear in its size rather than in the square of
// its variables. The table covers the entries in the order they were
// appended and takes in new ones at each lookup: an entry's name must be
// set before the next lookup and not change afterwards.
struct ds_dct_name_index_s {
    int32_t *slots;   // entry numbers, -1 where empty; a power of two long
    uint32_t mask;    // slots - 1
    int32_t indexed;  // entries 0 .. indexed - 1 are in the table
};

// The number of the first entry of `entries` (n long) named `name` byte for
// byte, or -1. Makes or grows `*index` on the way (system allocator; free
// it with ds_dct_name_index_free); when memory cannot be had the index is
// freed and the lookup searches the entries one by one.
int32_t ds_dct_name_index_find(ds_dct_name_index_s **index, const ds_stata_dct_entry_s *entries, int32_t n,
                               const char *name);

// Frees the index; none is allowed.
void ds_dct_name_index_free(ds_dct_name_index_s *index);
