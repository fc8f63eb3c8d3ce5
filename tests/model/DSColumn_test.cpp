#include "ColumnsTestSupport.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSColumnSelection.h"
#include "model/DSColumnSummary.h"
#include "model/DSNumberFormatter.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSUndoManager.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DSColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    TestDivisionColumn *divide(DSColumn *a, DSColumn *b, const QString &name = QString())
    {
        auto *d = addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", name);
        if (name.isNull())
            d->setPrimitiveValue(QVariant(), QStringLiteral("name"));
        d->addInputColumn(a);
        d->addInputColumn(b);
        return d;
    }

    TestCategoryColumn *categories(std::vector<TestCategoryColumn::Entry> entries, std::vector<int32_t> order = {})
    {
        auto *column = addColumnOfEntity<TestCategoryColumn>("DSTestCategoryColumn", QStringLiteral("c"));
        column->entries = std::move(entries);
        column->order = std::move(order);
        return column;
    }

    static ds_stats_s computed(double mean)
    {
        ds_stats_s stats;
        stats.avg = mean;
        stats.count = 10;
        return stats;
    }
};

TEST_F(DSColumnTest, Names)
{
    DSColumn *a = addColumn({1}, QStringLiteral("Age"));
    DSColumn *b = addColumn({2}, QStringLiteral("Weight"));
    TestDivisionColumn *ratio = divide(a, b);
    EXPECT_EQ(ratio->name(), QStringLiteral("Age / Weight")) << "no stored name: the suggested one";
    auto *plain = addColumnOfEntity<TestCategoryColumn>("DSTestCategoryColumn", QString());
    plain->setPrimitiveValue(QVariant(), QStringLiteral("name"));
    EXPECT_EQ(plain->name(), QString()) << "a base column suggests nothing";
    EXPECT_TRUE(plain->shortName().isNull());

    // The stored column answers its stored name only.
    auto *unnamed = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QString());
    unnamed->setPrimitiveValue(QVariant(), QStringLiteral("name"));
    EXPECT_TRUE(unnamed->name().isNull());

    struct Case {
        const char *name;
        const char *title;
        const char *shortName;
        const char *longName;
    };
    const Case cases[] = {
        {"nineteen characters", "", "nineteen characters", "nineteen characters"},
        {"one two three four five six seven eighth", nullptr, "one two three four five…",
         "one two three four five six seven eighth"},
        {"abcdefghijklmnopqrstuvwxyzabcd", "A title", "abcdefghijklmnopqrstuvwxyzabcd", "A title"},
        {"International standard classification codes", "", "International standard classification codes",
         "International standard classification codes"},
    };
    for (const Case &c : cases) {
        a->setName(QString::fromUtf8(c.name));
        if (c.title)
            a->setTitle(QString::fromUtf8(c.title));
        EXPECT_EQ(a->shortName(), QString::fromUtf8(c.shortName)) << c.name;
        EXPECT_EQ(a->longName(), QString::fromUtf8(c.longName)) << c.name;
    }
}

TEST_F(DSColumnTest, CategoryLabels)
{
    DSColumn *x = addColumn({1, 2});
    x->setCategoryLabel(QStringLiteral("one"), QCborValue(1.0));
    x->setCategoryLabel(QStringLiteral("two"), QCborValue(2));  // an integer key names the value 2.0
    EXPECT_EQ(x->category_labels().value(QCborValue(2.0)).toString(), QStringLiteral("two"));
    x->setCategoryLabel(QStringLiteral("uno"), QCborValue(1.0));
    EXPECT_EQ(x->category_labels().value(QCborValue(1.0)).toString(), QStringLiteral("uno")) << "replaced";
    x->setCategoryLabel(QString(), QCborValue(1.0));
    EXPECT_FALSE(x->category_labels().contains(QCborValue(1.0))) << "an empty label removes the key";
    EXPECT_EQ(x->category_labels().size(), 1);
}

