#include "window_test_support.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSRowFilter.h"
#include "model/DSTableRowMasks.h"
#include "model/ds_filter_exclude_flags.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/window/DSFilterViewDelegate.h"
#include "ui/window/DSFilterViewHost.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QPushButton>

#include <set>
#include <vector>

namespace {

// What the fake filters of one test share: the rows the first filter
// rejects and how often any filter was asked to clear bits.
struct FakeFilters
{
    std::set<int64_t> rejected;
    int clears = 0;
};

FakeFilters *g_filters = nullptr;

// Filter 0 rejects the shared rows; the others reject nothing.
class FakeRowFilter : public DSRowFilter
{
public:
    explicit FakeRowFilter(int index) : m_index(index) {}

    bool willClearBits(bool excluded, uint32_t) const override
    {
        return m_index == 0 && !excluded && !g_filters->rejected.empty();
    }
    void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const override
    {
        ++g_filters->clears;
        if (!willClearBits(excluded, flags))
            return;
        for (int64_t row : g_filters->rejected)
            if (row / 8 < length)
                mask[row / 8] &= uint8_t(~(1u << (row % 8)));
    }

private:
    int m_index;
};

// The filter pane's views: each stands for its slot as a button.
class FakeFilterViewDelegate : public DSFilterViewDelegate
{
};

const FakeRowFilter k_rowFilters[DSTableRowMasks::maxFilters]{FakeRowFilter(0), FakeRowFilter(1), FakeRowFilter(2),
                                                              FakeRowFilter(3), FakeRowFilter(4), FakeRowFilter(5)};

class FilterViewHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        g_filters = &filters;
        DSFilterViewDelegate::registerClass([](int) { return std::make_unique<FakeFilterViewDelegate>(); });
        registerTestRowFilters({&k_rowFilters[0], &k_rowFilters[1], &k_rowFilters[2], &k_rowFilters[3],
                                &k_rowFilters[4], &k_rowFilters[5]});
        document = std::make_unique<DSStatDocumentWindow>();
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
        table = ds_object_cast<DSDataTable>(document->active_table());
        ASSERT_TRUE(table);
        table->setNum_records(10);
        document->managedObjectContext()->processPendingChanges();
        ASSERT_TRUE(document->makeWindowControllers());
        // These cases count the host's own mask builds: no pane reads the
        // mask during a refresh.
        document->setRecords_delegate(nullptr);
        table->show_filters = true;
        table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0)));
    }

    void TearDown() override
    {
        document.reset();
        DSFilterViewDelegate::registerClass(nullptr);
        registerTestRowFilters({});
        g_filters = nullptr;
    }

    std::vector<uint8_t> mask()
    {
        const DSRowMaskRef snapshot = document->getMask();
        const uint8_t *bytes = ds_mask_data(snapshot);
        const qint64 length = ds_mask_length(snapshot);
        EXPECT_EQ(bytes == nullptr, length == 0);
        return bytes ? std::vector<uint8_t>(bytes, bytes + length) : std::vector<uint8_t>{};
    }

    FakeFilters filters;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSDataTable *table = nullptr;
};

TEST_F(FilterViewHostTest, TheTableMaskFollowsTheFiltersThatWouldClearBits)
{
    struct Case
    {
        const char *name;
        std::set<int64_t> rejected;
        bool showFilters;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"no rejecting filter", {}, true, {}},
        // Bits 10 to 15 lie past the last row and stay clear.
        {"rejecting rows 1 and 9", {1, 9}, true, {0xFD, 0x01}},
        {"rejecting row 0, filters hidden", {0}, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        filters.rejected = c.rejected;
        table->show_filters = c.showFilters;
        document->refreshView(nullptr);
        EXPECT_EQ(mask(), c.expected);
        EXPECT_EQ(ds_mask_length(document->getMask(nullptr, ds_filter_exclude_everything)) != 0, !c.expected.empty());
        EXPECT_EQ(document->isIncludeMaskNullWhenExcludingButton(nullptr, 0), c.expected.empty());
    }
}

