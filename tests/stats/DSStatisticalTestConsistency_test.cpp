// For every kind of test object, a result is significant at a level exactly
// when its statistic lies beyond the critical value at that level: 1,000
// random results per kind, drawn mostly from the null distribution so that
// p-values and levels are close calls. A one-sided critical value against a
// two-sided p-value (or a statistic on another scale than its critical
// value) fails here. Then the signed-rank p-values against R.
#include "stats/DSStatisticalTestANOVA.h"
#include "stats/DSStatisticalTestCMH.h"
#include "stats/DSStatisticalTestChiSquare.h"
#include "stats/DSStatisticalTestCorrelation.h"
#include "stats/DSStatisticalTestFriedman.h"
#include "stats/DSStatisticalTestKSampleKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestKSampleLogRank.h"
#include "stats/DSStatisticalTestKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestKruskalWallis.h"
#include "stats/DSStatisticalTestOneSampleLogRank.h"
#include "stats/DSStatisticalTestRepeatedMeasuresANOVA.h"
#include "stats/DSStatisticalTestShapiroWilk.h"
#include "stats/DSStatisticalTestTwoWayANOVA.h"
#include "stats/DSStatisticalTestWilcoxonSignedRank.h"
#include "model/util/ds_signed_rank.h"

#include "platform/sterna/sterna.h"
#include "tests/platform/sterna/fixture_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <random>