TEST_F(DSColumnTest, MissingMaskSetUpClearsOnlyTheRange)
{
    DSColumn *x = addColumn(std::vector<double>(1500, 1.0));
    ASSERT_EQ(x->setupMissingMask(0, 1500), 188);
    auto *mask = const_cast<uint8_t *>(x->missingMask());
    std::fill_n(mask, 188, uint8_t(0xFF));
    EXPECT_EQ(x->setupMissingMask(1024, 1000), 188) << "rows up to 1499";
    EXPECT_EQ(x->missingMask(), mask) << "the same buffer for every range";
    for (int b = 0; b < 188; ++b)
        ASSERT_EQ(mask[b], b < 128 ? 0xFF : 0x00) << "byte " << b;

    struct Case {
        qint64 offset, limit, length, firstCleared;
    };
    const Case cases[] = {
        {0, 0, 0, 0},          // nothing asked
        {3, 10, 2, 0},         // a range inside byte 0 clears the byte's earlier rows too
        {1496, 100, 188, 187}, // cut to the table's rows
        {2000, 8, 188, 188},   // past the rows: nothing to clear
    };
    for (const Case &c : cases) {
        std::fill_n(mask, 188, uint8_t(0xFF));
        EXPECT_EQ(x->setupMissingMask(c.offset, c.limit), c.length) << c.offset;
        for (qint64 b = 0; b < c.length; ++b)
            EXPECT_EQ(mask[b], b < c.firstCleared ? 0xFF : 0x00) << c.offset << " byte " << b;
    }
}

TEST_F(DSColumnTest, PurgeStatsMovesThePictureAndForgetsTheRecords)
{
    DSColumn *x = addColumn({1, 2, 3});
    auto picture = std::shared_ptr<const QImage>(reinterpret_cast<const QImage *>(new int(7)),
                                                 [](const QImage *p) { delete reinterpret_cast<const int *>(p); });
    x->setTemp_image(picture);
    x->setTemp_summary(std::make_shared<DSColumnSummary>());
    x->setTemp_stats_minmax(computed(1));
    x->setTemp_stats_moments(computed(2));
    x->setTemp_stats_quantiles(computed(3));
    x->setTemp_p_value(0.25);

    x->purgeStats();
    EXPECT_EQ(x->temp_image(), nullptr);
    EXPECT_EQ(x->last_image(), picture);
    EXPECT_EQ(x->temp_summary(), nullptr);
    for (const ds_stats_s &s : {x->temp_stats_minmax(), x->temp_stats_moments(), x->temp_stats_quantiles()}) {
        EXPECT_EQ(s.count, -1);
        EXPECT_EQ(s.missing, 0);
        EXPECT_EQ(s.avg, 0);
    }
    EXPECT_EQ(x->temp_p_value(), 0.25) << "not a statistics record";

    x->purgeStats();
    EXPECT_EQ(x->temp_image(), nullptr);
    EXPECT_EQ(x->last_image(), picture) << "a second purge keeps the last picture";
    x->purgeImages();
    EXPECT_EQ(x->last_image(), nullptr);
}

TEST_F(DSColumnTest, CategorySummary)
{
    const double level = 0.05;
    TestCategoryColumn *c = categories({{6, false}, {3, false}, {1, false}, {2, true}});
    const auto summary = c->summaryForMask(nullptr, 0, level);
    ASSERT_EQ(summary->numberOfCategories(), 4);
    EXPECT_EQ(summary->total_count(), 12);
    EXPECT_EQ(summary->nonmissing_count(), 10);
    // R: chisq.test(c(6, 3, 1))$statistic
    EXPECT_NEAR(summary->equal_counts_chi_square(), 3.8, 1e-12);
    const double proportions[] = {0.5, 0.25, 1.0 / 12, 1.0 / 6};
    const double ofNonmissing[] = {0.6, 0.3, 0.1, 0.2};
    double lowerTotal = 0;
    for (int i = 0; i < 4; ++i) {
        const auto category = summary->categoryAtIndex(i);
        EXPECT_DOUBLE_EQ(category->proportion(), proportions[i]) << i;
        EXPECT_DOUBLE_EQ(category->proportion_of_nonmissing(), ofNonmissing[i]) << i;
        EXPECT_EQ(category->column(), c);
        EXPECT_EQ(category->nonempty_index(), i);
        if (i == 3) {
            EXPECT_TRUE(std::isnan(category->proportion_lower_ci()) && std::isnan(category->proportion_upper_ci()));
            continue;
        }
        double ci[2];
        ds_multinomial_confidence_interval(category->count(), 10, level, ci);
        EXPECT_EQ(category->proportion_lower_ci(), ci[0]) << i;
        EXPECT_EQ(category->proportion_upper_ci(), ci[1]) << i;
        lowerTotal += ci[0];
    }
    EXPECT_DOUBLE_EQ(summary->proportion_lower_ci_total(), lowerTotal);
    EXPECT_EQ(summary->first_category(), summary->categoryAtIndex(0));
    EXPECT_EQ(summary->last_category(), summary->categoryAtIndex(2));
    EXPECT_EQ(summary->q1_category(), summary->categoryAtIndex(0));
    EXPECT_EQ(summary->median_category(), summary->categoryAtIndex(0));
    EXPECT_EQ(summary->q3_category(), summary->categoryAtIndex(1));
    EXPECT_EQ(summary->numberOfNonEmptyCategories(), 4) << "the missing category is non-empty too";

    const auto unbounded = c->summaryWithSignificance(NAN);
    EXPECT_TRUE(std::isnan(unbounded->proportion_lower_ci_total()));
    for (const auto &category : unbounded->categories())
        EXPECT_TRUE(std::isnan(category->proportion_lower_ci()) && std::isnan(category->proportion_upper_ci()));
}

