// The reporters of category columns: their results, sentences, labels and
// commands.
#include "../model/ColumnsTestSupport.h"

#include "model/DSColumnSelection.h"
#include "model/DSColumnSummary.h"
#include "model/DSNumericPartition.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSStatisticalTest.h"
#include "stats/DSStatisticalTestChiSquare.h"
#include "stats/DSStatisticalTestCorrelation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class CategoryReportersTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_columns_test_setup(); }

    DSNumericColumn *categorical(const char *name, std::vector<double> values)
    {
        DSNumericColumn *column = addColumn(values, QString::fromLatin1(name));
        column->setTreat_as_categories(true);
        return column;
    }
    void weighBy(std::vector<double> weights)
    {
        table()->setFrequency_weights_column(addColumn(weights, QStringLiteral("w")));
        table()->setApply_frequency_weights(true);
    }
    // The column's categories at the index entries.
    static DSColumnSelection::Categories picked(DSColumn *column, std::initializer_list<int> entries)
    {
        const auto summary = column->summaryForMask(nullptr, 0, NAN);
        DSColumnSelection::Categories categories;
        for (int k : entries)
            categories.append(summary->categories().at(k));
        return categories;
    }
    static DSColumnSelection select(std::initializer_list<std::pair<DSColumn *, DSColumnSelection::Categories>> entries)
    {
        DSColumnSelection selection;
        for (const auto &[column, categories] : entries)
            selection.addColumn(column, categories);
        return selection;
    }

    struct Report
    {
        DSBottomLineReporter::Result result;
        QString sentence, label, r, sas, spss, stata;
    };
    Report report(const DSColumnSelection &columns, const DSColumnSelection &covariates)
    {
        Report out;
        DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
        EXPECT_TRUE(reporter);
        if (!reporter)
            return out;
        out.result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
        const auto text = reporter->attributedStringForResult(out.result.get(), 0.05, &columns, &covariates);
        out.sentence = text ? text->markedString() : QStringLiteral("<none>");
        out.label = reporter->shortStringForResult(out.result.get(), 0.05, &columns);
        out.r = reporter->REstimationCommandForResult(out.result.get(), &columns, &covariates);
        out.sas = reporter->SASEstimationCommandForResult(out.result.get(), &columns, &covariates);
        out.spss = reporter->SPSSEstimationCommandForResult(out.result.get(), &columns, &covariates);
        out.stata = reporter->StataEstimationCommandForResult(out.result.get(), &columns, &covariates);
        return out;
    }

    DSBottomLineReporterChain chain;
};

TEST_F(CategoryReportersTest, OneColumnAlone)
{
    DSNumericColumn *one = categorical("one", {1, 1, NAN, 1, NAN, 1});
    const Report only = report(select({{one, {}}}), DSColumnSelection());
    EXPECT_FALSE(only.result);
    EXPECT_EQ(only.label, QStringLiteral("Only 1 value"));
    EXPECT_EQ(only.sentence, QStringLiteral("*one* takes only 1 value"));

    weighBy({1, 1, 1, 1, 1, 1});
    DSNumericColumn *c = categorical("c", {1, 1, 1, 1, 1, 2});
    const Report equalCounts = report(select({{c, {}}}), DSColumnSelection());
    ASSERT_TRUE(equalCounts.result);
    // One degree of freedom: shown as z, the root of chi-square.
    EXPECT_NEAR(equalCounts.result->statisticValue(), std::sqrt(8.0 / 3), 1e-12);
    EXPECT_EQ(equalCounts.label, QStringLiteral("Equal proportions (2 values)"));
    EXPECT_EQ(equalCounts.r, QStringLiteral("df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nchisq.test(table(c))\n})"));
    EXPECT_EQ(equalCounts.spss, QStringLiteral("weight by w.\nnpar tests chisquare=c."));
    EXPECT_EQ(equalCounts.sas, QStringLiteral("proc freq;\n  tables c / chisq;\n  weight w;\nrun;"));
    EXPECT_EQ(equalCounts.stata, QString());
}

TEST_F(CategoryReportersTest, ColumnAgainstACategoryCovariate)
{
    DSNumericColumn *c = categorical("c", {1, 2, 1, 2, 1, 2, 3, 3});
    DSNumericColumn *k = categorical("k", {1, 1, 2, 2, 1, 2, 1, 2});
    weighBy({1, 2, 1, 1, 3, 1, 1, 1});
    struct Case
    {
        const char *what;
        DSColumnSelection::Categories columnPicked, covariatePicked;
        bool correlation, answers;
    } cases[] = {
        {"nothing picked", {}, {}, false, true},
        {"one category on each side", picked(c, {0}), picked(k, {1}), true, true},
        {"two in the column, none in the covariate", picked(c, {0, 2}), {}, false, true},
        {"picked on both sides, not one each", picked(c, {0, 1}), picked(k, {0}), false, false},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.what);
        const Report out = report(select({{c, t.columnPicked}}), select({{k, t.covariatePicked}}));
        ASSERT_TRUE(out.result);
        EXPECT_EQ(bool(dynamic_cast<const DSStatisticalTestCorrelation *>(out.result.get())), t.correlation);
        EXPECT_EQ(!std::isnan(out.result->p_value()), t.answers);
        if (!t.answers) {
            EXPECT_EQ(out.sentence, QStringLiteral("<none>"));
            EXPECT_EQ(out.label, QString());
        }
        // The commands are the chi-square ones of the two columns whatever the test.
        EXPECT_EQ(out.r, QStringLiteral("df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nchisq.test(table(c, k))\n})"));
        EXPECT_EQ(out.spss, QStringLiteral("weight by w.\ncrosstabs /tables=c by k /statistics=chisq."));
        EXPECT_EQ(out.stata, QStringLiteral("tabulate c k, chi2 [fweight=w]"));
        EXPECT_EQ(out.sas, QStringLiteral("proc freq;\n  tables c*k / chisq;\n  weight w;\nrun;"));
    }
    // With two categories picked in the column its sentence is nothing.
    EXPECT_EQ(report(select({{c, picked(c, {0, 2})}}), select({{k, {}}})).sentence, QStringLiteral("<none>"));
    // The independence test answers from the covariate's side, within the picked categories.
    const Report fromCovariate = report(select({{c, picked(c, {0, 2})}}), select({{k, {}}}));
    qint64 df = 0;
    const double expected = k->calculateIndependence(c, picked(c, {0, 2}), &df, nullptr, 0);
    EXPECT_EQ(fromCovariate.result->statisticValue(), expected);
}

