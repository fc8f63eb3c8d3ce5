#include "model/util/ds_survival.h"

#include "model/util/ds_contingency.h"

#include <cblas.h>

#include <cmath>
#include <limits>

namespace {

// The rows [first, end) of one time group starting at first.
int64_t timeGroupEnd(const ds_survival_rows &rows, int64_t first)
{
    int64_t end = first + 1;
    while (end < int64_t(rows.size()) && rows[size_t(end)].time == rows[size_t(first)].time)
        ++end;
    return end;
}

bool hasEvent(const ds_survival_rows &rows, int64_t first, int64_t end)
{
    for (int64_t i = first; i < end; ++i)
        if (!rows[size_t(i)].censored)
            return true;
    return false;
}

// Moves a step on by one time point with events of at_risk.
ds_survival_s nextStep(double hazard, double variance, int64_t events, int64_t at_risk)
{
    if (at_risk > 0) {
        const double n = double(at_risk);
        hazard += double(events) / n;
        variance += double(events) / (n * n);
    }
    return {std::exp(-hazard), hazard, variance, events, at_risk};
}

// U'V^-1 U for the symmetric k x k matrix V (column-major, inverted in
// place); NaN when V cannot be inverted.
double quadraticForm(std::vector<double> &v, const std::vector<double> &u, int64_t k)
{
    const int64_t length = ds_dgetri_workspace_size(k);
    std::vector<double> workspace(static_cast<size_t>(length));
    std::vector<int32_t> pivots(static_cast<size_t>(k));
    if (ds_invert_matrix(v.data(), k, k, pivots.data(), workspace.data(), length) != 0)
        return std::numeric_limits<double>::quiet_NaN();
    std::vector<double> y(static_cast<size_t>(k));
    cblas_dsymv(CblasColMajor, CblasUpper, int(k), 1.0, v.data(), int(k), u.data(), 1, 0.0, y.data(), 1);
    return cblas_ddot(int(k), y.data(), 1, u.data(), 1);
}

} // namespace

bool ds_survival_risk_set(const ds_survival_rows &rows, int64_t *risk_set, int64_t *time_points,
                          int64_t *event_times)
{
    int64_t total = 0, points = 0, events = 0;
    const int64_t n = int64_t(rows.size());
    for (int64_t first = 0; first < n;) {
        const int64_t end = timeGroupEnd(rows, first);
        for (int64_t i = first; i < end; ++i)
            total += rows[size_t(i)].weight;
        const bool event = hasEvent(rows, first, end);
        events += event;
        points += event || end == n;
        first = end;
    }
    *risk_set = total;
    *time_points = points;
    *event_times = events;
    return n > 0;
}

std::vector<double> ds_survival_times(const ds_survival_rows &rows)
{
    std::vector<double> times;
    const int64_t n = int64_t(rows.size());
    for (int64_t first = 0; first < n;) {
        const int64_t end = timeGroupEnd(rows, first);
        if (end == n || hasEvent(rows, first, end))
            times.push_back(rows[size_t(first)].time);
        first = end;
    }
    return times;
}

std::vector<ds_survival_s> ds_survival_function(const ds_survival_rows &rows, const std::vector<double> &times,
                                                int64_t risk_set)
{
    std::vector<ds_survival_s> steps;
    steps.reserve(times.size());
    double hazard = 0, variance = 0;
    int64_t at_risk = risk_set;
    size_t i = 0;
    for (double t : times) {
        for (; i < rows.size() && rows[i].time < t; ++i)
            at_risk -= rows[i].weight;
        int64_t events = 0;
        for (size_t j = i; j < rows.size() && rows[j].time == t; ++j)
            if (!rows[j].censored)
                events += rows[j].weight;
        const ds_survival_s step = nextStep(hazard, variance, events, i < rows.size() ? at_risk : 0);
        hazard = step.cumulative_hazard;
        variance = step.hazard_variance;
        steps.push_back(step);
    }
    return steps;
}

