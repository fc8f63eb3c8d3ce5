// The plain text index functions on random data, against references built
// with the standard library: the index is the sorted set of distinct texts,
// every row's position names its own text, both index paths (one-byte
// table and hashing) agree, and the chunked weighted count equals a serial
// one.

#include "model/ds_text_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct Rows {
    std::vector<std::string> texts;
    std::vector<const char *> pointers;  // NULL for a missing string
};

// n rows drawn from `pool`, about one in nine NULL and one in eleven empty.
Rows randomRows(std::mt19937 &random, int64_t n, const std::vector<std::string> &pool)
{
    Rows rows;
    rows.texts.reserve(size_t(n));
    for (int64_t i = 0; i < n; ++i)
        rows.texts.push_back(pool[random() % pool.size()]);
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t kind = random() % 99;
        rows.pointers.push_back(kind < 11 ? nullptr : kind < 20 ? "" : rows.texts[size_t(i)].c_str());
    }
    return rows;
}

// Checks the index and positions of the rows against a std::set of their
// texts; answers the index as strings.
std::vector<std::string> checkIndex(const Rows &rows, const char *what)
{
    const int64_t n = int64_t(rows.pointers.size());
    std::set<std::string> distinct;
    bool blank = false;
    for (const char *t : rows.pointers) {
        if (ds_text_blank(t))
            blank = true;
        else
            distinct.insert(t);
    }
    std::vector<const char *> index(distinct.size() + 1);
    const int64_t length = ds_text_index_build(rows.pointers.data(), n, [&](int64_t m) {
        index.resize(size_t(m));
        return index.data();
    });
    EXPECT_EQ(length, int64_t(distinct.size()) + (blank ? 1 : 0)) << what;
    EXPECT_EQ(ds_text_unique_count(rows.pointers.data(), n), length) << what;
    std::vector<std::string> texts;
    for (int64_t p = 0; p < length; ++p)
        texts.push_back(index[size_t(p)] ? index[size_t(p)] : "<null>");
    std::vector<std::string> expected(distinct.begin(), distinct.end());  // std::string orders by bytes
    if (blank)
        expected.push_back("<null>");
    EXPECT_EQ(texts, expected) << what;

    std::vector<int32_t> positions(size_t(n), -7);
    EXPECT_TRUE(ds_text_index_positions(index.data(), length, rows.pointers.data(), n, positions.data()));
    for (int64_t i = 0; i < n; ++i) {
        const char *t = rows.pointers[size_t(i)];
        const int32_t p = positions[size_t(i)];
        if (ds_text_blank(t))
            EXPECT_EQ(p, length - 1) << what << " row " << i;
        else
            EXPECT_TRUE(p >= 0 && p < length && std::strcmp(index[size_t(p)], t) == 0) << what << " row " << i;
    }
    return texts;
}

TEST(ds_text_index, BothPathsAgreeWithAReferenceOnRandomData)
{
    std::mt19937 random(19);
    std::vector<std::string> bytes;
    for (int b = 1; b < 256; b += 3)
        bytes.push_back(std::string(1, char(b)));
    std::vector<std::string> words = bytes;
    for (int i = 0; i < 3000; ++i)
        words.push_back("w" + std::to_string(random() % 5000) + std::string(random() % 40, char('a' + i % 26)));
    for (int64_t n : {1, 7, 600, 50000}) {
        const Rows oneByte = randomRows(random, n, bytes);
        const std::vector<std::string> byTable = checkIndex(oneByte, "one-byte");
        // The same rows with one two-byte text added go through hashing; the
        // index is the one-byte index with that text in its place.
        Rows hashed = oneByte;
        hashed.pointers.push_back("\x01\x01");
        std::vector<std::string> expected = byTable;
        expected.insert(std::upper_bound(expected.begin(), expected.end() - (expected.back() == "<null>"), "\x01\x01"),
                        "\x01\x01");
        EXPECT_EQ(checkIndex(hashed, "hashed"), expected) << n;
        checkIndex(randomRows(random, n, words), "words");
    }
    EXPECT_EQ(ds_text_index_build(nullptr, 0, [](int64_t) -> const char ** { return nullptr; }), 0);
}

// Sixteen chunks merged pairwise count what one serial loop counts: weights,
// the include mask, missing flags, rows fewer than the chunks.
TEST(ds_text_index, ChunkedCountsEqualASerialCount)
{
    std::mt19937 random(7);
    for (int64_t n : {5, 16, 1000, 100003}) {
        const int64_t length = 1 + int64_t(random() % 50);
        std::vector<const char *> index(size_t(length), "t");
        std::vector<int32_t> positions(static_cast<size_t>(n)), weights(static_cast<size_t>(n - n / 3));
        for (auto &p : positions)
            p = int32_t(random() % uint32_t(length));
        for (auto &w : weights)
            w = int32_t(random() % 5);
        std::vector<uint8_t> mask(size_t((n + 7) / 8)), missing(size_t((n + 7) / 16 + 1));
        for (auto &b : mask)
            b = uint8_t(random());
        for (auto &b : missing)
            b = uint8_t(random() & random());
        const ds_text_rows_s rows = {positions.data(), n, missing.data(), int64_t(missing.size()),
                                     weights.data(), int64_t(weights.size())};
        std::vector<ds_txt_counts_s> counts(static_cast<size_t>(length));
        ASSERT_TRUE(ds_text_index_counts(index.data(), length, &rows, mask.data(), int64_t(mask.size()), counts.data()));
        EXPECT_EQ(ds_text_count_chunks(length), 16);

        std::vector<int64_t> serial(size_t(length), 0), flags(size_t(length), 0);
        for (int64_t i = 0; i < n; ++i) {
            const int32_t p = positions[size_t(i)];
            if (i / 8 < int64_t(missing.size()) && (missing[size_t(i / 8)] >> (i % 8)) & 1)
                flags[size_t(p)] = 1;
            if ((mask[size_t(i / 8)] >> (i % 8)) & 1)
                serial[size_t(p)] += i < int64_t(weights.size()) ? weights[size_t(i)] : 1;
        }
        for (int64_t p = 0; p < length; ++p) {
            EXPECT_EQ(counts[size_t(p)].count, serial[size_t(p)]) << n << " entry " << p;
            EXPECT_EQ(counts[size_t(p)].missing, flags[size_t(p)]) << n << " entry " << p;
        }
    }
    EXPECT_LT(ds_text_count_chunks(int64_t(1) << 21), 16) << "a long index is counted in fewer chunks";
}

} // namespace