TEST_F(FilterViewHostTest, OneRefreshBuildsTheMaskOnceAndTheNextRebuildsIt)
{
    filters.rejected = {3};
    document->refreshView(nullptr);
    const uint8_t *first = ds_mask_data(document->getMask()), *second = nullptr;
    const int clears = filters.clears;
    EXPECT_EQ(clears, DSFilterViewHost::maxFilters);
    second = ds_mask_data(document->getMask());
    EXPECT_EQ(first, second);
    EXPECT_EQ(filters.clears, clears);
    EXPECT_FALSE(document->table_mask_needs_update());

    document->refreshView(nullptr);
    EXPECT_TRUE(document->table_mask_needs_update());
    filters.rejected = {4};
    EXPECT_EQ(mask(), (std::vector<uint8_t>{0xEF, 0x03}));
    EXPECT_EQ(filters.clears, 2 * clears);
}

TEST_F(FilterViewHostTest, ARowAddedWithoutARefreshGrowsTheMask)
{
    table->setNum_records(16);
    filters.rejected = {0};
    document->refreshView(nullptr);
    EXPECT_EQ(mask(), (std::vector<uint8_t>{0xFE, 0xFF}));
    // The records grid's Tab adds a row and refreshes nothing.
    table->setNum_records(17);
    EXPECT_EQ(mask(), (std::vector<uint8_t>{0xFE, 0xFF, 0x01}));
}

TEST_F(FilterViewHostTest, TheLeaveOneOutMaskLeavesOutTheButtonsFilter)
{
    filters.rejected = {2};
    document->refreshView(nullptr);
    QObject *firstFilter = document->filterDelegateAtIndex(0);
    ASSERT_TRUE(firstFilter);
    EXPECT_EQ(ds_mask_length(document->getMask(firstFilter, ds_filter_exclude_everything)), 0);
    EXPECT_TRUE(document->isIncludeMaskNullWhenExcludingButton(firstFilter, ds_filter_exclude_year));
    const DSRowMaskRef leftOut = document->getMask(document->filterDelegateAtIndex(1), 0);
    ASSERT_EQ(ds_mask_length(leftOut), 2);
    const uint8_t *bytes = ds_mask_data(leftOut);
    EXPECT_EQ(bytes[0], 0xFB);
}

TEST_F(FilterViewHostTest, CreateFilterStopsAtSixAndDisablesTheAddButton)
{
    auto *add = document->document_window()->findChild<QPushButton *>(QStringLiteral("filter_add_button"));
    ASSERT_TRUE(add);
    EXPECT_EQ(document->numberOfFilters(), 3);
    for (int i = 0; i < 5; ++i)
        add->click();
    EXPECT_EQ(document->numberOfFilters(), 6);
    EXPECT_FALSE(add->isEnabled());
    document->createFilter(nullptr);
    EXPECT_EQ(document->numberOfFilters(), 6);

    table->setActive_filter_set(nullptr);
    document->createFilter(nullptr);
    EXPECT_EQ(document->numberOfFilters(), 3);
}

TEST_F(FilterViewHostTest, TheZoomButtonIsOffWhereverItIsDisabled)
{
    auto *zoom = document->document_window()->findChild<QPushButton *>(QStringLiteral("filter_zoom_button"));
    ASSERT_TRUE(zoom);
    filters.rejected = {5};
    document->showSummary(nullptr);
    ASSERT_TRUE(zoom->isEnabled());
    zoom->click();
    EXPECT_TRUE(zoom->isChecked());
    EXPECT_EQ(ds_mask_length(document->getZoomMask()), 2);
    document->showRawData(nullptr);
    EXPECT_FALSE(zoom->isEnabled());
    EXPECT_FALSE(zoom->isChecked());
    EXPECT_TRUE(table->boolForKey(QStringLiteral("zoom_to_filtered_values")));
}

TEST(FilterViewHostWithoutFilters, EveryMaskIsEveryRowUntilAFilterClassRegisters)
{
    ensureWindowTestApplication();
    DSStatDocumentWindow document;
    ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
    ds_object_cast<DSDataTable>(document.active_table())->setNum_records(10);
    ASSERT_TRUE(document.makeWindowControllers());
    document.active_table()->show_filters = true;
    EXPECT_FALSE(document.filterDelegateAtIndex(0));
    const DSRowMaskRef snapshot = document.getMask();
    const uint8_t *bytes = ds_mask_data(snapshot);
    EXPECT_EQ(ds_mask_length(snapshot), 0);
    EXPECT_EQ(bytes, nullptr);
}

} // namespace
