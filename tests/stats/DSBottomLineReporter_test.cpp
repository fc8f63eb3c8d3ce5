// The bottom-line chain: which reporter answers for which selection, the
// sentences and labels, the covariate recoding and the commands of the
// numeric, paired and repeated-measures reporters.
#include "../model/ColumnsTestSupport.h"

#include "model/DSColumnSelection.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTimeDataColumn.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSBottomLineReporterOwner.h"
#include "stats/DSStatisticalTestANOVA.h"
#include "stats/DSStatisticalTestFriedman.h"
#include "stats/DSStatisticalTestKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestShapiroWilk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

class Owner : public DSBottomLineReporterOwner
{
public:
    std::vector<double> values;
    void setQQPlotQuantiles(const double *v, const int32_t *, qint64 count) override { values.assign(v, v + count); }
};

class BottomLineTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_columns_test_setup(); }

    DSNumericColumn *numeric(const QString &name, std::vector<double> values = {1, 2, 3, 4, 5, 6})
    {
        return addColumn(values, name);
    }
    DSNumericColumn *categorical(const QString &name)
    {
        DSNumericColumn *column = numeric(name, {1, 2, 1, 2, 1, 2});
        column->setTreat_as_categories(true);
        return column;
    }
    // A numeric covariate grouped at custom cut-offs.
    DSNumericColumn *groupedAt(const QString &name, std::vector<double> values, const QList<double> &cutoffs)
    {
        DSNumericColumn *column = numeric(name, std::move(values));
        auto *partition = dynamic_cast<DSNumericPartition *>(column->covariate_partition());
        partition->setPartition_type(2);
        partition->setCustom_interval_cutoffs(cutoffs);
        return column;
    }
    void setFlag(const char *key, bool on) { table()->setPrimitiveValue(on, QString::fromLatin1(key)); }
    void setSetting(const char *key, qint64 value)
    {
        table()->setPrimitiveValue(qlonglong(value), QString::fromLatin1(key));
    }
    void weighBy(const QString &name)
    {
        table()->setFrequency_weights_column(numeric(name, {1, 1, 1, 1, 1, 1}));
        table()->setApply_frequency_weights(true);
    }
    static DSColumnSelection selectionOf(std::initializer_list<DSColumn *> columns)
    {
        DSColumnSelection selection;
        for (DSColumn *column : columns)
            selection.addColumn(column);
        return selection;
    }

    DSBottomLineReporterChain chain;
};

TEST_F(BottomLineTest, ChainAnswersInItsFixedOrder)
{
    DSNumericColumn *x = numeric(QStringLiteral("x")), *y = numeric(QStringLiteral("y")),
                    *z = numeric(QStringLiteral("z"));
    DSNumericColumn *c = categorical(QStringLiteral("c")), *c2 = categorical(QStringLiteral("c2"));
    DSNumericColumn *survival = numeric(QStringLiteral("s"));
    survival->setTreat_as_survival_times(true);
    auto *indicator = addColumnOfEntity<DSIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("i"));
    auto *time = addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", QStringLiteral("t"));
    auto *timeCategories = addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", QStringLiteral("tc"));
    timeCategories->setTreat_as_categories(true);

    struct Case
    {
        const char *what;
        std::initializer_list<DSColumn *> columns, covariates;
        const char *flag;
        qsizetype position;
    };
    const Case cases[] = {
        {"nothing selected", {}, {}, nullptr, 0},
        {"one numeric column", {x}, {}, nullptr, 1},
        {"numeric against a numeric covariate", {x}, {y}, nullptr, 2},
        {"numeric against two covariates", {x}, {y, c}, nullptr, 3},
        {"numeric against three covariates", {x}, {y, z, c}, nullptr, 0},
        {"two numeric columns side by side", {x, y}, {}, nullptr, 4},
        {"two paired columns", {x, y}, {}, "show_paired_differences", 5},
        {"three paired columns", {x, y, z}, {}, "show_paired_differences", 6},
        {"two repeated measures", {x, y}, {c}, "repeated_measures", 6},
        {"a categorical numeric column", {c}, {}, nullptr, 10},
        {"a categorical numeric column and a covariate", {c}, {c2}, nullptr, 11},
        {"an indicator with a numeric covariate", {indicator}, {x}, nullptr, 11},
        {"categories with a numeric covariate", {c}, {x}, nullptr, 12},
        {"categories with a time covariate", {c}, {time}, nullptr, 13},
        {"two conformable category columns", {c, c2}, {}, nullptr, 14},
        {"two repeated category columns", {c, c2}, {}, "repeated_measures", 15},
        {"a survival column", {survival}, {}, nullptr, 7},
        {"a survival column with a covariate", {survival}, {x}, nullptr, 8},
        {"a time column", {time}, {}, nullptr, 16},
        {"a time column with a covariate", {time}, {x}, nullptr, 17},
        {"a time column treated as categories", {timeCategories}, {}, nullptr, 10},
    };
    for (const Case &c : cases) {
        setFlag("show_paired_differences", false);
        setFlag("repeated_measures", false);
        if (c.flag)
            setFlag(c.flag, true);
        const DSColumnSelection columns = selectionOf(c.columns), covariates = selectionOf(c.covariates);
        EXPECT_EQ(chain.positionOf(chain.reporterForColumns(&columns, &covariates)), c.position) << c.what;
    }
    const DSColumnSelection one = selectionOf({x});
    EXPECT_EQ(chain.positionOf(chain.reporterForColumns(&one, nullptr)), 1) << "no covariate selection";
}

