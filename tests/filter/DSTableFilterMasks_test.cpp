// The rows that date, category, numeric-bin, text-range and indicator
// selections keep on a generated table of 1,000,000 rows, singly and
// ANDed across slots, against R's reading of the same rows
// (fixtures/make_filter_masks.R, which holds the same formulas).

#include "../model/TimeColumnsTestSupport.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTable.h"
#include "model/DSTextPartition.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSObjectFactory.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <bit>

namespace {

constexpr int64_t k_rows = 1000000;

// (i x a) mod m, exact as in R's doubles.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

class GeneratedIndicator : public DSIndicatorColumn
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

QHash<QString, int64_t> rCounts()
{
    QHash<QString, int64_t> counts;
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/filter_masks.csv"));
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    file.readLine();
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() == 2)
            counts.insert(QString::fromLatin1(fields[0]), fields[1].toLongLong());
    }
    return counts;
}

int64_t countOf(const std::vector<uint8_t> &mask)
{
    int64_t n = 0;
    for (uint8_t byte : mask)
        n += std::popcount(byte);
    return n;
}

TEST(DSTableFilterMasks, CountsEqualR)
{
    ds_columns_test_setup();
    DSObjectFactory::registerClass<GeneratedIndicator>(QStringLiteral("DSIndicatorLocalColumn"));
    const QHash<QString, int64_t> expected = rCounts();
    ASSERT_EQ(expected.size(), 11);

    TimeColumnsFixture tables;
    std::vector<double> times(k_rows), xs(k_rows), categories(k_rows);
    std::vector<const char *> texts(k_rows);
    static const char *const letters[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                                          "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"};
    for (int64_t i = 0; i < k_rows; ++i) {
        times[size_t(i)] = i % 97 == 0 ? NAN : -3e8 + double(hashed(i, 2654435761, 4294967296)) * 0.25;
        categories[size_t(i)] = double(hashed(i, 40503, 7));
        xs[size_t(i)] = i % 101 == 0 ? NAN : double(hashed(i, 7919, 1000)) / 10;
        texts[size_t(i)] = i % 89 == 0 ? nullptr : letters[hashed(i, 31, 26)];
    }
    DSTimeColumn *dates = tables.addTimeColumn(times, {60}, false, QStringLiteral("d"));
    DSNumericColumn *category = tables.addColumn(categories, QStringLiteral("c"));
    category->setTreat_as_categories(true);
    DSNumericColumn *x = tables.addColumn(xs, QStringLiteral("x"));
    auto *bins = ds_object_cast<DSNumericPartition>(x->filter_partition());
    bins->setPartition_type(2);
    bins->setCustom_interval_cutoffs({20, 40, 60, 80});
    DSTextColumn *text = tables.addTextColumn(texts, QStringLiteral("s"));
    // Cut into ranges, not one category a text.
    text->setTreat_as_categories(false);
    auto *ranges = ds_object_cast<DSTextPartition>(text->filter_partition());
    ASSERT_TRUE(ranges);
    ranges->setPartition_type(2);
    ranges->setCustom_text_cutoffs({QStringLiteral("f"), QStringLiteral("m"), QStringLiteral("t")});
    auto *flag = tables.addColumnOfEntity<GeneratedIndicator>("DSIndicatorLocalColumn", QStringLiteral("f"));
    flag->bits.assign(size_t(ds_mask_bytes(k_rows)), 0);
    flag->missing.assign(flag->bits.size(), 0);
    for (int64_t i = 0; i < k_rows; ++i) {
        if (hashed(i, 13, 3) == 0)
            ds_mask_set(flag->bits.data(), i);
        if (i % 50 == 0)
            ds_mask_set(flag->missing.data(), i);
    }

    // The category index of value v is its place among the sorted values.
    const int32_t *indexes = nullptr;
    qint64 levels = 0;
    category->getIndexedValues(&indexes, &levels);
    ASSERT_EQ(levels, 7);
    ASSERT_EQ(indexes[1], hashed(1, 40503, 7));

    auto *set = ds_object_cast<DSTableFilterSet>(tables.table()->filterSetAtIndex(0));
    const auto filterOn = [&](int slot, DSColumn *column, const QString &key, DSIndexSet selection) {
        DSTableFilter *filter = set->replaceTableFilterAtIndex(slot, column);
        filter->setIndexSet(selection, key);
        return filter;
    };
    DSTableFilter *date = set->replaceTableFilterAtIndex(0, dates);
    const struct
    {
        const char *name;
        QString key;
        DSIndexSet selection;
    } components[] = {
        {"year", QStringLiteral("yearIndexSet"), {2005, 2006, 2010}},
        {"month", QStringLiteral("monthIndexSet"), {3, 4, 5, 12}},
        {"day", QStringLiteral("dayOfMonthIndexSet"), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20}},
        {"weekday", QStringLiteral("dayOfWeekIndexSet"), {1, 2, 3, 6}},
        {"hour", QStringLiteral("hourOfDayIndexSet"), {8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
    };
    const DSTableFilter *others[] = {
        filterOn(1, category, QStringLiteral("categoryIndexSet"), {1, 3, 4}),
        // The top two of five bins: x >= 60.
        filterOn(2, x, QStringLiteral("categoryIndexSet"), {0, 1}),
        // From "f" to before "m", and the blanks (m + 1 = 4).
        filterOn(3, text, QStringLiteral("categoryIndexSet"), {1, 4}),
        filterOn(4, flag, QStringLiteral("categoryIndexSet"), {0, 2}),
    };
    const char *otherNames[] = {"category", "numeric", "text", "indicator"};

    const auto maskOf = [&](const std::vector<const DSTableFilter *> &filters) {
        std::vector<uint8_t> mask(size_t(ds_mask_bytes(k_rows)), 0xFF);
        for (const DSTableFilter *filter : filters)
            filter->clearUnmatchingBitsFromMask(mask.data(), int64_t(mask.size()), false,
                                                ds_filter_exclude_everything);
        return mask;
    };
    for (const auto &component : components) {
        for (const auto &other : components)
            date->setIndexSet(&other == &component ? DSTableFilter::Selection(other.selection) : std::nullopt,
                              other.key);
        EXPECT_EQ(countOf(maskOf({date})), expected.value(QLatin1String(component.name))) << component.name;
    }
    for (const auto &component : components)
        date->setIndexSet(component.selection, component.key);
    EXPECT_EQ(countOf(maskOf({date})), expected.value(QStringLiteral("date")));
    for (size_t k = 0; k < std::size(others); ++k)
        EXPECT_EQ(countOf(maskOf({others[k]})), expected.value(QLatin1String(otherNames[k]))) << otherNames[k];
    EXPECT_EQ(countOf(maskOf({date, others[0], others[1], others[2], others[3]})), expected.value(QStringLiteral("all")));
}

} // namespace
