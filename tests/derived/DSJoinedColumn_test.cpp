// The four joined column kinds: values looked up in a foreign table by join
// keys, against pandas' left merge (fixtures/make_joins.py), the keys'
// byte rules, repeated foreign keys, single rows against ranges, the
// missing mask and the purges that follow edits.
#include "DerivedTestSupport.h"

#include "derived/DSIndicatorJoinedColumn.h"
#include "derived/DSNumericJoinedColumn.h"
#include "derived/DSTextJoinedColumn.h"
#include "derived/DSTimeJoinedColumn.h"
#include "model/DSJoinColumnCondition.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_row_mask.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
// Indicator states of the test columns.
constexpr int k_false = 0, k_true = 1, k_missing = -1;

// One row of a joined column as text: the value, "-" when missing ("1 @60"
// for a time and its interval, "TRUE"/"FALSE" for an indicator).
using Rows = std::vector<std::string>;

std::string numberText(double x)
{
    return std::isnan(x) ? std::string("NaN") : QString::number(x, 'g', 17).toStdString();
}

// The rows of offset to offset + limit - 1 of a joined column of any kind,
// asked as one range.
Rows rowsOf(DSColumn *column, qint64 offset, qint64 limit)
{
    const uint8_t *mask = nullptr, *bits = nullptr;
    Rows rows(size_t(limit), "");
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(column)) {
        const qint64 length = indicator->getBytes(&bits, &mask, offset, limit);
        for (qint64 j = 0; j < limit; ++j)
            rows[size_t(j)] = ds_bit(mask, length, offset + j) ? "-"
                              : ds_bit(bits, length, offset + j) ? "TRUE"
                                                                 : "FALSE";
        return rows;
    }
    qint64 count = 0;
    if (auto *numbers = dynamic_cast<DSNumericColumn *>(column)) {
        const double *x = nullptr;
        count = numbers->getValues(&x, offset, limit);
        for (qint64 j = 0; j < count; ++j)
            rows[size_t(j)] = numberText(x[j]);
    } else if (auto *texts = dynamic_cast<DSTextColumn *>(column)) {
        const char *const *x = nullptr;
        count = texts->getTextValues(&x, offset, limit);
        for (qint64 j = 0; j < count; ++j)
            rows[size_t(j)] = x[j] ? x[j] : "<null>";
    } else if (auto *times = dynamic_cast<DSTimeColumn *>(column)) {
        const double *t = nullptr, *w = nullptr;
        count = times->getTimeValues(&t, &w, offset, limit);
        for (qint64 j = 0; j < count; ++j)
            rows[size_t(j)] = numberText(t[j]) + " @" + numberText(w[j]);
    }
    const qint64 length = column->getMissingMask(&mask, offset, limit);
    EXPECT_EQ(length == 0, mask == nullptr);
    for (qint64 j = 0; j < limit; ++j)
        if (j >= count || ds_bit(mask, length, offset + j))
            rows[size_t(j)] = "-";
    return rows;
}