TEST_F(DSColumnTest, CategorySummaryPlaces)
{
    struct Case {
        const char *what;
        std::vector<TestCategoryColumn::Entry> entries;
        std::vector<int32_t> order;
        std::vector<int> nonempty;  // kind indexes in nonempty order
        int first, last, q1, median, q3;  // kind indexes, -1 for none
    };
    const Case cases[] = {
        {"1 and 3", {{1, false}, {3, false}}, {}, {0, 1}, 0, 1, 0, 1, 1},
        {"an empty category", {{2, false}, {0, false}, {2, false}}, {}, {0, 2}, 0, 2, 0, 0, 2},
        {"display order", {{1, false}, {3, false}, {5, true}}, {2, 1, 0}, {2, 1, 0}, 1, 0, 1, 1, 1},
        {"no rows", {{0, false}, {0, true}}, {}, {}, -1, -1, -1, -1, -1},
        {"only missing rows", {{0, false}, {4, true}}, {}, {1}, -1, -1, -1, -1, -1},
    };
    for (const Case &c : cases) {
        TestCategoryColumn *column = categories(c.entries, c.order);
        const auto summary = column->summaryForMask(nullptr, 0, 0.05);
        const auto kind = [&](int i) { return i < 0 ? nullptr : summary->categoryAtIndex(i); };
        ASSERT_EQ(summary->numberOfNonEmptyCategories(), qsizetype(c.nonempty.size())) << c.what;
        for (size_t j = 0; j < c.nonempty.size(); ++j) {
            EXPECT_EQ(summary->categoryAtNonEmptyIndex(qsizetype(j)), kind(c.nonempty[j])) << c.what;
            EXPECT_EQ(summary->categoryAtNonEmptyIndex(qsizetype(j))->nonempty_index(), qint64(j)) << c.what;
        }
        for (const auto &category : summary->categories())
            EXPECT_EQ(category->nonempty_index() == -1, category->count() == 0) << c.what;
        EXPECT_EQ(summary->first_category(), kind(c.first)) << c.what;
        EXPECT_EQ(summary->last_category(), kind(c.last)) << c.what;
        EXPECT_EQ(summary->q1_category(), kind(c.q1)) << c.what;
        EXPECT_EQ(summary->median_category(), kind(c.median)) << c.what;
        EXPECT_EQ(summary->q3_category(), kind(c.q3)) << c.what;
    }
    // A column without categories answers an empty summary.
    const auto empty = categories({})->summaryWithSignificance(0.05);
    EXPECT_EQ(empty->numberOfCategories(), 0);
    EXPECT_EQ(empty->total_count(), 0);
    EXPECT_EQ(empty->equal_counts_chi_square(), 0);
}

