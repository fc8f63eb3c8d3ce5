#pragma once

#include "model/DSError.h"
#include "model/DSRange.h"
#include "regression/DSRegressionEstimate.h"
#include "varrow/varrow.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class DSExplanatoryVariable;
class DSOutcomeVariable;
class DSPlatformNumberFormatter;
class DSPrediction;
class DSRegressionModel;
class DSRegressionPostEstimator;
struct DSPredictionOverride;

// Outcomes of a regression run.
enum DSRegressionError : int64_t {
    DSRegressionErrorNone = 0,
    DSRegressionErrorNothingToEstimate = 1,
    DSRegressionErrorTooFewObservations = 2, // reserved for the error picture
    DSRegressionErrorNoData = 3,
    DSRegressionErrorTooFewInstruments = 4, // reserved for the error picture
    DSRegressionErrorRedundantRegressors = 5,
    DSRegressionErrorOutOfMemory = 6,
    DSRegressionErrorNoConvergence = 7,
    DSRegressionErrorKernelPrograms = 8,
    DSRegressionErrorOther = 9,
    DSRegressionErrorSeparation = 10,
};

// How coefficients are tested: bit 1 t with df degrees of freedom, bit 2
// normal; the outcome adds 16 while it shows odds ratios.
enum DSCoefficientDistribution : int64_t {
    DSCoefficientDistributionT = 1,
    DSCoefficientDistributionNormal = 2,
    DSCoefficientDistributionOddsRatios = 16,
};

// One question a prediction puts to the fitted regression of its outcome:
// the fitted value f = x'b of the coefficient set in question, the outcome
// category k (a position among the outcome's categories, or a Cox cause),
// the change of one variable that the response pictures sweep and, for
// ranges, the regressor row vector x under that change (the model's
// included regressors). The prediction gives the outcome and the stratum.
struct DSPredictionQuery {
    const DSPrediction *prediction = nullptr;
    double fitted = std::numeric_limits<double>::quiet_NaN();
    int64_t outcomeCategory = 0;
    const DSPredictionOverride *change = nullptr; // none: no change
    const double *row = nullptr;
    int64_t length = 0;

    // The prediction's outcome (null without) and stratum.
    const DSOutcomeVariable *outcome() const;
    int64_t stratum() const;
};

// One fit of one outcome: the base of the model classes. The factory makes
// the class an outcome's model codes select; an unrun instance answers the
// class-level questions (names, weights, exposures, sizes), a run one turns
// the model's data matrix into one fitting-library run and hands the
// results to the constant's estimate, the included variables' estimates,
// the outcome's categories and a post-estimator. Main thread only; the run
// is synchronous.
//
// Coefficient layout: S coefficient sets of R = the model's included
// regressors; within a set the constant (with a constant term), then each
// sorted included variable's regressors. Coefficient k of set s is s x R + k.
class DSRegression
{
public:
    DSRegression();
    virtual ~DSRegression();
    DSRegression(const DSRegression &) = delete;
    DSRegression &operator=(const DSRegression &) = delete;

    // A fresh instance of the class the outcome's model codes select; null
    // for a code that selects none.
    static std::unique_ptr<DSRegression> regressionForOutcome(const DSOutcomeVariable *outcome);
    static void purgeEstimates(const QList<DSExplanatoryVariable *> &variables);

    // The fit of outcome on data (null: no data) with the run's frequency
    // weights: its DSRegressionError, also kept in error_code(); *error gets
    // the message of codes 1, 2, 3, 7, 8, 9 and 10.
    int64_t runRegressionForOutcome(DSOutcomeVariable *outcome, const VRWMatrixBuffer_s *data,
                                    const VRWVectorBuffer_s *frequencyWeights, VRWContext_s *context,
                                    DSError *error);

