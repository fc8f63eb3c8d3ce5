// The computed-column protocol on the arithmetic columns: ranges, missing
// masks merged from the inputs, zero divisors, indicator terms, deletion
// with the inputs, the names every computed column suggests, and the purge
// that follows a change of a definition, by undo and redo too.

#include "DerivedTestSupport.h"

#include "derived/DSComputeDifferenceColumn.h"
#include "derived/DSComputeDivisionColumn.h"
#include "derived/DSComputeLeadingDigitsColumn.h"
#include "derived/DSComputeLogarithmColumn.h"
#include "derived/DSComputePowerColumn.h"
#include "derived/DSComputeProductColumn.h"
#include "derived/DSComputeQuantileColumn.h"
#include "derived/DSComputeRoundedColumn.h"
#include "derived/DSComputeScaledColumn.h"
#include "derived/DSComputeStandardizedColumn.h"
#include "derived/DSComputeSumColumn.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

class DSComputedColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    template <class T>
    T *add(const char *entity, std::initializer_list<DSColumn *> inputs)
    {
        return addComputed<T>(*this, entity, inputs);
    }
    DSComputeSumColumn *sum(std::initializer_list<DSColumn *> inputs)
    {
        return add<DSComputeSumColumn>("DSComputeSumColumn", inputs);
    }
    DSComputeDifferenceColumn *difference(DSColumn *a, DSColumn *b)
    {
        return add<DSComputeDifferenceColumn>("DSComputeDifferenceColumn", {a, b});
    }
    DSComputeDivisionColumn *quotient(DSColumn *a, DSColumn *b)
    {
        return add<DSComputeDivisionColumn>("DSComputeDivisionColumn", {a, b});
    }
    DSComputeProductColumn *product(std::initializer_list<DSColumn *> inputs)
    {
        return add<DSComputeProductColumn>("DSComputeProductColumn", inputs);
    }
    BitsColumn *indicator(std::vector<uint8_t> bits, std::vector<uint8_t> missing)
    {
        auto *column = addColumnOfEntity<BitsColumn>("DSTestIndicatorColumn", QStringLiteral("flag"));
        column->bits = std::move(bits);
        column->missing = std::move(missing);
        return column;
    }
};

void expectValues(DSNumericColumn *column, const std::vector<double> &expected)
{
    const std::vector<double> got = valuesOf(column);
    ASSERT_EQ(got.size(), expected.size()) << column->name().toStdString();
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(sameValue(got[i], expected[i])) << column->name().toStdString() << " row " << i << ": " << got[i];
}

TEST_F(DSComputedColumnTest, NamesSayHowTheColumnIsComputed)
{
    DSColumn *a = addColumn({1}, QStringLiteral("a")), *b = addColumn({1}, QStringLiteral("b")),
             *c = addColumn({1}, QStringLiteral("c")), *x = addColumn({1}, QStringLiteral("x")),
             *y = addColumn({1}, QStringLiteral("y")), *z = addColumn({1}, QStringLiteral("z")),
             *income = addColumn({1}, QStringLiteral("income"));
    const auto log = [&](double base, bool increment) {
        auto *column = add<DSComputeLogarithmColumn>("DSComputeLogarithmColumn", {x});
        column->setBase(base);
        column->setIncrement(increment);
        return column;
    };
    const auto power = [&](double exponent) {
        auto *column = add<DSComputePowerColumn>("DSComputePowerColumn", {x});
        column->setExponent(exponent);
        return column;
    };
    const auto scaled = [&](DSColumn *input, double scalar, bool invert) {
        auto *column = add<DSComputeScaledColumn>("DSComputeScaledColumn", {input});
        column->setScalar(scalar);
        column->setInvert(invert);
        return column;
    };
    const auto rounded = [&](qint64 method) {
        auto *column = add<DSComputeRoundedColumn>("DSComputeRoundedColumn", {x});
        column->setMethod(method);
        return column;
    };
    const auto quantiles = [&](DSColumn *input, qint64 k) {
        auto *column = add<DSComputeQuantileColumn>("DSComputeQuantileColumn", {input});
        column->setQuantile_count(k);
        return column;
    };
    const struct
    {
        DSColumn *column;
        const char16_t *name;
    } cases[] = {
        {quotient(sum({a, b}), c), u"(a + b) / c"},
        {difference(x, difference(y, z)), u"x − (y − z)"},
        {difference(difference(x, y), z), u"x − y − z"},
        {product({a, b}), u"a × b"},
        {sum({a, b, c}), u"a + b + c"},
        {log(10, true), u"log10(1+x)"},
        {log(0, false), u"ln(x)"},
        {log(2, false), u"log2(x)"},
        {log(20, true), u"log20(1+x)"},
        {log(-3, false), u"ln(x)"},
        {power(2), u"(x)²"},
        {power(-3), u"(x)⁻³"},
        {power(0.5), u"√(x)"},
        {power(10), u"pow(x, 10)"},
        {power(2.5), u"pow(x, 2.5)"},
        {power(-0.5), u"pow(x, -0.5)"},
        {scaled(sum({a, b}), 2, false), u"(a + b) × 2"},
        {scaled(x, 1000, true), u"x / 1,000"},
        {rounded(-2), u"trunc(x)"},
        {rounded(-1), u"floor(x)"},
        {rounded(1), u"ceil(x)"},
        {rounded(0), u"round(x)"},
        {add<DSComputeLeadingDigitsColumn>("DSComputeLeadingDigitsColumn", {x}), u"digit1(x)"},
        {add<DSComputeStandardizedColumn>("DSComputeStandardizedColumn", {x}), u"std(x)"},
        {quantiles(income, 4), u"quartile(income)"},
        {quantiles(x, 11), u"quantile(x, 11)"},
        {quantiles(x, 100), u"percentile(x)"},
        // Operands that would otherwise read as another formula.
        {difference(x, sum({a, b})), u"x − (a + b)"},
        {product({sum({a, b}), c}), u"(a + b) × c"},
        {quotient(a, product({b, c})), u"a / (b × c)"},
        {quotient(quotient(a, b), c), u"a / b / c"},
        {sum({a, difference(b, c)}), u"a + b − c"},
    };
    for (const auto &test : cases)
        EXPECT_EQ(test.column->name(), QString::fromUtf16(test.name));
}