TEST_F(DSColumnTest, InputSlots)
{
    DSColumn *a = addColumn({1}, QStringLiteral("a"));
    DSColumn *b = addColumn({2}, QStringLiteral("b"));
    DSColumn *c = addColumn({3}, QStringLiteral("c"));
    TestDivisionColumn *d = divide(a, b);
    d->addInputColumn(c);
    EXPECT_EQ(d->inputColumnAtIndex(2), c) << "a third input takes slot 2";
    EXPECT_EQ(d->sortedInputColumns(), (QList<DSColumn *>{a, b, c}));
    EXPECT_EQ(d->reverseSortedInputColumns(), (QList<DSColumn *>{c, b, a}));
    d->replaceInputColumnAtIndex(1, nullptr);
    EXPECT_EQ(d->sortedInputColumns(), (QList<DSColumn *>{a, c}));
    EXPECT_EQ(d->inputColumnAtIndex(1), nullptr) << "an empty slot";
    EXPECT_EQ(d->inputColumnAtIndex(2), c);
    EXPECT_EQ(b->outputColumns(), QList<DSColumn *>()) << "the link went with its slot";
    EXPECT_EQ(d->inputColumnForTable(table()), a);

    // x / x: replacing slot 1 keeps slot 0, though both name the same column.
    TestDivisionColumn *square = divide(a, a);
    square->replaceInputColumnAtIndex(1, b);
    EXPECT_EQ(square->inputColumnAtIndex(0), a);
    EXPECT_EQ(square->inputColumnAtIndex(1), b);
    square->setInput(c);
    EXPECT_EQ(square->input(), c);
    EXPECT_EQ(square->sortedInputColumns(), (QList<DSColumn *>{c, b}));
}

TEST_F(DSColumnTest, DependenciesAndGroupNames)
{
    DSNumericColumn *x = addColumn({1, 2});
    const QList<DSManagedObject *> owned = {x->text_formatter(), x->pivot_partition(), x->covariate_partition(),
                                            x->filter_partition()};
    for (DSManagedObject *object : owned)
        ASSERT_NE(object, nullptr);
    EXPECT_EQ(x->pivot_partition()->integerForKey(QStringLiteral("quantile_count")), 6);
    EXPECT_EQ(x->covariate_partition()->objectForKey(QStringLiteral("column")), x);
    ASSERT_NE(x->number_formatter(), nullptr);
    const qsizetype objects = context().objectsOfEntity(QStringLiteral("DSPartition")).size();
    x->makeDependencies();
    EXPECT_EQ(context().objectsOfEntity(QStringLiteral("DSPartition")).size(), objects) << "made once";

    DSColumn *other = addColumn({3});
    auto *d = divide(x, other);
    const DSObjectList expected = DSObjectList{x} + owned + DSObjectList{x->number_formatter()};
    EXPECT_EQ(x->managedObjectDependencies(), expected) << "outputs are not carried";
    const DSObjectList ofDivision = d->managedObjectDependencies();
    EXPECT_EQ(ofDivision.size(), 1 + 4 + 2 + 1) << "inputs are";

    struct Case {
        bool categories;
        qint64 partitionType;
        const char *groupName;
    };
    const Case cases[] = {{false, 0, "quantile"}, {false, 1, "interval"}, {false, 2, "group"},
                          {false, 3, "values"},   {true, 0, "values"}};
    for (const Case &c : cases) {
        x->setTreat_as_categories(c.categories);
        x->covariate_partition()->setPrimitiveValue(qlonglong(c.partitionType), QStringLiteral("partition_type"));
        EXPECT_EQ(x->groupName(), QString::fromLatin1(c.groupName)) << c.partitionType;
    }
    EXPECT_EQ(x->defaultValueExpression()->constantValue().numberValue(), 0.0);
    EXPECT_TRUE(x->canBeTreatedAsSurvivalTimes());
    EXPECT_FALSE(categories({})->canBeTreatedAsSurvivalTimes());
    x->number_formatter()->setNumber_style(500);
    EXPECT_TRUE(x->isDuration());
}

TEST_F(DSColumnTest, FrequencyWeightsAreNeverAColumnsOwn)
{
    DSColumn *w = addColumn({2, 0, 3});
    DSColumn *x = addColumn({1, 2, 3});
    table()->setFrequency_weights_column(w);
    table()->setApply_frequency_weights(true);
    const int32_t *weights = nullptr;
    EXPECT_EQ(x->getFrequencyWeights(&weights), 3);
    ASSERT_NE(weights, nullptr);
    EXPECT_EQ((std::vector<int32_t>(weights, weights + 3)), (std::vector<int32_t>{2, 0, 3}));
    EXPECT_EQ(w->getFrequencyWeights(&weights), 0);
    EXPECT_EQ(weights, nullptr);
}

