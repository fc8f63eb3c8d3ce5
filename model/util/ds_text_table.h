#pragma once
// A hash table from texts to small ids, made for indexing the rows of a
// text column: ids are given in order of insertion (0, 1, ...), and the
// table keeps, per id, the text pointer first inserted (never a copy: the
// texts must outlive the table), its length and its hash.
//
// Open addressing over a power-of-two number of 32-byte slots, at most half
// full. Each slot holds the text's 64-bit hash, its length and its first 16
// bytes, so that a probe compares most texts without reading them; only
// longer texts are compared through their pointers.
//
// Memory comes from std::vector: running out throws std::bad_alloc, after
// which the table is only fit to be destroyed. Threads: insertions must not overlap other
// calls; lookups may run concurrently once the table is complete.

#include <cstdint>
#include <cstring>
#include <vector>

class ds_text_table
{
public:
    // A table with room for `expected` texts before it first grows.
    explicit ds_text_table(int64_t expected = 512);

    // The hash of length bytes of text (inline: it runs once a row).
    static uint64_t hash(const char *text, uint64_t length)
    {
        uint64_t h = length * 0x9e3779b97f4a7c15ULL;
        uint64_t at = 0;
        for (; at + 8 <= length; at += 8)
            h = (h ^ loadWord(text + at, 8)) * 0x9e3779b97f4a7c15ULL;
        if (at < length)
            h = (h ^ loadWord(text + at, length - at)) * 0x9e3779b97f4a7c15ULL;
        // The finaliser of MurmurHash3: every input bit reaches every output bit.
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdULL;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ULL;
        return h ^ (h >> 33);
    }

    // The id of the text, inserting it with the next id when absent.
    int32_t insert(const char *text, uint64_t length, uint64_t hash);
    // The id of the text, or -1 when it is absent.
    int32_t find(const char *text, uint64_t length, uint64_t hash) const;

    // Asks the processor to fetch the first slot a text of this hash probes,
    // so that a loop can look a few rows ahead while it inserts.
    void prefetch(uint64_t hash) const { __builtin_prefetch(&m_slots[hash & m_mask]); }

    int64_t size() const { return int64_t(m_texts.size()); }
    const char *text(int32_t id) const { return m_texts[size_t(id)]; }
    uint64_t length(int32_t id) const { return m_lengths[size_t(id)]; }
    uint64_t hashOf(int32_t id) const { return m_hashes[size_t(id)]; }

private:
    // n (1 to 8) bytes as a little-endian word; never reads past them.
    static uint64_t loadWord(const char *bytes, uint64_t n)
    {
        uint64_t word = 0;
        if (n == 8) {
            std::memcpy(&word, bytes, 8);
            return word;
        }
        for (uint64_t i = 0; i < n; ++i)
            word |= uint64_t(uint8_t(bytes[i])) << (8 * i);
        return word;
    }

    struct slot
    {
        uint64_t hash;
        uint64_t head[2];  // the first 16 bytes, zero padded
        uint32_t length;   // of longer texts only the low 32 bits; the rest compares them
        int32_t id;        // -1 for an empty slot
    };
    // A text looked up: its bytes, length, hash and padded head.
    struct key
    {
        const char *text;
        uint64_t length;
        uint64_t hash;
        uint64_t head[2];
    };

    static key keyOf(const char *text, uint64_t length, uint64_t hash);
    bool holds(const slot &s, const key &k) const;
    void place(const slot &s);
    void grow();

    std::vector<slot> m_slots;
    uint64_t m_mask = 0;
    std::vector<const char *> m_texts;
    std::vector<uint64_t> m_lengths;
    std::vector<uint64_t> m_hashes;
};