TEST_F(CategoryReportersTest, ColumnAgainstANumericCovariate)
{
    DSNumericColumn *c = categorical("c", {1, 2, 1, 2, 1, 2, 1, 2});
    DSNumericColumn *age = addColumn({5, 15, 25, 35, 12, 22, 8, 31}, QStringLiteral("age"));
    auto *partition = dynamic_cast<DSNumericPartition *>(age->covariate_partition());
    partition->setPartition_type(2);
    partition->setCustom_interval_cutoffs({10, 20, 30});
    const Report out = report(select({{c, {}}}), select({{age, {}}}));
    ASSERT_TRUE(out.result);
    EXPECT_TRUE(dynamic_cast<const DSStatisticalTestChiSquare *>(out.result.get()));
    EXPECT_TRUE(out.r.startsWith(QStringLiteral("df$age_r <- NA\n")));
    EXPECT_TRUE(out.r.endsWith(QStringLiteral("\nwith(df, chisq.test(table(c, age_r)))")));
    EXPECT_TRUE(out.spss.startsWith(QStringLiteral("recode age ")));
    EXPECT_TRUE(out.spss.endsWith(QStringLiteral(" into age_r.\ncrosstabs /tables=c by age_r /statistics=chisq.")));
    EXPECT_EQ(out.stata, QStringLiteral("egen age_r=cut(age), at(10,20,30)\ntabulate c age_r, chi2"));
    EXPECT_TRUE(out.sas.endsWith(QStringLiteral("proc freq;\n  tables c*age_r / chisq;\nrun;")));

    // One category picked: the covariate's point-biserial correlation with it.
    const Report one = report(select({{c, picked(c, {1})}}), select({{age, {}}}));
    ASSERT_TRUE(dynamic_cast<const DSStatisticalTestCorrelation *>(one.result.get()));
}

TEST_F(CategoryReportersTest, RepeatedAndMultipleCategories)
{
    DSNumericColumn *a = categorical("a", {1, 1, 1, 2, 2, 2, 1, 2});
    DSNumericColumn *b = categorical("b", {1, 2, 2, 2, 1, 2, 2, 2});
    DSNumericColumn *c = categorical("c", {1, 2, 3, 3, 1, 2, 3, 1});
    DSNumericColumn *d = categorical("d", {2, 3, 3, 1, 2, 1, 3, 2});
    DSNumericColumn *e = categorical("e", {1, 1, 2, 2, 2, 1, 2, 1});
    DSNumericColumn *f = categorical("f", {2, 1, 2, 1, 2, 2, 2, 1});
    table()->setPrimitiveValue(true, QStringLiteral("repeated_measures"));
    struct Case
    {
        std::initializer_list<DSColumn *> columns;
        const char *name, *spss, *sas;
    } cases[] = {
        {{a, b}, "McNemar", "npar tests mcnemar=a b.", "proc freq;\n  tables a*b / agree noprint;\nrun;"},
        {{c, d}, "Stuart-Maxwell", "npar tests /mh=c d.", "proc freq;\n  tables c*d / agree noprint;\nrun;"},
        {{a, b, e, f}, "Cochran's Q", "npar tests cochran=a b e f.",
         "proc freq;\n  tables a*b*e*f / agree noprint;\nrun;"},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.name);
        DSColumnSelection columns;
        for (DSColumn *column : t.columns)
            columns.addColumn(column);
        const Report out = report(columns, DSColumnSelection());
        ASSERT_TRUE(out.result);
        EXPECT_EQ(out.result->shortName(), QString::fromUtf8(t.name));
        EXPECT_EQ(out.spss, QString::fromUtf8(t.spss));
        EXPECT_EQ(out.sas, QString::fromUtf8(t.sas));
        EXPECT_EQ(out.r, QString());
        EXPECT_EQ(out.stata, QString());
        EXPECT_TRUE(out.sentence.startsWith(QStringLiteral("The marginal proportions ")));
    }
    const Report mcnemar = report(select({{a, {}}, {b, {}}}), DSColumnSelection());
    // a/b: 1 yes-yes, 3 yes-no, 1 no-yes, 3 no-no: (3 - 1)^2 / 4.
    EXPECT_DOUBLE_EQ(mcnemar.result->statisticValue(), 1.0);
    EXPECT_EQ(mcnemar.sentence, QStringLiteral("The marginal proportions do not vary across *a* and *b*"));

    table()->setPrimitiveValue(false, QStringLiteral("repeated_measures"));
    const Report multiple = report(select({{a, {}}, {b, {}}, {e, {}}}), DSColumnSelection());
    ASSERT_TRUE(multiple.result);
    EXPECT_EQ(multiple.sentence, QStringLiteral("Distribution of values does not vary across the 3 selected columns"));
    EXPECT_EQ(multiple.label, QStringLiteral("Equal distributions"));
}

}  // namespace