// recursivePurge reaches every derived column depth first, and the joined
// columns keyed on the column, whose values follow its keys.
TEST_F(DSColumnTest, PurgesFollowTheInputLinks)
{
    ProbedDataColumn *x = addColumn({1, 2, 3}, QStringLiteral("x"));
    DSColumn *y = addColumn({4, 5, 6}, QStringLiteral("y"));
    TestDivisionColumn *d = divide(x, y, QStringLiteral("d"));
    TestDivisionColumn *e = divide(d, y, QStringLiteral("e"));
    TestDivisionColumn *joined = addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", QStringLiteral("joined"));
    DSManagedObject *join = context().insertNewObject(QStringLiteral("DSJoinColumnCondition"));
    join->setObject(joined, QStringLiteral("owner"));
    join->setObject(x, QStringLiteral("local_column"));
    join->setObject(y, QStringLiteral("foreign_column"));

    for (DSColumn *column : QList<DSColumn *>{x, d, e, joined})
        column->setTemp_stats_moments(computed(1));
    x->cacheIndex();
    d->cacheIndex();
    e->cacheIndex();
    joined->cacheIndex();

    x->recursivePurge();
    EXPECT_FALSE(x->hasIndex());
    EXPECT_FALSE(d->hasIndex());
    EXPECT_FALSE(e->hasIndex());
    EXPECT_FALSE(joined->hasIndex());
    EXPECT_EQ(x->temp_stats_moments().count, -1);
    EXPECT_EQ(d->temp_stats_moments().count, -1);
    EXPECT_EQ(e->temp_stats_moments().count, -1);
    EXPECT_EQ(joined->temp_stats_moments().count, -1) << "a joined column's statistics follow its keys";

    // A cycle of inputs (never made by the sheets) ends instead of looping.
    d->addInputColumn(e);
    e->recursivePurge();
    EXPECT_GE(e->indexPurges, 1);
}

// The column protocol's two mask forms are defined through each other: a
// class that supplies neither answers no missing rows.
TEST_F(DSColumnTest, NeutralAnswers)
{
    TestCategoryColumn *c = categories({{1, false}});
    const uint8_t *mask = reinterpret_cast<const uint8_t *>(1);
    EXPECT_EQ(c->getMissingMask(&mask), 0);
    EXPECT_EQ(mask, nullptr);
    const int32_t *order = reinterpret_cast<const int32_t *>(1);
    EXPECT_EQ(c->DSColumn::getIndexedValueOrder(&order), 0);
    EXPECT_EQ(order, reinterpret_cast<const int32_t *>(1)) << "not written";
    EXPECT_EQ(c->numberOfBins(), 0);
    EXPECT_TRUE(c->hueIndex().isEmpty());
    EXPECT_TRUE(c->DSColumn::categoriesForMask(nullptr, 0).isEmpty());
    EXPECT_EQ(c->joinedColumnEntityName(), QString());
    EXPECT_EQ(addColumn({1})->joinedColumnEntityName(), QStringLiteral("DSNumericJoinedColumn"));
}