ds_multiple_survival_s ds_multiple_survival_functions(const ds_survival_rows &rows, int64_t groups,
                                                      int64_t *censored_counts, int64_t *uncensored_counts)
{
    ds_multiple_survival_s result;
    if (groups <= 0)
        return result;
    const size_t g = size_t(groups);
    ds_survival_rows used;
    std::vector<int64_t> atRisk(g, 0), lastRow(g, -1);
    for (const ds_survival_row_s &row : rows)
        if (row.group >= 0 && row.group < groups) {
            atRisk[size_t(row.group)] += row.weight;
            lastRow[size_t(row.group)] = int64_t(used.size());
            used.push_back(row);
        }

    // Per group and time point: events and the weight at risk before the
    // time group leaves.
    std::vector<std::vector<ds_survival_s>> byGroup(g);
    std::vector<double> hazard(g, 0), variance(g, 0);
    std::vector<int64_t> events(g), leaving(g), lastEventPoint(g, 0), lastPoint(g, 0);
    std::vector<char> eventHere(g);
    const int64_t n = int64_t(used.size());
    for (int64_t first = 0; first < n;) {
        const int64_t end = timeGroupEnd(used, first);
        std::fill(events.begin(), events.end(), 0);
        std::fill(leaving.begin(), leaving.end(), 0);
        std::fill(eventHere.begin(), eventHere.end(), 0);
        bool point = end == n;
        for (int64_t i = first; i < end; ++i) {
            const ds_survival_row_s &row = used[size_t(i)];
            leaving[size_t(row.group)] += row.weight;
            if (!row.censored) {
                events[size_t(row.group)] += row.weight;
                eventHere[size_t(row.group)] = 1;
            }
            point = point || !row.censored || lastRow[size_t(row.group)] == i;
        }
        if (point) {
            result.times.push_back(used[size_t(first)].time);
            const int64_t count = int64_t(result.times.size());
            for (size_t k = 0; k < g; ++k) {
                const ds_survival_s step = nextStep(hazard[k], variance[k], events[k], atRisk[k]);
                hazard[k] = step.cumulative_hazard;
                variance[k] = step.hazard_variance;
                byGroup[k].push_back(step);
                if (eventHere[k])
                    lastEventPoint[k] = count;
                if (lastRow[k] >= first && lastRow[k] < end)
                    lastPoint[k] = count;
            }
        }
        for (size_t k = 0; k < g; ++k)
            atRisk[k] -= leaving[k];
        first = end;
    }
    for (auto &steps : byGroup)
        result.steps.insert(result.steps.end(), steps.begin(), steps.end());
    for (size_t k = 0; k < g; ++k) {
        if (censored_counts)
            censored_counts[k] = lastPoint[k];
        if (uncensored_counts)
            uncensored_counts[k] = lastEventPoint[k];
    }
    return result;
}

double ds_logrank_chisq(const ds_survival_s *steps, int64_t m, int64_t g, int64_t *df)
{
    *df = 0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (m <= 0 || g <= 0)
        return nan;
    std::vector<int64_t> active;
    for (int64_t k = 0; k < g; ++k)
        if (steps[k * m].at_risk != 0)
            active.push_back(k);
    if (active.size() < 2)
        return nan;
    const int64_t p = int64_t(active.size()) - 1;
    std::vector<double> u(size_t(p), 0), v(size_t(p * p), 0);
    for (int64_t t = 0; t < m; ++t) {
        double n = 0, d = 0;
        for (int64_t k = 0; k < g; ++k) {
            n += double(steps[k * m + t].at_risk);
            d += double(steps[k * m + t].events);
        }
        if (n <= 0)
            continue;
        const double f = d < 2 ? 1 : (n - d) / (n - 1);
        for (int64_t a = 0; a < p; ++a) {
            const ds_survival_s &sa = steps[active[size_t(a)] * m + t];
            const double ca = double(sa.at_risk) / n;
            u[size_t(a)] += double(sa.events) - d * ca;
            v[size_t(a * p + a)] += d * (1 - ca) * ca * f;
            for (int64_t b = 0; b < p; ++b)
                if (b != a)
                    v[size_t(b * p + a)] -= d * double(steps[active[size_t(b)] * m + t].at_risk) * ca / n * f;
        }
    }
    const double chisq = quadraticForm(v, u, p);
    if (std::isnan(chisq))
        return nan;
    *df = p;
    return chisq;
}
