#include "model/util/ds_text_table.h"

#include <algorithm>
#include <cstring>


ds_text_table::ds_text_table(int64_t expected)
{
    uint64_t slots = 16;
    while (slots < 2 * uint64_t(std::max<int64_t>(expected, 1)))
        slots *= 2;
    m_slots.assign(slots, slot{0, {0, 0}, 0, -1});
    m_mask = slots - 1;
}

ds_text_table::key ds_text_table::keyOf(const char *text, uint64_t length, uint64_t hash)
{
    key k{text, length, hash, {0, 0}};
    if (length > 0)
        k.head[0] = loadWord(text, std::min<uint64_t>(length, 8));
    if (length > 8)
        k.head[1] = loadWord(text + 8, std::min<uint64_t>(length - 8, 8));
    return k;
}

bool ds_text_table::holds(const slot &s, const key &k) const
{
    if (s.hash != k.hash || s.length != uint32_t(k.length) || s.head[0] != k.head[0] || s.head[1] != k.head[1])
        return false;
    const size_t head = sizeof k.head;
    return k.length <= head || (m_lengths[size_t(s.id)] == k.length
                                && std::memcmp(m_texts[size_t(s.id)] + head, k.text + head, size_t(k.length) - head) == 0);
}

int32_t ds_text_table::find(const char *text, uint64_t length, uint64_t hash) const
{
    const key k = keyOf(text, length, hash);
    for (uint64_t i = hash & m_mask;; i = (i + 1) & m_mask) {
        const slot &s = m_slots[i];
        if (s.id < 0)
            return -1;
        if (holds(s, k))
            return s.id;
    }
}

int32_t ds_text_table::insert(const char *text, uint64_t length, uint64_t hash)
{
    const key k = keyOf(text, length, hash);
    uint64_t i = hash & m_mask;
    for (;; i = (i + 1) & m_mask) {
        const slot &s = m_slots[i];
        if (s.id < 0)
            break;
        if (holds(s, k))
            return s.id;
    }
    if (2 * (m_texts.size() + 1) > m_slots.size()) {
        grow();
        return insert(text, length, hash);
    }
    const int32_t id = int32_t(m_texts.size());
    m_texts.push_back(text);
    m_lengths.push_back(length);
    m_hashes.push_back(hash);
    m_slots[i] = slot{hash, {k.head[0], k.head[1]}, uint32_t(length), id};
    return id;
}

void ds_text_table::place(const slot &s)
{
    uint64_t i = s.hash & m_mask;
    while (m_slots[i].id >= 0)
        i = (i + 1) & m_mask;
    m_slots[i] = s;
}

void ds_text_table::grow()
{
    std::vector<slot> old(2 * m_slots.size(), slot{0, {0, 0}, 0, -1});
    old.swap(m_slots);
    m_mask = m_slots.size() - 1;
    for (const slot &s : old)
        if (s.id >= 0)
            place(s);
}
