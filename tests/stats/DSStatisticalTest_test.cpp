// What each test object calls itself and how it words its conclusion, one
// row per kind of result, and the numbers it gives for the cases its callers
// depend on.
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

#include "platform/sterna/sterna.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

using Make = std::function<std::shared_ptr<const DSStatisticalTest>()>;

template <class Test, class... Arguments>
Make make(Arguments... arguments)
{
    return [=] { return std::make_shared<const Test>(arguments...); };
}

// A pair of texts: when significant / when not.
struct Phrase {
    QString significant, notSignificant;
};

struct Wording {
    const char *label;
    Make test;
    QString shortName, name, statisticName, shortStatisticName;
    bool canBeObvious;
    Phrase prefix, infix, suffix, shortExplanation;
};

const QString none;  // a null text: the kind has no such phrase

const Phrase varies{" varies across ", " does not vary across "};
const Phrase empty{"", ""};
const Phrase independence{" are not independent", " are independent"};

const Wording wordings[] = {
    {"correlation, positive", make<DSStatisticalTestCorrelation>(0.5, int64_t(30)), "Correlation test",
     "Fisher Transformation Test", "z", "z", true,
     {"A positive correlation exists between ", "No correlation exists between "}, {" and ", " and "}, empty,
     {"Positive correlation", "No correlation"}},
    {"correlation, negative", make<DSStatisticalTestCorrelation>(-0.5, int64_t(30)), "Correlation test",
     "Fisher Transformation Test", "z", "z", true,
     {"A negative correlation exists between ", "No correlation exists between "}, {" and ", " and "}, empty,
     {"Negative correlation", "No correlation"}},
    {"correlation, perfect", make<DSStatisticalTestCorrelation>(0.9999999999, int64_t(30)), "Correlation test",
     "Fisher Transformation Test", "z", "z", true,
     {"A perfect correlation exists between ", "No correlation exists between "}, {" and ", " and "}, empty,
     {"Perfect correlation", "No correlation"}},
    {"chi-square, df 1", make<DSStatisticalTestChiSquare>(10.0, int64_t(1)), "z-score", "Chi-Square Test", "z", "z",
     true, empty, {" and ", " and "}, independence, {"Not independent", "Independent"}},
    {"chi-square, df 4", make<DSStatisticalTestChiSquare>(10.0, int64_t(4)), "chi-square", "Chi-Square Test",
     "χ²(4)", "χ²", true, empty, {" and ", " and "}, independence, {"Not independent", "Independent"}},
    {"CMH 2 x 2", make<DSStatisticalTestCMH>(3.0, int64_t(2), int64_t(2)), "McNemar", "McNemar Test", "z", "z",
     true, empty, {" and ", " and "}, independence, {"Non-homogeneous margins", "Homogeneous margins"}},
    {"CMH 3 x 2", make<DSStatisticalTestCMH>(3.0, int64_t(3), int64_t(2)), "Cochran's Q", "Cochran's Q Test",
     "χ²(2)", "χ²", true, empty, {" and ", " and "}, independence, {"Non-homogeneous margins", "Homogeneous margins"}},
    {"CMH 2 x 3", make<DSStatisticalTestCMH>(3.0, int64_t(2), int64_t(3)), "Stuart-Maxwell", "Stuart-Maxwell Test",
     "χ²(2)", "χ²", true, empty, {" and ", " and "}, independence, {"Non-homogeneous margins", "Homogeneous margins"}},
    {"CMH 3 x 3", make<DSStatisticalTestCMH>(3.0, int64_t(3), int64_t(3)), "Cochran-Mantel-Haenszel",
     "Cochran-Mantel-Haenszel Test", "χ²(4)", "χ²", true, empty, {" and ", " and "}, independence,
     {"Non-homogeneous margins", "Homogeneous margins"}},
    {"one-sample log-rank", make<DSStatisticalTestOneSampleLogRank>(5.0, int64_t(2)), "Log-rank",
     "One-Sample Log-Rank Test", "χ²(2)", "χ²", true, empty, {" and ", " and "},
     {" departs from a constant hazard rate", " does not depart from a constant hazard rate"},
     {"Non-constant hazard rate", "Constant hazard rate"}},
    {"k-sample log-rank", make<DSStatisticalTestKSampleLogRank>(5.0, int64_t(2)), "Log-rank", "Log-Rank Test",
     "χ²(2)", "χ²", false, {"Hazard rate of ", "Hazard rate of "}, varies, empty,
     {"Unequal hazard rates", "Equal hazard rates"}},
    {"Kruskal-Wallis, two groups", make<DSStatisticalTestKruskalWallis>(5.0, int64_t(1)), "Mann-Whitney",
     "Mann-Whitney Test", "z", "z", false, {"Median ", "Median "}, varies, empty,
     {"Unequal medians", "Equal medians"}},
    {"Kruskal-Wallis, four groups", make<DSStatisticalTestKruskalWallis>(5.0, int64_t(3)), "Kruskal-Wallis",
     "Kruskal-Wallis Test", "χ²(3)", "χ²", false, {"Median ", "Median "}, varies, empty,
     {"Unequal medians", "Equal medians"}},
    {"ANOVA, df1 1", make<DSStatisticalTestANOVA>(5.0, int64_t(1), int64_t(12)), "t-test", "T-Test", "t(12)", "t",
     false, {"Average ", "Average "}, varies, empty, {"Unequal means", "Equal means"}},
    {"ANOVA, df1 3", make<DSStatisticalTestANOVA>(5.0, int64_t(3), int64_t(20)), "ANOVA", "ANOVA Test", "F(3, 20)",
     "F", false, {"Average ", "Average "}, varies, empty, {"Unequal means", "Equal means"}},
    {"repeated measures, df1 1", make<DSStatisticalTestRepeatedMeasuresANOVA>(5.0, int64_t(1), int64_t(12)),
     "Paired t-test", "Paired T-Test", "t(12)", "t", false, {"Average ", "Average "}, varies, empty,
     {"Mean difference is non-zero", "Mean difference is zero"}},
    {"repeated measures, df1 2", make<DSStatisticalTestRepeatedMeasuresANOVA>(5.0, int64_t(2), int64_t(20)),
     "Repeated measures", "Repeated Measures ANOVA Test", "F(2, 20)", "F", false, {"Average ", "Average "}, varies,
     empty, {"Mean difference is non-zero", "Mean difference is zero"}},
    {"Friedman", make<DSStatisticalTestFriedman>(5.0, int64_t(2), int64_t(20)), "Friedman", "Friedman Test",
     "F(2, 20)", "F", false, {"Rank of ", "Rank of "}, varies, empty, {"Unequal ranks", "Equal ranks"}},
    {"two-way ANOVA", make<DSStatisticalTestTwoWayANOVA>(5.0, int64_t(2), int64_t(20)), "Two-way ANOVA",
     "Two-way ANOVA Test", "F(2, 20)", "F", false, {"Average ", "Average "},
     {" is affected by the interaction of ", " is not affected by the interaction of "}, empty,
     {"Interaction detected", "No interaction"}},
    {"Shapiro-Wilk", make<DSStatisticalTestShapiroWilk>(0.8, int64_t(30)), "Shapiro-Wilk", "Shapiro-Wilk Test", "z",
     "z", false, empty, empty,
     {" departs from a normal distribution", " does not depart from a normal distribution"},
     {"Not normally distributed", "Normally distributed"}},
    {"Kolmogorov-Smirnov", make<DSStatisticalTestKolmogorovSmirnov>(0.3, int64_t(30)), "Kolmogorov-Smirnov",
     "Kolmogorov-Smirnov Test", "D", "D", false, empty, {" departs from a ", " does not depart from a "},
     {" distribution", " distribution"}, {none, none}},
    {"k-sample Kolmogorov-Smirnov, df 1", make<DSStatisticalTestKSampleKolmogorovSmirnov>(3.0, int64_t(1)),
     "Kolmogorov-Smirnov", "Kolmogorov-Smirnov Test", "K", "K", false,
     {"The distribution of ", "The distribution of "}, varies, empty,
     {"Unequal distributions", "Equal distributions"}},
    {"k-sample Kolmogorov-Smirnov, df 3", make<DSStatisticalTestKSampleKolmogorovSmirnov>(5.0, int64_t(3)),
     "Kolmogorov-Smirnov", "Kolmogorov-Smirnov Test", "T", "T", false,
     {"The distribution of ", "The distribution of "}, varies, empty,
     {"Unequal distributions", "Equal distributions"}},
    {"signed rank, exact", make<DSStatisticalTestWilcoxonSignedRank>(20.0, int64_t(10)), "Signed-rank",
     "Wilcoxon Signed-Rank Test", "W(10)", "W", false, {"Median difference ", "Median difference "},
     {" of ", " of "}, {" is non-zero", " is zero"},
     {"Median difference is non-zero", "Median difference is zero"}},
    {"signed rank, normal", make<DSStatisticalTestWilcoxonSignedRank>(400.0, int64_t(40)), "Signed-rank",
     "Wilcoxon Signed-Rank Test", "z", "z", false, {"Median difference ", "Median difference "}, {" of ", " of "},
     {" is non-zero", " is zero"}, {"Median difference is non-zero", "Median difference is zero"}},
};

