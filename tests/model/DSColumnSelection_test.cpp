// The editing operations and the questions of the column selection.
#include "TimeColumnsTestSupport.h"

#include "model/DSColumnSelection.h"
#include "model/DSNumericColumnCategory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

class DSColumnSelectionTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    DSNumericColumn *categoryColumn(const std::vector<double> &values, const QString &name)
    {
        DSNumericColumn *column = addColumn(values, name);
        column->setTreat_as_categories(true);
        return column;
    }
    DSColumnSelection select(std::initializer_list<DSColumn *> columns)
    {
        DSColumnSelection selection(table());
        for (DSColumn *column : columns)
            selection.addColumn(column);
        return selection;
    }
};

TEST_F(DSColumnSelectionTest, KindQuestions)
{
    DSNumericColumn *number = addColumn({1, 2}, QStringLiteral("n"));
    DSTextColumn *text = addTextColumn({"a", "b"});
    DSTimeColumn *clock = addTimeColumn({3600, 7200}, {60}, true, QStringLiteral("clock"));
    DSTimeColumn *date = addTimeColumn({0, 86400}, {86400}, false, QStringLiteral("date"));
    number->setTreat_as_survival_times(true);

    struct Case
    {
        std::initializer_list<DSColumn *> columns;
        bool allNumeric, anyNumeric, allText, anyText, allTime, anyTime, allTimeOfDay, anyTimeOfDay, allSurvival,
            anySurvival;
    } cases[] = {
        {{}, true, false, true, false, true, false, true, false, true, false},
        {{number}, true, true, false, false, false, false, false, false, true, true},
        {{number, text}, false, true, false, true, false, false, false, false, false, true},
        {{clock}, false, false, false, false, true, true, true, true, false, false},
        // A time of day beside a number: not any-time-of-day.
        {{clock, number}, false, true, false, false, false, true, false, false, false, true},
        {{clock, date}, false, false, false, false, true, true, false, true, false, false},
    };
    int i = 0;
    for (const Case &c : cases) {
        const DSColumnSelection s = select(c.columns);
        EXPECT_EQ(s.allNumeric(), c.allNumeric) << i;
        EXPECT_EQ(s.anyNumeric(), c.anyNumeric) << i;
        EXPECT_EQ(s.allText(), c.allText) << i;
        EXPECT_EQ(s.anyText(), c.anyText) << i;
        EXPECT_EQ(s.allTime(), c.allTime) << i;
        EXPECT_EQ(s.anyTime(), c.anyTime) << i;
        EXPECT_EQ(s.allTimeOfDay(), c.allTimeOfDay) << i;
        EXPECT_EQ(s.anyTimeOfDay(), c.anyTimeOfDay) << i;
        EXPECT_EQ(s.allSurvivalTimes(), c.allSurvival) << i;
        EXPECT_EQ(s.anySurvivalTimes(), c.anySurvival) << i;
        EXPECT_EQ(s.allIndicator(), c.columns.size() == 0) << i;
        EXPECT_FALSE(s.anyIndicator()) << i;
        EXPECT_EQ(s.allKindOfClass<DSColumn>(), true) << i;
        ++i;
    }
    EXPECT_EQ(select({number, text}).columnNames(), (QStringList{QStringLiteral("n"), QStringLiteral("t")}));
}

TEST_F(DSColumnSelectionTest, ConformableCategories)
{
    DSNumericColumn *three = categoryColumn({1, 2, 3, 1}, QStringLiteral("a"));
    DSNumericColumn *threeAndMissing = categoryColumn({3, nan, 2, 1}, QStringLiteral("b"));
    DSNumericColumn *oneTwo = categoryColumn({1, 2, 1, 2}, QStringLiteral("c"));
    DSNumericColumn *oneThree = categoryColumn({1, 3, 1, 3}, QStringLiteral("d"));
    DSNumericColumn *plain = addColumn({1, 2, 3, 1}, QStringLiteral("e"));
    DSTextColumn *yesNo = addTextColumn({"no", "yes", "no", "yes"}, QStringLiteral("f"));
    DSTextColumn *noYes = addTextColumn({"yes", "no", nullptr, "no"}, QStringLiteral("g"));
    yesNo->setTreat_as_categories(true);
    noYes->setTreat_as_categories(true);
    DSNumericColumn *labelled = categoryColumn({1, 2, 3, 3}, QStringLiteral("h"));
    labelled->setCategoryLabel(QStringLiteral("one"), QCborValue(1.0));

    struct Case
    {
        std::initializer_list<DSColumn *> columns;
        qint64 n;
        bool conformable;
    } cases[] = {
        {{three, threeAndMissing}, 3, true},
        {{three, threeAndMissing}, -1, true},
        {{three, threeAndMissing}, 2, false},
        {{oneTwo, oneThree}, -1, false},
        {{three, plain}, -1, false},  // not treated as categories
        {{yesNo, noYes}, 2, true},
        {{yesNo, oneTwo}, -1, false},
        {{three, labelled}, -1, false},  // labels differ
    };
    int i = 0;
    for (const Case &c : cases)
        EXPECT_EQ(select(c.columns).allConformableCategoriesOfCardinality(c.n), c.conformable) << i++;
    EXPECT_TRUE(select({yesNo, noYes}).allBinaryConformableCategories());
    three->setTreat_as_survival_times(true);
    EXPECT_FALSE(select({three, threeAndMissing}).allConformableCategories()) << "survival times";
}

TEST_F(DSColumnSelectionTest, CategoriesJoinTheirColumn)
{
    DSNumericColumn *first = categoryColumn({1, 2}, QStringLiteral("a"));
    DSNumericColumn *second = categoryColumn({5, 6}, QStringLiteral("b"));
    const DSColumn::Categories one = first->categoriesForMask(nullptr, 0);
    const DSColumn::Categories other = second->categoriesForMask(nullptr, 0);
    for (const auto &category : one)
        category->setColumn(first);
    for (const auto &category : other)
        category->setColumn(second);
    DSColumnSelection selection = select({first});
    selection.addCategory(other[0]);
    EXPECT_EQ(selection.columns(), (QList<DSColumn *>{first, second})) << "the column joins at the end";
    selection.addCategory(other[1]);
    selection.addCategory(one[1]);
    EXPECT_EQ(selection.numberOfCategoriesAtIndex(1), 2);
    EXPECT_EQ(selection.categoriesAtIndex(0), DSColumn::Categories{one[1]});
    selection.removeAllCategories();
    EXPECT_EQ(selection.count(), 2);
    EXPECT_EQ(selection.numberOfCategoriesAtIndex(1), 0);
}

}  // namespace
