// Every aggregation tag per pivot group of a generated table of 1,000,000
// records (frequency weights 0 to 3, missing values, a row mask, two
// inputs) against R on the weight-expanded rows (fixtures/make_aggregations.R,
// which holds the same formulas), once on values around 0 and once on
// 1e9 + U(0, 1), where sums of squares about zero lose every digit.

#include "PivotTestSupport.h"

#include "model/DSNumericPartition.h"
#include "model/ds_row_mask.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int64_t k_rows = 1000000;

// "column,a,b,tag" -> value.
QHash<QString, double> rValues()
{
    QHash<QString, double> values;
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/aggregations.csv"));
    if (!file.open(QIODevice::ReadOnly))
        return values;
    file.readLine();
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() == 5)
            values.insert(QString::fromLatin1(fields[0] + ',' + fields[1] + ',' + fields[2] + ',' + fields[3]),
                          fields[4] == "NaN" ? NAN : fields[4].toDouble());
    }
    return values;
}

TEST(DSColumnAggregationOracle, EveryTagPerGroupEqualsR)
{
    ds_columns_test_setup();
    const QHash<QString, double> expected = rValues();
    ASSERT_EQ(expected.size(), 2664);

    ColumnsFixture tables;
    std::vector<double> a(k_rows), w(k_rows), y(k_rows), x(k_rows), big(k_rows);
    std::vector<const char *> b(k_rows);
    static const char *const regions[] = {"east", "north", "south"};
    std::vector<uint8_t> mask(size_t(ds_mask_bytes(k_rows)), 0);
    for (int64_t i = 0; i < k_rows; ++i) {
        a[size_t(i)] = double(i % 4);
        b[size_t(i)] = regions[i % 3];
        w[size_t(i)] = double(ds_hashed_levels(i, 2246822519, 4));
        y[size_t(i)] = double(ds_hashed_levels(i, 3266489917, 6));
        x[size_t(i)] = i % 37 == 0 ? NAN : double(ds_hashed(i, 7919, 2001) - 1000) / 10;
        big[size_t(i)] = i % 41 == 0 ? NAN : 1e9 + double(ds_hashed(i, 2654435761, 4294967296)) / 4294967296.0;
        if (ds_hashed(i, 7, 10) != 0)
            ds_mask_set(mask.data(), i);
    }
    DSNumericColumn *first = tables.addColumn(a, QStringLiteral("a"));
    first->setTreat_as_categories(true);
    DSTextColumn *second = tables.addTextColumn(b, QStringLiteral("b"));
    second->setTreat_as_categories(true);
    DSNumericColumn *weights = tables.addColumn(w, QStringLiteral("w"));
    DSNumericColumn *categories = tables.addColumn(y, QStringLiteral("y"));
    categories->setTreat_as_categories(true);
    DSNumericColumn *values[] = {tables.addColumn(x, QStringLiteral("x")), tables.addColumn(big, QStringLiteral("big"))};
    DSDataTable *table = tables.table();
    table->setFrequency_weights_column(weights);
    table->setApply_frequency_weights(true);

    std::vector<int64_t> tags = {0, 1, 10, 11, 20, 21, 23, 24, 25, 30, 31};
    for (int64_t p = 101; p <= 199; ++p)
        tags.push_back(p);
    struct Check
    {
        DSColumnAggregation *aggregation;
        QString column;
        int64_t tag;
    };
    std::vector<Check> checks;
    for (DSNumericColumn *column : values) {
        for (int64_t tag : tags)
            checks.push_back({ds_add_aggregation(table, column, tag), column->name(), tag});
    }
    DSPivot *pivot = ds_pivot_on(table, {first, second});
    pivot->recomputePivot();

    // Tag 22 reads y's categories among the rows where the value is not
    // missing: the mask the test hands in leaves those rows out.
    for (DSNumericColumn *column : values) {
        const uint8_t *missing = nullptr;
        const qint64 bytes = column->getMissingMask(&missing);
        std::vector<uint8_t> present = mask;
        for (qint64 j = 0; j < bytes && j < qint64(present.size()); ++j)
            present[size_t(j)] &= uint8_t(~missing[j]);
        DSColumnAggregation *distinct = ds_add_aggregation(table, categories, 22);
        pivot->recomputeValuesWithMask(present.data(), qint64(present.size()));
        for (int64_t r = 0; r < pivot->numberOfRows(); ++r) {
            const QString key = column->name() + u',' + pivot->labelForPivot(0, pivot->labelPositionForRow(0, r)) +
                                u',' + pivot->labelForPivot(1, pivot->labelPositionForRow(1, r)) + QStringLiteral(",22");
            ASSERT_TRUE(expected.contains(key)) << key.toStdString();
            EXPECT_EQ(distinct->doubleValueAtIndex(pivot->convertRowToValueIndex(r)), expected.value(key)) << key.toStdString();
        }
        distinct->managedObjectContext()->deleteObject(distinct);
    }

    pivot->recomputeValuesWithMask(mask.data(), qint64(mask.size()));
    ASSERT_EQ(pivot->numberOfRows(), 12);
    int compared = 0;
    for (int64_t r = 0; r < pivot->numberOfRows(); ++r) {
        const int64_t g = pivot->convertRowToValueIndex(r);
        const QString group = pivot->labelForPivot(0, pivot->labelPositionForRow(0, r)) + u',' +
                              pivot->labelForPivot(1, pivot->labelPositionForRow(1, r));
        for (const Check &check : checks) {
            const QString key = check.column + u',' + group + u',' + QString::number(check.tag);
            ASSERT_TRUE(expected.contains(key)) << key.toStdString();
            const double want = expected.value(key), got = check.aggregation->doubleValueAtIndex(g);
            if (std::isnan(want))
                EXPECT_TRUE(std::isnan(got)) << key.toStdString();
            else
                EXPECT_LE(std::fabs(got - want), 1e-10 * std::max(1.0, std::fabs(want)))
                    << key.toStdString() << ": " << got << " against " << want;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 12 * 2 * int(tags.size()));

    // Rows: the distinct keys among the records in the mask, for several
    // input sets (x cut at -50, 0 and 50, with its missing values).
    auto *cuts = ds_object_cast<DSNumericPartition>(values[0]->pivot_partition());
    cuts->setPartition_type(2);
    cuts->setCustom_interval_cutoffs({-50, 0, 50});
    const QHash<QString, DSColumn *> byName = {
        {QStringLiteral("a"), first}, {QStringLiteral("b"), second}, {QStringLiteral("y"), categories},
        {QStringLiteral("x"), values[0]}};
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/pivot_rows.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    file.readLine();
    int sets = 0;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(';');
        ASSERT_EQ(fields.size(), 2);
        const QStringList names = QString::fromLatin1(fields[0]).split(u',');
        for (qsizetype k = 0; k < DSPivot::k_slots; ++k)
            if (DSPivotInput *input = pivot->inputAtIndex(k))
                input->setColumn(k < names.size() ? byName.value(names[k]) : nullptr);
            else if (k < names.size())
                pivot->addInput(k, byName.value(names[k]));
        table->setPrimitiveValue(qlonglong(names.size()), QStringLiteral("pivot_input_count"));
        pivot->recomputePivot();
        pivot->recomputeNonEmptyRowsWithMask(mask.data(), qint64(mask.size()));
        EXPECT_EQ(pivot->numberOfRows(), fields[1].toLongLong()) << fields[0].toStdString();
        ++sets;
    }
    EXPECT_EQ(sets, 5);
}

} // namespace
