#include "model/util/ck_hash_table.h"

#include <cstdlib>
#include <cstring>

static inline uint64_t rotl(uint64_t x, int b)
{
    return (x << b) | (x >> (64 - b));
}

static inline uint64_t read_le64(const uint8_t *p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

static inline void sip_round(uint64_t &v0, uint64_t &v1, uint64_t &v2, uint64_t &v3)
{
    v0 += v1;
    v1 = rotl(v1, 13);
    v1 ^= v0;
    v0 = rotl(v0, 32);
    v2 += v3;
    v3 = rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = rotl(v1, 17);
    v1 ^= v2;
    v2 = rotl(v2, 32);
}

uint64_t ck_hash_siphash24_keyed(const uint8_t key[16], const void *bytes, uint64_t length)
{
    const uint8_t *in = static_cast<const uint8_t *>(bytes);
    const uint64_t k0 = read_le64(key), k1 = read_le64(key + 8);
    uint64_t v0 = 0x736f6d6570736575ULL ^ k0;
    uint64_t v1 = 0x646f72616e646f6dULL ^ k1;
    uint64_t v2 = 0x6c7967656e657261ULL ^ k0;
    uint64_t v3 = 0x7465646279746573ULL ^ k1;

    const uint8_t *end = in + (length & ~uint64_t(7));
    for (; in != end; in += 8) {
        const uint64_t m = read_le64(in);
        v3 ^= m;
        sip_round(v0, v1, v2, v3);
        sip_round(v0, v1, v2, v3);
        v0 ^= m;
    }
    // The last block holds the remaining bytes and the length's low byte.
    uint64_t last = length << 56;
    for (uint64_t i = 0; i < (length & 7); ++i)
        last |= uint64_t(in[i]) << (8 * i);
    v3 ^= last;
    sip_round(v0, v1, v2, v3);
    sip_round(v0, v1, v2, v3);
    v0 ^= last;

    v2 ^= 0xff;
    for (int i = 0; i < 4; ++i)
        sip_round(v0, v1, v2, v3);
    return v0 ^ v1 ^ v2 ^ v3;
}

uint64_t ck_hash_siphash24(const void *bytes, uint64_t length)
{
    static const uint8_t zero_key[16] = {};
    return ck_hash_siphash24_keyed(zero_key, bytes, length);
}

ck_hash_table_s *ck_hash_create(uint64_t slot_count, uint64_t key_bytes_per_slot)
{
    auto *table = static_cast<ck_hash_table_s *>(std::calloc(1, sizeof(ck_hash_table_s)));
    if (!table)
        return nullptr;
    if (key_bytes_per_slot && slot_count > UINT64_MAX / key_bytes_per_slot) {
        std::free(table);
        return nullptr;
    }
    const uint64_t capacity = slot_count * key_bytes_per_slot;
    table->slots = static_cast<ck_hash_entry_s *>(std::calloc(slot_count ? slot_count : 1, sizeof(ck_hash_entry_s)));
    table->key_bytes = static_cast<uint8_t *>(std::malloc(capacity ? capacity : 1));
    if (!table->slots || !table->key_bytes) {
        ck_hash_free(table);
        return nullptr;
    }
    table->slot_count = slot_count;
    table->key_bytes_capacity = capacity;
    ck_hash_wipe(table);
    return table;
}

void ck_hash_free(ck_hash_table_s *table)
{
    if (!table)
        return;
    std::free(table->slots);
    std::free(table->key_bytes);
    std::free(table);
}

void ck_hash_wipe(ck_hash_table_s *table)
{
    table->entry_count = 0;
    table->key_bytes_used = 0;
    if (table->slot_count)
        std::memset(table->slots, 0, table->slot_count * sizeof(ck_hash_entry_s));
}

static inline bool slot_holds(const ck_hash_table_s *table, const ck_hash_entry_s &slot,
                              const void *key, uint64_t key_length)
{
    return slot.key_length == key_length &&
           std::memcmp(table->key_bytes + slot.key_offset, key, key_length) == 0;
}

// The slot holding the key, or else the empty slot where it would go; NULL
// when the probe comes round without finding either.
static ck_hash_entry_s *probe(const ck_hash_table_s *table, const void *key, uint64_t key_length)
{
    const uint64_t start = ck_hash_siphash24(key, key_length) % table->slot_count;
    uint64_t i = start;
    do {
        ck_hash_entry_s &slot = table->slots[i];
        if (slot.key_length == 0 || slot_holds(table, slot, key, key_length))
            return &slot;
        if (++i == table->slot_count)
            i = 0;
    } while (i != start);
    return nullptr;
}

uint64_t ck_hash_lookup(const void *key, uint64_t key_length, const ck_hash_table_s *table)
{
    if (table->entry_count == 0 || key_length == 0)
        return 0;
    const ck_hash_entry_s *slot = probe(table, key, key_length);
    return slot && slot->key_length ? slot->stored_value : 0;
}

// Makes room for extra more key bytes by doubling the buffer; false when
// memory runs out (the buffer is then as it was).
static bool reserve_key_bytes(ck_hash_table_s *table, uint64_t extra)
{
    const uint64_t needed = table->key_bytes_used + extra;
    if (needed <= table->key_bytes_capacity)
        return true;
    // A buffer created empty has nothing to double, so it starts at the need.
    uint64_t capacity = table->key_bytes_capacity ? table->key_bytes_capacity : needed;
    while (capacity < needed)
        capacity *= 2;
    auto *bytes = static_cast<uint8_t *>(std::realloc(table->key_bytes, capacity));
    if (!bytes)
        return false;
    table->key_bytes = bytes;
    table->key_bytes_capacity = capacity;
    return true;
}

int ck_hash_insert(const void *key, uint64_t key_length, uint64_t value, ck_hash_table_s *table)
{
    if (table->slot_count == 0 || key_length == 0)
        return 0;
    if (double(table->entry_count) >= 0.75 * double(table->slot_count) && ck_hash_grow(table) != 0)
        return 0;
    ck_hash_entry_s *slot = probe(table, key, key_length);
    if (!slot)
        return 0;
    if (slot->key_length) {
        slot->stored_value = value;
        return 1;
    }
    if (!reserve_key_bytes(table, key_length))
        return 0;
    std::memcpy(table->key_bytes + table->key_bytes_used, key, key_length);
    *slot = {table->key_bytes_used, key_length, value};
    table->key_bytes_used += key_length;
    table->entry_count++;
    return 1;
}

int ck_hash_grow(ck_hash_table_s *table)
{
    if (table->slot_count == 0)
        return 0;
    const uint64_t new_count = 2 * table->slot_count;
    auto *slots = static_cast<ck_hash_entry_s *>(std::calloc(new_count, sizeof(ck_hash_entry_s)));
    if (!slots)
        return -1;
    uint64_t placed = 0;
    for (uint64_t s = 0; s < table->slot_count; ++s) {
        const ck_hash_entry_s &old = table->slots[s];
        if (old.key_length == 0)
            continue;
        uint64_t i = ck_hash_siphash24(table->key_bytes + old.key_offset, old.key_length) % new_count;
        while (slots[i].key_length != 0)
            i = i + 1 == new_count ? 0 : i + 1;
        slots[i] = old;
        ++placed;
    }
    std::free(table->slots);
    table->slots = slots;
    table->slot_count = new_count;
    table->entry_count = placed;
    return 0;
}

uint64_t ck_hash_lookup_double(double key, const ck_hash_table_s *table)
{
    return ck_hash_lookup(&key, sizeof key, table);
}

int ck_hash_insert_double(double key, uint64_t value, ck_hash_table_s *table)
{
    return ck_hash_insert(&key, sizeof key, value, table);
}

uint64_t ck_hash_lookup_float(float key, const ck_hash_table_s *table)
{
    return ck_hash_lookup(&key, sizeof key, table);
}

int ck_hash_insert_float(float key, uint64_t value, ck_hash_table_s *table)
{
    return ck_hash_insert(&key, sizeof key, value, table);
}

uint64_t ck_hash_lookup_string(const char *key, const ck_hash_table_s *table)
{
    return key ? ck_hash_lookup(key, std::strlen(key), table) : 0;
}

int ck_hash_insert_string(const char *key, uint64_t value, ck_hash_table_s *table)
{
    return key ? ck_hash_insert(key, std::strlen(key), value, table) : 0;
}