// Texts compare null to null and empty to empty: "none" and "the empty
// string" are different answers.
::testing::AssertionResult sameText(const QString &actual, const QString &expected)
{
    if (actual == expected && actual.isNull() == expected.isNull())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << (actual.isNull() ? "null" : '"' + actual.toStdString() + '"')
                                         << ", expected "
                                         << (expected.isNull() ? "null" : '"' + expected.toStdString() + '"');
}

TEST(DSStatisticalTest, EachKindNamesAndExplainsItself)
{
    for (const Wording &w : wordings) {
        SCOPED_TRACE(w.label);
        const auto test = w.test();
        EXPECT_TRUE(sameText(test->shortName(), w.shortName));
        EXPECT_TRUE(sameText(test->name(), w.name));
        EXPECT_TRUE(sameText(test->statisticName(), w.statisticName));
        EXPECT_TRUE(sameText(test->shortStatisticName(), w.shortStatisticName));
        EXPECT_EQ(test->canBeObvious(), w.canBeObvious);
        EXPECT_TRUE(sameText(test->explanationPrefix(true), w.prefix.significant));
        EXPECT_TRUE(sameText(test->explanationPrefix(false), w.prefix.notSignificant));
        EXPECT_TRUE(sameText(test->explanationInfix(true), w.infix.significant));
        EXPECT_TRUE(sameText(test->explanationInfix(false), w.infix.notSignificant));
        EXPECT_TRUE(sameText(test->explanationSuffix(true), w.suffix.significant));
        EXPECT_TRUE(sameText(test->explanationSuffix(false), w.suffix.notSignificant));
        // Every row's statistic has a p-value below 1: every level above it is
        // significant, a level of 0 never is.
        const double p = test->p_value();
        ASSERT_TRUE(p >= 0 && p < 1) << p;
        EXPECT_TRUE(sameText(test->shortExplanationAtLevel(1), w.shortExplanation.significant));
        EXPECT_TRUE(sameText(test->shortExplanationAtLevel(0), w.shortExplanation.notSignificant));
    }
}