namespace {

using Random = std::mt19937_64;
using Draw = std::function<std::shared_ptr<const DSStatisticalTest>(Random &)>;

double uniform(Random &random, double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(random);
}

int64_t between(Random &random, int64_t lo, int64_t hi)
{
    return std::uniform_int_distribution<int64_t>(lo, hi)(random);
}

// Mostly a p-value spread evenly over (0, 1), so that the statistic drawn
// with it comes from the null distribution; now and then a tiny one.
double nullTail(Random &random)
{
    return uniform(random, 0, 1) < 0.9 ? uniform(random, 1e-6, 1) : std::pow(10.0, -uniform(random, 6, 30));
}

template <class Test>
Draw chiSquareKind()
{
    return [](Random &random) {
        const int64_t df = between(random, 1, 30);
        return std::make_shared<const Test>(ds_critical_value_chi_square(nullTail(random), df), df);
    };
}

template <class Test>
Draw fKind()
{
    return [](Random &random) {
        const int64_t df1 = between(random, 1, 12), df2 = between(random, 1, 300);
        return std::make_shared<const Test>(ds_critical_value_f(nullTail(random), df1, df2), df1, df2);
    };
}

// The W of n observations with the given p-value, by bisection (p grows with W).
double shapiroWilkWithPValue(double p, int64_t n)
{
    double lo = 1e-6, hi = 1;
    for (int i = 0; i < 200 && lo < hi; ++i) {
        const double mid = (lo + hi) / 2;
        (ds_p_value_shapiro_wilk(mid, n) < p ? lo : hi) = mid;
    }
    return hi;
}

struct Kind {
    const char *name;
    Draw draw;
    // The exact signed-rank statistic is a whole sum, and the critical value
    // is the smallest significant sum: "beyond" there means "at or above".
    bool beyondIncludesTheCriticalValue = false;
};

const Kind kinds[] = {
    {"Correlation",
     [](Random &random) {
         const int64_t n = between(random, 4, 2000);
         const double r = uniform(random, 0, 1) < 0.8
                              ? std::tanh(ds_critical_value_z_score(nullTail(random)) / std::sqrt(double(n - 3)))
                              : uniform(random, -1, 1);
         return std::make_shared<const DSStatisticalTestCorrelation>(uniform(random, 0, 1) < 0.5 ? r : -r, n);
     }},
    {"ChiSquare", chiSquareKind<DSStatisticalTestChiSquare>()},
    {"CMH",
     [](Random &random) {
         const int64_t t = between(random, 2, 6), o = between(random, 2, 6);
         return std::make_shared<const DSStatisticalTestCMH>(
             ds_critical_value_chi_square(nullTail(random), (t - 1) * (o - 1)), t, o);
     }},
    {"OneSampleLogRank", chiSquareKind<DSStatisticalTestOneSampleLogRank>()},
    {"KSampleLogRank", chiSquareKind<DSStatisticalTestKSampleLogRank>()},
    {"KruskalWallis", chiSquareKind<DSStatisticalTestKruskalWallis>()},
    {"ANOVA", fKind<DSStatisticalTestANOVA>()},
    {"RepeatedMeasuresANOVA", fKind<DSStatisticalTestRepeatedMeasuresANOVA>()},
    {"Friedman", fKind<DSStatisticalTestFriedman>()},
    {"TwoWayANOVA", fKind<DSStatisticalTestTwoWayANOVA>()},
    {"ShapiroWilk",
     [](Random &random) {
         const int64_t n = between(random, 3, 5000);
         const double w = uniform(random, 0, 1) < 0.8 ? shapiroWilkWithPValue(nullTail(random), n)
                                                      : uniform(random, 0.75, 1);
         return std::make_shared<const DSStatisticalTestShapiroWilk>(w, n);
     }},
    {"KolmogorovSmirnov",
     [](Random &random) {
         const int64_t n = uniform(random, 0, 1) < 0.7 ? between(random, 1, 200) : between(random, 201, 200000);
         const double d = uniform(random, 0, 1) < 0.8 ? ds_critical_value_kolmogorov_smirnov(nullTail(random), n)
                                                      : uniform(random, 0, 1);
         return std::make_shared<const DSStatisticalTestKolmogorovSmirnov>(d, n);
     }},
    {"KSampleKolmogorovSmirnov",
     [](Random &random) {
         const int64_t df = between(random, 1, 15);
         return std::make_shared<const DSStatisticalTestKSampleKolmogorovSmirnov>(
             ds_critical_value_kolmogorov_smirnov_k_sample(nullTail(random), double(df)), df);
     }},
    {"WilcoxonSignedRank",
     [](Random &random) {
         const int64_t n = between(random, 1, 80);
         const int64_t largest = n * (n + 1) / 2;
         // Exact sums share the parity of n (n + 1) / 2.
         const double s = n < 40 ? double(largest - 2 * between(random, 0, largest / 2)) : uniform(random, 1, largest);
         return std::make_shared<const DSStatisticalTestWilcoxonSignedRank>(s, n);
     },
     true},
    {"WilcoxonSignedRank with ties or zeros",
     [](Random &random) {
         const int64_t n = between(random, 2, 80);
         const double ties = 6 * double(between(random, 0, n / 2));  // pairs tied
         const bool zeros = ties == 0 || uniform(random, 0, 1) < 0.5;
         const double s = 0.5 * double(between(random, 0, n * (n + 1)));
         return std::make_shared<const DSStatisticalTestWilcoxonSignedRank>(s, n, ties, zeros);
     },
     true},
};

TEST(DSStatisticalTestConsistency, SignificantExactlyBeyondTheCriticalValue)
{
    for (const Kind &kind : kinds) {
        Random random(20240609);
        int significant = 0, mismatches = 0;
        for (int i = 0; i < 1000; ++i) {
            const auto test = kind.draw(random);
            const double level = uniform(random, 0, 1) < 0.8 ? uniform(random, 1e-4, 0.5) : uniform(random, 1e-8, 1e-4);
            const double statistic = test->statisticValue(), critical = test->criticalValueAtLevel(level);
            const bool beyond = kind.beyondIncludesTheCriticalValue ? statistic >= critical : statistic > critical;
            const bool isSignificant = test->isSignificantAtLevel(level);
            significant += isSignificant;
            if (isSignificant != beyond && ++mismatches <= 5)
                ADD_FAILURE() << kind.name << " #" << i << ": statistic " << statistic << ", critical value "
                              << critical << ", p-value " << test->p_value() << ", level " << level;
        }
        EXPECT_EQ(mismatches, 0) << kind.name;
        // Both answers occur often, so the agreement means something.
        EXPECT_GT(significant, 150) << kind.name;
        EXPECT_LT(significant, 850) << kind.name;
    }
}

TEST(DSStatisticalTestConsistency, ExactSignedRankPValuesAgreeWithRWilcoxTest)
{
    for (const FixtureRow &row : readFixture("wilcoxon.csv")) {
        const auto n = int64_t(row.number("n"));
        const double v = row.number("v");
        const double s = std::fabs(2 * v - double(n * (n + 1) / 2));
        const DSStatisticalTestWilcoxonSignedRank test(s, n);
        EXPECT_TRUE(closeRelative(test.p_value(), row.number("p"), 1e-13))
            << "line " << row.line << ": n " << n << ", V " << v;
    }
}

// Random paired samples of 5 to 500 pairs, with and without ties and zero
// differences (fixtures/make_wilcoxon_paired.R): ranked here, tested here,
// against R's wilcox.test(paired = TRUE). Where our test is exact (below 40
// differences, no ties, no zeros) so is R's; elsewhere ours is the normal
// approximation, which R gives with exact = FALSE.
TEST(DSStatisticalTestConsistency, SignedRankOfPairedSamplesAgreesWithRWilcoxTest)
{
    std::map<int, std::vector<double>> differences;
    for (const FixtureRow &row : readFixture("wilcoxon_paired_data.csv"))
        differences[int(row.number("sample"))].push_back(row.number("difference"));
    int exact = 0, approximate = 0;
    for (const FixtureRow &row : readFixture("wilcoxon_paired.csv")) {
        const std::vector<double> &d = differences[int(row.number("sample"))];
        ASSERT_EQ(double(d.size()), row.number("pairs"));
        const ds_signed_rank_s rank = ds_signed_rank(d.data(), nullptr, int64_t(d.size()));
        const DSStatisticalTestWilcoxonSignedRank test(rank.sum, rank.count, rank.ties, rank.zeros > 0);
        // R's V, the sum of the positive ranks: |2 V - n (n + 1) / 2| = s.
        const double n = double(rank.count);
        EXPECT_EQ(std::fabs(2 * row.number("v") - n * (n + 1) / 2), rank.sum) << "sample " << row.text("sample");
        const bool isExact = !test.absoluteSumCounts().empty();
        if (isExact) {
            EXPECT_EQ(row.number("default_exact"), 1) << "sample " << row.text("sample");
        }
        const double expected = row.number(isExact ? "default_p" : "normal_p");
        EXPECT_TRUE(closeRelative(test.p_value(), expected, isExact ? 1e-13 : 1e-10))
            << "sample " << row.text("sample") << ", " << rank.count << " ranked, ties " << rank.ties << ", zeros "
            << rank.zeros;
        ++(isExact ? exact : approximate);
    }
    EXPECT_GT(exact, 5);
    EXPECT_GT(approximate, 25);
}

}  // namespace
