// Tuple columns: element texts of every kind, the categories crossing the
// inputs (against R's interaction(), fixtures/make_tuples.R), the rows'
// categories and texts, missing rows, a tuple without inputs and the bound
// on the number of combinations.

#include "DerivedTestSupport.h"

#include "derived/DSTextTupleColumn.h"
#include "derived/ds_insert_constant_column.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DSTextTupleColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    DSTextTupleColumn *tuple(std::initializer_list<DSColumn *> inputs)
    {
        return addComputed<DSTextTupleColumn>(*this, "DSTextTupleColumn", inputs);
    }
    BitsColumn *indicator(const char *name, std::vector<uint8_t> bits, std::vector<uint8_t> missing)
    {
        auto *column = addColumnOfEntity<BitsColumn>("DSTestIndicatorColumn", QString::fromLatin1(name));
        column->bits = std::move(bits);
        column->missing = std::move(missing);
        return column;
    }
};

std::vector<std::string> textsOf(const char *const *texts, qint64 n)
{
    std::vector<std::string> out;
    for (qint64 i = 0; i < n; ++i)
        out.emplace_back(texts[i]);
    return out;
}

std::vector<std::string> categoriesOf(DSTextTupleColumn *column)
{
    const char *const *index = nullptr;
    const qint64 n = column->getIndex(&index);
    return textsOf(index, n);
}

std::vector<std::string> rowsOf(DSTextTupleColumn *column)
{
    const char *const *rows = nullptr;
    const qint64 n = column->getTextValues(&rows);
    return textsOf(rows, n);
}

TEST_F(DSTextTupleColumnTest, CategoriesCrossTheInputsAndRowsShowTheirValues)
{
    DSColumn *sex = addTextColumn({"F", "M", "F", "M", nullptr}, QStringLiteral("sex"));
    // Rows: TRUE, FALSE, missing, TRUE, FALSE.
    BitsColumn *smoker = indicator("smoker", {0b01001}, {0b00100});
    DSTextTupleColumn *column = tuple({sex, smoker});
    EXPECT_EQ(column->name(), QStringLiteral("(sex, smoker)"));
    EXPECT_EQ(categoriesOf(column), (std::vector<std::string>{"(F, 0)", "(F, 1)", "(F, ?)", "(M, 0)", "(M, 1)",
                                                               "(M, ?)", "(Missing, 0)", "(Missing, 1)",
                                                               "(Missing, ?)"}));
    const std::vector<std::string> rows = {"(F, 1)", "(M, 0)", "(F, ?)", "(M, 1)", "(Missing, 0)"};
    EXPECT_EQ(rowsOf(column), rows);
    const char *const *range = nullptr;
    ASSERT_EQ(column->getTextValues(&range, 1, 3), 3);
    EXPECT_EQ(textsOf(range, 3), std::vector<std::string>(rows.begin() + 1, rows.begin() + 4));
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(column->getIndexedValues(&positions, &bins), 5);
    EXPECT_EQ(bins, 9);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 5), (std::vector<int32_t>{1, 3, 2, 4, 6}));
    EXPECT_EQ(column->widthForInput(sex), 3);
    EXPECT_EQ(column->widthForInput(smoker), 1);
    // The missing indicator row and the blank text row.
    EXPECT_EQ(missingRows(column), (std::vector<qint64>{2, 4}));
}

TEST_F(DSTextTupleColumnTest, NumbersShowLabelsOrShortFormsAndTimesNothing)
{
    DSColumn *sex = addTextColumn({"F", "F", "M", "F", "M"}, QStringLiteral("sex"));
    DSColumn *score = addColumn({1, 3, 1234567, 0.5, NAN}, QStringLiteral("score"));
    score->setCategoryLabel(QStringLiteral("Low"), QCborValue(1));
    DSColumn *day = ds_insert_constant_column(QStringLiteral("3/14/2015"), &context());
    table()->insertNewColumns({day}, table()->columns().size());
    EXPECT_EQ(rowsOf(tuple({score})),
              (std::vector<std::string>{"(Low)", "(3)", "(1.23457e+06)", "(0.5)", "(Missing)"}));
    EXPECT_EQ(rowsOf(tuple({sex, day})), (std::vector<std::string>{"(F, )", "(F, )", "(M, )", "(F, )", "(M, )"}));
    EXPECT_EQ(missingRows(tuple({sex, score})), std::vector<qint64>{4});
}

