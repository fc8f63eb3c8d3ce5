#include "model/util/ck_hash_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TableDeleter {
    void operator()(ck_hash_table_s *t) const { ck_hash_free(t); }
};
using Table = std::unique_ptr<ck_hash_table_s, TableDeleter>;

Table make_table(uint64_t slots, uint64_t key_bytes)
{
    Table t(ck_hash_create(slots, key_bytes));
    EXPECT_NE(t, nullptr);
    return t;
}

// The published SipHash-2-4 vectors: key 00 01 .. 0f, message 00 01 .. (i-1)
// for i = 0 .. 63, output read as a little-endian 64-bit number.
const uint64_t siphash_vectors[64] = {
    0x726fdb47dd0e0e31, 0x74f839c593dc67fd, 0x0d6c8009d9a94f5a, 0x85676696d7fb7e2d,
    0xcf2794e0277187b7, 0x18765564cd99a68d, 0xcbc9466e58fee3ce, 0xab0200f58b01d137,
    0x93f5f5799a932462, 0x9e0082df0ba9e4b0, 0x7a5dbbc594ddb9f3, 0xf4b32f46226bada7,
    0x751e8fbc860ee5fb, 0x14ea5627c0843d90, 0xf723ca908e7af2ee, 0xa129ca6149be45e5,
    0x3f2acc7f57c29bdb, 0x699ae9f52cbe4794, 0x4bc1b3f0968dd39c, 0xbb6dc91da77961bd,
    0xbed65cf21aa2ee98, 0xd0f2cbb02e3b67c7, 0x93536795e3a33e88, 0xa80c038ccd5ccec8,
    0xb8ad50c6f649af94, 0xbce192de8a85b8ea, 0x17d835b85bbb15f3, 0x2f2e6163076bcfad,
    0xde4daaaca71dc9a5, 0xa6a2506687956571, 0xad87a3535c49ef28, 0x32d892fad841c342,
    0x7127512f72f27cce, 0xa7f32346f95978e3, 0x12e0b01abb051238, 0x15e034d40fa197ae,
    0x314dffbe0815a3b4, 0x027990f029623981, 0xcadcd4e59ef40c4d, 0x9abfd8766a33735c,
    0x0e3ea96b5304a7d0, 0xad0c42d6fc585992, 0x187306c89bc215a9, 0xd4a60abcf3792b95,
    0xf935451de4f21df2, 0xa9538f0419755787, 0xdb9acddff56ca510, 0xd06c98cd5c0975eb,
    0xe612a3cb9ecba951, 0xc766e62cfcadaf96, 0xee64435a9752fe72, 0xa192d576b245165a,
    0x0a8787bf8ecb74b2, 0x81b3e73d20b49b6f, 0x7fa8220ba3b2ecea, 0x245731c13ca42499,
    0xb78dbfaf3a8d83bd, 0xea1ad565322a1a0b, 0x60e61c23a3795013, 0x6606d7e446282b93,
    0x6ca4ecb15c5f91e1, 0x9f626da15c9625f3, 0xe51b38608ef25f57, 0x958a324ceb064572,
};

TEST(HashTable, SipHashMatchesPublishedVectors)
{
    uint8_t key[16], message[64];
    for (int i = 0; i < 16; ++i)
        key[i] = uint8_t(i);
    for (int i = 0; i < 64; ++i)
        message[i] = uint8_t(i);
    for (int len = 0; len < 64; ++len)
        EXPECT_EQ(ck_hash_siphash24_keyed(key, message, len), siphash_vectors[len]) << "length " << len;
}

TEST(HashTable, TableHashUsesTheZeroKey)
{
    const uint8_t zero_key[16] = {};
    const char text[] = "a column value";
    EXPECT_EQ(ck_hash_siphash24(text, std::strlen(text)),
              ck_hash_siphash24_keyed(zero_key, text, std::strlen(text)));
    EXPECT_NE(ck_hash_siphash24(text, 1), ck_hash_siphash24(text, 2));
}

TEST(HashTable, EmptyKeysAreNeverStored)
{
    Table t = make_table(16, 8);
    EXPECT_EQ(ck_hash_insert("x", 0, 5, t.get()), 0);
    EXPECT_EQ(ck_hash_insert_string("", 5, t.get()), 0);
    EXPECT_EQ(ck_hash_insert_string(nullptr, 5, t.get()), 0);
    EXPECT_EQ(t->entry_count, 0u);
    EXPECT_EQ(t->key_bytes_used, 0u);
    EXPECT_EQ(ck_hash_lookup_string("", t.get()), 0u);
}

TEST(HashTable, ReplacingAValueKeepsOneEntry)
{
    Table t = make_table(16, 8);
    EXPECT_EQ(ck_hash_insert_string("alpha", 5, t.get()), 1);
    EXPECT_EQ(ck_hash_insert_string("alpha", 7, t.get()), 1);
    EXPECT_EQ(t->entry_count, 1u);
    EXPECT_EQ(t->key_bytes_used, 5u);
    EXPECT_EQ(ck_hash_lookup_string("alpha", t.get()), 7u);
    EXPECT_EQ(ck_hash_lookup_string("alph", t.get()), 0u);
}

TEST(HashTable, The769thInsertDoublesTheSlots)
{
    Table t = make_table(1024, 8);
    for (uint64_t i = 1; i <= 768; ++i)
        ASSERT_EQ(ck_hash_insert_double(double(i), i, t.get()), 1);
    EXPECT_EQ(t->slot_count, 1024u);
    EXPECT_EQ(t->entry_count, 768u);
    ASSERT_EQ(ck_hash_insert_double(769.0, 769, t.get()), 1);
    EXPECT_EQ(t->slot_count, 2048u);
    EXPECT_EQ(t->entry_count, 769u);
    for (uint64_t i = 1; i <= 769; ++i)
        EXPECT_EQ(ck_hash_lookup_double(double(i), t.get()), i);
}

