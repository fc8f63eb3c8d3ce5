// Indicator columns from conditions: evaluation under AND and OR with
// missing rows against R's ifelse() (fixtures/make_indicators.R) for ranges
// at odd offsets, no conditions, the round trip through a predicate, the
// names, and the purge that follows a change of the conditions.

#include "DerivedTestSupport.h"

#include "derived/DSIndicatorLocalColumn.h"
#include "model/DSColumnCondition.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

namespace {

DSPredicatePtr comparison(const char *column, DSPredicateOperatorType type, const DSPredicateValue &value)
{
    return DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(QString::fromUtf8(column))), type,
        DSExpression::forConstantValue(value));
}

DSPredicatePtr adult()
{
    return comparison("Age", DSPredicateOperatorType::GreaterThanOrEqualTo, DSPredicateValue::fromNumber(18));
}

DSPredicatePtr light()
{
    return comparison("Weight", DSPredicateOperatorType::LessThan, DSPredicateValue::fromNumber(80));
}

class DSIndicatorLocalColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    DSIndicatorLocalColumn *indicator(const DSPredicatePtr &predicate)
    {
        auto *column = context().insertNewObject<DSIndicatorLocalColumn>(QStringLiteral("DSIndicatorLocalColumn"));
        column->setTable(table());
        column->setPredicate(predicate);
        table()->insertNewColumns({column}, table()->columns().size());
        return column;
    }
    // "1", "0" or "" (missing) for rows offset to offset + limit - 1 of one
    // ranged request.
    static std::vector<std::string> rowsOf(DSIndicatorLocalColumn *column, qint64 offset, qint64 limit)
    {
        const uint8_t *values = nullptr, *missing = nullptr;
        const qint64 length = column->getBytes(&values, &missing, offset, limit);
        std::vector<std::string> rows;
        for (qint64 r = offset; r < offset + limit; ++r)
            rows.push_back(ds_bit(missing, length, r) ? "" : ds_bit(values, length, r) ? "1" : "0");
        return rows;
    }
};

TEST_F(DSIndicatorLocalColumnTest, ConditionsOnColumnsWithMissingRowsMatchR)
{
    const std::vector<QList<QByteArray>> rows = readCsvRows(QStringLiteral("fixtures/indicators.csv"), 4);
    ASSERT_EQ(rows.size(), 203u);
    std::vector<double> age, weight;
    for (const QList<QByteArray> &row : rows) {
        age.push_back(row[0].isEmpty() ? NAN : row[0].toDouble());
        weight.push_back(row[1].isEmpty() ? NAN : row[1].toDouble());
    }
    addColumn(age, QStringLiteral("Age"));
    addColumn(weight, QStringLiteral("Weight"));
    DSIndicatorLocalColumn *both = indicator(DSCompoundPredicate::andPredicate({adult(), light()}));
    DSIndicatorLocalColumn *either = indicator(DSCompoundPredicate::orPredicate({adult(), light()}));
    struct Range
    {
        qint64 offset, limit;
    };
    for (const Range range : {Range{0, 203}, Range{3, 7}, Range{5, 13}, Range{9, 1}, Range{61, 139}, Range{201, 2}}) {
        SCOPED_TRACE(testing::Message() << range.offset << ", " << range.limit);
        const std::vector<std::string> gotAnd = rowsOf(both, range.offset, range.limit);
        const std::vector<std::string> gotOr = rowsOf(either, range.offset, range.limit);
        for (qint64 i = 0; i < range.limit; ++i) {
            const QList<QByteArray> &row = rows[size_t(range.offset + i)];
            EXPECT_EQ(gotAnd[size_t(i)], row[2].toStdString()) << "row " << range.offset + i;
            EXPECT_EQ(gotOr[size_t(i)], row[3].toStdString()) << "row " << range.offset + i;
        }
    }
    EXPECT_EQ(both->name(), QStringLiteral("[Age \u2265 18, Weight < 80]"));
    EXPECT_EQ(either->name(), QStringLiteral("[Age \u2265 18 OR Weight < 80]"));
}

