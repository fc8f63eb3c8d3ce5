// The R command of each reporter, run by R on the same table
// (fixtures/reporter_data.csv), gives our statistic and p-value. R's answers
// are kept in fixtures/reporter_commands.txt; check_reporter_commands.sh
// remakes them where R is installed and compares.
#include "../model/ColumnsTestSupport.h"
#include "fixture_lines.h"
#include "../model/ds_test_pspp.h"
#include "tests/support/ds_oracles.h"

#include "model/DSColumnSelection.h"
#include "model/DSNumericPartition.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "stats/DSStatisticalTest.h"
#include "stats/DSStatisticalTestCorrelation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

namespace {

// How our statistic stands to R's: the same, R's t as our |t| (an analysis
// of variance of one degree of freedom shows t), or another statistic of the
// same test (our Shapiro-Wilk shows z, our k-sample Kolmogorov-Smirnov
// Kiefer's T, our signed ranks the absolute sum), or a correlation whose
// estimate R gives as its statistic (its p-value is R's t form, ours the
// Fisher z form).
enum class Compare { same, absolute, pOnly, estimate };

struct Case
{
    const char *name;
    std::vector<const char *> columns, covariates;
    const char *flag;  // a table flag set for the case, or null
    qint64 covariateGraph, pairedGraph;
    Compare compare;
    bool weighted = false;  // the table's rows weighed by its column w
};

const Case cases[] = {
    {"shapiro_wilk", {"s"}, {}, nullptr, 0, 0, Compare::pOnly},
    {"ks_normal", {"big"}, {}, nullptr, 0, 0, Compare::same},
    {"ks_uniform", {"un"}, {}, nullptr, 0, 0, Compare::same},
    {"anova_recoded", {"y"}, {"age"}, nullptr, 2, 0, Compare::same},
    {"kruskal_recoded", {"y"}, {"age"}, nullptr, 3, 0, Compare::same},
    {"anova_categories", {"y"}, {"h"}, nullptr, 2, 0, Compare::same},
    {"kruskal_categories", {"y"}, {"h"}, nullptr, 3, 0, Compare::same},
    {"two_way", {"y"}, {"h", "k"}, nullptr, 0, 0, Compare::same},
    {"two_way_recoded", {"y"}, {"age", "k"}, nullptr, 0, 0, Compare::same},
    {"columns_kruskal", {"a", "b", "c"}, {}, nullptr, 3, 0, Compare::same},
    {"columns_t", {"a", "b"}, {}, nullptr, 2, 0, Compare::absolute},
    {"columns_ks", {"a", "b"}, {}, nullptr, 0, 0, Compare::pOnly},
    {"paired_t", {"a", "b"}, {}, "show_paired_differences", 0, 2, Compare::absolute},
    {"paired_signed_rank", {"a", "b"}, {}, "show_paired_differences", 0, 3, Compare::pOnly},
    {"paired_shapiro_wilk", {"a", "b"}, {}, "show_paired_differences", 0, 8, Compare::pOnly},
    {"repeated_signed_rank", {"a", "c"}, {}, "repeated_measures", 0, 0, Compare::pOnly},
    {"repeated_t", {"c", "b"}, {}, "repeated_measures", 2, 0, Compare::absolute},
    {"correlation", {"y"}, {"age"}, nullptr, 1, 0, Compare::estimate},
    {"categories_alone", {"h"}, {}, nullptr, 0, 0, Compare::same},
    {"categories_covariate", {"h"}, {"k"}, nullptr, 0, 0, Compare::same},
    {"categories_recoded", {"h"}, {"age"}, nullptr, 0, 0, Compare::same},
    {"logrank_recoded", {"st"}, {"age"}, nullptr, 0, 0, Compare::same},
    {"logrank_categories", {"st2"}, {"h"}, nullptr, 0, 0, Compare::same},
    // The same reporters on a frequency-weighted table. (The signed-rank
    // test ranks each row once and weighs its signed rank, which repeated
    // rows in R do not reproduce.)
    {"weighted_shapiro_wilk", {"s"}, {}, nullptr, 0, 0, Compare::pOnly, true},
    {"weighted_anova_recoded", {"y"}, {"age"}, nullptr, 2, 0, Compare::same, true},
    {"weighted_kruskal_categories", {"y"}, {"h"}, nullptr, 3, 0, Compare::same, true},
    {"weighted_two_way", {"y"}, {"h", "k"}, nullptr, 0, 0, Compare::same, true},
    {"weighted_columns_kruskal", {"a", "b", "c"}, {}, nullptr, 3, 0, Compare::same, true},
    {"weighted_columns_t", {"a", "b"}, {}, nullptr, 2, 0, Compare::absolute, true},
    {"weighted_columns_ks", {"a", "b"}, {}, nullptr, 0, 0, Compare::pOnly, true},
    {"weighted_paired_t", {"a", "b"}, {}, "show_paired_differences", 0, 2, Compare::absolute, true},
    {"weighted_repeated_t", {"c", "b"}, {}, "repeated_measures", 2, 0, Compare::absolute, true},
    {"weighted_correlation", {"y"}, {"age"}, nullptr, 1, 0, Compare::estimate, true},
    {"weighted_categories_alone", {"h"}, {}, nullptr, 0, 0, Compare::same, true},
    {"weighted_categories_covariate", {"h"}, {"k"}, nullptr, 0, 0, Compare::same, true},
    {"weighted_categories_recoded", {"h"}, {"age"}, nullptr, 0, 0, Compare::same, true},
    {"weighted_logrank_recoded", {"st"}, {"age"}, nullptr, 0, 0, Compare::same, true},
};

// reporter_data.csv as stored columns of one table, set up as the cases
// need them.
class ReporterTable : public ColumnsFixture
{
public:
    ReporterTable()
    {
        std::ifstream in(OSTREL_TEST_SOURCE_DIR "/fixtures/reporter_data.csv");
        std::string line;
        std::getline(in, line);
        std::vector<std::string> names;
        for (const QString &name : QString::fromStdString(line).split(QLatin1Char(',')))
            names.push_back(QString(name).remove(QLatin1Char('"')).toStdString());
        std::vector<std::vector<double>> values(names.size());
        while (std::getline(in, line)) {
            const QStringList fields = QString::fromStdString(line).split(QLatin1Char(','));
            for (size_t j = 0; j < names.size(); ++j)
                values[j].push_back(fields[qsizetype(j)] == QLatin1String("NA") ? NAN
                                                                                : fields[qsizetype(j)].toDouble());
        }
        for (size_t j = 0; j < names.size(); ++j)
            m_columns[names[j]] = addColumn(values[j], QString::fromStdString(names[j]));
        m_columns["s"]->setContinuous_distribution(1);
        m_columns["big"]->setContinuous_distribution(1);
        m_columns["h"]->setTreat_as_categories(true);
        m_columns["k"]->setTreat_as_categories(true);
        auto *partition = dynamic_cast<DSNumericPartition *>(m_columns["age"]->covariate_partition());
        partition->setPartition_type(2);
        partition->setCustom_interval_cutoffs({10, 20, 30});
        // st is censored where status is 0 or 2; st2 where status is not 1
        // and st2 exceeds 3.
        censor(m_columns["st"], 2, {{"status", 4, 0}, {"status", 4, 2}});
        censor(m_columns["st2"], 1, {{"status", 5, 1}, {"st2", 2, 3}});
    }

