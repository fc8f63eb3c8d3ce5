// Join conditions of a joined column and the mask of the local rows whose
// key finds no value in the foreign table.
#include "ColumnsTestSupport.h"

#include "model/DSJoinColumnCondition.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using Texts = std::vector<const char *>;

// People (the fixture's table) joined to Cities: the joined column takes its
// values from a column of Cities by keys of both tables.
class DSColumnJoinTest : public ::testing::Test, public ColumnsFixture
{
protected:
    DSColumnJoinTest()
    {
        ds_columns_test_setup();
        m_cities = context().insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        m_cities->setName(QStringLiteral("Cities"));
        m_cities->makeDependencies();
    }

    DSDataTable *cities() const { return m_cities; }

    DSNumericDataColumn *addForeignColumn(const std::vector<double> &values, const QString &name)
    {
        auto *column = context().insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        column->setName(name);
        m_cities->insertNewColumns({column}, m_cities->columns().size());
        m_cities->setNum_records(std::max(m_cities->num_records(), qint64(values.size())));
        for (double x : values)
            column->appendValue(x);
        EXPECT_TRUE(column->save());
        return column;
    }

    DSTextDataColumn *addForeignTextColumn(const Texts &texts, const QString &name)
    {
        auto *column = context().insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        column->setName(name);
        m_cities->insertNewColumns({column}, m_cities->columns().size());
        m_cities->setNum_records(std::max(m_cities->num_records(), qint64(texts.size())));
        for (const char *text : texts)
            EXPECT_TRUE(text ? column->appendTextValue(text) : column->appendEmptyValue());
        EXPECT_TRUE(column->saveAfterImport());
        return column;
    }

    // A joined column of People looking up input in Cities by the pairs
    // (local, foreign) of keys.
    DSColumn *join(DSColumn *input, const QList<std::pair<DSColumn *, DSColumn *>> &keys)
    {
        auto *joined = addColumnOfEntity<DSNumericColumn>("DSTestJoinedColumn", QStringLiteral("joined"));
        joined->setInput(input);
        std::vector<DSPredicatePtr> comparisons;
        for (const auto &[local, foreign] : keys)
            comparisons.push_back(comparison(local->joinName(), foreign->joinName()));
        joined->setJoinPredicate(DSCompoundPredicate::andPredicate(comparisons));
        EXPECT_EQ(joined->sortedJoinConditions().size(), keys.size());
        return joined;
    }

    static DSPredicatePtr comparison(const QString &left, const QString &right)
    {
        return DSComparisonPredicate::make(DSExpression::forConstantValue(DSPredicateValue::fromString(left)),
                                           DSPredicateOperatorType::EqualTo,
                                           DSExpression::forConstantValue(DSPredicateValue::fromString(right)));
    }

    // The rows of offset to offset + limit - 1 that the join marks missing,
    // and whether it said it marked any.
    static std::string missingRows(DSColumn *joined, qint64 offset, qint64 limit, bool *marked = nullptr)
    {
        joined->setupMissingMask(offset, limit);
        const bool any = joined->setupJoinedMissingMask(offset, limit);
        if (marked)
            *marked = any;
        std::string rows;
        for (qint64 r = offset; r < offset + limit; ++r)
            rows += ds_bit(joined->missingMask(), joined->missingMaskLength(), r) ? 'x' : '.';
        return rows;
    }

private:
    DSDataTable *m_cities = nullptr;
};

TEST_F(DSColumnJoinTest, NamesAndConditions)
{
    DSColumn *age = addColumn({30, 40}, QStringLiteral("Age"));
    DSColumn *city = addTextColumn({"a", "b"}, QStringLiteral("City"));
    EXPECT_EQ(age->joinName(), QStringLiteral("Age (People)"));

    DSColumn *name = addForeignTextColumn({"a", "b"}, QStringLiteral("Name"));
    DSColumn *size = addForeignColumn({1, 2}, QStringLiteral("Size"));
    DSColumn *joined = join(size, {});
    // A comparison naming a column People does not have is dropped; the
    // next condition then takes index 0.
    joined->setJoinPredicate(DSCompoundPredicate::orPredicate(
        {comparison(QStringLiteral("Height (People)"), name->joinName()), comparison(city->joinName(), name->joinName()),
         comparison(age->joinName(), size->joinName())}));
    const QList<DSJoinColumnCondition *> conditions = joined->sortedJoinConditions();
    ASSERT_EQ(conditions.size(), 2);
    EXPECT_EQ(conditions[0]->index(), 0);
    EXPECT_EQ(conditions[0]->local_column(), city);
    EXPECT_EQ(conditions[0]->foreign_column(), name);
    EXPECT_EQ(conditions[1]->index(), 1);
    EXPECT_EQ(conditions[1]->local_column(), age);
    EXPECT_EQ(joined->joinPredicate()->toString(),
              QStringLiteral("\"City (People)\" == \"Name (Cities)\" AND \"Age (People)\" == \"Size (Cities)\""))
        << "an OR is kept as the AND the conditions act as";

    // A single comparison replaces them; the old conditions are deleted.
    joined->setJoinPredicate(comparison(age->joinName(), size->joinName()));
    ASSERT_EQ(joined->sortedJoinConditions().size(), 1);
    EXPECT_TRUE(conditions[0]->isDeleted());
}

