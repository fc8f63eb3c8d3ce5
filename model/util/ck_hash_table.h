#pragma once
// An open-addressing hash table from byte strings to 64-bit values.
//
// Keys are copied, back to back, into one key buffer the table owns, so a
// caller may pass temporary keys. A stored value of 0 means "absent": callers
// never store 0, and a lookup returns the value directly.
//
// Threads: inserts and wipes must not overlap any other call on the same
// table; once a table is complete, any number of threads may look it up.

#include <cstdint>

struct ck_hash_entry_s {
    uint64_t key_offset;    // first byte of the key in key_bytes
    uint64_t key_length;    // 0 marks an empty slot
    uint64_t stored_value;  // never 0 for an occupied slot
};

struct ck_hash_table_s {
    uint64_t slot_count;
    uint64_t entry_count;
    ck_hash_entry_s *slots;       // slot_count entries
    uint8_t *key_bytes;           // every stored key, back to back
    uint64_t key_bytes_used;
    uint64_t key_bytes_capacity;
};

// A new empty table of slot_count slots with a key buffer of slot_count x
// key_bytes_per_slot bytes. Returns NULL when an allocation fails, having
// released what it had allocated. The caller owns the table and frees it with
// ck_hash_free. A table of 0 slots accepts no entries.
ck_hash_table_s *ck_hash_create(uint64_t slot_count, uint64_t key_bytes_per_slot);

// Frees the slots, the key buffer and the table. NULL is allowed.
void ck_hash_free(ck_hash_table_s *table);

// Removes every entry, keeping the slot array and key buffer allocated.
void ck_hash_wipe(ck_hash_table_s *table);

// The value stored for the key, or 0 when it is absent. A key of length 0 is
// never found.
uint64_t ck_hash_lookup(const void *key, uint64_t key_length, const ck_hash_table_s *table);

// Stores value (never 0) under the key, replacing the value of a key already
// present. Returns 1 on success; 0 when the key is empty, the table has no
// slots, or memory runs out, and then the entries are unchanged. The table
// doubles its slots first when it is three-quarters full.
int ck_hash_insert(const void *key, uint64_t key_length, uint64_t value, ck_hash_table_s *table);

// The key is the 8 bytes of the double as stored, so 0.0 and -0.0 differ,
// as do NaNs of different bit patterns.
uint64_t ck_hash_lookup_double(double key, const ck_hash_table_s *table);
int ck_hash_insert_double(double key, uint64_t value, ck_hash_table_s *table);

// The key is the 4 bytes of the float as stored.
uint64_t ck_hash_lookup_float(float key, const ck_hash_table_s *table);
int ck_hash_insert_float(float key, uint64_t value, ck_hash_table_s *table);

// The key is the string's bytes without its NUL; the empty string is never
// stored. A NULL string is treated as the empty string.
uint64_t ck_hash_lookup_string(const char *key, const ck_hash_table_s *table);
int ck_hash_insert_string(const char *key, uint64_t value, ck_hash_table_s *table);

// Doubles the slot array and re-places every entry; the key buffer is kept
// as it is. Returns 0, or -1 when the new array cannot be allocated, and
// then the table is unchanged.
int ck_hash_grow(ck_hash_table_s *table);

// SipHash-2-4 of the bytes under the table's key of sixteen zero bytes.
uint64_t ck_hash_siphash24(const void *bytes, uint64_t length);

// SipHash-2-4 under any 16-byte key, so the function can be checked against
// the published test vectors.
uint64_t ck_hash_siphash24_keyed(const uint8_t key[16], const void *bytes, uint64_t length);
