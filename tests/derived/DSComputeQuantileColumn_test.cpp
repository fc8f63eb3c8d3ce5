// Quantile groups: cut-offs, groups of tied and weighted values against R
// (fixtures/make_quantile_groups.R), ranges cut by the whole column, the
// cut-offs kept until an edit purges them, missing inputs and group counts
// out of range.

#include "DerivedTestSupport.h"

#include "derived/DSComputeQuantileColumn.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace {

class DSComputeQuantileColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    DSComputeQuantileColumn *quantiles(DSColumn *input, qint64 k)
    {
        auto *column = addComputed<DSComputeQuantileColumn>(*this, "DSComputeQuantileColumn", {input});
        column->setQuantile_count(k);
        return column;
    }
};

TEST_F(DSComputeQuantileColumnTest, QuartilesOfOneToEight)
{
    auto *column = quantiles(addColumn({5, 1, 8, 2, 7, 3, 6, 4}), 4);
    EXPECT_EQ(valuesOf(column), (std::vector<double>{3, 1, 4, 1, 4, 2, 3, 2}));
    const double *cut = column->quantile_cutoffs();
    EXPECT_EQ(std::vector<double>(cut, cut + 5), (std::vector<double>{-INFINITY, 3, 5, 7, INFINITY}));
    EXPECT_TRUE(column->containsOnlyIntegers());
    // Rows 4 to 7, cut by the whole column.
    EXPECT_EQ(valuesOf(column, 4, 4), (std::vector<double>{4, 2, 3, 2}));
}

struct RGroups
{
    qint64 k = 0;
    std::vector<double> x, group;
    std::vector<double> w;
};

std::map<std::string, RGroups> readGroups()
{
    std::map<std::string, RGroups> cases;
    for (const QList<QByteArray> &fields : readCsvRows(QStringLiteral("fixtures/quantile_groups.csv"), 5)) {
        RGroups &c = cases[fields[0].toStdString()];
        c.k = fields[1].toLongLong();
        c.x.push_back(fields[2].isEmpty() ? NAN : fields[2].toDouble());
        c.w.push_back(fields[3].toDouble());
        c.group.push_back(fields[4].isEmpty() ? NAN : fields[4].toDouble());
    }
    return cases;
}

TEST_F(DSComputeQuantileColumnTest, WeightedGroupsWithTiesEqualR)
{
    const std::map<std::string, RGroups> cases = readGroups();
    ASSERT_EQ(cases.size(), 5u);
    for (const auto &[name, c] : cases) {
        ColumnsFixture fresh;
        DSColumn *x = fresh.addColumn(c.x, QStringLiteral("x"));
        if (name.rfind("weighted", 0) == 0) {
            fresh.table()->setFrequency_weights_column(fresh.addColumn(c.w, QStringLiteral("w")));
            fresh.table()->setApply_frequency_weights(true);
        }
        auto *column = addComputed<DSComputeQuantileColumn>(fresh, "DSComputeQuantileColumn", {x});
        column->setQuantile_count(c.k);
        const std::vector<double> got = valuesOf(column);
        ASSERT_EQ(got.size(), c.group.size()) << name;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_TRUE(sameValue(got[i], c.group[i])) << name << " row " << i << ": " << got[i] << ", R " << c.group[i];
        std::vector<qint64> missing;
        for (size_t i = 0; i < c.x.size(); ++i)
            if (std::isnan(c.x[i]))
                missing.push_back(qint64(i));
        EXPECT_EQ(missingRows(column), missing) << name;
    }
}

TEST_F(DSComputeQuantileColumnTest, CutoffsFollowEditsOfTheInput)
{
    std::vector<double> values(1000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = double((i * 7919) % 1000);
    ProbedDataColumn *x = addColumn(values);
    auto *column = quantiles(x, 10);
    const std::vector<double> before = valuesOf(column, 200, 100);
    // Moving the smallest values to the top shifts every group down.
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] < 300) {
            ASSERT_TRUE(x->replaceNumericValueAtIndex(qint64(i), values[i] + 1000));
        }
    const std::vector<double> after = valuesOf(column, 200, 100);
    EXPECT_NE(before, after);
    EXPECT_EQ(after, valuesOf(quantiles(x, 10), 200, 100));
    // And a change of the weights, which belongs to no input.
    DSColumn *w = addColumn(std::vector<double>(1000, 1), QStringLiteral("w"));
    table()->setFrequency_weights_column(w);
    table()->setApply_frequency_weights(true);
    const std::vector<double> weighted = valuesOf(column, 200, 100);
    EXPECT_EQ(weighted, after);
    static_cast<ProbedDataColumn *>(w)->replaceNumericValueAtIndex(0, 400);
    EXPECT_EQ(valuesOf(column, 200, 100), valuesOf(quantiles(x, 10), 200, 100));
}

TEST_F(DSComputeQuantileColumnTest, MissingAndAbsentInputs)
{
    auto *allMissing = quantiles(addColumn({NAN, NAN, NAN}), 4);
    for (double v : valuesOf(allMissing))
        EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(missingRows(allMissing), (std::vector<qint64>{0, 1, 2}));
    // Weighted to nothing: no row has a group.
    DSColumn *x = addColumn({1, 2, 3}, QStringLiteral("x"));
    table()->setFrequency_weights_column(addColumn({0, 0, 0}, QStringLiteral("w")));
    table()->setApply_frequency_weights(true);
    for (double v : valuesOf(quantiles(x, 4)))
        EXPECT_TRUE(std::isnan(v));
    table()->setApply_frequency_weights(false);
    // One group holds every row.
    EXPECT_EQ(valuesOf(quantiles(x, 1)), (std::vector<double>{1, 1, 1}));
    // Group counts a menu or a stored document might hold beyond 1 to 199.
    for (qint64 k : {0, -3, 200, 100000})
        EXPECT_EQ(valuesOf(quantiles(x, k)), std::vector<double>()) << k;
    // A value on a cut-off belongs to the group above it.
    EXPECT_EQ(valuesOf(quantiles(x, 199)), (std::vector<double>{67, 133, 199}));
    EXPECT_EQ(valuesOf(quantiles(addColumn({}, QStringLiteral("empty")), 4)), std::vector<double>());
    auto *orphan = context().insertNewObject<DSComputeQuantileColumn>(QStringLiteral("DSComputeQuantileColumn"));
    table()->insertNewColumns({orphan}, 0);
    EXPECT_EQ(valuesOf(orphan), std::vector<double>());
}

} // namespace
