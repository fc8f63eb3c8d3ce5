// Column conditions: the factory, display texts and the set and clear
// passes of every kind. The program also runs under two other time zones
// (CMakeLists.txt): only a picked date moves with the zone.

#include "TestColumns.h"
#include "TimeColumnsTestSupport.h"

#include "model/DSColumnConditionBit.h"
#include "model/DSColumnConditionInterval.h"
#include "model/DSColumnConditionString.h"
#include "model/DSColumnConditionValue.h"
#include "model/ds_column_conditions.h"
#include "platform/predicate/DSPredicateValue.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// One character a row: '1' set, '0' clear.
std::string bitsOf(const std::vector<uint8_t> &mask, qint64 rows)
{
    std::string text;
    for (qint64 r = 0; r < rows; ++r)
        text += ds_bit(mask.data(), qint64(mask.size()), r) ? '1' : '0';
    return text;
}

std::vector<uint8_t> maskOf(const std::string &bits)
{
    std::vector<uint8_t> mask((bits.size() + 7) / 8, 0);
    for (size_t r = 0; r < bits.size(); ++r)
        if (bits[r] == '1')
            mask[r / 8] |= uint8_t(1u << (r % 8));
    return mask;
}

class DSColumnConditionTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    void SetUp() override
    {
        DSObjectFactory::registerClass<TestIndicatorColumn>(QStringLiteral("DSIndicatorLocalColumn"));
        DSObjectFactory::registerClass<TestNumericColumn>(QStringLiteral("DSTestNumericColumn"));
    }

    template <class T> T *conditionFor(DSColumn *column, const DSPredicateValue &value, qint64 op)
    {
        auto *condition = dynamic_cast<T *>(DSColumnCondition::insertNewConditionForColumn(column, value, &context()));
        EXPECT_NE(condition, nullptr);
        if (condition)
            condition->setOperatorType(op);
        return condition;
    }

    // What the set pass makes of an empty mask and the clear pass of a full one.
    static std::pair<std::string, std::string> passes(DSColumnCondition *condition, qint64 rows)
    {
        std::vector<uint8_t> set(size_t((rows + 7) / 8), 0), cleared = maskOf(std::string(size_t(rows), '1'));
        condition->setMatchingBits(set.data());
        condition->clearUnmatchingBits(cleared.data());
        return {bitsOf(set, rows), bitsOf(cleared, rows)};
    }
};

TEST_F(DSColumnConditionTest, NumericOperatorsAndNaN)
{
    DSColumn *x = addColumn({1, 5, NAN, 7}, QStringLiteral("age"));
    struct Case {
        qint64 op;
        const char *matching;
    } cases[] = {{0, "1000"}, {1, "1100"}, {2, "0001"}, {3, "0101"},
                 {4, "0100"}, {5, "1011"}, {8, "0000"}, {99, "0000"}};
    for (const Case &c : cases) {
        auto *condition = conditionFor<DSColumnConditionValue>(x, DSPredicateValue::fromNumber(5), c.op);
        const auto [set, cleared] = passes(condition, 4);
        SCOPED_TRACE(c.op);
        EXPECT_EQ(set, c.matching);
        // An operator the kind does not honour keeps every row.
        EXPECT_EQ(cleared, c.op <= 5 ? c.matching : "1111");
    }
    auto *nan = conditionFor<DSColumnConditionValue>(x, DSPredicateValue::fromNumber(NAN), 5);
    EXPECT_EQ(passes(nan, 4), std::make_pair(std::string("0000"), std::string("1111")));
    auto *atLeast = conditionFor<DSColumnConditionValue>(x, DSPredicateValue::fromNumber(65), 3);
    EXPECT_EQ(atLeast->stringValue(), QStringLiteral("age ≥ 65"));
}

