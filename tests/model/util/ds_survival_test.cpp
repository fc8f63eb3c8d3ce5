// Nelson-Aalen survival steps and the log-rank chi-square against R's
// survival package (fixtures/make_survival.R, fixtures/survival.txt).
#include "../../stats/fixture_lines.h"

#include "model/util/ds_survival.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

struct Sample
{
    std::vector<double> times, weights, censored, groups;

    // Rows by ascending time, ties in row order, as a column's sorted
    // values hand them over.
    ds_survival_rows rows() const
    {
        std::vector<size_t> order(times.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return times[a] < times[b]; });
        ds_survival_rows rows;
        for (size_t i : order)
            rows.push_back({times[i], int64_t(weights[i]), groups.empty() ? 0 : int32_t(groups[i]), censored[i] != 0});
        return rows;
    }
};

Sample sampleOf(const std::vector<std::string> &fields)
{
    return {ds_fixture_list<double>(fields.at(2)), ds_fixture_list<double>(fields.at(3)),
            ds_fixture_list<double>(fields.at(4)), {}};
}

void expectClose(double ours, double r, const char *what, size_t i)
{
    EXPECT_NEAR(ours, r, 1e-9 * std::max(1.0, std::fabs(r))) << what << " at point " << i;
}

TEST(DSSurvival, ThreeEventTimes)
{
    const ds_survival_rows rows = {{1, 1, 0, false}, {2, 1, 0, false}, {3, 1, 0, false}};
    int64_t risk = 0, points = 0, events = 0;
    ASSERT_TRUE(ds_survival_risk_set(rows, &risk, &points, &events));
    EXPECT_EQ(risk, 3);
    EXPECT_EQ(points, 3);
    EXPECT_EQ(events, 3);
    const std::vector<double> times = ds_survival_times(rows);
    ASSERT_EQ(times, (std::vector<double>{1, 2, 3}));
    const auto steps = ds_survival_function(rows, times, risk);
    const double hazard[] = {1.0 / 3, 5.0 / 6, 11.0 / 6}, survival[] = {0.7165, 0.4346, 0.1599};
    const int64_t atRisk[] = {3, 2, 1};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(steps[i].cumulative_hazard, hazard[i], 1e-15);
        EXPECT_NEAR(steps[i].survival, survival[i], 5e-5);
        EXPECT_EQ(steps[i].at_risk, atRisk[i]);
        EXPECT_EQ(steps[i].events, 1);
    }
}

// Group 0: events at 1 and 2, censored at 3; group 1: censored at 2. The
// last time censored is the last point, with no event and the hazard
// unchanged, and one event time fewer than points. The row censored at
// group 0's event time is at risk there in its own group.
TEST(DSSurvival, CensoredLastTimeAndSharedPoints)
{
    const ds_survival_rows rows = {{1, 1, 0, false}, {2, 1, 1, true}, {2, 1, 0, false}, {3, 1, 0, true}};
    int64_t risk = 0, points = 0, events = 0;
    ds_survival_risk_set(rows, &risk, &points, &events);
    EXPECT_EQ(points, 3);
    EXPECT_EQ(events, 2);
    const auto steps = ds_survival_function(rows, ds_survival_times(rows), risk);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[2].events, 0);
    EXPECT_EQ(steps[2].cumulative_hazard, steps[1].cumulative_hazard);

    int64_t censoredCounts[2], eventCounts[2];
    const ds_multiple_survival_s groups = ds_multiple_survival_functions(rows, 2, censoredCounts, eventCounts);
    ASSERT_EQ(groups.times, (std::vector<double>{1, 2, 3}));
    const ds_survival_s &groupOneAtTwo = groups.steps[3 + 1];
    EXPECT_EQ(groupOneAtTwo.at_risk, 1) << "the censored row counts at its own time";
    EXPECT_EQ(groupOneAtTwo.events, 0);
    EXPECT_EQ(censoredCounts[0], 3) << "points up to its last time";
    EXPECT_EQ(eventCounts[0], 2) << "points up to its last event";
    EXPECT_EQ(censoredCounts[1], 2);
    EXPECT_EQ(eventCounts[1], 0);
}