// The sentence's runs with italic ones between asterisks.
QString sentence(DSBottomLineReporter *reporter, const DSStatisticalTest *result, const DSColumnSelection &columns,
                 const DSColumnSelection &covariates, double significance = 0.05)
{
    const auto text = reporter->attributedStringForResult(result, significance, &columns, &covariates);
    return text ? text->markedString() : QStringLiteral("<none>");
}

TEST_F(BottomLineTest, SentencesNameColumnsAndCovariates)
{
    DSNumericColumn *y = numeric(QStringLiteral("y")), *a = numeric(QStringLiteral("a")),
                    *b = numeric(QStringLiteral("b")), *c = numeric(QStringLiteral("c"));
    DSNumericColumn *g = groupedAt(QStringLiteral("g"), {1, 2, 3, 4, 5, 6}, {3});
    DSNumericColumn *h = categorical(QStringLiteral("h"));
    DSBottomLineReporter base;
    const DSStatisticalTestANOVA significant(50, 1, 10), nan(NAN, 1, 10);

    EXPECT_EQ(sentence(&base, &significant, selectionOf({y}), selectionOf({g})),
              "Average *y* varies across group of *g*");
    EXPECT_EQ(sentence(&base, &significant, selectionOf({y}), selectionOf({g, h})),
              "Average *y* varies across *g* and *h*");
    EXPECT_EQ(sentence(&base, &significant, selectionOf({a, b}), selectionOf({})),
              "Average value varies across *a* and *b*");
    EXPECT_EQ(sentence(&base, &significant, selectionOf({a, b, c}), selectionOf({})),
              "Average value varies across the 3 selected columns");
    EXPECT_EQ(sentence(&base, &significant, selectionOf({a, b}), selectionOf({g, h, c})), "<none>")
        << "three covariates";
    EXPECT_EQ(sentence(&base, &nan, selectionOf({y}), selectionOf({g})), "<none>");
    EXPECT_EQ(base.shortStringForResult(&nan, 0.05, nullptr), QString());
    EXPECT_EQ(base.shortStringForResult(&significant, 0.05, nullptr), significant.shortExplanationAtLevel(0.05));

    // Selected categories: one names the value, two the groups.
    DSColumnSelection covariates;
    const auto categories = g->categoriesForMask(nullptr, 0);
    ASSERT_GE(categories.size(), 2);
    covariates.addColumn(g, {categories[0], categories[1]});
    g->covariate_partition()->setPrimitiveValue(qlonglong(0), QStringLiteral("partition_type"));
    EXPECT_EQ(sentence(&base, &significant, selectionOf({y}), covariates),
              "Average *y* varies across selected quantile of *g*");
    covariates.addColumn(g, {categories[0]});
    EXPECT_EQ(sentence(&base, &significant, selectionOf({y}), covariates),
              "Average *y* varies across \"" + categories[0]->formattedValue() + "\"");
}

