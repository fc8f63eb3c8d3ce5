// A table's own row masks under its active filter set, with no window: when
// a snapshot is rebuilt and when it is kept, the leave-one-out mask, and a
// reader on another thread holding a snapshot while the filters change
// (clean under AddressSanitizer and ThreadSanitizer).
#include "../model/ColumnsTestSupport.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "model/DSTableRowMasks.h"
#include "model/ds_filter_exclude_flags.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr int64_t k_rows = 20000;

class DSTableRowMasksTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_columns_test_setup(); }

    void SetUp() override
    {
        DSTableFilterSet::registerRowFilters();
        std::vector<double> fours(k_rows), halves(k_rows);
        for (int64_t i = 0; i < k_rows; ++i) {
            fours[size_t(i)] = double(i % 4);
            halves[size_t(i)] = double(i % 2);
        }
        DSNumericColumn *quarter = addColumn(fours, QStringLiteral("q"));
        DSNumericColumn *half = addColumn(halves, QStringLiteral("h"));
        quarter->setTreat_as_categories(true);
        half->setTreat_as_categories(true);
        set = ds_object_cast<DSTableFilterSet>(table()->filterSetAtIndex(0));
        table()->setActive_filter_set(set);
        table()->show_filters = true;
        quarters = set->replaceTableFilterAtIndex(0, quarter);
        halvesFilter = set->replaceTableFilterAtIndex(1, half);
    }

    void TearDown() override { DSTableRowMasks::registerFilterSource(nullptr); }

    // Keeps the quarters (i % 4) named, and sets the table's mask stale.
    void keepQuarters(DSIndexSet quartersKept)
    {
        quarters->setIndexSet(quartersKept, QStringLiteral("categoryIndexSet"));
        table()->row_masks().invalidate();
    }

    DSTableFilterSet *set = nullptr;
    DSTableFilter *quarters = nullptr, *halvesFilter = nullptr;
};

TEST_F(DSTableRowMasksTest, ASnapshotIsKeptUntilInvalidatedOrTheRowCountMoves)
{
    DSTableRowMasks &masks = table()->row_masks();
    EXPECT_EQ(masks.tableMask(), nullptr) << "no selection: every row";

    keepQuarters({0, 1});
    const DSRowMaskRef first = masks.tableMask();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->count(), k_rows / 2);
    EXPECT_EQ(masks.tableMask(), first) << "asked again: the same snapshot";

    masks.invalidate();
    const DSRowMaskRef second = masks.tableMask();
    EXPECT_NE(second, first) << "invalidated: a new snapshot";
    EXPECT_EQ(second->count(), first->count());

    table()->setNum_records(k_rows + 5);
    const DSRowMaskRef longer = masks.tableMask();
    EXPECT_NE(longer, second) << "the row count moved";
    EXPECT_EQ(longer->rows(), k_rows + 5);
    EXPECT_EQ(longer->length(), ds_mask_bytes(k_rows + 5));

    table()->show_filters = false;
    EXPECT_EQ(masks.tableMask(), nullptr) << "filters hidden: every row";
    table()->show_filters = true;
    DSTableRowMasks::registerFilterSource(nullptr);
    EXPECT_EQ(masks.tableMask(), nullptr) << "no filter source: every row";
}

TEST_F(DSTableRowMasksTest, TheLeaveOneOutMaskSkipsTheExcludedSlot)
{
    keepQuarters({0});
    halvesFilter->setIndexSet(DSIndexSet{1}, QStringLiteral("categoryIndexSet"));
    DSTableRowMasks &masks = table()->row_masks();
    const struct
    {
        const char *name;
        int excluded;
        int64_t kept;  // -1: every row, no mask
    } cases[] = {
        {"both filters: i % 4 = 0 and i odd", -1, 0},
        {"without the quarters", 0, k_rows / 2},
        {"without the halves", 1, k_rows / 4},
        {"an empty slot left out", 4, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DSRowMaskRef mask = masks.maskExcluding(c.excluded, ds_filter_exclude_everything);
        ASSERT_TRUE(mask);
        EXPECT_EQ(mask->count(), c.kept);
        EXPECT_FALSE(masks.isEveryRowExcluding(c.excluded, ds_filter_exclude_everything));
    }
    halvesFilter->setIndexSet(std::nullopt, QStringLiteral("categoryIndexSet"));
    EXPECT_TRUE(masks.isEveryRowExcluding(0, ds_filter_exclude_everything));
    EXPECT_EQ(masks.maskExcluding(0, ds_filter_exclude_everything), nullptr);
}

// A reader keeps counting the rows of the snapshot it was handed while the
// main thread changes the filter and rebuilds the table's mask, dropping its
// own reference each time: the reader still sees the old rows.
TEST_F(DSTableRowMasksTest, AReaderHoldingASnapshotKeepsTheOldRowsWhileTheMaskIsRebuilt)
{
    keepQuarters({0});
    DSRowMaskRef handed = table()->row_masks().tableMask();
    ASSERT_TRUE(handed);
    const std::vector<uint8_t> before(handed->bytes(), handed->bytes() + handed->length());
    std::atomic<bool> started{false}, rebuilt{false};
    int64_t wrongCounts = 0, wrongBytes = 0, reads = 0;
    std::thread reader([snapshot = handed, &started, &rebuilt, &before, &wrongCounts, &wrongBytes, &reads] {
        started = true;
        do {
            wrongCounts += snapshot->count() != k_rows / 4;
            wrongBytes += !std::equal(before.begin(), before.end(), snapshot->bytes());
            ++reads;
        } while (!rebuilt || reads < 3);
    });
    while (!started)
        std::this_thread::yield();
    handed.reset();
    for (int round = 0; round < 20; ++round) {
        keepQuarters(round % 2 ? DSIndexSet{0} : DSIndexSet{1, 2, 3});
        const DSRowMaskRef now = table()->row_masks().tableMask();
        ASSERT_TRUE(now);
        EXPECT_EQ(now->count(), round % 2 ? k_rows / 4 : 3 * k_rows / 4);
    }
    rebuilt = true;
    reader.join();
    EXPECT_GE(reads, 3);
    EXPECT_EQ(wrongCounts, 0);
    EXPECT_EQ(wrongBytes, 0);
}

} // namespace