// People (the fixture's table) joined to Products: joined columns of People
// take their values from columns of Products by keys of both tables.
class DSJoinedColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    DSJoinedColumnTest()
    {
        m_products = context().insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        m_products->setName(QStringLiteral("Products"));
        m_products->makeDependencies();
    }

    DSDataTable *products() const { return m_products; }

    // A new column of the entity at the end of Products, whose row count
    // grows to rows.
    template <class T>
    T *addProductsColumn(const char *entity, const QString &name, size_t rows)
    {
        auto *column = context().insertNewObject<T>(QString::fromLatin1(entity));
        column->setName(name);
        m_products->insertNewColumns({column}, m_products->columns().size());
        m_products->setNum_records(std::max(m_products->num_records(), qint64(rows)));
        return column;
    }

    DSNumericDataColumn *productsNumbers(const std::vector<double> &values, const QString &name)
    {
        auto *column = addProductsColumn<DSNumericDataColumn>("DSNumericDataColumn", name, values.size());
        for (double x : values)
            column->appendValue(x);
        EXPECT_TRUE(column->save());
        return column;
    }

    DSTextDataColumn *productsTexts(const std::vector<std::string> &texts, const QString &name)
    {
        auto *column = addProductsColumn<DSTextDataColumn>("DSTextDataColumn", name, texts.size());
        for (const std::string &text : texts)
            EXPECT_TRUE(text.empty() ? column->appendEmptyValue() : column->appendTextValue(text.c_str()));
        EXPECT_TRUE(column->saveAfterImport());
        return column;
    }

    DSTimeDataColumn *productsTimes(const std::vector<double> &times, const std::vector<double> &intervals,
                                    const QString &name)
    {
        auto *column = addProductsColumn<DSTimeDataColumn>("DSTimeDataColumn", name, times.size());
        for (size_t i = 0; i < times.size(); ++i)
            EXPECT_TRUE(column->appendTimeValue(times[i], intervals[i]));
        EXPECT_TRUE(column->saveAfterImport());
        return column;
    }

    // An indicator of Products in the states k_true, k_false, k_missing.
    BitsColumn *productsStates(const std::vector<int> &states, const QString &name)
    {
        auto *column = addProductsColumn<BitsColumn>("DSTestIndicatorColumn", name, states.size());
        column->bits.assign(size_t(ds_mask_bytes(qint64(states.size()))), 0);
        column->missing = column->bits;
        for (size_t i = 0; i < states.size(); ++i)
            if (states[i] != k_false)
                ds_mask_set(states[i] == k_true ? column->bits.data() : column->missing.data(), qint64(i));
        return column;
    }

    DSTextDataColumn *peopleTexts(const std::vector<std::string> &texts, const QString &name)
    {
        std::vector<const char *> pointers;
        for (const std::string &text : texts)
            pointers.push_back(text.empty() ? nullptr : text.c_str());
        return addTextColumn(pointers, name);
    }

    // A joined column of People, of the kind of input, looking input up by
    // the pairs (People's key, Products' key).
    DSColumn *join(DSColumn *input, const QList<std::pair<DSColumn *, DSColumn *>> &keys)
    {
        // Unnamed, so it shows its suggested name.
        auto *joined = context().insertNewObject<DSColumn>(input->joinedColumnEntityName());
        table()->insertNewColumns({joined}, table()->columns().size());
        joined->setInput(input);
        std::vector<DSPredicatePtr> comparisons;
        for (const auto &[local, foreign] : keys)
            comparisons.push_back(DSComparisonPredicate::make(
                DSExpression::forConstantValue(DSPredicateValue::fromString(local->joinName())),
                DSPredicateOperatorType::EqualTo,
                DSExpression::forConstantValue(DSPredicateValue::fromString(foreign->joinName()))));
        joined->setJoinPredicate(DSCompoundPredicate::andPredicate(comparisons));
        EXPECT_EQ(joined->sortedJoinConditions().size(), keys.size());
        return joined;
    }

    // Every step-th row of a fresh joined column asked alone (each found by
    // a scan, since nothing builds the index).
    Rows rowByRow(DSColumn *input, const QList<std::pair<DSColumn *, DSColumn *>> &keys, qint64 rows,
                  qint64 step = 1)
    {
        DSColumn *joined = join(input, keys);
        Rows found;
        for (qint64 r = 0; r < rows; r += step)
            found.push_back(rowsOf(joined, r, 1)[0]);
        return found;
    }

private:
    DSDataTable *m_products = nullptr;
};

