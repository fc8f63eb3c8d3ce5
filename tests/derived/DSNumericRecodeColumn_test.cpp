// Recoded columns: smart recode around existing codes, merged and missing
// codes, blank texts and NaN rows, indicator inputs, the index and the
// name, agreement of whole-column and range answers, short and unsuitable
// inputs, and the purge that follows a change of the mapping, undo too.

#include "DerivedTestSupport.h"

#include "derived/DSNumericRecodeColumn.h"
#include "derived/ds_insert_constant_column.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

namespace {

class DSNumericRecodeColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    DSNumericRecodeColumn *recode(DSColumn *input)
    {
        return addComputed<DSNumericRecodeColumn>(*this, "DSNumericRecodeColumn", {input});
    }
    // Whole column, then every range of three rows from each offset: the
    // two answers must agree row for row.
    std::vector<double> agreedValues(DSNumericRecodeColumn *column)
    {
        const std::vector<double> whole = valuesOf(column);
        const qint64 rows = table()->num_records();
        for (qint64 offset = 0; offset < rows; ++offset) {
            const std::vector<double> part = valuesOf(column, offset, 3);
            EXPECT_EQ(qint64(part.size()), std::min<qint64>(3, rows - offset));
            for (size_t i = 0; i < part.size() && offset + qint64(i) < qint64(whole.size()); ++i)
                EXPECT_TRUE(sameValue(part[i], whole[size_t(offset) + i])) << "row " << offset + qint64(i);
        }
        return whole;
    }
    static std::vector<double> indexOf(DSNumericRecodeColumn *column)
    {
        const double *index = nullptr;
        const qint64 n = column->getIndex(&index);
        return std::vector<double>(index, index + n);
    }
};

void expectSame(const std::vector<double> &got, const std::vector<double> &expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(sameValue(got[i], expected[i])) << "entry " << i << ": " << got[i];
}

TEST_F(DSNumericRecodeColumnTest, SmartRecodeNumbersTextsInTheirOrderAroundExistingCodes)
{
    DSColumn *x = addTextColumn({"c", "a", "b", "a", "c"}, QStringLiteral("x"));
    DSNumericRecodeColumn *plain = recode(x);
    plain->smartRecode();
    expectSame(agreedValues(plain), {3, 1, 2, 1, 3});
    EXPECT_EQ(plain->category_labels().value(1.0).toString(), QStringLiteral("a"));
    EXPECT_EQ(plain->category_labels().value(3.0).toString(), QStringLiteral("c"));
    EXPECT_EQ(plain->name(), QStringLiteral("recode3(x)"));
    expectSame(indexOf(plain), {1, 2, 3});

    DSNumericRecodeColumn *seeded = recode(x);
    seeded->setValueMapping(QCborValue(7), QCborValue(QStringLiteral("b")));
    seeded->smartRecode();
    expectSame(agreedValues(seeded), {8, 1, 7, 1, 8});
}

TEST_F(DSNumericRecodeColumnTest, UnmappedValuesAreMissingAndSharedCodesCountOnce)
{
    DSColumn *x = addTextColumn({"a", "b", "c", nullptr, ""}, QStringLiteral("x"));
    DSNumericRecodeColumn *partial = recode(x);
    partial->setValueMapping(QCborValue(1), QCborValue(QStringLiteral("a")));
    partial->setValueMapping(QCborValue(2), QCborValue(QStringLiteral("b")));
    expectSame(agreedValues(partial), {1, 2, NAN, NAN, NAN});
    expectSame(indexOf(partial), {1, 2, NAN});
    EXPECT_EQ(missingRows(partial), (std::vector<qint64>{2, 3, 4}));

    // Blank rows (no text or the empty text) take the "" code; a and b
    // share one code, counted once in the name.
    DSNumericRecodeColumn *merged = recode(x);
    merged->setValueMapping(QCborValue(5), QCborValue(QStringLiteral("a")));
    merged->setValueMapping(QCborValue(5.9), QCborValue(QStringLiteral("b")));
    merged->setValueMapping(QCborValue(6), QCborValue(QStringLiteral("c")));
    merged->setValueMapping(QCborValue(9), QCborValue(QStringLiteral("")));
    expectSame(agreedValues(merged), {5, 5, 6, 9, 9});
    EXPECT_EQ(merged->name(), QStringLiteral("recode3(x)"));
    expectSame(indexOf(merged), {5, 6, 9});

    // A code for a value the input lacks leaves c without one: its rows
    // keep their own bin instead of joining the highest code's.
    DSNumericRecodeColumn *stale = recode(x);
    stale->setValueMapping(QCborValue(1), QCborValue(QStringLiteral("a")));
    stale->setValueMapping(QCborValue(2), QCborValue(QStringLiteral("b")));
    stale->setValueMapping(QCborValue(3), QCborValue(QStringLiteral("z")));
    stale->setValueMapping(QCborValue(4), QCborValue(QStringLiteral("")));
    expectSame(indexOf(stale), {1, 2, 3, 4, NAN});
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(stale->getIndexedValues(&positions, &bins), 5);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 5), (std::vector<int32_t>{0, 1, 4, 3, 3}));

    // Removing a code brings the value's rows back to missing.
    merged->setValueMapping(QCborValue(), QCborValue(QStringLiteral("c")));
    expectSame(agreedValues(merged), {5, 5, NAN, 9, 9});
}