    // Weighs the rows by the column w, or not at all.
    void setWeighted(bool weighted)
    {
        table()->setFrequency_weights_column(weighted ? m_columns.at("w") : nullptr);
        table()->setApply_frequency_weights(weighted);
    }

    DSColumnSelection selection(const std::vector<const char *> &names)
    {
        DSColumnSelection selection;
        for (const char *name : names)
            selection.addColumn(m_columns.at(name));
        return selection;
    }

private:
    struct Comparison
    {
        const char *column;
        int op;
        double value;
    };
    static void censor(DSColumn *column, int type, const std::vector<Comparison> &comparisons)
    {
        std::vector<DSPredicatePtr> predicates;
        for (const Comparison &c : comparisons)
            predicates.push_back(DSComparisonPredicate::make(
                DSExpression::forConstantValue(DSPredicateValue::fromString(QString::fromLatin1(c.column))),
                DSPredicateOperatorType(c.op), DSExpression::forConstantValue(DSPredicateValue::fromNumber(c.value))));
        column->setTreat_as_survival_times(true);
        column->setApply_right_censoring(true);
        column->setRight_censoring_predicate(DSCompoundPredicate::make(DSCompoundPredicateType(type), predicates));
    }

    std::map<std::string, DSNumericColumn *> m_columns;
};

struct Answer
{
    QString command;
    double statistic, p;
    double estimate = NAN;  // a correlation's r
};

Answer answerOf(ReporterTable &table, const Case &c)
{
    for (const char *flag : {"show_paired_differences", "repeated_measures"})
        table.table()->setPrimitiveValue(c.flag && !strcmp(flag, c.flag), QString::fromLatin1(flag));
    table.setWeighted(c.weighted);
    table.table()->setPrimitiveValue(qlonglong(c.covariateGraph), QStringLiteral("covariate_graph_type"));
    table.table()->setPrimitiveValue(qlonglong(c.pairedGraph), QStringLiteral("paired_differences_graph_type"));
    const DSColumnSelection columns = table.selection(c.columns), covariates = table.selection(c.covariates);
    DSBottomLineReporterChain chain;
    DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
    if (!reporter)
        return {QString(), NAN, NAN};
    const auto result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
    if (!result)
        return {QString(), NAN, NAN};
    QString command = reporter->REstimationCommandForResult(result.get(), &columns, &covariates);
    const auto *correlation = dynamic_cast<const DSStatisticalTestCorrelation *>(result.get());
    return {command.replace(QLatin1Char('\n'), QStringLiteral("\\n")), result->statisticValue(), result->p_value(),
            correlation ? correlation->correlation() : NAN};
}

TEST(BottomLineR, CommandsReproduceOurStatistics)
{
    ds_columns_test_setup();
    ReporterTable table;
    if (const char *path = std::getenv("OSTREL_WRITE_REPORTER_COMMANDS")) {
        std::ofstream out(path);
        for (const Case &c : cases)
            out << c.name << ';' << answerOf(table, c).command.toStdString() << '\n';
        return;
    }
    std::map<std::string, std::vector<std::string>> expected;
    for (const auto &fields : ds_fixture_lines("reporter_commands.txt"))
        expected[fields.at(0)] = fields;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(expected.count(c.name));
        const auto &r = expected.at(c.name);
        const Answer ours = answerOf(table, c);
        EXPECT_EQ(ours.command.toStdString(), r.at(1));
        const double statistic = std::stod(r.at(2)), p = std::stod(r.at(3));
        if (c.compare == Compare::same) {
            EXPECT_NEAR(ours.statistic, statistic, 1e-9 * std::fabs(statistic));
        } else if (c.compare == Compare::absolute) {
            EXPECT_NEAR(ours.statistic, std::fabs(statistic), 1e-9 * std::fabs(statistic));
        }
        if (c.compare == Compare::estimate) {
            EXPECT_NEAR(ours.estimate, statistic, 1e-12);
        } else {
            EXPECT_NEAR(ours.p, p, 1e-6 * p + 1e-12) << "R's p " << r.at(3);
        }
    }
}