// Deleting a column that is the table's weights and sort column, is
// selected, and feeds a division: the table ends unweighted, unsorted and
// with an empty selection; the division and what was computed from it are
// deleted, and so are the filter, the indicator left without conditions and
// the joined column keyed on it; models and outcomes stop naming it. One undo
// brings everything back.
TEST_F(DSColumnTest, DeletionCascadeAndUndo)
{
    ProbedDataColumn *c = addColumn({1, 2, 3}, QStringLiteral("c"));
    DSColumn *y = addColumn({4, 5, 6}, QStringLiteral("y"));
    TestDivisionColumn *d = divide(c, y, QStringLiteral("d"));
    TestDivisionColumn *e = divide(d, y, QStringLiteral("e"));
    TestDivisionColumn *f = divide(y, y, QStringLiteral("f"));  // does not depend on c

    table()->setFrequency_weights_column(c);
    table()->setApply_frequency_weights(true);
    table()->setSort_by_column(c);
    table()->column_selection()->addColumn(c);
    table()->covariate_selection()->addColumn(c);
    table()->addColumnToCovariateSet(c);

    DSManagedObject *filter = context().insertNewObject(QStringLiteral("DSTableFilter"));
    filter->setObject(c, QStringLiteral("column"));
    filter->setObject(table()->filterSetAtIndex(0), QStringLiteral("owner"));

    auto *model = context().insertNewObject<DSRegressionModel>(QStringLiteral("DSRegressionModel"));
    model->setObject(table(), QStringLiteral("table"));
    model->setObject(c, QStringLiteral("panel_column"));
    model->setObject(y, QStringLiteral("plot_against_column"));
    auto *outcome = context().insertNewObject<DSOutcomeVariable>(QStringLiteral("DSOutcomeVariable"));
    outcome->setObject(model, QStringLiteral("model"));
    outcome->setWeight_column(c);
    outcome->setExposure_column(static_cast<DSNumericColumn *>(y));
    auto *swapped = context().insertNewObject<DSOutcomeVariable>(QStringLiteral("DSOutcomeVariable"));
    swapped->setObject(model, QStringLiteral("model"));
    swapped->setWeight_column(static_cast<DSNumericColumn *>(y));
    swapped->setExposure_column(c);
    const DSObjectList relations = outcome->objectsForKey(QStringLiteral("column_relations"));
    ASSERT_EQ(relations.size(), 2);
    for (DSManagedObject *relation : relations)  // weights start unapplied, exposure applied
        EXPECT_EQ(relation->boolForKey(QStringLiteral("is_applied")), relation->integerForKey(QStringLiteral("tag")) == 1);

    const auto condition = [&](DSColumn *lhs, DSManagedObject *indicator) {
        DSManagedObject *cond = context().insertNewObject(QStringLiteral("DSColumnConditionValue"));
        cond->setObject(lhs, QStringLiteral("lhs_column"));
        cond->setObject(indicator, QStringLiteral("owner_indicator"));
        return cond;
    };
    auto *gone = addColumnOfEntity<DSColumn>("DSIndicatorLocalColumn", QStringLiteral("both on c"));
    condition(c, gone);
    condition(c, gone);
    auto *kept = addColumnOfEntity<DSColumn>("DSIndicatorLocalColumn", QStringLiteral("c or y"));
    condition(c, kept);
    DSManagedObject *onY = condition(y, kept);

    auto *joined = addColumnOfEntity<DSColumn>("DSTestJoinedColumn", QStringLiteral("joined"));
    DSManagedObject *join = context().insertNewObject(QStringLiteral("DSJoinColumnCondition"));
    join->setObject(joined, QStringLiteral("owner"));
    join->setObject(y, QStringLiteral("local_column"));
    join->setObject(c, QStringLiteral("foreign_column"));
    endEvent();

    const QList<DSColumn *> before = table()->sortedColumns();
    ASSERT_EQ(before, (QList<DSColumn *>{c, y, d, e, f, gone, kept, joined}));
    ASSERT_TRUE(context().deleteObject(c));
    endEvent();

    EXPECT_TRUE(c->isDeleted());
    EXPECT_EQ(c->index(), -1);
    EXPECT_FALSE(table()->isFrequencyWeighted());
    EXPECT_EQ(table()->frequency_weights_column(), nullptr);
    EXPECT_EQ(table()->sort_by_column(), nullptr);
    EXPECT_EQ(table()->column_selection()->count(), 0);
    EXPECT_EQ(table()->covariate_selection()->count(), 0);
    EXPECT_FALSE(table()->covariateSetContainsColumn(c));
    for (DSManagedObject *object : QList<DSManagedObject *>{d, e, filter, gone, joined, join})
        EXPECT_TRUE(object->isDeleted()) << object->entity()->name().toStdString();
    EXPECT_FALSE(f->isDeleted());
    EXPECT_FALSE(kept->isDeleted());
    EXPECT_EQ(kept->objectsForKey(QStringLiteral("conditions")), DSObjectList{onY});
    EXPECT_EQ(model->objectForKey(QStringLiteral("panel_column")), nullptr);
    EXPECT_EQ(model->objectForKey(QStringLiteral("plot_against_column")), y);
    EXPECT_EQ(outcome->weight_column(), nullptr);
    EXPECT_EQ(outcome->exposure_column(), y);
    EXPECT_EQ(swapped->weight_column(), y);
    EXPECT_EQ(swapped->exposure_column(), nullptr);
    EXPECT_EQ(table()->sortedColumns(), (QList<DSColumn *>{y, f, kept}));
    EXPECT_EQ((QList<qint64>{y->index(), f->index(), kept->index()}), (QList<qint64>{0, 1, 2}));
    EXPECT_TRUE(y->outputColumns().contains(f));
    EXPECT_FALSE(y->outputColumns().contains(d));

    context().undoManager()->undo();
    EXPECT_FALSE(c->isDeleted());
    EXPECT_EQ(table()->sortedColumns(), before);
    for (qsizetype i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i]->index(), i);
    EXPECT_TRUE(table()->isFrequencyWeighted());
    EXPECT_EQ(table()->sort_by_column(), c);
    for (DSManagedObject *object : QList<DSManagedObject *>{d, e, filter, gone, joined, join})
        EXPECT_FALSE(object->isDeleted()) << object->entity()->name().toStdString();
    EXPECT_EQ(d->sortedInputColumns(), (QList<DSColumn *>{c, y}));
    EXPECT_EQ(e->sortedInputColumns(), (QList<DSColumn *>{d, y}));
    EXPECT_EQ(gone->objectsForKey(QStringLiteral("conditions")).size(), 2);
    EXPECT_EQ(kept->objectsForKey(QStringLiteral("conditions")).size(), 2);
    EXPECT_EQ(model->objectForKey(QStringLiteral("panel_column")), c);
    EXPECT_EQ(outcome->weight_column(), c);
    EXPECT_EQ(swapped->exposure_column(), c);
    EXPECT_EQ(join->objectForKey(QStringLiteral("foreign_column")), c);
    const double *values = nullptr;
    ASSERT_EQ(c->getValues(&values), 3);
    EXPECT_EQ(values[2], 3.0);
}

} // namespace