    // Results; the set is relative to the outcome. NaN past the end.
    double constantCoefficientAtIndex(qint64 set) const;
    double constantStandardErrorAtIndex(qint64 set) const;
    double nuisanceCoefficientAtIndex(qint64 i) const;
    double nuisanceStandardErrorAtIndex(qint64 i) const;
    const DSRegressionEstimate &constant_estimate() const { return m_constant; }
    const std::vector<double> &nuisance_coefficients() const { return m_nuisance; }
    const std::vector<double> &nuisance_std_errors() const { return m_nuisanceErrors; }
    // S (residuals) or P (predicted values) blocks of residuals_count() rows, table order.
    const std::vector<double> &residual_values() const { return m_residuals; }
    const std::vector<double> &predicted_values() const { return m_predicted; }
    double total_sum_of_squares() const { return m_tss; }
    double residual_sum_of_squares() const { return m_rss; }
    double log_likelihood() const { return m_logLikelihood; }
    double running_time() const { return m_runningTime; }
    int64_t observation_count() const { return m_observations; }
    int64_t residuals_count() const { return m_residualsCount; }
    int64_t df() const { return m_df; }
    int64_t error_code() const { return m_errorCode; }
    // Panels the last fixed-effects fit left out because no row of theirs
    // had an event (all counts 0): their effects have no finite estimate.
    int64_t dropped_panel_count() const { return m_droppedPanels; }
    const std::shared_ptr<DSRegressionPostEstimator> &post_estimator() const { return m_postEstimator; }

    // Class answers; the model classes override them.
    virtual QString name() const { return QString(); }
    virtual VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const { return 0; }
    virtual uint32_t estimationOptionsForModel(const DSRegressionModel *model) const;
    virtual QString ZScoreHeaderName() const { return QStringLiteral("Z-score"); }
    virtual QString oddsRatioHeaderName() const { return QStringLiteral("Odds Ratio"); }
    virtual QString oddsRatioFigureName() const { return QStringLiteral("odds ratio"); }
    virtual bool isMeanExponentiated() const { return false; }
    virtual bool canHaveAnalyticWeights() const { return false; }
    virtual bool canHaveExposures() const { return false; }
    virtual bool coefficientsCanBeExpressedAsOddsRatios() const { return false; }
    virtual int64_t numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *) const { return 0; }
    virtual int64_t numberOfCoefficientSetsForOutcome(const DSOutcomeVariable *) const { return 1; }
    virtual int64_t numberOfPredictedValueSetsForOutcome(const DSOutcomeVariable *outcome) const
    {
        return numberOfCoefficientSetsForOutcome(outcome);
    }
    virtual double unadjustedRSquared() const;
    virtual double adjustedRSquared() const;
    virtual int64_t coefficientDistribution() const { return DSCoefficientDistributionNormal; }

    // The predicted value of the query's fitted value: exp(f) for a model
    // whose mean is exponentiated, else f. NaN in, NaN out.
    virtual double predictedValue(const DSPredictionQuery &query) const;
    // The confidence range at significance a (1 - confidence), smaller end
    // first; none for a model without one. NaN ends without a fit.
    virtual std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const;
    // The formula of the predicted value `value` of the query's fitted
    // value, its numbers written by the formatter; null for a model without
    // one. Here: "exp(f)" for a mean that is exponentiated while the
    // outcome does not show odds ratios.
    virtual QString explanationForPredictedValue(double value, const DSPredictionQuery &query,
                                                 const DSPlatformNumberFormatter *formatter) const;

    // Test lists of the joint Wald tests over K = S x R coefficients (see
    // the .cpp for their order).
    QList<QList<int64_t>> testRestrictionsForVariables(const QList<DSExplanatoryVariable *> &variables,
                                                       const DSOutcomeVariable *outcome, bool constant,
                                                       int64_t regressors) const;