TEST(DSStatisticalTest, SpecialPhrases)
{
    const DSStatisticalTestCorrelation correlation(0.5, 30);
    EXPECT_TRUE(sameText(correlation.adjective(false), none));
    EXPECT_TRUE(sameText(correlation.adjective(true), "positive"));

    const DSStatisticalTestChiSquare spread(20, 6);
    EXPECT_TRUE(sameText(spread.explanationSuffix(true, "days"), " is not evenly distributed (across 7 days)"));
    EXPECT_TRUE(sameText(spread.explanationSuffix(false, "days"), " is evenly distributed (across 7 days)"));
    EXPECT_TRUE(sameText(spread.shortExplanationForCellName("months", 0.05), "Unequal proportions (7 months)"));
    EXPECT_TRUE(sameText(spread.shortExplanationForCellName("months", 1e-6), "Equal proportions (7 months)"));
    // A cell name that looks like a placeholder stays as it is.
    EXPECT_TRUE(sameText(spread.explanationSuffix(true, "%1s"), " is not evenly distributed (across 7 %1s)"));
    EXPECT_EQ(spread.degreesOfFreedom(), 6);

    const DSStatisticalTestKolmogorovSmirnov ks(0.3, 30);
    EXPECT_TRUE(sameText(ks.shortExplanationForDistributionName("normal", 0.05), "Not normally distributed"));
    EXPECT_TRUE(sameText(ks.shortExplanationForDistributionName("uniform", 1e-6), "Uniformly distributed"));
    EXPECT_EQ(DSStatisticalTestKSampleKolmogorovSmirnov(3, 2).degreesOfFreedom(), 2);
}

TEST(DSStatisticalTest, SignificanceNeedsALevelAboveThePValue)
{
    // Three ranks with every sign positive: p = 2 / 8 exactly.
    const DSStatisticalTestWilcoxonSignedRank exact(6, 3);
    EXPECT_EQ(exact.p_value(), 0.25);
    EXPECT_FALSE(exact.isSignificantAtLevel(0.25));
    EXPECT_TRUE(exact.isSignificantAtLevel(std::nextafter(0.25, 1.0)));
    const DSStatisticalTestChiSquare undefined(NAN, 2);
    EXPECT_FALSE(undefined.isSignificantAtLevel(0.05));
    EXPECT_FALSE(undefined.isSignificantAtLevel(1));
    EXPECT_TRUE(sameText(undefined.shortExplanationAtLevel(0.05), "Independent"));
}

