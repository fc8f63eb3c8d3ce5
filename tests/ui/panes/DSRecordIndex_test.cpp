#include "ui/panes/DSRecordIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct IndexCase
{
    std::vector<double> keys;
    std::vector<int64_t> mask, ascending, descending;
};

template <class T>
std::vector<T> readLine(std::ifstream &in, const std::string &label)
{
    std::string line, word;
    std::getline(in, line);
    std::istringstream words(line);
    words >> word;
    EXPECT_EQ(word, label);
    std::vector<T> out;
    while (words >> word)
        out.push_back(word == "nan" ? T(NAN) : T(std::stod(word)));
    return out;
}

// Cases written by fixtures/make_record_index.py (numpy's stable argsort).
std::vector<IndexCase> oracleCases()
{
    std::ifstream in("fixtures/record_index.txt");
    std::vector<IndexCase> cases;
    while (in.peek() == 'k') {
        IndexCase c;
        c.keys = readLine<double>(in, "keys");
        c.mask = readLine<int64_t>(in, "mask");
        c.ascending = readLine<int64_t>(in, "ascending");
        c.descending = readLine<int64_t>(in, "descending");
        cases.push_back(std::move(c));
    }
    return cases;
}

void readKeys(void *context, int64_t first, int64_t count, double *keys)
{
    const auto *all = static_cast<const std::vector<double> *>(context);
    for (int64_t k = 0; k < count; ++k)
        keys[k] = (*all)[size_t(first + k)];
}

std::vector<int64_t> rows(const DSRecordIndex &index)
{
    std::vector<int64_t> records;
    for (int64_t row = 0; row < index.rowCount(); ++row)
        records.push_back(index.recordAtRow(row));
    return records;
}

std::vector<uint8_t> maskOf(const std::vector<int64_t> &records, int64_t n)
{
    std::vector<uint8_t> mask(size_t((n + 7) / 8));
    for (int64_t r : records)
        mask[size_t(r >> 3)] |= uint8_t(1 << (r & 7));
    return mask;
}

} // namespace

TEST(DSRecordIndex, SortsLikeAStableArgsortWithMissingFirstAscendingAndLastDescending)
{
    const std::vector<IndexCase> cases = oracleCases();
    ASSERT_EQ(cases.size(), 4u);
    for (const IndexCase &c : cases) {
        const int64_t n = int64_t(c.keys.size());
        const std::vector<uint8_t> mask = maskOf(c.mask, n);
        DSRecordIndex index;
        ASSERT_EQ(index.rebuild(mask.data(), int64_t(mask.size()), n, true, readKeys, (void *)&c.keys),
                  int64_t(c.mask.size()));
        EXPECT_EQ(rows(index), c.ascending) << n << " records";
        index.rebuild(mask.data(), int64_t(mask.size()), n, false, readKeys, (void *)&c.keys);
        EXPECT_EQ(rows(index), c.descending) << n << " records";
        for (size_t row = 0; row < c.descending.size(); ++row)
            EXPECT_EQ(index.rowOfRecord(c.descending[row]), int64_t(row));
    }
}

TEST(DSRecordIndex, MasksAndRecordOrderAsCases)
{
    struct Case
    {
        const char *what;
        std::vector<int64_t> included;  // empty: no mask
        int64_t n;
        bool ascending;
        std::vector<int64_t> expected;
    };
    const Case cases[] = {
        {"every record in order", {}, 4, true, {0, 1, 2, 3}},
        {"no sort column descending runs last to first", {}, 4, false, {3, 2, 1, 0}},
        {"mask {3, 7} of 10", {3, 7}, 10, true, {3, 7}},
        {"a mask longer than the table", {1, 12}, 10, true, {1}},
    };
    for (const Case &c : cases) {
        const std::vector<uint8_t> mask = maskOf(c.included, 16);
        DSRecordIndex index;
        index.rebuild(c.included.empty() ? nullptr : mask.data(), c.included.empty() ? 0 : int64_t(mask.size()), c.n,
                      c.ascending, nullptr, nullptr);
        EXPECT_EQ(rows(index), c.expected) << c.what;
    }

    DSRecordIndex index;
    const std::vector<uint8_t> mask = maskOf({3, 7}, 10);
    ASSERT_EQ(index.rebuild(mask.data(), 2, 10, true, nullptr, nullptr), 2);
    for (int64_t record = 0; record < 10; ++record)
        EXPECT_EQ(index.rowOfRecord(record), record == 3 ? 0 : record == 7 ? 1 : -1) << record;
    EXPECT_EQ(index.recordAtRow(2), -1);

    const std::vector<uint8_t> none(2, 0);
    EXPECT_EQ(index.rebuild(none.data(), 2, 10, true, nullptr, nullptr), 0) << "a mask of no record gives no rows";
    EXPECT_EQ(index.rebuild(nullptr, 0, 0, true, nullptr, nullptr), 0) << "a table without records";
}