TEST(DSColumnConditionTexts, Operators)
{
    const char *const texts[] = {"ABC", "abc", "abcd", "a", "c", "", nullptr};
    struct Case {
        qint64 op;
        const char *rhs;
        const char *matching;
    } cases[] = {
        {4, "abc", "1100000"}, {5, "abc", "0011110"}, {8, "ab", "1110000"}, {9, "bc", "1100000"}, {99, "b", "1110000"},
        {8, "", "1111110"},    {9, "", "1111110"},    {99, "", "1111110"},  {4, "", "0000010"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.op) + " " + c.rhs);
        std::vector<uint8_t> set(1, 0), cleared(1, 0x7F);
        ds_condition_set_texts(set.data(), 0, 7, texts, 7, c.op, c.rhs);
        ds_condition_clear_texts(cleared.data(), 0, 7, texts, 7, c.op, c.rhs);
        EXPECT_EQ(bitsOf(set, 7), c.matching);
        // Missing rows are cleared under every honoured operator, "≠" too.
        EXPECT_EQ(bitsOf(cleared, 7), c.matching);
    }
    // Operators the kind does not honour, and no right-hand side, change nothing.
    for (qint64 op : {0, 1, 2, 3, 6}) {
        std::vector<uint8_t> set(1, 0), cleared(1, 0x7F);
        ds_condition_set_texts(set.data(), 0, 7, texts, 7, op, "abc");
        ds_condition_clear_texts(cleared.data(), 0, 7, texts, 7, op, "abc");
        EXPECT_EQ(bitsOf(set, 7), "0000000");
        EXPECT_EQ(bitsOf(cleared, 7), "1111111");
    }
    std::vector<uint8_t> cleared(1, 0x7F);
    ds_condition_clear_texts(cleared.data(), 0, 7, texts, 7, 4, nullptr);
    EXPECT_EQ(bitsOf(cleared, 7), "1111111");
}

TEST_F(DSColumnConditionTest, TextColumns)
{
    // A blank cell of a stored text column is a missing row.
    DSColumn *t = addTextColumn({"ABC", "abc", "abcd", nullptr}, QStringLiteral("word"));
    auto *equal = conditionFor<DSColumnConditionString>(t, DSPredicateValue::fromString(QStringLiteral("abc")), 4);
    EXPECT_EQ(passes(equal, 4), std::make_pair(std::string("1100"), std::string("1100")));
    auto *other = conditionFor<DSColumnConditionString>(t, DSPredicateValue::fromString(QStringLiteral("abc")), 5);
    EXPECT_EQ(passes(other, 4), std::make_pair(std::string("0010"), std::string("0010")));
    auto *absent = conditionFor<DSColumnConditionString>(t, DSPredicateValue(), 4);
    EXPECT_EQ(passes(absent, 4), std::make_pair(std::string("0000"), std::string("1111")));
    auto *begins = conditionFor<DSColumnConditionString>(t, DSPredicateValue::fromString(QStringLiteral("ab")), 8);
    EXPECT_EQ(begins->stringValue(), QStringLiteral("word BEGINSWITH \"ab\""));
}

TEST_F(DSColumnConditionTest, RangesTouchOnlyTheirRows)
{
    // 20 rows: x = row number; the range 3 .. 12 of "< 100" matches all of it.
    std::vector<double> values;
    for (int r = 0; r < 20; ++r)
        values.push_back(r);
    DSColumn *x = addColumn(values);
    auto *condition = conditionFor<DSColumnConditionValue>(x, DSPredicateValue::fromNumber(8), 2);
    std::vector<uint8_t> set(3, 0), cleared(3, 0xFF);
    condition->setMatchingBits(set.data(), 3, 10);
    condition->clearUnmatchingBits(cleared.data(), 3, 10);
    EXPECT_EQ(bitsOf(set, 24), "000000000111100000000000");
    EXPECT_EQ(bitsOf(cleared, 24), "111000000111111111111111");
}

TEST_F(DSColumnConditionTest, RowsAColumnDoesNotDeliverNeverMatch)
{
    auto *x = addColumnOfEntity<TestNumericColumn>("DSTestNumericColumn", QStringLiteral("short"));
    ASSERT_NE(x, nullptr);
    x->values = {9, 9, 1};
    table()->setNum_records(12);
    auto *condition = conditionFor<DSColumnConditionValue>(x, DSPredicateValue::fromNumber(5), 2);
    EXPECT_EQ(passes(condition, 12), std::make_pair(std::string("110000000000"), std::string("110000000000")));
    x->values.clear();
    EXPECT_EQ(passes(condition, 12), std::make_pair(std::string("000000000000"), std::string("000000000000")));
}