protected:
    // What a converged fit read: the device data in the matrix's row order
    // and the listed columns with their estimates.
    struct FitView {
        VRWContext_s *context = nullptr;
        const VRWMatrixBuffer_s *data = nullptr;
        const VRWVectorBuffer_s *frequencyWeights = nullptr;
        int32_t dependentColumn = 0;
        const int32_t *columns = nullptr; // listed matrix columns, the constant's first when constant
        int64_t listed = 0;
        const double *coefficients = nullptr;
        const double *errors = nullptr;
        bool constant = false;
        bool fixedEffects = false;
    };
    // The position among the listed columns of a regressor whose estimate
    // does not exist (it predicts the outcome perfectly); none when every
    // estimate is finite. The base trusts every converged fit.
    virtual std::optional<int64_t> separatingColumn(const FitView &) const { return std::nullopt; }
    // Whether a fixed-effects fit leaves out the panels whose outcomes are
    // all 0 (the count models, whose effect there would run to minus
    // infinity).
    virtual bool dropsPanelsWithoutEvents() const { return false; }

    // Model-specific inputs of the record; the base sets the omitted and
    // listed dependent values, analytic weights and exposures.
    virtual void configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows);
    virtual void extractCategoryCounts(const int64_t *counts, const double *logLikelihoods,
                                       DSOutcomeVariable *outcome);
    virtual void extractNuisanceParameters(const double *values, const double *errors, int64_t count,
                                           DSOutcomeVariable *outcome);
    // g'Vg of the query's row vector; NaN without a fit.
    double rowVariance(const DSPredictionQuery &query) const;
    double gradientVariance(const double *gradient, int64_t length) const;
    // The predicted value of the query with another fitted value.
    double predictedValueAt(const DSPredictionQuery &query, double fitted) const;
    static DSRange numberRange(double a, double b);
    // Whether the outcome shows its coefficients as odds ratios (the class
    // can and the model asks for them).
    bool displaysOddsRatios(const DSOutcomeVariable *outcome) const;
    static double linearUnadjustedRSquared(const DSRegression &r);
    static double linearAdjustedRSquared(const DSRegression &r);

private:
    // The sum of the run's frequency weights; 0 without rows, NaN when they
    // cannot be read.
    static double totalWeight(VRWContext_s *context, const VRWMatrixBuffer_s *data,
                              const VRWVectorBuffer_s *frequencyWeights);
    // The name of the estimate of the coefficient at position in the
    // listed order.
    // The frequency weights with the rows of every panel that has weighted
    // rows but no non-zero outcome set to 0, loaded in the panel layout, and
    // m_droppedPanels counted; null (nothing dropped) when every panel has
    // an event or a read or load fails.
    VRWVectorBuffer_s *weightsWithoutEventlessPanels(VRWContext_s *context, const VRWMatrixBuffer_s *data,
                                                     const VRWVectorBuffer_s *frequencyWeights,
                                                     const DSRegressionModel *model, int32_t dependent);
    static QString nameOfListedColumn(int64_t position, const QList<DSExplanatoryVariable *> &variables,
                                      bool constant);
    int64_t fail(int64_t code, const QList<DSExplanatoryVariable *> &variables, bool purge);
    void extractCoefficients(const double *coefficients, const double *errors, const double *fixedEffects,
                             int64_t panels, const DSOutcomeVariable *outcome,
                             const QList<DSExplanatoryVariable *> &variables);
    void extractMultiCollinearSets(const int64_t *sets, const DSOutcomeVariable *outcome,
                                   const QList<DSExplanatoryVariable *> &variables, bool constant);
    void extractWaldStatisticsFromTests(const QList<QList<int64_t>> &tests, const DSOutcomeVariable *outcome,
                                        const QList<DSExplanatoryVariable *> &variables);
    // Puts panel-grouped blocks back into table order; a row of a panel
    // whose fixed effect is NaN gets NaN.
    void unsortBlocks(std::vector<double> &blocks, int64_t blockCount, const DSRegressionModel *model,
                      const double *fixedEffects);
    bool isBaseSet(const DSOutcomeVariable *outcome, int64_t set, int64_t sets) const;

    DSRegressionEstimate m_constant;
    std::vector<double> m_nuisance;
    std::vector<double> m_nuisanceErrors;
    std::vector<double> m_residuals;
    std::vector<double> m_predicted;
    double m_tss;
    double m_rss;
    double m_logLikelihood;
    double m_runningTime = 0;
    int64_t m_observations = 0;
    int64_t m_residualsCount = 0;
    int64_t m_df = 0;
    int64_t m_errorCode = 0;
    int64_t m_droppedPanels = 0;
    double m_startTime = 0;
    std::shared_ptr<DSRegressionPostEstimator> m_postEstimator;
};