// The fixture's tables, every kind joined by the text key and by the
// number key: each row equals pandas' left merge on the upper-cased keys
// after each key's last foreign row was kept; one row asked alone (a scan)
// and ranges from inside a byte (the index) agree.
TEST_F(DSJoinedColumnTest, EqualsPandasMergeOnTextAndNumberKeys)
{
    const QString dir = QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/");
    const auto foreignRows = readCsvRows(dir + QStringLiteral("joins_foreign.csv"), 7);
    const auto localRows = readCsvRows(dir + QStringLiteral("joins_local.csv"), 2);
    const auto expectedRows = readCsvRows(dir + QStringLiteral("joins_expected.csv"), 10);
    ASSERT_EQ(foreignRows.size(), 300u);
    ASSERT_EQ(localRows.size(), 3000u);
    ASSERT_EQ(expectedRows.size(), localRows.size());

    const auto number = [](const QByteArray &field) { return field.isEmpty() ? nan : field.toDouble(); };
    std::vector<std::string> foreignTextKeys, values, localTextKeys;
    std::vector<double> foreignNumberKeys, numbers, times, intervals, localNumberKeys;
    std::vector<int> states;
    for (const QList<QByteArray> &row : foreignRows) {
        foreignTextKeys.push_back(row[0].toStdString());
        foreignNumberKeys.push_back(number(row[1]));
        numbers.push_back(number(row[2]));
        values.push_back(row[3].toStdString());
        times.push_back(number(row[4]));
        intervals.push_back(number(row[5]));
        states.push_back(row[6].isEmpty() ? k_missing : int(number(row[6])));
    }
    for (const QList<QByteArray> &row : localRows) {
        localTextKeys.push_back(row[0].toStdString());
        localNumberKeys.push_back(number(row[1]));
    }
    DSColumn *inputs[] = {productsNumbers(numbers, QStringLiteral("Number")),
                          productsTexts(values, QStringLiteral("Text")),
                          productsTimes(times, intervals, QStringLiteral("Time")),
                          productsStates(states, QStringLiteral("Indicator"))};
    const std::pair<DSColumn *, DSColumn *> keys[] = {
        {peopleTexts(localTextKeys, QStringLiteral("Code")), productsTexts(foreignTextKeys, QStringLiteral("Code"))},
        {addColumn(localNumberKeys, QStringLiteral("Number")), productsNumbers(foreignNumberKeys, QStringLiteral("Key"))}};

    const qint64 n = qint64(localRows.size());
    for (size_t k = 0; k < 2; ++k) {
        for (size_t kind = 0; kind < 4; ++kind) {
            Rows expected;
            for (const QList<QByteArray> &row : expectedRows) {
                const QByteArray &field = row[qsizetype(5 * k + (kind < 3 ? kind : 4))];
                const double interval = number(row[qsizetype(5 * k + 3)]);
                if (field.isEmpty())
                    expected.push_back("-");
                else if (kind == 0)
                    expected.push_back(numberText(number(field)));
                else if (kind == 1)
                    expected.push_back(field.toStdString());
                else if (kind == 2)
                    expected.push_back(numberText(number(field)) + " @" + numberText(interval));
                else
                    expected.push_back(number(field) == 1 ? "TRUE" : "FALSE");
            }
            const std::string what = "key " + std::to_string(k) + ", kind " + std::to_string(kind);
            DSColumn *joined = join(inputs[kind], {keys[k]});
            EXPECT_EQ(rowsOf(joined, 0, n), expected) << what;
            const Rows tail(expected.begin() + 1003, expected.begin() + 2500);
            EXPECT_EQ(rowsOf(joined, 1003, 1497), tail) << what;
            Rows sampled;
            for (qint64 r = 0; r < n; r += 7)
                sampled.push_back(expected[size_t(r)]);
            EXPECT_EQ(rowByRow(inputs[kind], {keys[k]}, n, 7), sampled) << what;
        }
    }
}