namespace {

// A table deleted with its columns runs each column's cascade once; undo
// restores the table, its columns in order and the links between them.
TEST_F(DSColumnTest, DeletingTheTableTakesItsColumns)
{
    ProbedDataColumn *x = addColumn({1, 2}, QStringLiteral("x"));
    ProbedDataColumn *y = addColumn({3, 4}, QStringLiteral("y"));
    TestDivisionColumn *d = divide(x, y, QStringLiteral("d"));
    table()->setFrequency_weights_column(y);
    endEvent();
    ASSERT_TRUE(context().deleteObject(table()));
    endEvent();
    for (DSManagedObject *object : QList<DSManagedObject *>{table(), x, y, d})
        EXPECT_TRUE(object->isDeleted());
    context().undoManager()->undo();
    EXPECT_EQ(table()->sortedColumns(), (QList<DSColumn *>{x, y, d}));
    EXPECT_EQ(d->sortedInputColumns(), (QList<DSColumn *>{x, y}));
    EXPECT_EQ(table()->frequency_weights_column(), y);
    const double *values = nullptr;
    ASSERT_EQ(d->getValues(&values), 2);
    EXPECT_EQ(values[1], 0.5);
}

} // namespace

namespace {

TEST_F(DSColumnTest, SelectionKeepsTheListedColumnIndexes)
{
    std::vector<DSColumn *> columns;
    for (int i = 0; i < 8; ++i)
        columns.push_back(addColumn({double(i)}, QStringLiteral("c%1").arg(i)));
    struct Case
    {
        std::vector<int> selected;
        QList<qint64> indexes;
        std::vector<int> kept;
    } cases[] = {
        {{1, 4, 7}, {1, 2, 7}, {1, 7}},
        {{1, 4, 7}, {}, {}},
        {{}, {1, 2}, {}},
        {{0, 1, 2}, {0, 1, 2, 5}, {0, 1, 2}},
        {{2, 5, 6}, {0, 1, 2}, {2}},  // the list runs out: the rest goes
        {{3, 4}, {5, 6}, {}},
    };
    for (const Case &c : cases) {
        DSColumnSelection selection(table());
        for (int i : c.selected)
            selection.addColumn(columns[size_t(i)]);
        selection.unionWithColumnIndexes(c.indexes);
        QList<DSColumn *> expected;
        for (int i : c.kept)
            expected.append(columns[size_t(i)]);
        EXPECT_EQ(selection.columns(), expected) << c.selected.size() << " selected";
    }

    DSColumnSelection selection(table());
    for (int i : {1, 4, 7})
        selection.addColumn(columns[size_t(i)]);
    EXPECT_EQ(selection[-1], columns[7]);
    EXPECT_EQ(selection[-3], columns[1]);
    EXPECT_EQ(selection[-4], nullptr);
    selection.removeColumnAtIndex(1);
    EXPECT_EQ(selection.columns(), (QList<DSColumn *>{columns[1], columns[7]}));
    selection.resetWithColumn(columns[4]);
    EXPECT_EQ(selection.columns(), QList<DSColumn *>{columns[4]});
    EXPECT_EQ(selection.numberOfCategoriesAtIndex(0), 0);
}

}  // namespace
