// The filter slots registered with the document window: the masks they
// make of the active table, leave-one-out by a slot's button, the active
// condition, and the records pane showing the kept records.

#include "../ui/sheets/sheet_test_support.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "filter/DSTableFilterViewDelegate.h"
#include "model/DSDataTable.h"
#include "model/DSTableRowMasks.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_row_mask.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QLocale>

#include <vector>

namespace {

using Rows = std::vector<int64_t>;

Rows rowsOf(const uint8_t *mask, qint64 length, int64_t n)
{
    Rows rows;
    for (int64_t r = 0; r < n; ++r)
        if (!mask || (r / 8 < length && ds_mask_test(mask, r)))
            rows.push_back(r);
    return rows;
}

double timeOf(int year, int month, int day, int hour)
{
    ds_gmt_date_s date;
    date.year = year;
    date.month = month;
    date.day = day;
    date.hour = hour;
    return ds_gmt_absolute_time(date);
}

class FilterSlotsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        DSTableFilterViewDelegate::registerFilterClass();
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());

        // Eight records: dates in 2010 and 2011, March and May, and sizes.
        dates = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        dates->setName(QStringLiteral("visit"));
        sizes = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        sizes->setName(QStringLiteral("size"));
        table->insertNewColumns({dates, sizes}, 0);
        for (int i = 0; i < 8; ++i) {
            dates->appendTimeValue(timeOf(2010 + i % 2, i < 4 ? 3 : 5, 1 + i, 9), 60);
            sizes->appendValue(double(i * 10));
        }
        dates->saveAfterImport();
        sizes->saveAfterImport();
        auto *bins = ds_object_cast<DSNumericPartition>(sizes->filter_partition());
        ASSERT_TRUE(bins);
        bins->setPartition_type(2);
        bins->setCustom_interval_cutoffs({25, 50});
        table->setNum_records(8);
        table->show_filters = true;
        set = ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0));
        table->setActive_filter_set(set);
        context->processPendingChanges();
        document->rebuildFilterViews();
    }

    void TearDown() override
    {
        document.reset();
        DSFilterViewDelegate::registerClass(nullptr);
        DSTableRowMasks::registerFilterSource(nullptr);
        QLocale::setDefault(QLocale::system());
    }

    QObject *buttonOf(int slot) const
    {
        return static_cast<DSTableFilterViewDelegate *>(document->filterDelegateAtIndex(slot))->filter_button();
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    DSTimeDataColumn *dates = nullptr;
    DSNumericDataColumn *sizes = nullptr;
    DSTableFilterSet *set = nullptr;
};

TEST_F(FilterSlotsTest, SlotsMakeTheMaskAndLeaveOneOut)
{
    DSRowMaskRef snapshot;
    const uint8_t *mask = nullptr;
    qint64 length = 0;
    // Reads the snapshot's bytes into mask and length.
    const auto read = [&](DSRowMaskRef next) {
        snapshot = std::move(next);
        mask = ds_mask_data(snapshot);
        return length = ds_mask_length(snapshot);
    };
    EXPECT_EQ(read(document->getMask()), 0) << "no selection: every record";

    DSTableFilter *date = set->replaceTableFilterAtIndex(0, dates);
    date->setIndexSet(DSIndexSet{2010}, QStringLiteral("yearIndexSet"));
    date->setIndexSet(DSIndexSet{3}, QStringLiteral("monthIndexSet"));
    DSTableFilter *size = set->replaceTableFilterAtIndex(1, sizes);
    // The two upper bins: size >= 25.
    size->setIndexSet(DSIndexSet{0, 1}, QStringLiteral("categoryIndexSet"));
    document->refreshView(nullptr);

    read(document->getMask());
    EXPECT_EQ(rowsOf(mask, length, 8), (Rows{})) << "March 2010 holds records 0 and 2, both below 25";
    read(document->getMask(buttonOf(1), 0));
    EXPECT_EQ(rowsOf(mask, length, 8), (Rows{0, 2})) << "without the size filter";
    read(document->getMask(buttonOf(0), 0x4E));
    EXPECT_EQ(rowsOf(mask, length, 8), (Rows{4, 6})) << "the date filter's year alone";
    read(document->getMask(buttonOf(0), ds_filter_exclude_everything));
    EXPECT_EQ(rowsOf(mask, length, 8), (Rows{3, 4, 5, 6, 7}));

    EXPECT_EQ(document->activeConditionString(), QStringLiteral("visit = March 2010 and size \u2265 25"));

    // With the size filter gone the date filter alone restricts; leaving
    // its year and month out leaves nothing to restrict.
    set->replaceTableFilterAtIndex(1, nullptr);
    document->refreshView(nullptr);
    EXPECT_TRUE(document->isIncludeMaskNullWhenExcludingButton(buttonOf(0), 0x03));
    EXPECT_EQ(read(document->getMask(buttonOf(0), 0x03)), 0);
    EXPECT_FALSE(document->isIncludeMaskNullWhenExcludingButton(buttonOf(0), 0x01));

    date->setIs_enabled(false);
    document->refreshView(nullptr);
    read(document->getMask());
    EXPECT_EQ(rowsOf(mask, length, 8), (Rows{0, 1, 2, 3, 4, 5, 6, 7})) << "a disabled filter leaves the mask whole";
    EXPECT_EQ(document->activeConditionString(), QString());
}

TEST_F(FilterSlotsTest, RecordsPaneShowsTheKeptRecords)
{
    DSTableFilter *date = set->replaceTableFilterAtIndex(0, dates);
    date->setIndexSet(DSIndexSet{5}, QStringLiteral("monthIndexSet"));
    DSTableFilter *size = set->replaceTableFilterAtIndex(1, sizes);
    size->setIndexSet(DSIndexSet{0}, QStringLiteral("categoryIndexSet"));
    document->refreshView(nullptr);
    auto *pane = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
    ASSERT_TRUE(pane);
    pane->refreshView(nullptr);
    QApplication::processEvents();

    // May holds records 4 to 7; the highest bin (size >= 50) 5 to 7.
    ASSERT_EQ(pane->records_table_delegate()->rowCount(), 3);
    EXPECT_EQ(pane->convertRowToIndex(0), 5);
    EXPECT_EQ(pane->convertRowToIndex(2), 7);
    keepPicture(document->document_window(), QStringLiteral("filtered_records.png"));
}

} // namespace
