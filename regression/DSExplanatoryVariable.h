#pragma once

#include "platform/store/DSManagedObject.h"
#include "regression/DSRegressionEstimate.h"
#include "regression/ds_data_matrix.h"

#include <memory>
#include <optional>
#include <vector>

class DSRegressionModel;

// Bit flags of the `excluding` arguments: which estimates to skip.
enum DSEstimateExclusion : int {
    DSEstimateExcludeOmittedCategory = 1,
    DSEstimateExcludeOmittedInteraction = 2,
    DSEstimateExcludeLackOfData = 4,
    // The estimates that have a coefficient in a fit: the k-th one under this
    // exclusion is the variable's k-th regressor.
    DSEstimateExcludeByDesign = 3,
};

// The abstract stored entity of one regressor block of a model: a column
// variable or an interaction. A variable writes its columns into the model's
// data matrix and lists those that enter a fit, keeps one estimate per
// possible coefficient with the flags that say why one is not estimated,
// receives what a fit produced for it per coefficient set, and answers the
// p-values the views show. The kinds override the hooks; the base answers
// "nothing".
//
// Estimates are made on first use and rebuilt whenever the variable writes
// its matrix columns; in between setUpEstimates() only refreshes their
// omission flags. Results stay until the next fit purges them or the
// object turns into a fault.
class DSExplanatoryVariable : public DSManagedObject
{
public:
    using EstimateRef = std::shared_ptr<DSRegressionEstimate>;

    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    bool is_included() const { return boolForKey(QStringLiteral("is_included")); }
    void setIs_included(bool on) { setPrimitiveValue(on, QStringLiteral("is_included")); }
    bool is_expanded() const { return boolForKey(QStringLiteral("is_expanded")); }
    void setIs_expanded(bool on) { setPrimitiveValue(on, QStringLiteral("is_expanded")); }
    qint64 null_hypothesis() const { return integerForKey(QStringLiteral("null_hypothesis")); }
    void setNull_hypothesis(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("null_hypothesis")); }
    DSRegressionModel *model() const;
    void setModel(DSRegressionModel *model);

    // Names; none here.
    virtual QString name() const { return QString(); }
    virtual QString longName() const { return name(); }

    // Estimates. Every reader makes them first when there are none, then
    // refreshes the omission flags.
    void setUpEstimates();
    // Replaces the estimates by the kind's fresh ones (none here).
    virtual void forceSetUpEstimates();
    qint64 number_of_estimates();
    // The i-th estimate the DSEstimateExclusion flags do not skip; null past
    // the end. The variable keeps its estimates; callers may hold them.
    DSRegressionEstimate *estimateAtIndex(qint64 i, int excluding = 0);
    qint64 numberOfEstimatesExcluding(int excluding);
    // Position among the estimates not skipped; -1 when skipped or absent.
    qint64 indexOfEstimate(const DSRegressionEstimate *estimate, int excluding);
    const std::vector<EstimateRef> &estimates();

    // Results of a fit for one coefficient set; k runs over the regressors
    // and names estimate k under DSEstimateExcludeByDesign. Each returns n.
    // Coefficient k goes to element offset + set; in set 0 (or once marked)
    // the lack-of-data mark follows whether it is NaN, so the mark stays only
    // when the coefficient is NaN in every set of the outcome.
    qint64 setTemp_coefficients(const double *values, qint64 n, qint64 set, qint64 offset);
    qint64 setTemp_std_errors(const double *values, qint64 n, qint64 set, qint64 offset);
    // Set numbers under the absolute set, then the count of non-zero ones.
    qint64 setTemp_multicollinear_sets(const int64_t *values, qint64 n, qint64 absoluteSet);
    void setTemp_multicollinearity_count(qint64 count, qint64 absoluteSet);
    void setCoefficientIndexes(qint64 start, qint64 n);
    void setTemp_wald_statistic(double w, qint64 absoluteSet);
    void setTemp_multinomial_wald_statistic(double w, qint64 outcomeIndex);
    void setIndividualWaldStatistics(const double *values, qint64 n, qint64 outcomeIndex);

    // Readers: NaN (Wald) and 0 (counts) for what was never written; set -1
    // adds the counts of every set.
    double waldStatisticForCoefficientSet(qint64 absoluteSet) const;
    double multipleWaldStatisticsForOutcomeIndex(qint64 outcomeIndex) const;
    qint64 multiCollinearityCountForCoefficientSet(qint64 absoluteSet) const;

    // p-value of the variable in one coefficient set: the joint Wald test of
    // a variable with categories (chi-square for distribution bit 2, F with
    // W / q for bit 1), else the first estimate's t (bit 1) or z (bit 2)
    // under the variable's null hypothesis; NaN when a statistic is missing
    // or the variable is not included.
    double tempPValueForCoefficientSet(qint64 absoluteSet, qint64 distribution, qint64 df);
    // p-value of the joint test across an outcome's coefficient sets, given
    // the outcome's index, restriction count, coefficient distribution and
    // the fit's degrees of freedom.
    double tempPValueForAllCoefficientSets(qint64 outcomeIndex, qint64 outcomeRestrictions, qint64 distribution,
                                           qint64 df) const;

    // Empties the coefficients, standard errors and Wald statistics (flags
    // and set numbers stay); purgeDiagnostics the collinearity counts and
    // the restriction count.
    void purgeEstimates();
    void purgeDiagnostics();

    // Data hooks. rows = the model table's num_records; lookup[i] is the
    // table row stored at matrix row i.
    // Regressors of a fit, from the written columns.
    virtual qint64 cachedNumberOfRegressors() { return 0; }
    // Matrix columns (all) or regressors of a fit, from the column alone.
    virtual qint64 numberOfRegressors(bool /*all*/) { return 0; }
    // Writes the variable's columns from matrix column `column` on and
    // returns how many it wrote.
    virtual qint64 addDataToMatrix(const ds_data_matrix_s & /*matrix*/, qint64 /*column*/, const int32_t * /*lookup*/)
    {
        return 0;
    }
    // One value per table row (table order) into out; NO without such a form.
    virtual bool addDataToVector(double * /*out*/, qint64 /*rows*/) { return false; }
    // Lists the matrix columns that enter a fit; returns how many.
    virtual qint64 populateIndependentColumnsBuffer(int32_t * /*out*/) { return 0; }

    // Shape hooks.
    virtual bool hasCategories() const { return false; }
    virtual bool hasHigherOrderTerms() const { return false; }
    virtual qint64 numberOfHigherOrderTerms() const { return 0; }
    virtual bool isIncludedAsFixedEffects() const { return false; }
    virtual bool hasOnlyOneMeaningfulEstimate() { return false; }

    // Transient state.
    const ds_column_range_s &temp_matrix_col_range() const { return m_matrixColumns; }
    void setTemp_matrix_col_range(const ds_column_range_s &range) { m_matrixColumns = range; }
    qint64 temp_number_of_restrictions() const { return m_restrictions; }
    void setTemp_number_of_restrictions(qint64 q) { m_restrictions = q; }
    double temp_reference_date() const { return m_referenceDate; }
    double temp_time_divisor() const { return m_timeDivisor; }
    const EstimateRef &active_estimate() const { return m_activeEstimate; }
    void setActive_estimate(EstimateRef estimate) { m_activeEstimate = std::move(estimate); }

    // Releases the estimates and result arrays.
    void didTurnIntoFault() override;
    // Leaves the model's order and relationship; the model and its
    // predictions stop selecting it.
    void prepareForDeletion() override;

protected:
    // The omission flags after the estimates exist; nothing here.
    virtual void refreshOmissionFlags() {}
    void setEstimates(std::vector<EstimateRef> estimates);
    // The estimates as they are, without making or refreshing them.
    const std::vector<EstimateRef> &madeEstimates() const;
    // A new estimate of this variable.
    EstimateRef makeEstimate(std::optional<qint64> index, const QString &label);
    void setTimeScale(double referenceDate, double divisor)
    {
        m_referenceDate = referenceDate;
        m_timeDivisor = divisor;
    }

private:
    bool skips(const DSRegressionEstimate &estimate, int excluding) const;

    std::optional<std::vector<EstimateRef>> m_estimates;
    std::vector<double> m_waldStatistics;
    std::vector<double> m_multinomialWaldStatistics;
    std::vector<int64_t> m_multicollinearityCounts;
    qint64 m_restrictions = 0;
    ds_column_range_s m_matrixColumns;
    EstimateRef m_activeEstimate;
    double m_referenceDate = 0;
    double m_timeDivisor = 1;
};