TEST_F(DSComputedColumnTest, QuantileLabelsNameEachGroup)
{
    const QCborMap deciles = DSComputeQuantileColumn::categoryLabelsForCount(10);
    const char *expected[] = {"Bottom decile", "2nd decile", "3rd decile", "4th decile", "5th decile",
                              "6th decile",    "7th decile", "8th decile", "9th decile", "Top decile"};
    ASSERT_EQ(deciles.size(), 10);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(deciles.value(QCborValue(double(i))).toString(), QString::fromLatin1(expected[i - 1]));
    const QCborMap percentiles = DSComputeQuantileColumn::categoryLabelsForCount(100);
    for (const auto &[group, label] : std::vector<std::pair<int, const char *>>{
             {11, "11th percentile"}, {12, "12th percentile"}, {13, "13th percentile"}, {21, "21st percentile"},
             {22, "22nd percentile"}, {23, "23rd percentile"}, {100, "Top percentile"}})
        EXPECT_EQ(percentiles.value(QCborValue(double(group))).toString(), QString::fromLatin1(label));
    const QCborMap eleven = DSComputeQuantileColumn::categoryLabelsForCount(11);
    EXPECT_EQ(eleven.value(QCborValue(1.0)).toString(), QStringLiteral("Bottom of 11"));
    EXPECT_EQ(eleven.value(QCborValue(2.0)).toString(), QStringLiteral("2nd of 11"));
    EXPECT_EQ(eleven.value(QCborValue(11.0)).toString(), QStringLiteral("Top of 11"));
    const QCborMap one = DSComputeQuantileColumn::categoryLabelsForCount(1);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one.value(QCborValue(1.0)).toString(), QStringLiteral("Bottom of 1"));

    // The menu's change from 4 to 10 groups: name and labels follow.
    auto *column = add<DSComputeQuantileColumn>("DSComputeQuantileColumn", {addColumn({1, 2}, QStringLiteral("x"))});
    column->setQuantile_count(4);
    column->generateCategoryLabels();
    EXPECT_EQ(column->category_labels().value(QCborValue(4.0)).toString(), QStringLiteral("Top quartile"));
    column->setQuantile_count(10);
    column->generateCategoryLabels();
    EXPECT_EQ(column->name(), QStringLiteral("decile(x)"));
    EXPECT_EQ(column->category_labels().value(QCborValue(10.0)).toString(), QStringLiteral("Top decile"));
}