TEST_F(BottomLineTest, RecodingWritesEachSyntax)
{
    DSNumericColumn *age = groupedAt(QStringLiteral("age"), {5, 15, 25, 35, 12, 8}, {10, 20, 30});
    DSBottomLineReporter base;
    const QString v = QStringLiteral("age_r");
    EXPECT_EQ(base.commandForRecodingCovariate(age, v, DSBottomLineReporter::syntaxR),
              "df$age_r <- NA\n"
              "df$age_r[df$age < 10] <- 0\n"
              "df$age_r[df$age < 20 & df$age >= 10] <- 1\n"
              "df$age_r[df$age < 30 & df$age >= 20] <- 2\n"
              "df$age_r[df$age >= 30] <- 3\n");
    EXPECT_EQ(base.commandForRecodingCovariate(age, v, DSBottomLineReporter::syntaxSAS),
              "age_r = .;\n"
              "IF (. < age < 10) THEN age_r = 0;\n"
              "IF (10 <= age < 20) THEN age_r = 1;\n"
              "IF (20 <= age < 30) THEN age_r = 2;\n"
              "IF (30 <= age) THEN age_r = 3;\n");
    EXPECT_EQ(base.commandForRecodingCovariate(age, v, DSBottomLineReporter::syntaxSPSS),
              "recode age (30 thru hi=3) (20 thru hi=2) (10 thru hi=1) (lo thru hi=0) into age_r.\n");
    EXPECT_EQ(base.commandForRecodingCovariate(age, v, DSBottomLineReporter::syntaxStata),
              "egen age_r=cut(age), at(10,20,30)\n");
    EXPECT_EQ(base.commandForRecodingCovariate(age, v, 9), "");

    DSNumericColumn *flat = groupedAt(QStringLiteral("flat"), {4, 4, 4, 4, 4, 4}, {});
    flat->covariate_partition()->setPrimitiveValue(qlonglong(0), QStringLiteral("partition_type"));
    EXPECT_TRUE(base.commandForRecodingCovariate(flat, v, DSBottomLineReporter::syntaxR).isNull())
        << "no cut-off, nothing to recode";
    age->setTreat_as_categories(true);
    EXPECT_TRUE(base.commandForRecodingCovariate(age, v, DSBottomLineReporter::syntaxR).isNull());
}

TEST_F(BottomLineTest, OneCovariateCommandsRecodeFirst)
{
    DSNumericColumn *y = numeric(QStringLiteral("y"), {1, 4, 2, 8, 5, 7});
    DSNumericColumn *age = groupedAt(QStringLiteral("age"), {5, 15, 25, 35, 12, 8}, {10, 20, 30});
    weighBy(QStringLiteral("w"));
    setSetting("covariate_graph_type", 2);
    const DSColumnSelection columns = selectionOf({y}), covariates = selectionOf({age});
    DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
    ASSERT_EQ(chain.positionOf(reporter), 2);
    const auto result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
    ASSERT_TRUE(dynamic_cast<const DSStatisticalTestANOVA *>(result.get()));
    const QString r = reporter->REstimationCommandForResult(result.get(), &columns, &covariates);
    // On a weighted table R repeats each row by its weight first.
    EXPECT_TRUE(r.startsWith("df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\ndf$age_r <- NA\n")) << r.toStdString();
    EXPECT_TRUE(r.endsWith("\nsummary(aov(y ~ factor(age_r), data = df))\n})")) << r.toStdString();
    const QString spss = reporter->SPSSEstimationCommandForResult(result.get(), &columns, &covariates);
    EXPECT_EQ(spss, "weight by w.\nrecode age (30 thru hi=3) (20 thru hi=2) (10 thru hi=1) (lo thru hi=0) into "
                    "age_r.\noneway y by age_r.");
    EXPECT_EQ(reporter->StataEstimationCommandForResult(result.get(), &columns, &covariates),
              "egen age_r=cut(age), at(10,20,30)\noneway y age_r [fweight=w]");
    const QString sas = reporter->SASEstimationCommandForResult(result.get(), &columns, &covariates);
    EXPECT_TRUE(sas.startsWith("age_r = .;\n"));
    EXPECT_TRUE(sas.endsWith("proc npar1way anova;\n  class age_r;\n  var y;\n  freq w;\nrun;")) << sas.toStdString();
}

