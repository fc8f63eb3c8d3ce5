#pragma once

#include "regression/DSRegression.h"

#include <vector>

// Cox proportional hazards, with strata and competing causes: one
// coefficient set per cause; keeps the failure times and baseline
// cumulative hazards of every cause and stratum for the survival pictures
// and predictions. Groups are laid out cause after cause, stratum after
// stratum within a cause, times ascending within a group.
class DSCoxRegression : public DSRegression
{
public:
    QString name() const override { return QStringLiteral("proportional hazards"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 11; }
    QString oddsRatioHeaderName() const override { return QStringLiteral("Haz. Ratio"); }
    QString oddsRatioFigureName() const override { return QStringLiteral("hazard ratio"); }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    int64_t numberOfCoefficientSetsForOutcome(const DSOutcomeVariable *outcome) const override;
    // The median survival time of the query's stratum and cause: the first
    // failure time at which H x exp(f) exceeds ln 2, the last when none
    // does; NaN for a group without failure times.
    double predictedValue(const DSPredictionQuery &query) const override;

    // Position of the group's first failure time, and its count.
    int64_t failureTimeOffsetForStratum(int64_t stratum, int64_t cause) const;
    int64_t failureTimeCountForStratum(int64_t stratum, int64_t cause) const;
    // The group's first failure time (cumulative hazard) into *out when
    // given; answers the group's count.
    int64_t getFailureTimes(const double **out, int64_t stratum, int64_t cause) const;
    int64_t getHazardFunction(const double **out, int64_t stratum, int64_t cause) const;
    int32_t getStratumValues(const double **out) const;
    int32_t stratum_count() const { return m_stratumCount; }
    int64_t censor_count() const { return m_censorCount; }

protected:
    // Sizes and registers the Cox outputs, then the base configuration.
    void configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows) override;

private:
    std::vector<double> m_failureTimes;
    std::vector<double> m_hazard;
    std::vector<int32_t> m_stratumRows;
    std::vector<double> m_stratumValues;
    std::vector<double> m_causeValues;
    int32_t m_stratumCount = 0;
    int64_t m_censorCount = 0;
};