// Keys of one text condition, one numeric and one of two parts.
TEST_F(DSColumnJoinTest, KeysMatchAsTheyShould)
{
    const std::string longKey(10 * 1024, 'k');
    std::string longOther(10 * 1024, 'k');
    longOther.back() = 'j';
    DSColumn *localText = addTextColumn({"abc", "ABC", "abd", nullptr, "", longKey.c_str(), longOther.c_str()},
                                        QStringLiteral("City"));
    DSColumn *foreignText = addForeignTextColumn({"Abc", "", longKey.c_str()}, QStringLiteral("Name"));
    DSColumn *value = addForeignColumn({1, 2, 3}, QStringLiteral("Size"));
    EXPECT_EQ(missingRows(join(value, {{localText, foreignText}}), 0, 7), "..x...x")
        << "case of ASCII letters ignored; missing and empty texts join; a 10 kB key joins";

    // ("A|", "B") and ("A", "|B") are different keys.
    DSColumn *first = addTextColumn({"A|", "A", "A"}, QStringLiteral("First"));
    DSColumn *second = addTextColumn({"B", "|B", "b"}, QStringLiteral("Second"));
    DSColumn *foreignFirst = addForeignTextColumn({"A|", "x", "y"}, QStringLiteral("F1"));
    DSColumn *foreignSecond = addForeignTextColumn({"B", "x", "y"}, QStringLiteral("F2"));
    EXPECT_EQ(missingRows(join(value, {{first, foreignFirst}, {second, foreignSecond}}), 0, 3), ".xx");

    DSColumn *localNumber = addColumn({2, 5, NAN, 3}, QStringLiteral("Number"));
    DSColumn *foreignNumber = addForeignColumn({3, 2, NAN}, QStringLiteral("Key"));
    EXPECT_EQ(missingRows(join(value, {{localNumber, foreignNumber}}), 0, 4), ".x..")
        << "a NaN key joins the same NaN";
}

// The foreign rows of key "k": the first without a value, the second with
// one, and the reverse for "m". One row asked alone (a scan) and the rows as
// a range (the key set) follow the last row of a key.
TEST_F(DSColumnJoinTest, DuplicateKeysAnswerAlikeOnEveryPath)
{
    DSColumn *local = addTextColumn({"k", "m", "k", "m"}, QStringLiteral("Key"));
    DSColumn *foreign = addForeignTextColumn({"k", "k", "m", "m"}, QStringLiteral("Key"));
    DSColumn *value = addForeignColumn({NAN, 1, 2, NAN}, QStringLiteral("Value"));
    const std::string expected = ".x.x";

    DSColumn *scanned = join(value, {{local, foreign}});
    std::string alone;
    for (qint64 r = 0; r < 4; ++r) {
        bool marked = false;
        alone += missingRows(scanned, r, 1, &marked);
        EXPECT_EQ(marked, alone.back() == 'x') << r;
    }
    EXPECT_EQ(alone, expected);

    DSColumn *ranged = join(value, {{local, foreign}});
    bool marked = false;
    EXPECT_EQ(missingRows(ranged, 0, 4, &marked), expected);
    EXPECT_TRUE(marked);
    // Once the set exists, single rows are looked up in it.
    EXPECT_EQ(missingRows(ranged, 1, 1) + missingRows(ranged, 2, 1), "x.");
}

// Ranges that start inside a byte and span several parallel chunks mark
// exactly their own rows; a purge of a key column drops the key set.
TEST_F(DSColumnJoinTest, RangesAndPurges)
{
    const qint64 rows = 3000;
    std::vector<double> keys(static_cast<size_t>(rows));
    std::string expected;
    for (qint64 r = 0; r < rows; ++r) {
        keys[size_t(r)] = double(r % 7);
        expected += r % 7 == 3 ? 'x' : '.';
    }
    ProbedDataColumn *local = addColumn(keys, QStringLiteral("Key"));
    DSColumn *foreign = addForeignColumn({0, 1, 2, 4, 5, 6, 3}, QStringLiteral("Key"));
    DSColumn *value = addForeignColumn({1, 1, 1, 1, 1, 1, NAN}, QStringLiteral("Value"));
    DSColumn *joined = join(value, {{local, foreign}});
    EXPECT_EQ(missingRows(joined, 13, 2900), expected.substr(13, 2900));

    // Key 3 gains a value and key 2 loses its own, and local row 1 changes
    // from key 1 to key 2: the edits purge the key set, which is built
    // afresh.
    auto *stored = static_cast<DSNumericDataColumn *>(value);
    ASSERT_TRUE(stored->replaceNumericValueAtIndex(6, 1));
    ASSERT_TRUE(stored->replaceNumericValueAtIndex(2, NAN));
    std::string now;
    for (qint64 r = 0; r < rows; ++r)
        now += r % 7 == 2 ? 'x' : '.';
    EXPECT_EQ(missingRows(joined, 0, rows), now);
    ASSERT_TRUE(local->replaceNumericValueAtIndex(1, 2));
    now[1] = 'x';
    EXPECT_EQ(missingRows(joined, 0, rows), now);
}

} // namespace
