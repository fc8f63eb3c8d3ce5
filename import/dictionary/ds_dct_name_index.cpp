#include "import/dictionary/ds_dct_name_index.h"

#include <cstdlib>
#include <cstring>

namespace {

uint32_t name_hash(const char *name)
{
    uint32_t h = 2166136261u; // FNV-1a
    for (const unsigned char *b = reinterpret_cast<const unsigned char *>(name); *b; b++)
        h = (h ^ *b) * 16777619u;
    return h;
}

// The slot holding the first entry named `name`, or the empty slot where it
// would go.
uint32_t probe(const ds_dct_name_index_s *index, const ds_stata_dct_entry_s *entries, const char *name)
{
    uint32_t slot = name_hash(name) & index->mask;
    while (index->slots[slot] >= 0 && strcmp(entries[index->slots[slot]].name, name) != 0)
        slot = (slot + 1) & index->mask;
    return slot;
}

// Enters entries indexed .. n - 1, keeping the first of each name.
void take_in(ds_dct_name_index_s *index, const ds_stata_dct_entry_s *entries, int32_t n)
{
    for (; index->indexed < n; index->indexed++) {
        uint32_t slot = probe(index, entries, entries[index->indexed].name);
        if (index->slots[slot] < 0)
            index->slots[slot] = index->indexed;
    }
}

// An empty index with room for `n` entries at most half full; none when
// memory cannot be had.
ds_dct_name_index_s *new_index(int32_t n)
{
    uint32_t size = 64;
    while (size < 2 * uint32_t(n))
        size *= 2;
    auto *index = static_cast<ds_dct_name_index_s *>(malloc(sizeof(ds_dct_name_index_s)));
    int32_t *slots = static_cast<int32_t *>(malloc(size * sizeof(int32_t)));
    if (!index || !slots) {
        free(index);
        free(slots);
        return nullptr;
    }
    memset(slots, 0xff, size * sizeof(int32_t));
    *index = {slots, size - 1, 0};
    return index;
}

int32_t linear_find(const ds_stata_dct_entry_s *entries, int32_t n, const char *name)
{
    for (int32_t i = 0; i < n; i++)
        if (strcmp(entries[i].name, name) == 0)
            return i;
    return -1;
}

} // namespace

int32_t ds_dct_name_index_find(ds_dct_name_index_s **index, const ds_stata_dct_entry_s *entries, int32_t n,
                               const char *name)
{
    if (!*index || uint32_t(n) > (*index)->mask / 2) {
        ds_dct_name_index_free(*index);
        *index = new_index(n);
        if (!*index)
            return linear_find(entries, n, name);
    }
    take_in(*index, entries, n);
    return (*index)->slots[probe(*index, entries, name)];
}

void ds_dct_name_index_free(ds_dct_name_index_s *index)
{
    if (!index)
        return;
    free(index->slots);
    free(index);
}