TEST_F(DSComputedColumnTest, RangesStopAtTheLastRow)
{
    std::vector<double> values(12);
    for (int i = 0; i < 12; ++i)
        values[size_t(i)] = i + 1;
    DSColumn *a = addColumn(values, QStringLiteral("a")), *b = addColumn(std::vector<double>(12, 2), QStringLiteral("b"));
    for (DSNumericColumn *column : std::initializer_list<DSNumericColumn *>{
             quotient(a, b), difference(a, b), sum({a, b}), product({a, b}),
             add<DSComputeLogarithmColumn>("DSComputeLogarithmColumn", {a}),
             add<DSComputeStandardizedColumn>("DSComputeStandardizedColumn", {a}),
             add<DSComputeQuantileColumn>("DSComputeQuantileColumn", {a})}) {
        const double *out = nullptr;
        EXPECT_EQ(column->getValues(&out, 10, 5), 2) << column->name().toStdString();
        EXPECT_NE(out, nullptr);
        EXPECT_EQ(column->getValues(&out, 12, 5), 0) << column->name().toStdString();
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(column->getValues(nullptr, 3, 4), 4) << "the count alone";
    }
    EXPECT_EQ(valuesOf(quotient(a, b), 10, 5), (std::vector<double>{5.5, 6}));
    // No input misses a row and no rule applies: every bit of the range clear.
    auto *total = sum({a, b});
    const uint8_t *mask = nullptr;
    const qint64 length = total->getMissingMask(&mask, 0, 12);
    ASSERT_EQ(length, 2);
    EXPECT_EQ(mask[0] | mask[1], 0);
}

TEST_F(DSComputedColumnTest, ZeroDivisorsAreMissingWithTheirInfiniteValues)
{
    DSColumn *a = addColumn({1, -2, 0, NAN, 6}, QStringLiteral("a")), *b = addColumn({0, 0, -0.0, 1, 3}, QStringLiteral("b"));
    auto *q = quotient(a, b);
    expectValues(q, {inf, -inf, NAN, NAN, 2});
    EXPECT_EQ(missingRows(q), (std::vector<qint64>{0, 1, 2, 3}));
    // Inputs of different lengths cannot be divided row by row.
    auto *shortColumn = addColumn({1, 2}, QStringLiteral("short"));
    EXPECT_EQ(valuesOf(quotient(a, shortColumn)), std::vector<double>());
    EXPECT_EQ(valuesOf(difference(shortColumn, a)), std::vector<double>());
    EXPECT_EQ(valuesOf(difference(a, shortColumn)), std::vector<double>());
}

TEST_F(DSComputedColumnTest, AColumnReadTwiceInOneComputation)
{
    DSColumn *a = addColumn({1, 2, 3}, QStringLiteral("a")), *b = addColumn({4, 5, 6}, QStringLiteral("b"));
    DSColumn *s = sum({a, b});
    expectValues(quotient(s, s), {1, 1, 1});
    expectValues(difference(s, s), {0, 0, 0});
    expectValues(product({s, s}), {25, 49, 81});
    expectValues(quotient(a, a), {1, 1, 1});
}

TEST_F(DSComputedColumnTest, IndicatorTermsAddOneOrZeroAndTheirMissingRows)
{
    DSColumn *x = addColumn({10, 20, 30, 40}, QStringLiteral("x"));
    BitsColumn *flag = indicator({0b0101}, {0b1000});
    auto *total = sum({x, flag});
    expectValues(total, {11, 20, 31, 40});
    EXPECT_EQ(missingRows(total), (std::vector<qint64>{3}));
    EXPECT_TRUE(total->containsOnlyIntegers());
    expectValues(product({x, flag}), {10, 0, 30, 0});
    // An indicator without bits cannot give its rows.
    BitsColumn *empty = indicator({}, {});
    EXPECT_EQ(valuesOf(sum({x, empty})), std::vector<double>());
}

TEST_F(DSComputedColumnTest, SumsAndProductsOfFewOrOtherInputs)
{
    DSColumn *x = addColumn({1.5, 2, 3}, QStringLiteral("x")), *y = addColumn({2, 2, 2}, QStringLiteral("y"));
    DSColumn *text = addTextColumn({"a", "b", "c"});
    EXPECT_EQ(valuesOf(sum({})), std::vector<double>());
    EXPECT_EQ(valuesOf(product({})), std::vector<double>());
    expectValues(product({x}), {1.5, 2, 3});
    // Other kinds add and multiply nothing, wherever they stand.
    expectValues(product({text, x, y}), {3, 4, 6});
    expectValues(sum({text, x}), {1.5, 2, 3});
    EXPECT_EQ(valuesOf(product({text})), std::vector<double>());
    EXPECT_FALSE(sum({x, y})->containsOnlyIntegers());
    EXPECT_TRUE(product({y, y})->containsOnlyIntegers());
    EXPECT_FALSE(sum({y, text})->containsOnlyIntegers());
}