TEST_F(DSColumnConditionTest, BitConditions)
{
    auto *flag = addColumnOfEntity<TestIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("flag"));
    table()->setNum_records(11);
    // Rows: T F T F missing(T) T F T F T F; the masks cover 16 rows.
    flag->bits = maskOf("1010110101000000");
    flag->missing = maskOf("0000100000000000");
    auto *yes = conditionFor<DSColumnConditionBit>(flag, DSPredicateValue::fromBool(true), 4);
    auto *no = conditionFor<DSColumnConditionBit>(flag, DSPredicateValue::fromBool(false), 4);
    EXPECT_EQ(passes(yes, 11), std::make_pair(std::string("10100101010"), std::string("10100101010")));
    EXPECT_EQ(passes(no, 11), std::make_pair(std::string("01010010101"), std::string("01010010101")));

    // A range within a byte changes only its rows; pad bits stay clear.
    std::vector<uint8_t> set(2, 0), cleared(2, 0xFF);
    no->setMatchingBits(set.data(), 1, 4);
    no->clearUnmatchingBits(cleared.data(), 9, 7);
    EXPECT_EQ(bitsOf(set, 16), "0101000000000000");
    EXPECT_EQ(bitsOf(cleared, 16), "1111111110111111");

    // Rows past the masks never match.
    flag->bits = maskOf("10101101");
    flag->missing.clear();
    EXPECT_EQ(passes(yes, 11), std::make_pair(std::string("10101101000"), std::string("10101101000")));
    flag->bits.clear();
    EXPECT_EQ(passes(no, 11), std::make_pair(std::string("00000000000"), std::string("00000000000")));
}

TEST_F(DSColumnConditionTest, PickedDateIsTheGmtStartOfItsLocalDay)
{
    DSColumn *t = addTimeColumn({0, 86400}, {86400});
    const double march1 =
        double(QDateTime(QDate(2019, 3, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
    for (QTime picked : {QTime(0, 0), QTime(12, 0), QTime(23, 59)}) {
        const double local =
            double(QDateTime(QDate(2019, 3, 1), picked, Qt::LocalTime).toSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
        auto *condition = conditionFor<DSColumnConditionInterval>(t, DSPredicateValue::fromDate(local), 4);
        EXPECT_EQ(condition->rhs_date(), march1) << qPrintable(picked.toString());
        const std::optional<DSExpression> back = condition->expressionForValue();
        ASSERT_TRUE(back.has_value());
        const double midnight =
            double(QDateTime(QDate(2019, 3, 1), QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
        EXPECT_EQ(back->constantValue().dateValue(), midnight);
    }
}

TEST_F(DSColumnConditionTest, TimeConditionsCompareStoredTimes)
{
    // 2019-02-28, 2019-03-01 06:00, 2019-03-02, missing.
    const double march1 = 6 * 365 * 86400.0 + 86400 * 2 + 58 * 86400.0;
    DSColumn *t = addTimeColumn({march1 - 86400, march1 + 6 * 3600, march1 + 86400, NAN}, {1});
    auto *from = dynamic_cast<DSColumnConditionInterval *>(
        DSColumnCondition::insertNewConditionForColumn(t, DSPredicateValue::fromDate(0), &context()));
    ASSERT_NE(from, nullptr);
    from->setRhs_date(march1);
    from->setOperatorType(3);
    EXPECT_EQ(passes(from, 4), std::make_pair(std::string("0110"), std::string("0110")));
    EXPECT_FALSE(from->rhsStringValue().isEmpty());
}

TEST_F(DSColumnConditionTest, FactoryPicksTheKindOfTheColumn)
{
    auto *flag = addColumnOfEntity<TestIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("flag"));
    auto *bit = conditionFor<DSColumnConditionBit>(flag, DSPredicateValue::fromNumber(1), 4);
    ASSERT_NE(bit, nullptr);
    EXPECT_TRUE(bit->rhs_bit());
    EXPECT_EQ(bit->lhs_column(), flag);
    EXPECT_EQ(bit->rhsStringValue(), QString());
    EXPECT_EQ(bit->expressionForValue()->constantValue().boolValue(), true);
    // A number for a text column reads as no text: the condition changes nothing.
    DSColumn *t = addTextColumn({"a"});
    auto *text = conditionFor<DSColumnConditionString>(t, DSPredicateValue::fromNumber(3), 4);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->rhs_string().isNull());
    EXPECT_EQ(DSColumnCondition::symbolForOperator(7), QString());
}

} // namespace