TEST_F(DSIndicatorLocalColumnTest, WithoutConditionsAndIsAllTrueAndOrAllFalse)
{
    addColumn({1, NAN, 3, 4, 5, 6, 7, 8, 9, 10}, QStringLiteral("Age"));
    DSIndicatorLocalColumn *all = indicator(DSCompoundPredicate::andPredicate({}));
    DSIndicatorLocalColumn *any = indicator(DSCompoundPredicate::orPredicate({}));
    EXPECT_EQ(rowsOf(all, 1, 9), std::vector<std::string>(9, "1"));
    EXPECT_EQ(rowsOf(any, 1, 9), std::vector<std::string>(9, "0"));
    EXPECT_EQ(all->name(), QStringLiteral("[]"));
    EXPECT_EQ(any->predicate_type(), 2);
}

TEST_F(DSIndicatorLocalColumnTest, PredicatesComeBackInTheirOrder)
{
    addColumn({20, 10}, QStringLiteral("Age"));
    addColumn({70, 90}, QStringLiteral("Weight"));
    const DSPredicatePtr ordered = DSCompoundPredicate::orPredicate({light(), adult()});
    DSIndicatorLocalColumn *column = indicator(ordered);
    ASSERT_EQ(column->sortedConditions().size(), 2);
    EXPECT_EQ(column->sortedConditions()[0]->index(), 0);
    EXPECT_EQ(*column->predicate(), *ordered);
    EXPECT_EQ(column->name(), QStringLiteral("[Weight < 80 OR Age \u2265 18]"));

    // A lone comparison comes back inside an AND.
    column->setPredicate(adult());
    EXPECT_EQ(*column->predicate(), *DSCompoundPredicate::andPredicate({adult()}));
    EXPECT_EQ(rowsOf(column, 0, 2), (std::vector<std::string>{"1", "0"}));

    // Comparisons naming no column, or without a value, are dropped;
    // nested compounds too.
    column->setPredicate(DSCompoundPredicate::andPredicate(
        {comparison("Height", DSPredicateOperatorType::LessThan, DSPredicateValue::fromNumber(1)),
         comparison("Age", DSPredicateOperatorType::LessThan, DSPredicateValue()), light(),
         DSCompoundPredicate::orPredicate({adult()})}));
    EXPECT_EQ(*column->predicate(), *DSCompoundPredicate::andPredicate({light()}));
    EXPECT_EQ(column->sortedConditions()[0]->index(), 0);

    // Without conditions the default column gives the comparison shown.
    column->setPredicate(DSCompoundPredicate::andPredicate({}));
    column->setDefault_column(table()->columns()[0]);
    EXPECT_EQ(*column->predicate(), *DSCompoundPredicate::andPredicate({comparison(
                                        "Age", DSPredicateOperatorType::EqualTo, DSPredicateValue::fromNumber(0))}));
}

TEST_F(DSIndicatorLocalColumnTest, ChangingTheConditionsPurgesTheColumnUndoToo)
{
    addColumn({20, 10}, QStringLiteral("Age"));
    addColumn({70, 90}, QStringLiteral("Weight"));
    DSIndicatorLocalColumn *column = indicator(DSCompoundPredicate::andPredicate({adult()}));
    endEvent();
    quint64 version = column->dataVersion();
    column->setPredicate(DSCompoundPredicate::andPredicate({light()}));
    endEvent();
    EXPECT_GT(column->dataVersion(), version);
    EXPECT_EQ(rowsOf(column, 0, 2), (std::vector<std::string>{"1", "0"}));
    version = column->dataVersion();
    context().undoManager()->undo();
    EXPECT_GT(column->dataVersion(), version);
    EXPECT_EQ(*column->predicate(), *DSCompoundPredicate::andPredicate({adult()}));
}

} // namespace