TEST_F(DSNumericRecodeColumnTest, NumericAndIndicatorInputs)
{
    DSColumn *x = addColumn({2.5, NAN, 1, 2.5, 7}, QStringLiteral("x"));
    DSNumericRecodeColumn *numbers = recode(x);
    numbers->setValueMapping(QCborValue(10), QCborValue(1));
    numbers->setValueMapping(QCborValue(20), QCborValue(2.5));
    numbers->setValueMapping(QCborValue(-1), QCborValue(double(NAN)));
    expectSame(agreedValues(numbers), {20, -1, 10, 20, NAN});
    expectSame(indexOf(numbers), {-1, 10, 20, NAN});
    // The sheet's rows are the input's index, the missing value last.
    const QList<QCborValue> listed = numbers->inputValues();
    ASSERT_EQ(listed.size(), 4);
    EXPECT_EQ(listed[0].toDouble(), 1);
    EXPECT_TRUE(std::isnan(listed[3].toDouble()));

    auto *flag = addColumnOfEntity<BitsColumn>("DSTestIndicatorColumn", QStringLiteral("flag"));
    flag->bits = {0b00011};
    flag->missing = {0b00010};
    DSNumericRecodeColumn *bits = recode(flag);
    bits->setValueMapping(QCborValue(4), QCborValue(0));
    bits->setValueMapping(QCborValue(3), QCborValue(1));
    bits->setValueMapping(QCborValue(8), QCborValue(double(NAN)));
    expectSame(agreedValues(bits), {3, NAN, 4, 4, 4});
    EXPECT_EQ(missingRows(bits), std::vector<qint64>{1});
}

TEST_F(DSNumericRecodeColumnTest, ShortAndUnsuitableInputsGiveNoCodes)
{
    addColumn(std::vector<double>(10, 1.0), QStringLiteral("rows"));
    DSColumn *shortColumn = addColumn({1, 2, 3, 4, 5}, QStringLiteral("short"));
    DSNumericRecodeColumn *fromShort = recode(shortColumn);
    fromShort->setValueMapping(QCborValue(1), QCborValue(1));
    EXPECT_EQ(valuesOf(fromShort, 0, 5).size(), 5u);
    const double *out = reinterpret_cast<const double *>(&out);
    EXPECT_EQ(fromShort->getValues(&out, 3, 5), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(fromShort->getValues(&out), 0);

    DSColumn *time = ds_insert_constant_column(QStringLiteral("3/14/2015"), &context());
    table()->insertNewColumns({time}, table()->columns().size());
    DSNumericRecodeColumn *fromTime = recode(time);
    fromTime->setValueMapping(QCborValue(1), QCborValue(0));
    expectSame(agreedValues(fromTime), std::vector<double>(10, NAN));
    EXPECT_EQ(missingRows(fromTime).size(), 10u);
}

TEST_F(DSNumericRecodeColumnTest, ChangingTheMappingPurgesTheColumnUndoToo)
{
    DSColumn *x = addTextColumn({"a", "b"}, QStringLiteral("x"));
    DSNumericRecodeColumn *column = recode(x);
    endEvent();
    quint64 version = column->dataVersion();
    column->setValueMapping(QCborValue(1), QCborValue(QStringLiteral("a")));
    endEvent();
    EXPECT_GT(column->dataVersion(), version);
    expectSame(valuesOf(column), {1, NAN});
    version = column->dataVersion();
    context().undoManager()->undo();
    EXPECT_GT(column->dataVersion(), version);
    expectSame(valuesOf(column), {NAN, NAN});
}

} // namespace
