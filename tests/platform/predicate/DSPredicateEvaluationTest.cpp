#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <gtest/gtest.h>

#include <QMap>

#include <cmath>
#include <limits>

namespace {

using V = DSPredicateValue;

const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

// 2019-03-01T00:00:00Z in seconds since 2001-01-01.
const double kMarch2019 = 573091200;

DSPredicatePtr parsed(const QString &text)
{
    QString error;
    DSPredicatePtr predicate = DSPredicate::fromString(text, &error);
    EXPECT_TRUE(predicate) << text.toStdString() << ": " << error.toStdString();
    return predicate;
}

struct RowCase {
    const char *predicate;
    V value;
    bool expected;
    V label = {};
};

void PrintTo(const RowCase &c, std::ostream *out)
{
    *out << c.predicate << " with " << c.value.toPredicateText().toStdString();
}

class RowEvaluation : public testing::TestWithParam<RowCase> {};

TEST_P(RowEvaluation, MatchesTheRow)
{
    const RowCase &c = GetParam();
    const DSPredicatePtr predicate = parsed(QString::fromUtf8(c.predicate));
    ASSERT_TRUE(predicate);
    EXPECT_EQ(predicate->evaluateRow(c.value, c.label), c.expected)
        << c.predicate << " with " << c.value.toPredicateText().toStdString();
}

const RowCase kNumberCases[] = {
    {"value < 5", V::fromNumber(4), true},
    {"value < 5", V::fromNumber(5), false},
    {"value < 5", V::fromNumber(kNaN), false},
    {"value < 5", V(), false},
    {"value <= 5", V::fromNumber(5), true},
    {"value <= 5", V::fromNumber(5.000000001), false},
    {"value <= 5", V::fromNumber(kNaN), false},
    {"value > 5", V::fromNumber(6), true},
    {"value > 5", V::fromNumber(5), false},
    {"value > 5", V::fromNumber(kNaN), false},
    {"value >= 5", V::fromNumber(5), true},
    {"value >= 5", V::fromNumber(4.999), false},
    {"value >= 5", V::fromNumber(kNaN), false},
    {"value == 5", V::fromNumber(5), true},
    {"value == 5", V::fromNumber(5.0000000001), false},
    {"value == 5", V::fromNumber(kNaN), false},
    {"value == 0", V::fromNumber(-0.0), true},
    {"value != 5", V::fromNumber(4), true},
    {"value != 5", V::fromNumber(5), false},
    // A missing value differs from everything, itself included.
    {"value != 5", V::fromNumber(kNaN), true},
    {"value != 5", V(), true},
    {"value == NAN", V::fromNumber(kNaN), false},
    {"value != NAN", V::fromNumber(kNaN), true},
    {"value == NONE", V(), false},
    {"value < NAN", V::fromNumber(1), false},
    {"value < INF", V::fromNumber(1e308), true},
    {"value > -INF", V::fromNumber(-1e308), true},
    {"value == INF", V::fromNumber(kInf), true},
    {"value BETWEEN {1, 3}", V::fromNumber(1), true},
    {"value BETWEEN {1, 3}", V::fromNumber(3), true},
    {"value BETWEEN {1, 3}", V::fromNumber(3.5), false},
    {"value BETWEEN {1, 3}", V::fromNumber(kNaN), false},
    {"value BETWEEN {1, NAN}", V::fromNumber(2), false},
    {"value BETWEEN {1}", V::fromNumber(1), false},
    {"value IN {1, 2, 3}", V::fromNumber(2), true},
    {"value IN {1, 2, 3}", V::fromNumber(4), false},
    {"value IN {1, NAN}", V::fromNumber(kNaN), false},
    {"value == TRUE", V::fromNumber(1), true},
    {"value == FALSE", V::fromNumber(1), false},
    // A text operand is read as a number; one that is no number is no match.
    {"value == \"5\"", V::fromNumber(5), true},
    {"value == \" 2.5 \"", V::fromNumber(2.5), true},
    {"value == \"n/a\"", V::fromNumber(0), false},
    {"value != \"n/a\"", V::fromNumber(0), true},
    {"value < \"n/a\"", V::fromNumber(0), false},
    {"value BEGINSWITH \"1\"", V::fromNumber(12), false},
    {"value == {5}", V::fromNumber(5), false},
    {"value != {5}", V::fromNumber(5), true},
    // Operands on the left and key paths on the right work the same way.
    {"5 < value", V::fromNumber(6), true},
    {"5 < value", V::fromNumber(5), false},
};
INSTANTIATE_TEST_SUITE_P(Numbers, RowEvaluation, testing::ValuesIn(kNumberCases));

const RowCase kTextCases[] = {
    {"value == \"abc\"", V::fromString("abc"), true},
    {"value == \"abc\"", V::fromString("ABC"), false},
    {"value == \"abc\"", V(), false},
    {"value ==[c] \"abc\"", V::fromString("ABC"), true},
    {"value ==[c] \"abc\"", V::fromString("abcd"), false},
    {"value ==[c] \"ÉTÉ\"", V::fromString("été"), true},
    {"value ==[d] \"cafe\"", V::fromString("café"), true},
    {"value ==[d] \"cafe\"", V::fromString("CAFÉ"), false},
    {"value ==[cd] \"CAFE\"", V::fromString("café"), true},
    {"value == \"cafe\"", V::fromString("café"), false},
    {"value != \"abc\"", V::fromString("abd"), true},
    {"value != \"abc\"", V::fromString("abc"), false},
    {"value != \"abc\"", V(), true},
    {"value == \"\"", V::fromString(""), true},
    {"value == \"\"", V(), false},
    {"value < \"b\"", V::fromString("a"), true},
    {"value < \"b\"", V::fromString("b"), false},
    {"value < \"b\"", V::fromString("B"), true},
    {"value <[c] \"b\"", V::fromString("B"), false},
    {"value >= \"b\"", V::fromString("ba"), true},
    {"value <= \"b\"", V::fromString("b"), true},
    // Code point order, as UTF-8 bytes sort: U+1F600 comes after U+FFFD.
    {"value > \"\uFFFD\"", V::fromString("😀"), true},
    {"value BEGINSWITH \"ab\"", V::fromString("abc"), true},
    {"value BEGINSWITH \"ab\"", V::fromString("Abc"), false},
    {"value BEGINSWITH[c] \"ab\"", V::fromString("Abc"), true},
    {"value BEGINSWITH[c] \"ab\"", V::fromString("a"), false},
    {"value BEGINSWITH \"\"", V::fromString("x"), true},
    {"value BEGINSWITH \"\"", V(), false},
    {"value ENDSWITH[c] \"bc\"", V::fromString("ABC"), true},
    {"value ENDSWITH[c] \"bc\"", V::fromString("c"), false},
    {"value ENDSWITH \"bc\"", V::fromString("aBC"), false},
    {"value CONTAINS \"b\"", V::fromString("abc"), true},
    {"value CONTAINS \"b\"", V::fromString("ac"), false},
    {"value CONTAINS[c] \"B\"", V::fromString("abc"), true},
    {"value CONTAINS[d] \"e\"", V::fromString("café"), true},
    {"value LIKE \"a*c\"", V::fromString("abbbc"), true},
    {"value LIKE \"a*c\"", V::fromString("ab"), false},
    {"value LIKE \"a*c\"", V::fromString("ac"), true},
    {"value LIKE \"a?c\"", V::fromString("abc"), true},
    {"value LIKE \"a?c\"", V::fromString("abbc"), false},
    {"value LIKE \"*b*b*\"", V::fromString("abcab"), true},
    {"value LIKE \"a\\\\*\"", V::fromString("a*"), true},
    {"value LIKE \"a\\\\*\"", V::fromString("ab"), false},
    {"value LIKE \"?\"", V::fromString("😀"), true},
    {"value LIKE[c] \"A*\"", V::fromString("abc"), true},
    {"value LIKE \"%\"", V::fromString("abc"), false},
    {"value MATCHES \"[0-9]+\"", V::fromString("123"), true},
    {"value MATCHES \"[0-9]+\"", V::fromString("12a"), false},
    {"value MATCHES \"(\"", V::fromString("("), false},
    {"value MATCHES[c] \"AB\"", V::fromString("ab"), true},
    {"value MATCHES \"\\\\S+\"", V::fromString("ab"), true},
    {"value MATCHES[c] \"\\\\S+\"", V::fromString("ab"), true},
    {"value IN {\"x\", \"y\"}", V::fromString("y"), true},
    {"value IN {\"x\", \"y\"}", V::fromString("Y"), false},
    {"value IN[c] {\"x\", \"y\"}", V::fromString("Y"), true},
    {"value IN \"abcdef\"", V::fromString("cd"), true},
    {"value IN \"abcdef\"", V::fromString("ce"), false},
    {"value BETWEEN {\"b\", \"d\"}", V::fromString("c"), true},
    {"value BETWEEN {\"b\", \"d\"}", V::fromString("e"), false},
    // A constant text on the left names the field, as stored column predicates write it.
    {"\"value\" BEGINSWITH \"n/\"", V::fromString("n/a"), true},
    {"\"label\" BEGINSWITH[c] \"miss\"", V::fromNumber(-9), true, V::fromString("Missing")},
    {"label BEGINSWITH[c] \"miss\"", V::fromNumber(-9), false, V()},
    {"other == NONE", V::fromNumber(1), false},
    {"other != 1", V::fromNumber(1), true},
};
INSTANTIATE_TEST_SUITE_P(Texts, RowEvaluation, testing::ValuesIn(kTextCases));

const RowCase kDateCases[] = {
    {"value < DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019 - 1), true},
    {"value < DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019), false},
    {"value < DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kNaN), false},
    {"value <= DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019), true},
    {"value > DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019 + 0.5), true},
    {"value >= DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019 - 0.001), false},
    {"value >= DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kNaN), false},
    {"value == DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019), true},
    {"value == DATE(\"2019-03-01T00:00:00.25Z\")", V::fromDate(kMarch2019 + 0.25), true},
    {"value == DATE(573091200)", V::fromDate(kMarch2019), true},
    {"value != DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kNaN), true},
    {"value != DATE(\"2019-03-01T00:00:00Z\")", V::fromDate(kMarch2019), false},
    {"value BETWEEN {DATE(\"2019-01-01T00:00:00Z\"), DATE(\"2019-12-31T00:00:00Z\")}", V::fromDate(kMarch2019),
     true},
    {"value BETWEEN {DATE(\"2019-01-01T00:00:00Z\"), DATE(\"2019-02-01T00:00:00Z\")}", V::fromDate(kMarch2019),
     false},
    {"value == DATE(\"2001-01-01T00:00:00Z\")", V::fromDate(0), true},
    {"value < DATE(\"1970-01-01T00:00:00Z\")", V::fromDate(-978307201), true},
};
INSTANTIATE_TEST_SUITE_P(Dates, RowEvaluation, testing::ValuesIn(kDateCases));

const RowCase kCompoundCases[] = {
    {"value < 0 OR value == 99", V::fromNumber(-1), true},
    {"value < 0 OR value == 99", V::fromNumber(99), true},
    {"value < 0 OR value == 99", V::fromNumber(0), false},
    {"value < 0 OR value == 99", V::fromNumber(kNaN), false},
    {"value > 0 AND value < 10", V::fromNumber(5), true},
    {"value > 0 AND value < 10", V::fromNumber(10), false},
    {"value > 0 AND value < 10 OR value == 20", V::fromNumber(20), true},
    {"value > 0 AND (value < 10 OR value == 20)", V::fromNumber(15), false},
    {"NOT value < 0", V::fromNumber(kNaN), true},
    {"NOT value < 0", V::fromNumber(-1), false},
    {"NOT (value < 0 OR value > 10)", V::fromNumber(5), true},
    {"NOT (value < 0 OR value > 10)", V::fromNumber(11), false},
    {"NOT (value < 0, value > 10)", V::fromNumber(5), true},
    {"NOT (value < 0, value > 10)", V::fromNumber(-1), false},
    {"NOT NOT value == 1", V::fromNumber(1), true},
    {"AND ()", V(), true},
    {"OR ()", V(), false},
    {"NOT ()", V(), true},
    {"AND (value == 1)", V::fromNumber(1), true},
    {"OR (value == 1)", V::fromNumber(2), false},
};
INSTANTIATE_TEST_SUITE_P(Compounds, RowEvaluation, testing::ValuesIn(kCompoundCases));

TEST(PredicateEvaluation, ObjectsAnswerKeyPathsOnBothSides)
{
    const QMap<QString, V> person{
        {"age", V::fromNumber(40)},
        {"limits.low", V::fromNumber(18)},
        {"limits.high", V::fromNumber(65)},
        {"name", V::fromString("Ann")},
    };
    const DSPredicateKeyLookup lookup = [&](const QString &key) { return person.value(key); };
    EXPECT_TRUE(parsed("age >= limits.low AND age <= limits.high")->evaluate(lookup));
    EXPECT_FALSE(parsed("age < limits.low")->evaluate(lookup));
    EXPECT_TRUE(parsed("name BEGINSWITH \"A\" AND missing == NONE OR name == \"Ann\"")->evaluate(lookup));
    EXPECT_FALSE(parsed("age == 40")->evaluate(nullptr));
    EXPECT_TRUE(parsed("3 < 4")->evaluate(nullptr));
}

TEST(PredicateEvaluation, ValuesFromVariants)
{
    EXPECT_EQ(V::fromVariant(QVariant()), V());
    EXPECT_EQ(V::fromVariant(QVariant(7)), V::fromNumber(7));
    EXPECT_EQ(V::fromVariant(QVariant(true)), V::fromBool(true));
    EXPECT_EQ(V::fromVariant(QVariant(QStringLiteral("x"))), V::fromString("x"));
    EXPECT_EQ(V::fromVariant(QVariant(QDateTime(QDate(2019, 3, 1), QTime(0, 0), Qt::UTC))), V::fromDate(kMarch2019));
    EXPECT_EQ(V::fromVariant(QVariantList{1, "a"}), V::fromList({V::fromNumber(1), V::fromString("a")}));
    EXPECT_EQ(V::fromVariant(QVariant(QByteArray("x"))), V());
    EXPECT_EQ(V::fromVariant(QVariant(QDateTime())), V());
}

TEST(PredicateEvaluation, TextsReadAsNumbersOnlyWhenTheyAreNumbers)
{
    EXPECT_EQ(V::fromString(" -2.5e3 ").toDouble(), -2500);
    for (const char *text : {"", "n/a", "1,5", "0x10", "inf", "nan", "1e", "--1", "1 2"})
        EXPECT_TRUE(std::isnan(V::fromString(text).toDouble())) << text;
    EXPECT_EQ(V::fromBool(true).toText(), "1");
    EXPECT_EQ(V::fromNumber(0.1).toText(), "0.1");
    EXPECT_EQ(V::fromDate(kMarch2019).toText(), "2019-03-01T00:00:00Z");
}

// The missing-values predicate of a column marks exactly the rows it matches,
// in the key-path form and in the stored form with constant field names.
TEST(PredicateEvaluation, MarksExactlyTheMatchingRows)
{
    const double rows[] = {-1, 0, 99, kNaN, -0.0, -1e-300, 99.0000001, -kInf, 5, 99, 98.9999999, 1e300};
    const unsigned char expected[] = {0b10100101, 0b00000010};

    const auto field = [](const char *name) { return DSExpression::forConstantValue(V::fromString(name)); };
    const auto number = [](double x) { return DSExpression::forConstantValue(V::fromNumber(x)); };
    const DSPredicatePtr stored = DSCompoundPredicate::orPredicate({
        DSComparisonPredicate::make(field("value"), DSPredicateOperatorType::LessThan, number(0)),
        DSComparisonPredicate::make(field("value"), DSPredicateOperatorType::EqualTo, number(99)),
    });
    EXPECT_EQ(stored->toString(), "\"value\" < 0 OR \"value\" == 99");

    for (const DSPredicatePtr &predicate : {parsed("value < 0 OR value == 99"), stored,
                                            DSPredicate::fromPropertyList(stored->toPropertyList())}) {
        ASSERT_TRUE(predicate);
        unsigned char mask[2] = {0, 0};
        for (size_t i = 0; i < std::size(rows); ++i)
            if (predicate->evaluateRow(V::fromNumber(rows[i])))
                mask[i / 8] |= 1u << (i % 8);
        EXPECT_EQ(mask[0], expected[0]) << predicate->toString().toStdString();
        EXPECT_EQ(mask[1], expected[1]) << predicate->toString().toStdString();
    }
}

TEST(PredicateEvaluation, CallersTellTheKindsApart)
{
    const DSPredicatePtr comparison = parsed("value == 1");
    const DSPredicatePtr compound = parsed("AND (value == 1)");
    ASSERT_TRUE(comparison->asComparison());
    EXPECT_FALSE(comparison->asCompound());
    ASSERT_TRUE(compound->asCompound());
    EXPECT_FALSE(compound->asComparison());
    EXPECT_EQ(compound->asCompound()->compoundPredicateType(), DSCompoundPredicateType::And);
    EXPECT_EQ(*compound->asCompound()->subpredicates().front(), *comparison);

    const DSPredicatePtr labelTest = parsed("\"label\" ENDSWITH[cd] \"x\"");
    const DSComparisonPredicate *c = labelTest->asComparison();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->leftExpression().fieldName(), "label");
    EXPECT_EQ(c->predicateOperatorType(), DSPredicateOperatorType::EndsWith);
    EXPECT_EQ(c->options(), DSComparisonOption::CaseInsensitive | DSComparisonOption::DiacriticInsensitive);
    EXPECT_EQ(c->rightExpression().constantValue(), V::fromString("x"));

    DSPredicateOperatorType type;
    EXPECT_TRUE(DSComparisonPredicate::operatorTypeFromCode(99, &type));
    EXPECT_EQ(type, DSPredicateOperatorType::Contains);
    for (qint64 code : {-1, 11, 98, 101, 1000})
        EXPECT_FALSE(DSComparisonPredicate::operatorTypeFromCode(code, &type)) << code;
    DSCompoundPredicateType compoundType;
    EXPECT_TRUE(DSCompoundPredicate::compoundTypeFromCode(0, &compoundType));
    EXPECT_EQ(compoundType, DSCompoundPredicateType::Not);
    EXPECT_FALSE(DSCompoundPredicate::compoundTypeFromCode(3, &compoundType));
}

} // namespace