// Keys that share all bytes but one must each find their own value. The
// replaced bytes (multiples of 7) never equal the base byte 'k' (107), so
// every key is distinct.
TEST(HashTable, KeysDifferingInOneByteNeverCollide)
{
    Table t = make_table(64, 32);
    const std::string base(24, 'k');
    uint64_t next = 1;
    std::vector<std::pair<std::string, uint64_t>> stored;
    for (size_t pos = 0; pos < base.size(); ++pos)
        for (int byte = 0; byte < 256; byte += 7) {
            std::string key = base;
            key[pos] = char(byte);
            ASSERT_EQ(ck_hash_insert(key.data(), key.size(), next, t.get()), 1);
            stored.emplace_back(key, next++);
        }
    EXPECT_EQ(t->entry_count, stored.size());
    for (const auto &[key, value] : stored)
        EXPECT_EQ(ck_hash_lookup(key.data(), key.size(), t.get()), value);
    EXPECT_EQ(ck_hash_lookup(base.data(), base.size(), t.get()), 0u);
    // A key's prefix is a different key.
    EXPECT_EQ(ck_hash_lookup(stored[0].first.data(), base.size() - 1, t.get()), 0u);
}

TEST(HashTable, DoubleKeysCompareByBits)
{
    Table t = make_table(8, 8);
    const double nan_a = std::numeric_limits<double>::quiet_NaN();
    double nan_b;
    uint64_t bits;
    std::memcpy(&bits, &nan_a, 8);
    bits ^= 1;
    std::memcpy(&nan_b, &bits, 8);
    ASSERT_EQ(ck_hash_insert_double(0.0, 1, t.get()), 1);
    ASSERT_EQ(ck_hash_insert_double(-0.0, 2, t.get()), 1);
    ASSERT_EQ(ck_hash_insert_double(nan_a, 3, t.get()), 1);
    ASSERT_EQ(ck_hash_insert_double(nan_b, 4, t.get()), 1);
    EXPECT_EQ(t->entry_count, 4u);
    EXPECT_EQ(ck_hash_lookup_double(0.0, t.get()), 1u);
    EXPECT_EQ(ck_hash_lookup_double(-0.0, t.get()), 2u);
    EXPECT_EQ(ck_hash_lookup_double(nan_a, t.get()), 3u);
    EXPECT_EQ(ck_hash_lookup_double(nan_b, t.get()), 4u);
    ASSERT_EQ(ck_hash_insert_float(1.5f, 9, t.get()), 1);
    EXPECT_EQ(ck_hash_lookup_float(1.5f, t.get()), 9u);
    EXPECT_EQ(ck_hash_lookup_double(1.5, t.get()), 0u);
}

TEST(HashTable, KeyLongerThanTheBufferIsAccepted)
{
    for (uint64_t key_bytes : {8u, 0u}) {
        Table t = make_table(4, key_bytes);
        const std::string long_key(1000, 'z');
        ASSERT_EQ(ck_hash_insert(long_key.data(), long_key.size(), 3, t.get()), 1);
        EXPECT_GE(t->key_bytes_capacity, 1000u);
        EXPECT_EQ(ck_hash_lookup(long_key.data(), long_key.size(), t.get()), 3u);
        EXPECT_EQ(ck_hash_insert_string("short", 4, t.get()), 1);
        EXPECT_EQ(ck_hash_lookup_string("short", t.get()), 4u);
        EXPECT_EQ(t->key_bytes_used, 1005u);
    }
}

TEST(HashTable, WipeKeepsAllocationsAndForgetsKeys)
{
    Table t = make_table(16, 8);
    for (uint64_t i = 1; i <= 40; ++i)
        ck_hash_insert_double(double(i), i, t.get());
    const uint64_t slots = t->slot_count, capacity = t->key_bytes_capacity;
    ck_hash_wipe(t.get());
    EXPECT_EQ(t->entry_count, 0u);
    EXPECT_EQ(t->key_bytes_used, 0u);
    EXPECT_EQ(t->slot_count, slots);
    EXPECT_EQ(t->key_bytes_capacity, capacity);
    EXPECT_EQ(ck_hash_lookup_double(3.0, t.get()), 0u);
    EXPECT_EQ(ck_hash_insert_double(3.0, 30, t.get()), 1);
    EXPECT_EQ(ck_hash_lookup_double(3.0, t.get()), 30u);
}

TEST(HashTable, ZeroSlotTableAcceptsNothing)
{
    Table t = make_table(0, 8);
    EXPECT_EQ(ck_hash_insert_string("a", 1, t.get()), 0);
    EXPECT_EQ(ck_hash_lookup_string("a", t.get()), 0u);
    EXPECT_EQ(ck_hash_create(uint64_t(1) << 62, 32), nullptr);
}

TEST(HashTable, ManyKeysSurviveRepeatedGrowth)
{
    Table t = make_table(4, 8);
    for (uint64_t i = 1; i <= 100000; ++i)
        ASSERT_EQ(ck_hash_insert_double(std::sqrt(double(i)), i, t.get()), 1);
    EXPECT_EQ(t->entry_count, 100000u);
    EXPECT_LE(double(t->entry_count), 0.75 * double(t->slot_count));
    for (uint64_t i = 1; i <= 100000; i += 37)
        EXPECT_EQ(ck_hash_lookup_double(std::sqrt(double(i)), t.get()), i);
}

}  // namespace