TEST(DSStatisticalTest, NumbersOfTheFamilies)
{
    struct Case {
        const char *label;
        Make test;
        double value, p, critical;  // critical at level 0.05
    } cases[] = {
        // One degree of freedom: shown as z, judged as chi-square.
        {"chi-square df 1", make<DSStatisticalTestChiSquare>(3.0, int64_t(1)), std::sqrt(3.0),
         ds_p_value_chi_square(3, 1), 1.959963984540054},
        {"chi-square df 4", make<DSStatisticalTestChiSquare>(3.0, int64_t(4)), 3, 0.5578254003710746,
         9.4877290367811540},
        {"t-test", make<DSStatisticalTestANOVA>(5.0, int64_t(1), int64_t(12)), std::sqrt(5.0), 0.0451153644990943889,
         2.1788128296672289},
        {"ANOVA", make<DSStatisticalTestANOVA>(5.0, int64_t(3), int64_t(20)), 5, 0.0095103374772337983,
         3.0983912121407808},
        {"correlation", make<DSStatisticalTestCorrelation>(-0.5, int64_t(30)), 5.196152422706632 * std::atanh(0.5),
         ds_p_value_normal(5.196152422706632 * std::atanh(0.5), 0), 1.959963984540054},
        {"Shapiro-Wilk", make<DSStatisticalTestShapiroWilk>(0.9, int64_t(30)), ds_shapiro_wilk_z_score(0.9, 30),
         ds_p_value_shapiro_wilk(0.9, 30), 1.6448536269514715},
        {"Kolmogorov-Smirnov", make<DSStatisticalTestKolmogorovSmirnov>(0.3, int64_t(30)), 0.3,
         ds_p_value_kolmogorov_smirnov(0.3, 30), ds_critical_value_kolmogorov_smirnov(0.05, 30)},
        {"two-sample Kolmogorov-Smirnov", make<DSStatisticalTestKSampleKolmogorovSmirnov>(2.25, int64_t(1)), 1.5,
         ds_p_value_kolmogorov_smirnov_k_sample(2.25, 1), 1.3580986393225507},
        // R's continuity correction: 1 off the signed-rank sum.
        {"signed rank, normal", make<DSStatisticalTestWilcoxonSignedRank>(400.0, int64_t(40)),
         399 / std::sqrt(40.0 * 41 * 81 / 6), ds_p_value_normal(399 / std::sqrt(40.0 * 41 * 81 / 6), 0),
         1.959963984540054},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const auto test = c.test();
        EXPECT_NEAR(test->statisticValue(), c.value, 1e-13 * std::fabs(c.value));
        EXPECT_NEAR(test->p_value(), c.p, 1e-13 * c.p);
        EXPECT_NEAR(test->criticalValueAtLevel(0.05), c.critical, 1e-12 * c.critical);
    }
}

TEST(DSStatisticalTest, DensitiesOfTheReferenceDistributions)
{
    // R: dchisq(5, 4), 2 * dt(1.5, 12), df(2, 3, 20), df(0, 2, 20), the
    // chi-square and F modes, 2 * dt(0, 12).
    EXPECT_NEAR(DSStatisticalTestChiSquare(3, 4).pdfAtValue(5), 0.10260624827987350, 1e-15);
    EXPECT_NEAR(DSStatisticalTestChiSquare(3, 5).pdfAtMaximum(), 0.15418032980376928, 1e-15);
    EXPECT_EQ(DSStatisticalTestChiSquare(3, 2).pdfAtMaximum(), 0.5);
    EXPECT_EQ(DSStatisticalTestChiSquare(3, 2).pdfAtValue(0), 0.5);
    EXPECT_NEAR(DSStatisticalTestChiSquare(3, 1).pdfAtValue(1), 2 * 0.24197072451914337, 1e-15);
    EXPECT_NEAR(DSStatisticalTestANOVA(3, 1, 12).pdfAtValue(1.5), 2 * 0.12786572095219556, 1e-14);
    EXPECT_NEAR(DSStatisticalTestANOVA(3, 1, 12).pdfAtMaximum(), 2 * 0.39072630522305729, 1e-14);
    EXPECT_NEAR(DSStatisticalTestANOVA(3, 3, 20).pdfAtValue(2), 0.14877202261762384, 1e-14);
    EXPECT_EQ(DSStatisticalTestANOVA(3, 2, 20).pdfAtValue(0), 1);
    const double mode = (0.5 - 1.0 / 5) / (1.0 / 20 + 0.5);
    EXPECT_NEAR(DSStatisticalTestANOVA(3, 5, 20).pdfAtMaximum(), DSStatisticalTestANOVA(3, 5, 20).pdfAtValue(mode),
                1e-15);
    EXPECT_NEAR(DSStatisticalTestShapiroWilk(0.9, 30).pdfAtValue(1), 0.24197072451914337, 1e-15);
    // D of n = 100 is about sqrt(n) times the limiting density at sqrt(n) D.
    EXPECT_NEAR(DSStatisticalTestKolmogorovSmirnov(0.1, 100).pdfAtValue(0.1), 10 * double(ds_kolmogorov_pdf(1.0L)),
                1e-13);
    EXPECT_NEAR(DSStatisticalTestKSampleKolmogorovSmirnov(2, 1).pdfAtValue(1.2), double(ds_kolmogorov_pdf(1.2L)),
                1e-14);
    EXPECT_NEAR(DSStatisticalTestKSampleKolmogorovSmirnov(2, 3).pdfAtValue(2.5),
                double(ds_kolmogorov_k_pdf(2.5L, 3)), 1e-15);
    // The base scans 200 points between the critical values at 0.9 and 0.1.
    const DSStatisticalTestKSampleKolmogorovSmirnov kiefer(2, 3);
    const double lo = kiefer.criticalValueAtLevel(0.9), hi = kiefer.criticalValueAtLevel(0.1);
    double fine = 0;
    for (int i = 0; i <= 2000; ++i)
        fine = std::max(fine, kiefer.pdfAtValue(lo + (hi - lo) * i / 2000));
    EXPECT_LE(kiefer.pdfAtMaximum(), fine);
    EXPECT_GT(kiefer.pdfAtMaximum(), 0.999 * fine);
    EXPECT_TRUE(std::isnan(DSStatisticalTestKolmogorovSmirnov(0.3, 0).pdfAtMaximum()));
}

