#pragma once
// Survival functions with right censoring (Nelson-Aalen steps) and the
// log-rank test, over the used rows of a column sorted by time.

#include <cstdint>
#include <vector>

// One step of a survival function. Counts are weighted; they are 64-bit and
// their squares are taken in double, so large tables neither wrap nor lose
// the variance.
struct ds_survival_s {
    double survival;           // exp(-cumulative_hazard)
    double cumulative_hazard;  // sum over time points so far of events / at risk
    double hazard_variance;    // sum over the same points of events / at risk^2
    int64_t events;            // weight of uncensored rows at the time point
    int64_t at_risk;           // weight of rows whose time is at or after it
};

// One used row: its time, frequency weight, whether its time is a censoring
// time, and its group (0 for a single column).
struct ds_survival_row_s {
    double time;
    int64_t weight;
    int32_t group;
    bool censored;
};

// Rows by ascending time; rows of equal time form one time group.
using ds_survival_rows = std::vector<ds_survival_row_s>;

// The total weight of the rows, the number of time points (each time group
// with an uncensored row, and the last time group always) and the number of
// event times (time groups with an uncensored row). False, with the out
// values 0, when there are no rows.
bool ds_survival_risk_set(const ds_survival_rows &rows, int64_t *risk_set, int64_t *time_points,
                          int64_t *event_times);

// The time points of the rows, ascending (empty without rows).
std::vector<double> ds_survival_times(const ds_survival_rows &rows);

// One step per time of times (ascending, holding the rows' own time points),
// starting from risk_set at risk: events are the uncensored weight at the
// time, at risk the weight of rows at or after it. Times past the last row
// get events 0 and at risk 0 with the hazard unchanged.
std::vector<ds_survival_s> ds_survival_function(const ds_survival_rows &rows, const std::vector<double> &times,
                                                int64_t risk_set);

// The survival functions of groups 0 to groups - 1 (rows of other groups are
// left out) on their shared time points: times at which some group has an
// event or some group has its last row, and the last time. Steps are stored
// group by group, step (g, t) at g x times.size() + t. Per group, when the
// arrays are given: uncensored_counts[g] the number of time points up to its
// last event time, censored_counts[g] up to its last time.
struct ds_multiple_survival_s {
    std::vector<double> times;
    std::vector<ds_survival_s> steps;
};
ds_multiple_survival_s ds_multiple_survival_functions(const ds_survival_rows &rows, int64_t groups,
                                                      int64_t *censored_counts, int64_t *uncensored_counts);

// The log-rank chi-square of groups g whose steps (group by group, m time
// points each) share their times, over the groups at risk at the first time
// point (the last of them left out of the score); *df its degrees of
// freedom. NaN with df 0 when fewer than two groups are at risk at the first
// time point or the variance matrix is singular.
double ds_logrank_chisq(const ds_survival_s *steps, int64_t m, int64_t g, int64_t *df);