TEST_F(DSTextTupleColumnTest, ATupleWithoutInputsHasOneCategory)
{
    DSColumn *sex = addTextColumn({"F", "M", "F"}, QStringLiteral("sex"));
    DSTextTupleColumn *column = tuple({sex});
    column->removeInputColumn(sex);
    EXPECT_FALSE(column->needsDeletion());
    EXPECT_EQ(column->name(), QStringLiteral("()"));
    EXPECT_EQ(categoriesOf(column), std::vector<std::string>{"()"});
    EXPECT_EQ(rowsOf(column), std::vector<std::string>(3, "()"));
    qint64 bins = 0;
    const int32_t *positions = nullptr;
    ASSERT_EQ(column->getIndexedValues(&positions, &bins), 3);
    EXPECT_EQ(bins, 1);
    EXPECT_TRUE(missingRows(column).empty());
}

// More than a million combinations: no categories, but the texts.
TEST_F(DSTextTupleColumnTest, TooManyCombinationsGiveNoCategoriesButTexts)
{
    std::vector<double> values(101);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = double(i);
    DSColumn *a = addColumn(values, QStringLiteral("a")), *b = addColumn(values, QStringLiteral("b")),
             *c = addColumn(values, QStringLiteral("c"));
    DSTextTupleColumn *column = tuple({a, b, c});
    const char *const *index = nullptr;
    EXPECT_EQ(column->getIndex(&index), 0);
    EXPECT_EQ(index, nullptr);
    EXPECT_EQ(column->getIndexedValues(nullptr, nullptr), 0);
    const std::vector<std::string> rows = rowsOf(column);
    ASSERT_EQ(rows.size(), 101u);
    EXPECT_EQ(rows[100], "(100, 100, 100)");
    // Just under the bound: 100 x 100 x 100.
    values.pop_back();
    DSTextTupleColumn *fits = tuple({addColumn(values, QStringLiteral("d")), addColumn(values, QStringLiteral("e")),
                                     addColumn(values, QStringLiteral("f"))});
    EXPECT_EQ(fits->numberOfBins(), 1000000);
}

TEST_F(DSTextTupleColumnTest, RowCategoriesMatchRInteraction)
{
    const std::vector<QList<QByteArray>> rows = readCsvRows(QStringLiteral("fixtures/tuples.csv"), 5);
    ASSERT_EQ(rows.size(), 240u);
    std::vector<const char *> sex, region;
    std::vector<double> grade;
    std::vector<uint8_t> bits(30), missing(30);
    for (size_t r = 0; r < rows.size(); ++r) {
        sex.push_back(rows[r][0].isEmpty() ? nullptr : rows[r][0].constData());
        region.push_back(rows[r][1].isEmpty() ? nullptr : rows[r][1].constData());
        grade.push_back(rows[r][2].isEmpty() ? NAN : rows[r][2].toDouble());
        if (rows[r][3].isEmpty())
            missing[r / 8] |= uint8_t(1u << (r % 8));
        else if (rows[r][3] == "1")
            bits[r / 8] |= uint8_t(1u << (r % 8));
    }
    DSTextTupleColumn *column = tuple({addTextColumn(sex, QStringLiteral("sex")),
                                       addTextColumn(region, QStringLiteral("region")),
                                       addColumn(grade, QStringLiteral("grade")), indicator("smoker", bits, missing)});
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(column->getIndexedValues(&positions, &bins), 240);
    EXPECT_EQ(bins, 3 * 5 * 5 * 3);
    for (size_t r = 0; r < rows.size(); ++r)
        EXPECT_EQ(positions[r] + 1, rows[r][4].toInt()) << "row " << r;
    // Each row's text is its category's.
    const std::vector<std::string> categories = categoriesOf(column), texts = rowsOf(column);
    ASSERT_EQ(categories.size(), 225u);
    for (size_t r = 0; r < rows.size(); ++r)
        EXPECT_EQ(texts[r], categories[size_t(rows[r][4].toInt() - 1)]);
}

} // namespace
