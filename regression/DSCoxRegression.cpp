#include "regression/DSCoxRegression.h"

#include "regression/DSOutcomeVariable.h"

#include <cmath>
#include <limits>

int64_t DSCoxRegression::numberOfCoefficientSetsForOutcome(const DSOutcomeVariable *outcome) const
{
    return outcome->temp_cause_count();
}

void DSCoxRegression::configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows)
{
    const int64_t causes = std::max<int64_t>(outcome->temp_cause_count(), 1);
    const int64_t strata = std::max<int64_t>(outcome->temp_stratum_max_count(), 1);
    if (int64_t(m_failureTimes.size()) < rows * causes) {
        m_failureTimes.resize(size_t(rows * causes));
        m_hazard.resize(size_t(rows * causes));
    }
    m_stratumRows.assign(size_t(strata * causes), 0);
    m_stratumValues.assign(size_t(strata), 0.0);
    m_causeValues.resize(size_t(causes));
    for (int64_t c = 0; c < causes; ++c)
        m_causeValues[size_t(c)] = double(c);
    vrw_set_reg_censoring(record, outcome->censoring_buf());
    vrw_set_reg_strata(record, outcome->stratum_buf());
    if (outcome->doCause()) {
        vrw_set_reg_causes(record, outcome->cause_buf());
        vrw_set_reg_cause_values(record, m_causeValues.data(), uint32_t(causes));
    }
    vrw_set_reg_out_censored_count(record, &m_censorCount);
    vrw_set_reg_out_hazard_function(record, m_failureTimes.data(), m_hazard.data());
    vrw_set_reg_out_failure_time_stratum_counts(record, m_stratumRows.data());
    vrw_set_reg_out_stratum_values(record, m_stratumValues.data(), &m_stratumCount);
    DSRegression::configureVRWRegression(record, outcome, rows);
}

int64_t DSCoxRegression::failureTimeCountForStratum(int64_t stratum, int64_t cause) const
{
    const int64_t i = stratum + cause * m_stratumCount;
    return i >= 0 && i < int64_t(m_stratumRows.size()) ? m_stratumRows[size_t(i)] : 0;
}

int64_t DSCoxRegression::failureTimeOffsetForStratum(int64_t stratum, int64_t cause) const
{
    int64_t offset = 0;
    for (int64_t e = 0; e < cause; ++e)
        for (int64_t s = 0; s < m_stratumCount; ++s)
            offset += failureTimeCountForStratum(s, e);
    for (int64_t s = 0; s < stratum; ++s)
        offset += failureTimeCountForStratum(s, cause);
    return offset;
}

int64_t DSCoxRegression::getFailureTimes(const double **out, int64_t stratum, int64_t cause) const
{
    if (out)
        *out = m_failureTimes.data() + failureTimeOffsetForStratum(stratum, cause);
    return failureTimeCountForStratum(stratum, cause);
}

int64_t DSCoxRegression::getHazardFunction(const double **out, int64_t stratum, int64_t cause) const
{
    if (out)
        *out = m_hazard.data() + failureTimeOffsetForStratum(stratum, cause);
    return failureTimeCountForStratum(stratum, cause);
}

int32_t DSCoxRegression::getStratumValues(const double **out) const
{
    if (out)
        *out = m_stratumValues.data();
    return m_stratumCount;
}

double DSCoxRegression::predictedValue(const DSPredictionQuery &query) const
{
    const DSOutcomeVariable *outcome = query.outcome();
    const int64_t stratum = outcome && outcome->doStratify() ? query.stratum() : 0;
    const int64_t cause = outcome && outcome->doCause() ? query.outcomeCategory : 0;
    const double *times = nullptr;
    const double *hazard = nullptr;
    const int64_t L = getFailureTimes(&times, stratum, cause);
    getHazardFunction(&hazard, stratum, cause);
    // Without a failure time there is no time at which half are expected
    // to have failed.
    if (L <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    const double target = 0.6931471805599453 / std::exp(query.fitted);
    int64_t lo = 0, hi = L - 1, mid = (L - 1) / 2;
    while (hi > lo) {
        if (hazard[mid] > target)
            hi = mid;
        else if (hazard[mid] < target)
            lo = mid + 1;
        else
            break;
        mid = lo + (hi - lo) / 2;
    }
    return times[mid];
}