TEST_F(DSComputedColumnTest, DeletingAnInputDeletesWhatCannotLiveWithoutIt)
{
    DSColumn *a = addColumn({1, 2}, QStringLiteral("a")), *b = addColumn({3, 4}, QStringLiteral("b")),
             *c = addColumn({5, 6}, QStringLiteral("c"));
    auto *q = quotient(a, b);
    auto *d = difference(a, b);
    auto *total = sum({a, b, c});
    auto *scaled = add<DSComputeScaledColumn>("DSComputeScaledColumn", {b});
    endEvent();
    context().deleteObject(b);
    endEvent();
    EXPECT_TRUE(q->isDeleted());
    EXPECT_TRUE(d->isDeleted());
    EXPECT_TRUE(scaled->isDeleted());
    ASSERT_FALSE(total->isDeleted());
    EXPECT_EQ(total->name(), QStringLiteral("a + c"));
    expectValues(total, {6, 8});
    context().undoManager()->undo();
    EXPECT_FALSE(q->isDeleted());
    EXPECT_EQ(q->name(), QStringLiteral("a / b"));
    expectValues(q, {1.0 / 3, 0.5});
}

TEST_F(DSComputedColumnTest, InputsThatFormACycleGiveNothing)
{
    DSColumn *x = addColumn({1, 2}, QStringLiteral("x"));
    auto *total = sum({x});
    auto *q = quotient(total, x);
    total->addInputColumn(q);
    EXPECT_EQ(valuesOf(q), std::vector<double>());
    const uint8_t *mask = nullptr;
    EXPECT_EQ(q->getMissingMask(&mask, 0, 2), 1);
}

// Every stored parameter, and the input links, purge the column and what is
// computed from it when they change, when the change is undone and when it
// is redone.
TEST_F(DSComputedColumnTest, ChangingADefinitionPurgesByUndoAndRedoToo)
{
    DSColumn *x = addColumn({1.5, 2.25, 3.5, 0.2}, QStringLiteral("x")), *y = addColumn({4, 3, 2, 1}, QStringLiteral("y"));
    const auto made = [&](auto *column) { return static_cast<DSComputedColumn *>(column); };
    const auto scaledBy = [&](double scalar) {
        auto *column = add<DSComputeScaledColumn>("DSComputeScaledColumn", {x});
        column->setScalar(scalar);
        return made(column);
    };
    const struct
    {
        DSComputedColumn *column;
        std::function<void(DSComputedColumn *)> change;
    } cases[] = {
        {made(add<DSComputeLogarithmColumn>("DSComputeLogarithmColumn", {x})),
         [](DSComputedColumn *c) { static_cast<DSComputeLogarithmColumn *>(c)->setBase(2); }},
        {made(add<DSComputeLogarithmColumn>("DSComputeLogarithmColumn", {x})),
         [](DSComputedColumn *c) { static_cast<DSComputeLogarithmColumn *>(c)->setIncrement(true); }},
        {made(add<DSComputePowerColumn>("DSComputePowerColumn", {x})),
         [](DSComputedColumn *c) { static_cast<DSComputePowerColumn *>(c)->setExponent(3); }},
        {scaledBy(1), [](DSComputedColumn *c) { static_cast<DSComputeScaledColumn *>(c)->setScalar(7); }},
        {scaledBy(4), [](DSComputedColumn *c) { static_cast<DSComputeScaledColumn *>(c)->setInvert(true); }},
        {made(add<DSComputeRoundedColumn>("DSComputeRoundedColumn", {x})),
         [](DSComputedColumn *c) { static_cast<DSComputeRoundedColumn *>(c)->setMethod(1); }},
        {made(add<DSComputeQuantileColumn>("DSComputeQuantileColumn", {x})),
         [](DSComputedColumn *c) { static_cast<DSComputeQuantileColumn *>(c)->setQuantile_count(2); }},
        {made(quotient(x, y)), [&](DSComputedColumn *c) { static_cast<DSComputeDivisionColumn *>(c)->setDivisor(x); }},
    };
    for (const auto &test : cases) {
        auto *downstream = sum({test.column});
        endEvent();
        const std::vector<double> before = valuesOf(test.column);
        const auto purgedSince = [&](quint64 own, quint64 below) {
            return test.column->dataVersion() > own && downstream->dataVersion() > below;
        };
        quint64 own = test.column->dataVersion(), below = downstream->dataVersion();
        test.change(test.column);
        endEvent();
        EXPECT_TRUE(purgedSince(own, below)) << test.column->name().toStdString();
        const std::vector<double> after = valuesOf(test.column);
        EXPECT_NE(before, after) << test.column->name().toStdString();

        own = test.column->dataVersion(), below = downstream->dataVersion();
        context().undoManager()->undo();
        EXPECT_TRUE(purgedSince(own, below)) << "undo of " << test.column->name().toStdString();
        EXPECT_EQ(valuesOf(test.column), before);

        own = test.column->dataVersion(), below = downstream->dataVersion();
        context().undoManager()->redo();
        EXPECT_TRUE(purgedSince(own, below)) << "redo of " << test.column->name().toStdString();
        EXPECT_EQ(valuesOf(test.column), after);
    }
}

} // namespace
