// Filters and filter sets on a table of stored columns: the rows each kind
// of selection keeps, the leave-one-out exclusion, the condition texts
// (en_US) and the rules that keep selections valid.

#include "../model/TimeColumnsTestSupport.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSColumnSummary.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSNumericPartition.h"
#include "model/DSTable.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSObjectFactory.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Rows = std::vector<int64_t>;
using Set = DSTableFilter::Selection;

const QString k_year = QStringLiteral("yearIndexSet"), k_month = QStringLiteral("monthIndexSet"),
              k_day = QStringLiteral("dayOfMonthIndexSet"), k_weekday = QStringLiteral("dayOfWeekIndexSet"),
              k_hour = QStringLiteral("hourOfDayIndexSet"), k_category = QStringLiteral("categoryIndexSet");

// An indicator column whose bits a test sets.
class BitsColumn : public DSIndicatorColumn
{
public:
    std::vector<uint8_t> bits, missing;
    qint64 getBytes(const uint8_t **values, const uint8_t **missingOut) override
    {
        *values = bits.data();
        if (missingOut)
            *missingOut = missing.data();
        return qint64(bits.size());
    }
};

class DSTableFilterTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static void SetUpTestSuite()
    {
        ds_columns_test_setup();
        DSObjectFactory::registerClass<BitsColumn>(QStringLiteral("DSIndicatorLocalColumn"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    DSTableFilterSet *set() const { return ds_object_cast<DSTableFilterSet>(table()->filterSetAtIndex(0)); }

    // A filter in slot on column with the given selections.
    DSTableFilter *filterOn(DSColumn *column, const std::vector<std::pair<QString, Set>> &selections, int slot = 0)
    {
        DSTableFilter *filter = set()->replaceTableFilterAtIndex(slot, column);
        for (const auto &[key, selection] : selections)
            filter->setIndexSet(selection, key);
        return filter;
    }

    // A numeric column cut at 10, 20, 30 and 40 (five bins) for filters.
    DSNumericColumn *binnedColumn(const std::vector<double> &values)
    {
        DSNumericColumn *column = addColumn(values);
        auto *partition = ds_object_cast<DSNumericPartition>(column->filter_partition());
        partition->setPartition_type(2);
        partition->setCustom_interval_cutoffs({10, 20, 30, 40});
        return column;
    }

    // The rows of n that the filter keeps from a mask of every row.
    static Rows kept(const DSTableFilter *filter, int64_t n, bool excluded = false,
                     uint32_t flags = ds_filter_exclude_everything)
    {
        std::vector<uint8_t> mask(size_t(ds_mask_bytes(n)), 0xFF);
        filter->clearUnmatchingBitsFromMask(mask.data(), int64_t(mask.size()), excluded, flags);
        Rows rows;
        for (int64_t r = 0; r < n; ++r)
            if (ds_mask_test(mask.data(), r))
                rows.push_back(r);
        return rows;
    }
};

TEST_F(DSTableFilterTest, RowsKeptByEachKindOfSelection)
{
    // Rows: 0 2010-03-01 09:30, 1 2011-05-02 (a whole day), 2 missing,
    // 3 2010-05-07 14:00 (a Friday).
    DSTimeColumn *dates = addTimeColumn({ds_test_time(2010, 3, 1, 9, 30), ds_test_time(2011, 5, 2), NAN,
                                         ds_test_time(2010, 5, 7, 14)},
                                        {60, 86400, 60, 60}, false, QStringLiteral("d"));
    DSTimeColumn *clock = addTimeColumn({9.5 * 3600, 14 * 3600, NAN, 9 * 3600}, {60}, true, QStringLiteral("c"));
    DSNumericColumn *x = binnedColumn({45, 5, NAN, 25});
    auto *flag = addColumnOfEntity<BitsColumn>("DSIndicatorLocalColumn", QStringLiteral("f"));
    flag->bits = {0b0101};    // rows 0 and 2 true
    flag->missing = {0b0100}; // row 2 missing
    const int64_t n = 4;
    const int64_t huge = int64_t(1) << 40;

    const struct
    {
        const char *what;
        DSColumn *column;
        std::vector<std::pair<QString, Set>> selections;
        Rows rows;
    } cases[] = {
        {"a year", dates, {{k_year, DSIndexSet{2010}}}, {0, 3}},
        {"indexes out of range are ignored", dates, {{k_year, DSIndexSet{-5, 2011, huge}}}, {1}},
        {"a month", dates, {{k_month, DSIndexSet{5}}}, {1, 3}},
        {"a day of month", dates, {{k_day, DSIndexSet{1, 2}}}, {0, 1}},
        {"a weekday (Monday)", dates, {{k_weekday, DSIndexSet{1}}}, {0, 1}},
        {"an hour: a whole day has none", dates, {{k_hour, DSIndexSet{0, 9}}}, {0}},
        {"components AND", dates, {{k_year, DSIndexSet{2010}}, {k_month, DSIndexSet{5}}}, {3}},
        {"time of day by hour alone", clock, {{k_hour, DSIndexSet{9}}}, {0, 3}},
        {"indicator {0, 2}: FALSE and missing", flag, {{k_category, DSIndexSet{0, 2}}}, {1, 2, 3}},
        {"indicator {1}: TRUE only", flag, {{k_category, DSIndexSet{1}}}, {0}},
        {"numeric {0}: the highest bin", x, {{k_category, DSIndexSet{0}}}, {0}},
        {"numeric {u}: below the first cut-off", x, {{k_category, DSIndexSet{4}}}, {1}},
        {"numeric {u + 1}: missing only", x, {{k_category, DSIndexSet{5}}}, {2}},
        {"numeric {2}: the middle bin", x, {{k_category, DSIndexSet{2}}}, {3}},
        {"numeric, indexes out of range", x, {{k_category, DSIndexSet{-1, 99}}}, {}},
        {"an empty set clears every row", x, {{k_category, DSIndexSet{}}}, {}},
        {"an empty year set clears every row", dates, {{k_year, DSIndexSet{}}}, {}},
        {"a nil set clears none", x, {{k_category, std::nullopt}}, {0, 1, 2, 3}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const DSTableFilter *filter = filterOn(c.column, c.selections);
        EXPECT_EQ(kept(filter, n), c.rows);
    }
}

TEST_F(DSTableFilterTest, CategoriesKeepTheirIndexesAndMissingIsOne)
{
    DSNumericColumn *x = addColumn({3, 1, NAN, 3, 2});
    x->setTreat_as_categories(true);
    const int32_t *indexes = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(x->getIndexedValues(&indexes, &bins), 5);
    const int32_t three = indexes[0], missing = indexes[2];
    EXPECT_EQ(kept(filterOn(x, {{k_category, DSIndexSet{three}}}), 5), (Rows{0, 3}));
    EXPECT_EQ(kept(filterOn(x, {{k_category, DSIndexSet{missing, bins + 3, -2}}}), 5), (Rows{2}));
}

TEST_F(DSTableFilterTest, ExclusionSkipsTheNamedPartsOfTheExcludedFilter)
{
    DSTimeColumn *dates = addTimeColumn({ds_test_time(2010, 3, 1, 9), ds_test_time(2010, 5, 1, 9),
                                         ds_test_time(2011, 3, 1, 9), ds_test_time(2010, 3, 1, 20)},
                                        {60}, false, QStringLiteral("d"));
    DSNumericColumn *x = binnedColumn({45, 5, 45, 5});
    DSTableFilter *date = filterOn(dates, {{k_year, DSIndexSet{2010}}, {k_month, DSIndexSet{3}}, {k_hour, DSIndexSet{9}}});
    DSTableFilter *bins = filterOn(x, {{k_category, DSIndexSet{0}}}, 1);

    EXPECT_EQ(kept(date, 4), (Rows{0}));
    EXPECT_EQ(kept(date, 4, true, 0x4E), (Rows{0, 1, 3})) << "only the year";
    EXPECT_EQ(kept(date, 4, true, 0x4C), (Rows{0, 3})) << "year and month";
    EXPECT_EQ(kept(date, 4, true, 0x08), (Rows{0, 3}));
    EXPECT_EQ(kept(date, 4, true, 0), (Rows{0})) << "no flag skips nothing";
    EXPECT_EQ(kept(bins, 4, true, 0), (Rows{0, 1, 2, 3})) << "a category selection goes whatever the flags";

    EXPECT_TRUE(date->willClearBits(true, 0x4E));
    EXPECT_FALSE(date->willClearBits(true, ds_filter_exclude_everything));
    EXPECT_FALSE(bins->willClearBits(true, 0));
    EXPECT_TRUE(bins->willClearBits(false, ds_filter_exclude_everything));

    // A disabled filter still asks for a mask, and leaves it whole.
    bins->setIs_enabled(false);
    EXPECT_TRUE(bins->willClearBits(false, ds_filter_exclude_everything));
    EXPECT_EQ(kept(bins, 4), (Rows{0, 1, 2, 3}));

    // An empty slot restricts nothing.
    DSTableFilter *empty = set()->replaceTableFilterAtIndex(2, nullptr);
    EXPECT_FALSE(empty->willClearBits(false, 0));
    EXPECT_EQ(kept(empty, 4), (Rows{0, 1, 2, 3}));
}

TEST_F(DSTableFilterTest, ChunkedMaskEqualsARowByRowOne)
{
    for (const int64_t n : {int64_t(0), int64_t(1), int64_t(511), int64_t(512), int64_t(513), int64_t(1000003)}) {
        SCOPED_TRACE(n);
        std::vector<double> values(static_cast<size_t>(n)), times(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) {
            values[size_t(i)] = i % 53 == 0 ? NAN : double((i * 7919) % 50);
            times[size_t(i)] = double(i) * 3593.0;
        }
        TimeColumnsFixture tables;
        DSTimeColumn *dates = tables.addTimeColumn(times, {60});
        DSNumericColumn *x = tables.addColumn(values);
        auto *partition = ds_object_cast<DSNumericPartition>(x->filter_partition());
        partition->setPartition_type(2);
        partition->setCustom_interval_cutoffs({10, 20, 30, 40});
        auto *filters = ds_object_cast<DSTableFilterSet>(tables.table()->filterSetAtIndex(0));
        DSTableFilter *hours = filters->replaceTableFilterAtIndex(0, dates);
        hours->setIndexSet(DSIndexSet{1, 5, 22}, k_hour);
        hours->setIndexSet(DSIndexSet{3, 7}, k_weekday);
        DSTableFilter *bins = filters->replaceTableFilterAtIndex(1, x);
        bins->setIndexSet(DSIndexSet{0, 2, 5}, k_category);

        // The host's start: every row, the bits past the last row clear.
        std::vector<uint8_t> mask(size_t(ds_mask_bytes(n)), 0xFF);
        if (n % 8)
            mask.back() = uint8_t((1u << (n % 8)) - 1);
        hours->clearUnmatchingBitsFromMask(mask.data(), int64_t(mask.size()), false, ds_filter_exclude_everything);
        bins->clearUnmatchingBitsFromMask(mask.data(), int64_t(mask.size()), false, ds_filter_exclude_everything);

        std::vector<uint8_t> serial(mask.size(), 0);
        for (int64_t i = 0; i < n; ++i) {
            const double v = values[size_t(i)];
            const int64_t seconds = int64_t(times[size_t(i)]);
            const int64_t hour = (seconds / 3600) % 24, weekday = (seconds / 86400) % 7 + 1;
            const bool binKept = std::isnan(v) || v >= 40 || (v >= 20 && v < 30);
            if ((hour == 1 || hour == 5 || hour == 22) && (weekday == 3 || weekday == 7) && binKept)
                ds_mask_set(serial.data(), i);
        }
        EXPECT_EQ(mask, serial);
    }
}

TEST_F(DSTableFilterTest, ConditionTextsInEnglish)
{
    DSTimeColumn *d = addTimeColumn({0}, {60}, false, QStringLiteral("d"));
    DSNumericColumn *x = binnedColumn({0, 50});
    const QString am = QStringLiteral("\u202FAM");
    const struct
    {
        DSColumn *column;
        std::vector<std::pair<QString, Set>> selections;
        QStringList texts;
    } cases[] = {
        {d, {{k_year, DSIndexSet{2010, 2011, 2012, 2015}}}, {QStringLiteral("d = 2010-2012/2015")}},
        {d, {{k_month, DSIndexSet{1, 2, 3}}}, {QStringLiteral("d = Jan-Mar")}},
        {d, {{k_month, DSIndexSet{5}}}, {QStringLiteral("d = May")}},
        {d, {{k_month, DSIndexSet{1, 3}}, {k_day, DSIndexSet{4, 5}}}, {QStringLiteral("d = Jan/Mar 4-5")}},
        {d, {{k_hour, DSIndexSet{9}}}, {u"d = 9:00" + am + u"-9:59" + am}},
        {d, {{k_hour, DSIndexSet{9, 10, 14}}}, {u"d = 9:00" + am + u"-10:59" + am + u"/2:00\u202FPM-2:59\u202FPM"}},
        {d, {{k_year, DSIndexSet{2010}}, {k_hour, DSIndexSet{9}}}, {u"d = 2010, 9:00" + am + u"-9:59" + am}},
        {d, {{k_day, DSIndexSet{1}}}, {QStringLiteral("d.day = 1")}},
        {d, {{k_year, DSIndexSet{2010}}, {k_day, DSIndexSet{1}}}, {QStringLiteral("d = 2010"), QStringLiteral("d.day = 1")}},
        {d, {{k_weekday, DSIndexSet{1, 2, 3}}}, {QStringLiteral("d = Mon-Wed")}},
        {d, {{k_weekday, DSIndexSet{7}}}, {QStringLiteral("d = Sunday")}},
        {d, {{k_year, DSIndexSet{2010}}, {k_weekday, DSIndexSet{1, 2, 3}}}, {QStringLiteral("d = 2010 (Mon-Wed)")}},
        {x, {{k_category, DSIndexSet{0, 1}}}, {QStringLiteral("x \u2265 30")}},
        {x, {{k_category, DSIndexSet{0, 1, 2, 3, 4}}}, {QStringLiteral("x \u2260 Missing")}},
        {x, {{k_category, DSIndexSet{5}}}, {QStringLiteral("x = Missing")}},
        {x, {{k_category, DSIndexSet{3, 4}}}, {QStringLiteral("x < 20")}},
        {x, {{k_category, DSIndexSet{4}}}, {QStringLiteral("x < 10")}},
        {x, {{k_category, DSIndexSet{2}}}, {QStringLiteral("20 \u2264 x < 30")}},
        {x, {{k_category, DSIndexSet{0}}}, {QStringLiteral("40 \u2264 x")}},
        {x, {{k_category, std::nullopt}}, {}},
    };
    for (const auto &c : cases) {
        const DSTableFilter *filter = filterOn(c.column, c.selections);
        EXPECT_EQ(filter->stringConditionsArray(), c.texts) << c.texts.join(u'|').toStdString();
    }
}

TEST_F(DSTableFilterTest, SetNamesAndConditions)
{
    DSNumericColumn *x = binnedColumn({0, 50});
    DSTimeColumn *d = addTimeColumn({0}, {60}, false, QStringLiteral("d"));
    EXPECT_EQ(set()->name(), QStringLiteral("(Empty Filter Set)"));
    EXPECT_EQ(set()->conditionString(), QString());

    DSTableFilter *dates = filterOn(d, {{k_year, DSIndexSet{2010}}}, 2);
    DSTableFilter *bins = filterOn(x, {{k_category, DSIndexSet{5}}}, 0);
    set()->replaceTableFilterAtIndex(1, nullptr);
    EXPECT_EQ(set()->suggestedName(), QStringLiteral("x, d"));
    EXPECT_EQ(set()->conditionString(), QStringLiteral("x = Missing, d = 2010"));

    dates->setIs_enabled(false);
    bins->setIs_enabled(false);
    EXPECT_EQ(set()->name(), QStringLiteral("(Empty Filter Set)")) << "disabled filters name nothing";
    EXPECT_EQ(set()->conditionString(), QString());

    set()->setName(QStringLiteral("Mine"));
    EXPECT_EQ(set()->name(), QStringLiteral("Mine"));
    set()->setName(QString(""));
    bins->setIs_enabled(true);
    EXPECT_EQ(set()->name(), QStringLiteral("x")) << "the empty name stores nil";
}

TEST_F(DSTableFilterTest, SlotsRenumberAndReplace)
{
    DSNumericColumn *x = addColumn({1});
    DSTableFilter *a = filterOn(x, {}, 0), *b = filterOn(x, {}, 1), *c = filterOn(x, {}, 2);
    EXPECT_TRUE(a->is_enabled()) << "a new filter is enabled";
    EXPECT_EQ(set()->tableFilterColumnAtIndex(1), x);
    EXPECT_EQ(set()->tableFilterAtIndex(3), nullptr);

    set()->removeTableFilterFromIndex(1);
    EXPECT_EQ(b->index(), -1);
    EXPECT_EQ(c->index(), 1);
    EXPECT_EQ(set()->sortedFilters(), (QList<DSTableFilter *>{b, a, c}));

    DSTableFilter *replaced = set()->replaceTableFilterAtIndex(0, nullptr);
    EXPECT_EQ(set()->tableFilterAtIndex(0), replaced);
    EXPECT_EQ(replaced->column(), nullptr);
    EXPECT_FALSE(replaced->categoryIndexSet());
    EXPECT_EQ(set()->objectsForKey(QStringLiteral("filters")).size(), 3);
}

TEST_F(DSTableFilterTest, DeletingTheActiveSetActivatesANeighbour)
{
    DSTableFilterSet *first = set();
    auto *second = ds_object_cast<DSTableFilterSet>(table()->insertNewObjectOfEntity(QStringLiteral("DSTableFilterSet")));
    auto *third = ds_object_cast<DSTableFilterSet>(table()->insertNewObjectOfEntity(QStringLiteral("DSTableFilterSet")));
    table()->insertFilterSet(second, 1);
    table()->addObject(second, QStringLiteral("filter_sets"));
    table()->insertFilterSet(third, 2);
    table()->addObject(third, QStringLiteral("filter_sets"));

    table()->setActive_filter_set(third);
    context().deleteObject(third);
    EXPECT_EQ(table()->active_filter_set(), second) << "the last: the one before";

    table()->setActive_filter_set(first);
    context().deleteObject(first);
    EXPECT_EQ(table()->active_filter_set(), second) << "the one now at its index";
    EXPECT_EQ(second->index(), 0);

    context().deleteObject(second);
    EXPECT_EQ(table()->active_filter_set(), nullptr);
}

// A summary listing the values as non-missing categories, and one missing.
std::shared_ptr<DSColumnSummary> summaryOf(std::initializer_list<double> values)
{
    auto summary = std::make_shared<DSColumnSummary>();
    DSColumnSummary::Categories categories;
    for (double v : values) {
        auto category = std::make_shared<DSNumericColumnCategory>(nullptr);
        category->setValue(v);
        categories << category;
    }
    auto missing = std::make_shared<DSNumericColumnCategory>(nullptr);
    missing->setValue(99);
    missing->setIs_missing(true);
    categories << missing;
    summary->setCategories(categories);
    return summary;
}

TEST_F(DSTableFilterTest, TimeSelectionsTheUnitNoLongerAllowsAreCleared)
{
    const struct
    {
        double interval;
        qint64 unit;
        bool month, day;
    } cases[] = {
        {86400, 9, true, true},
        {604800, 10, true, false},
        {7776000, 12, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.unit);
        DSTimeColumn *d = addTimeColumn({0, c.interval}, {c.interval});
        DSTableFilter *filter = filterOn(d, {{k_year, DSIndexSet{2001}},
                                             {k_month, DSIndexSet{1}},
                                             {k_day, DSIndexSet{1}},
                                             {k_weekday, DSIndexSet{1}},
                                             {k_hour, DSIndexSet{0}}});
        filter->year_summary = summaryOf({2001, 2002});
        filter->month_summary = summaryOf({1});
        filter->day_of_month_summary = summaryOf({1, 2});
        filter->day_of_week_summary = summaryOf({1});
        filter->hour_of_day_summary = summaryOf({0});
        EXPECT_EQ(filter->invalidateBadSelections(), c.unit);
        EXPECT_TRUE(filter->yearIndexSet());
        EXPECT_EQ(bool(filter->monthIndexSet()), c.month);
        EXPECT_EQ(bool(filter->dayOfMonthIndexSet()), c.day);
        EXPECT_EQ(bool(filter->dayOfWeekIndexSet()), c.day);
        EXPECT_FALSE(filter->hourOfDayIndexSet()) << "no hours in whole days";
    }

    DSTimeColumn *minutes = addTimeColumn({0}, {60});
    DSTableFilter *filter = filterOn(minutes, {{k_year, DSIndexSet{2001, 2003}}, {k_hour, DSIndexSet{99}}});
    filter->year_summary = summaryOf({2001, 2002});
    filter->hour_of_day_summary = summaryOf({0});
    filter->invalidateBadSelections();
    EXPECT_FALSE(filter->yearIndexSet()) << "2003 is no category";
    EXPECT_FALSE(filter->hourOfDayIndexSet()) << "the missing category's value does not count";

    EXPECT_FALSE(DSTableFilter::isValidIndexSet(std::nullopt, summaryOf({1}).get()));
    EXPECT_TRUE(DSTableFilter::isValidIndexSet(DSIndexSet{}, summaryOf({1}).get()));
    EXPECT_EQ(filterOn(addColumn({1}), {})->invalidateBadSelections(), -1);
}

} // namespace