// Keys compare by their bytes: ASCII letters without case and nothing
// else; 0 and -0 differ, a NaN finds the same NaN; a missing text finds an
// empty one; several keys hold at once; a time key is its time alone.
TEST_F(DSJoinedColumnTest, KeysCompareByTheirBytes)
{
    DSColumn *price = productsNumbers({1, 2, 3, 4, 5}, QStringLiteral("Price"));
    DSColumn *foreignName = productsTexts({"ABC", "É", "x", "", "ab"}, QStringLiteral("Name"));
    DSColumn *foreignNumber = productsNumbers({0.0, nan, 7, 8, -1}, QStringLiteral("Size"));
    DSColumn *foreignTime = productsTimes({60, 120, 180, 240, 300}, {1, 1, 60, 1, 1}, QStringLiteral("When"));

    DSColumn *name = peopleTexts({"abc", "é", "X", "", "AB"}, QStringLiteral("Name"));
    DSColumn *number = addColumn({-0.0, nan, 0.0, 8, 3}, QStringLiteral("Size"));
    DSColumn *part = addColumn({0, 1, 8, 8, -1}, QStringLiteral("Part"));
    auto *when = addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", QStringLiteral("When"));
    for (double t : {60.0, 121.0, 180.0, 240.0, 300.0})
        when->appendTimeValue(t, 86400);
    ASSERT_TRUE(when->saveAfterImport());

    struct Case
    {
        const char *what;
        QList<std::pair<DSColumn *, DSColumn *>> keys;
        Rows expected;
    } cases[] = {
        {"abc finds ABC, é not É, a missing text an empty one", {{name, foreignName}}, {"1", "-", "3", "4", "5"}},
        {"-0 misses 0, a NaN finds a NaN", {{number, foreignNumber}}, {"-", "2", "1", "4", "-"}},
        {"both keys hold", {{name, foreignName}, {part, foreignNumber}}, {"1", "-", "-", "4", "5"}},
        {"a time key is its time alone", {{when, foreignTime}}, {"1", "-", "3", "4", "5"}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(rowsOf(join(price, c.keys), 0, 5), c.expected) << c.what;
        EXPECT_EQ(rowByRow(price, c.keys, 5), c.expected) << c.what << ", one row at a time";
    }
}

// Where a key repeats in Products, its last row gives the value and the
// missing state in every kind, the indicator included, asked as a range or
// one row at a time.
TEST_F(DSJoinedColumnTest, RepeatedForeignKeysTakeTheirLastRow)
{
    DSColumn *foreignKey = productsTexts({"a", "a", "b", "b", "c", "c", "d"}, QStringLiteral("Key"));
    DSColumn *inputs[] = {
        productsNumbers({1, nan, nan, 4, 5, 6, 7}, QStringLiteral("Number")),
        productsTexts({"p", "", "", "s", "t", "u", "v"}, QStringLiteral("Text")),
        productsTimes({10, nan, nan, 40, 50, 60, 70}, {1, 2, 3, 4, 5, 6, 7}, QStringLiteral("Time")),
        productsStates({k_true, k_missing, k_missing, k_false, k_true, k_false, k_true}, QStringLiteral("Indicator")),
    };
    DSColumn *key = peopleTexts({"a", "b", "c", "d", "e"}, QStringLiteral("Key"));
    const Rows expected[] = {
        {"-", "4", "6", "7", "-"},
        {"-", "s", "u", "v", "-"},
        {"-", "40 @4", "60 @6", "70 @7", "-"},
        {"-", "FALSE", "FALSE", "TRUE", "-"},
    };
    for (size_t kind = 0; kind < 4; ++kind) {
        EXPECT_EQ(rowsOf(join(inputs[kind], {{key, foreignKey}}), 0, 5), expected[kind]) << kind;
        EXPECT_EQ(rowByRow(inputs[kind], {{key, foreignKey}}, 5), expected[kind]) << kind;
    }
}

// Every row found with a value: no mask. A join that marks nothing keeps
// the column's own missing-value marks; with the join's misses both count.
TEST_F(DSJoinedColumnTest, MissingMaskOfTheJoinAndOfTheColumnsOwnRule)
{
    DSColumn *price = productsNumbers({1, 2, 3}, QStringLiteral("Price"));
    DSColumn *foreignKey = productsTexts({"a", "b", "c"}, QStringLiteral("Key"));
    DSColumn *key = peopleTexts({"a", "b", "c", "z", "a", "b", "c", "c", "b", "a"}, QStringLiteral("Key"));
    DSColumn *joined = join(price, {{key, foreignKey}});

    const uint8_t *mask = nullptr;
    EXPECT_EQ(joined->getMissingMask(&mask, 4, 6), 0);
    EXPECT_EQ(mask, nullptr);
    const qint64 length = joined->getMissingMask(&mask, 2, 3);
    ASSERT_NE(mask, nullptr);
    EXPECT_TRUE(ds_bit(mask, length, 3));

    usePredicate(joined, "value == 2");
    EXPECT_EQ(rowsOf(joined, 4, 6), Rows({"1", "-", "3", "3", "-", "1"})) << "no miss, the rule's marks kept";
    EXPECT_EQ(rowsOf(joined, 0, 10), Rows({"1", "-", "3", "-", "1", "-", "3", "3", "-", "1"}));
}

// Names and what a joined column forwards to its input; a column without
// conditions, without an input or asked past its table.
TEST_F(DSJoinedColumnTest, NamesForwardsAndEmptyAnswers)
{
    DSColumn *price = productsNumbers({1.5, 2}, QStringLiteral("Price"));
    DSColumn *label = productsTexts({"long label", "x"}, QStringLiteral("Label"));
    DSColumn *foreignKey = productsNumbers({1, 2}, QStringLiteral("Key"));
    DSColumn *key = addColumn({2, 1, 3}, QStringLiteral("Key"));

    auto *joinedPrice = static_cast<DSNumericJoinedColumn *>(join(price, {{key, foreignKey}}));
    EXPECT_EQ(joinedPrice->name(), QStringLiteral("Price (Products)"));
    EXPECT_FALSE(joinedPrice->containsOnlyIntegers()) << "the input's 1.5, though row 1 is not joined";
    auto *joinedLabel = static_cast<DSTextJoinedColumn *>(join(label, {{key, foreignKey}}));
    EXPECT_EQ(joinedLabel->maximumTextValueLength(), std::strlen("long label"));
    EXPECT_EQ(rowsOf(joinedLabel, 0, 3), Rows({"x", "long label", "-"}));

    const double *values = nullptr;
    EXPECT_EQ(joinedPrice->getValues(&values, 3, 5), 0) << "past the table";
    EXPECT_EQ(static_cast<DSNumericJoinedColumn *>(join(price, {}))->getValues(&values, 0, 3), 0)
        << "no conditions";

    DSColumn *orphan = join(price, {{key, foreignKey}});
    orphan->setInput(nullptr);
    EXPECT_EQ(orphan->suggestedName(), QString());
    EXPECT_EQ(rowsOf(orphan, 0, 3), Rows({"-", "-", "-"})) << "without an input every row is missing";

    auto *time = static_cast<DSTimeJoinedColumn *>(
        join(productsTimes({5, 6}, {60, 60}, QStringLiteral("Time")), {{key, foreignKey}}));
    const double *t = nullptr, *w = nullptr;
    ASSERT_EQ(time->getTimeValues(&t, &w, 2, 1), 1);
    EXPECT_TRUE(std::isnan(t[0]));
    EXPECT_EQ(w[0], 0) << "a miss has interval 0";
}

// A table joined to itself: each person's parent's age, by one row alone
// and by the range; the id column is a key on both sides. Joined on one
// text column on both sides ("group = group"), each row takes its group's
// last row: a range from row 1 must not read the local keys over the
// foreign ones (row 1's group's last row has no age).
TEST_F(DSJoinedColumnTest, ATableJoinsItself)
{
    DSColumn *id = addColumn({1, 2, 3, 4}, QStringLiteral("Id"));
    DSColumn *parent = addColumn({2, 3, 9, 1}, QStringLiteral("Parent"));
    DSColumn *age = addColumn({10, 20, 30, 40}, QStringLiteral("Age"));
    const Rows expected = {"20", "30", "-", "10"};
    EXPECT_EQ(rowsOf(join(age, {{parent, id}}), 0, 4), expected);
    EXPECT_EQ(rowByRow(age, {{parent, id}}, 4), expected);

    DSColumn *group = peopleTexts({"a", "a", "b", "b"}, QStringLiteral("Group"));
    DSColumn *sparse = addColumn({10, nan, 30, 40}, QStringLiteral("Sparse"));
    EXPECT_EQ(rowsOf(join(sparse, {{group, group}}), 0, 4), Rows({"-", "-", "40", "40"}));
    EXPECT_EQ(rowsOf(join(sparse, {{group, group}}), 1, 3), Rows({"-", "40", "40"}));
    EXPECT_EQ(rowByRow(sparse, {{group, group}}, 4), Rows({"-", "-", "40", "40"}));
}

// Edits of the input, of a foreign key and of a local key reach the joined
// column's index and its cached statistics through the purges.
TEST_F(DSJoinedColumnTest, EditsReachTheIndex)
{
    auto *price = productsNumbers({1, 2, 3}, QStringLiteral("Price"));
    auto *foreignKey = productsNumbers({10, 20, 30}, QStringLiteral("Key"));
    ProbedDataColumn *key = addColumn({30, 20, 10, 40}, QStringLiteral("Key"));
    DSColumn *joined = join(price, {{key, foreignKey}});
    auto *numbers = static_cast<DSNumericColumn *>(joined);
    const auto cacheStats = [&] {
        joined->setTemp_stats_minmax(numbers->calculateStatsWithMask(nullptr, 0, ds_stats_extremes));
        return joined->temp_stats_minmax().count;
    };
    EXPECT_EQ(rowsOf(joined, 0, 4), Rows({"3", "2", "1", "-"}));

    ASSERT_TRUE(price->replaceNumericValueAtIndex(0, 100));
    EXPECT_EQ(rowsOf(joined, 0, 4), Rows({"3", "2", "100", "-"}));
    EXPECT_EQ(cacheStats(), 3);
    ASSERT_TRUE(foreignKey->replaceNumericValueAtIndex(1, 40));
    EXPECT_EQ(rowsOf(joined, 0, 4), Rows({"3", "-", "100", "2"}));
    EXPECT_LT(joined->temp_stats_minmax().count, 0) << "stale statistics after a foreign key edit";
    EXPECT_EQ(cacheStats(), 3);
    ASSERT_TRUE(key->replaceNumericValueAtIndex(0, 10));
    EXPECT_EQ(rowsOf(joined, 0, 4), Rows({"100", "-", "100", "2"}));
    EXPECT_LT(joined->temp_stats_minmax().count, 0) << "stale statistics after a local key edit";
}

// Changing a joined column's keys is one undo step; the change, its undo
// and its redo each drop the index and the missing set of the keys before.
TEST_F(DSJoinedColumnTest, ChangingTheKeysPurgesUndoAndRedoToo)
{
    DSColumn *price = productsNumbers({1, 2, 3}, QStringLiteral("Price"));
    DSColumn *byName = productsTexts({"a", "b", "c"}, QStringLiteral("Name"));
    DSColumn *byCode = productsNumbers({3, 1, 2}, QStringLiteral("Code"));
    DSColumn *name = peopleTexts({"a", "b", "c", "a"}, QStringLiteral("Name"));
    DSColumn *code = addColumn({1, 2, 3, 1}, QStringLiteral("Code"));
    DSColumn *joined = join(price, {{name, byName}});
    endEvent();
    const Rows byNames = {"1", "2", "3", "1"}, byCodes = {"2", "3", "1", "2"};
    EXPECT_EQ(rowsOf(joined, 0, 4), byNames);
    joined->setJoinPredicate(DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(code->joinName())),
        DSPredicateOperatorType::EqualTo,
        DSExpression::forConstantValue(DSPredicateValue::fromString(byCode->joinName()))));
    endEvent();
    EXPECT_EQ(joined->sortedJoinConditions().size(), 1);
    EXPECT_EQ(rowsOf(joined, 0, 4), byCodes) << "after the change";
    joined->recursivePurge();
    EXPECT_EQ(rowsOf(joined, 0, 4), byCodes) << "after the change and a purge";

    DSUndoManager *undo = context().undoManager();
    undo->undo();
    ASSERT_EQ(joined->sortedJoinConditions().size(), 1) << "one undo step";
    EXPECT_EQ(joined->sortedJoinConditions()[0]->local_column(), name);
    EXPECT_EQ(rowsOf(joined, 0, 4), byNames) << "after undo";
    joined->recursivePurge();
    EXPECT_EQ(rowsOf(joined, 0, 4), byNames) << "after undo and a purge";
    undo->redo();
    ASSERT_EQ(joined->sortedJoinConditions().size(), 1);
    EXPECT_EQ(joined->sortedJoinConditions()[0]->local_column(), code);
    EXPECT_EQ(rowsOf(joined, 0, 4), byCodes) << "after redo";
    undo->undo();
    EXPECT_EQ(rowsOf(joined, 0, 4), byNames) << "after a second undo";
}

// A new input of the same foreign table keeps the index of keys right, but
// the missing set built from the old input's values must go.
TEST_F(DSJoinedColumnTest, ANewInputPurges)
{
    DSColumn *price = productsNumbers({1, 2, 3}, QStringLiteral("Price"));
    DSColumn *cost = productsNumbers({nan, 5, nan}, QStringLiteral("Cost"));
    DSColumn *foreignKey = productsNumbers({10, 20, 30}, QStringLiteral("Key"));
    DSColumn *key = addColumn({30, 20, 10}, QStringLiteral("Key"));
    DSColumn *joined = join(price, {{key, foreignKey}});
    endEvent();
    EXPECT_EQ(rowsOf(joined, 0, 3), Rows({"3", "2", "1"}));
    joined->setInput(cost);
    endEvent();
    EXPECT_EQ(rowsOf(joined, 0, 3), Rows({"-", "5", "-"}));
    context().undoManager()->undo();
    EXPECT_EQ(rowsOf(joined, 0, 3), Rows({"3", "2", "1"})) << "after undo";
}

} // namespace