// The SPSS commands of the reporters PSPP implements, run by PSPP on the
// same table, print our statistic (and the chi-square tests our p-value) at
// the digits they print. PSPP's Kolmogorov-Smirnov p-value is asymptotic
// where ours is exact, so there the statistic D is compared.
TEST(BottomLinePspp, SPSSCommandsPrintOurStatistics)
{
    DS_FIND_ORACLE(pspp, "pspp");
    ds_columns_test_setup();
    ReporterTable table;
    struct Printed {
        const char *name;
        const char *statisticRow; // the output line that starts the statistic's cells
        bool hasP;
    };
    const Printed printed[] = {
        {"ks_normal", "Most Extreme Differences,Absolute,", false},
        {"ks_uniform", "Most Extreme Differences,Absolute,", false},
        {"categories_covariate", "Pearson Chi-Square,", true},
    };
    for (const Printed &p : printed) {
        SCOPED_TRACE(p.name);
        const Case &c = *std::find_if(std::begin(cases), std::end(cases),
                                      [&](const Case &each) { return !strcmp(each.name, p.name); });
        for (const char *flag : {"show_paired_differences", "repeated_measures"})
            table.table()->setPrimitiveValue(c.flag && !strcmp(flag, c.flag), QString::fromLatin1(flag));
        const DSColumnSelection columns = table.selection(c.columns), covariates = table.selection(c.covariates);
        DSBottomLineReporterChain chain;
        DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
        ASSERT_TRUE(reporter);
        const auto result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
        ASSERT_TRUE(result);
        const QString command = reporter->SPSSEstimationCommandForResult(result.get(), &columns, &covariates);
        const QString text =
            ds_test_run_pspp(pspp, QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/reporter_data.csv"), command);
        if (text.isNull())
            DS_ORACLE_FAILED("PSPP did not run " + command.toStdString());
        QStringList cells;
        for (const QString &line : text.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String(p.statisticRow)))
                cells = line.mid(qsizetype(strlen(p.statisticRow))).split(QLatin1Char(','));
        ASSERT_FALSE(cells.isEmpty()) << command.toStdString() << "\n" << text.toStdString();
        EXPECT_NEAR(cells[0].toDouble(), result->statisticValue(), ds_test_printed_half_unit(cells[0])) << command.toStdString();
        if (p.hasP) {
            ASSERT_GE(cells.size(), 3);
            EXPECT_NEAR(cells[2].toDouble(), result->p_value(), ds_test_printed_half_unit(cells[2])) << command.toStdString();
        }
    }
}

}  // namespace