TEST_F(BottomLineTest, NormalityBySizeAndDistribution)
{
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal(10, 2);
    struct Case
    {
        size_t n;
        qint64 distribution;
        bool shapiroWilk;
    };
    const Case cases[] = {{5000, 1, true}, {5001, 1, false}, {50, 0, false}};
    for (const Case &c : cases) {
        ColumnsFixture f;
        std::vector<double> values(c.n);
        for (double &v : values)
            v = normal(random);
        DSNumericColumn *x = f.addColumn(values, QStringLiteral("x"));
        x->setContinuous_distribution(c.distribution);
        Owner owner;
        DSBottomLineReporterChain ownChain(&owner);
        const DSColumnSelection columns = selectionOf({x});
        DSBottomLineReporter *reporter = ownChain.reporterForColumns(&columns, nullptr);
        const auto result = reporter->resultForColumns(&columns, nullptr, nullptr, 0);
        EXPECT_EQ(owner.values.size(), c.n);
        EXPECT_EQ(bool(dynamic_cast<const DSStatisticalTestShapiroWilk *>(result.get())), c.shapiroWilk) << c.n;
        const auto text = reporter->attributedStringForResult(result.get(), 0.05, &columns, nullptr);
        ASSERT_TRUE(text);
        const QString kind = c.distribution ? QStringLiteral("normal") : QStringLiteral("uniform");
        EXPECT_TRUE(text->markedString().startsWith("*x* ")) << text->markedString().toStdString();
        EXPECT_TRUE(text->markedString().endsWith(kind + " distribution")) << text->markedString().toStdString();
        if (!c.shapiroWilk && c.distribution == 1) {
            const auto moments = x->calculateStatsWithMask(nullptr, 0, ds_stats_moments);
            EXPECT_EQ(reporter->REstimationCommandForResult(result.get(), &columns, nullptr),
                      QStringLiteral("ks.test(x, \"pnorm\", %1, %2, exact = TRUE)")
                          .arg(QString::number(moments.avg, 'g', QLocale::FloatingPointShortest),
                               QString::number(std::sqrt(moments.var_unbiased), 'g', QLocale::FloatingPointShortest)));
        }
        if (c.distribution == 0) {
            const auto sorted = std::minmax_element(values.begin(), values.end());
            const QString sas = reporter->SASEstimationCommandForResult(result.get(), &columns, nullptr);
            EXPECT_TRUE(sas.contains(
                QStringLiteral("theta=%1 sigma=%2")
                    .arg(QString::number(*sorted.first, 'g', QLocale::FloatingPointShortest),
                         QString::number(*sorted.second - *sorted.first, 'g', QLocale::FloatingPointShortest))))
                << sas.toStdString();
        }
    }
    // Three values: the picture still gets them, there is no test.
    Owner owner;
    DSBottomLineReporterChain ownChain(&owner);
    DSNumericColumn *few = numeric(QStringLiteral("few"), {3, 1, 2});
    const DSColumnSelection columns = selectionOf({few});
    EXPECT_EQ(ownChain.reporterForColumns(&columns, nullptr)->resultForColumns(&columns, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(owner.values, (std::vector<double>{1, 2, 3}));
}

TEST_F(BottomLineTest, PairedAndRepeatedCommands)
{
    DSNumericColumn *a = numeric(QStringLiteral("a"), {1, 2, 3, 4, 5, 6});
    DSNumericColumn *b = numeric(QStringLiteral("b"), {2, 2.5, 5, 4.7, 8.5, 9.6});
    DSNumericColumn *c = numeric(QStringLiteral("c"), {3, 1, 6, 7, 6, 9});
    weighBy(QStringLiteral("w"));
    setFlag("show_paired_differences", true);

    struct Case
    {
        const char *what;
        std::initializer_list<DSColumn *> columns;
        qint64 pairedGraph, relativeTo, covariateGraph;
        const char *r, *spss, *stata, *sas;
    };
    const Case cases[] = {
        {"paired means",
         {a, b},
         2,
         0,
         0,
         "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nt.test(a, b, paired = TRUE)\n})",
         "weight by w.\nt-test pairs=a b.",
         "ttest a == b [fweight=w]",
         "proc ttest;\n  paired a*b;\n  freq w;\nrun;"},
        {"paired medians",
         {a, b},
         3,
         0,
         0,
         "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nwilcox.test(a, b, paired = TRUE)\n})",
         "weight by w.\nnpar tests wilcoxon=a b.",
         "signrank a = b [fweight=w]",
         "diff = b - a;\nproc univariate;\n  var diff;\n  freq w;\nrun;"},
        {"paired normality",
         {a, b},
         8,
         0,
         0,
         "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nshapiro.test(b - a)\n})",
         "weight by w.\ncompute diff = b - a.\nexamine variables=diff /plot=npplot.",
         "egen diff = b - a\nswilk diff [fweight=w]",
         "diff = b - a;\nproc univariate normal;\n  var diff;\n  freq w;\nrun;"},
        {"paired normality, first minus second",
         {a, b},
         8,
         1,
         0,
         "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nshapiro.test(a - b)\n})",
         "weight by w.\ncompute diff = a - b.\nexamine variables=diff /plot=npplot.",
         "egen diff = a - b\nswilk diff [fweight=w]",
         "diff = a - b;\nproc univariate normal;\n  var diff;\n  freq w;\nrun;"},
        {"Friedman",
         {a, b, c},
         2,
         0,
         0,
         "",
         "weight by w.\nnpar tests friedman=a b c.",
         "friedman a b c [fweight=w]",
         ""},
        {"repeated-measures analysis of three", {a, b, c}, 2, 0, 2, "", "", "", ""},
    };
    for (const Case &k : cases) {
        setSetting("paired_differences_graph_type", k.pairedGraph);
        setSetting("paired_differences_relative_to", k.relativeTo);
        setSetting("covariate_graph_type", k.covariateGraph);
        const DSColumnSelection columns = selectionOf(k.columns);
        DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, nullptr);
        ASSERT_TRUE(reporter) << k.what;
        const auto result = reporter->resultForColumns(&columns, nullptr, nullptr, 0);
        ASSERT_TRUE(result) << k.what;
        EXPECT_EQ(reporter->REstimationCommandForResult(result.get(), &columns, nullptr), k.r) << k.what;
        EXPECT_EQ(reporter->SPSSEstimationCommandForResult(result.get(), &columns, nullptr), k.spss) << k.what;
        EXPECT_EQ(reporter->StataEstimationCommandForResult(result.get(), &columns, nullptr), k.stata) << k.what;
        EXPECT_EQ(reporter->SASEstimationCommandForResult(result.get(), &columns, nullptr), k.sas) << k.what;
    }

    // The normality sentence names the second minus the first whatever the
    // order of subtraction.
    setSetting("paired_differences_graph_type", 8);
    setSetting("paired_differences_relative_to", 1);
    const DSColumnSelection pair = selectionOf({a, b});
    DSBottomLineReporter *reporter = chain.reporterForColumns(&pair, nullptr);
    const auto result = reporter->resultForColumns(&pair, nullptr, nullptr, 0);
    EXPECT_TRUE(sentence(reporter, result.get(), pair, selectionOf({})).startsWith("*b* minus *a* "));
}

TEST_F(BottomLineTest, MultipleNumericCommands)
{
    DSNumericColumn *a = numeric(QStringLiteral("a"), {1, 2, 3, 4, 5, 6});
    DSNumericColumn *b = numeric(QStringLiteral("b"), {2, 2.5, 5, 4.7, 8.5, 9.6});
    weighBy(QStringLiteral("w"));
    const DSColumnSelection columns = selectionOf({a, b});
    DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, nullptr);
    ASSERT_EQ(chain.positionOf(reporter), 4);
    setSetting("covariate_graph_type", 3);
    auto result = reporter->resultForColumns(&columns, nullptr, nullptr, 0);
    EXPECT_EQ(reporter->REstimationCommandForResult(result.get(), &columns, nullptr), "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nkruskal.test(list(a, b))\n})");
    EXPECT_EQ(reporter->StataEstimationCommandForResult(result.get(), &columns, nullptr), QString());
    setSetting("covariate_graph_type", 2);
    result = reporter->resultForColumns(&columns, nullptr, nullptr, 0);
    EXPECT_EQ(reporter->REstimationCommandForResult(result.get(), &columns, nullptr), "df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nt.test(a, b, var.equal = TRUE)\n})");
    EXPECT_EQ(reporter->StataEstimationCommandForResult(result.get(), &columns, nullptr),
              "ttest a == b, unpaired [fweight=w]");
    EXPECT_EQ(reporter->SPSSEstimationCommandForResult(result.get(), &columns, nullptr), QString());
}

}  // namespace