TEST(DSSurvival, NelsonAalenStepsEqualSurvfit)
{
    int cases = 0;
    for (const auto &fields : ds_fixture_lines("survival.txt")) {
        if (fields.at(0) != "surv")
            continue;
        ++cases;
        SCOPED_TRACE(fields.at(1));
        const ds_survival_rows rows = sampleOf(fields).rows();
        int64_t risk = 0, points = 0, events = 0;
        ASSERT_TRUE(ds_survival_risk_set(rows, &risk, &points, &events));
        const std::vector<double> times = ds_survival_times(rows);
        const auto steps = ds_survival_function(rows, times, risk);
        const auto rTimes = ds_fixture_list<double>(fields.at(5)), rRisk = ds_fixture_list<double>(fields.at(6)),
                   rEvents = ds_fixture_list<double>(fields.at(7)), rSurv = ds_fixture_list<double>(fields.at(8)),
                   rHazard = ds_fixture_list<double>(fields.at(9)), rVariance = ds_fixture_list<double>(fields.at(10));
        ASSERT_EQ(times, rTimes);
        ASSERT_EQ(int64_t(times.size()), points);
        for (size_t i = 0; i < times.size(); ++i) {
            EXPECT_EQ(double(steps[i].at_risk), rRisk[i]) << i;
            EXPECT_EQ(double(steps[i].events), rEvents[i]) << i;
            expectClose(steps[i].survival, rSurv[i], "survival", i);
            expectClose(steps[i].cumulative_hazard, rHazard[i], "cumulative hazard", i);
            expectClose(steps[i].hazard_variance, rVariance[i], "hazard variance", i);
        }
    }
    EXPECT_EQ(cases, 3);
}

// Both ways of forming the groups' steps (one function per group on the
// shared times, or all groups in one pass) give survdiff's chi-square.
TEST(DSSurvival, LogRankEqualsSurvdiff)
{
    int cases = 0;
    for (const auto &fields : ds_fixture_lines("survival.txt")) {
        if (fields.at(0) != "logrank")
            continue;
        ++cases;
        SCOPED_TRACE(fields.at(1));
        Sample sample = sampleOf(fields);
        sample.groups = ds_fixture_list<double>(fields.at(5));
        const double rChisq = std::stod(fields.at(6));
        const int64_t rDf = std::stoll(fields.at(7));
        const int64_t g = 3;

        const ds_multiple_survival_s together = ds_multiple_survival_functions(sample.rows(), g, nullptr, nullptr);
        int64_t df = 0;
        const int64_t m = int64_t(together.times.size());
        EXPECT_NEAR(ds_logrank_chisq(together.steps.data(), m, g, &df), rChisq, 1e-9 * rChisq);
        EXPECT_EQ(df, rDf);

        std::vector<double> shared;
        std::vector<ds_survival_rows> byGroup(g);
        for (const ds_survival_row_s &row : sample.rows())
            byGroup[size_t(row.group)].push_back(row);
        for (const auto &rows : byGroup) {
            const auto times = ds_survival_times(rows);
            shared.insert(shared.end(), times.begin(), times.end());
        }
        std::sort(shared.begin(), shared.end());
        shared.erase(std::unique(shared.begin(), shared.end()), shared.end());
        std::vector<ds_survival_s> steps;
        for (const auto &rows : byGroup) {
            int64_t risk = 0, points = 0, events = 0;
            ds_survival_risk_set(rows, &risk, &points, &events);
            const auto function = ds_survival_function(rows, shared, risk);
            steps.insert(steps.end(), function.begin(), function.end());
        }
        EXPECT_NEAR(ds_logrank_chisq(steps.data(), int64_t(shared.size()), g, &df), rChisq, 1e-9 * rChisq);
        EXPECT_EQ(df, rDf);
    }
    EXPECT_EQ(cases, 3);
}

// Groups with event times 1, 2, 3 and 4, 5, 6: U = 1.85, V = 0.6775.
TEST(DSSurvival, TwoGroupLogRank)
{
    ds_survival_rows rows;
    for (int t = 1; t <= 6; ++t)
        rows.push_back({double(t), 1, t <= 3 ? 0 : 1, false});
    const ds_multiple_survival_s groups = ds_multiple_survival_functions(rows, 2, nullptr, nullptr);
    int64_t df = 0;
    const double chisq = ds_logrank_chisq(groups.steps.data(), int64_t(groups.times.size()), 2, &df);
    EXPECT_NEAR(chisq, 1.85 * 1.85 / 0.6775, 1e-12);
    EXPECT_NEAR(chisq, 5.0517, 5e-5);
    EXPECT_EQ(df, 1);
}

TEST(DSSurvival, LogRankWithoutTwoGroupsIsNaN)
{
    const ds_survival_rows rows = {{1, 1, 0, false}, {2, 1, 0, false}, {3, 1, 2, true}};
    struct Case
    {
        const char *name;
        int64_t groups;
    };
    for (const Case &c : {Case{"one group", 1}, Case{"only one of two has rows", 2}, Case{"no groups", 0}}) {
        ds_survival_rows used;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(used),
                     [&](const ds_survival_row_s &row) { return row.group < c.groups; });
        const ds_multiple_survival_s groups = ds_multiple_survival_functions(used, c.groups, nullptr, nullptr);
        int64_t df = 7;
        EXPECT_TRUE(std::isnan(ds_logrank_chisq(groups.steps.data(), int64_t(groups.times.size()), c.groups, &df)))
            << c.name;
        EXPECT_EQ(df, 0) << c.name;
    }
}

} // namespace