TEST(DSStatisticalTest, WilcoxonTableOfThreeRanks)
{
    // The eight signed sums of ranks 1, 2, 3 are -6, -4, -2, 0, 0, 2, 4, 6.
    const DSStatisticalTestWilcoxonSignedRank test(6, 3);
    EXPECT_EQ(test.absoluteSumCounts(), (std::vector<int64_t>{2, 0, 2, 0, 2, 0, 2}));
    EXPECT_EQ(test.p_value(), 0.25);
    EXPECT_EQ(test.statisticValue(), 6);
    // The tail from 4 is 0.5, above 0.3; 5 cannot occur, so 6.
    EXPECT_EQ(test.criticalValueAtLevel(0.3), 6);
    EXPECT_EQ(test.criticalValueAtLevel(0.2), 7);  // even 6 is not enough
    EXPECT_TRUE(std::isnan(test.criticalValueAtLevel(1)));
    EXPECT_EQ(test.pdfAtMaximum(), 2);
    EXPECT_EQ(test.pdfAtValue(3.5), 2);  // the count at 2, as 3 cannot occur
    EXPECT_EQ(test.pdfAtValue(4), 2);
    EXPECT_EQ(test.pdfAtValue(0.5), 2);
    EXPECT_EQ(test.pdfAtValue(7), 0);
    EXPECT_EQ(test.pdfAtValue(-1), 0);
    EXPECT_EQ(DSStatisticalTestWilcoxonSignedRank(7, 3).p_value(), 0);

    const DSStatisticalTestWilcoxonSignedRank normal(400, 40);
    EXPECT_TRUE(normal.absoluteSumCounts().empty());
    EXPECT_TRUE(sameText(normal.statisticName(), "z"));
    EXPECT_TRUE(sameText(DSStatisticalTestWilcoxonSignedRank(400, 39).statisticName(), "W(39)"));
    // Ties or zero differences leave the exact table for z at any n.
    for (const DSStatisticalTestWilcoxonSignedRank &approximate :
         {DSStatisticalTestWilcoxonSignedRank(40.5, 12, 6), DSStatisticalTestWilcoxonSignedRank(40, 12, 0, true)}) {
        EXPECT_TRUE(approximate.absoluteSumCounts().empty());
        EXPECT_TRUE(sameText(approximate.statisticName(), "z"));
        EXPECT_EQ(approximate.criticalValueAtLevel(0.05), ds_critical_value_z_score(0.05));
    }
    EXPECT_EQ(DSStatisticalTestWilcoxonSignedRank(0, 40).statisticValue(), 0);  // a negative z shows as 0

    const DSStatisticalTestWilcoxonSignedRank nothing(0, 0);
    EXPECT_TRUE(std::isnan(nothing.p_value()));
    EXPECT_TRUE(std::isnan(nothing.criticalValueAtLevel(0.05)));
}

}  // namespace
