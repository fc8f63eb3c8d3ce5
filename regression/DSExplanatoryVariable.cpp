#include "regression/DSExplanatoryVariable.h"

#include "platform/sterna/sterna.h"
#include "regression/DSRegressionModel.h"

#include <cmath>

namespace {

const QString k_model = QStringLiteral("model");

} // namespace

DSRegressionModel *DSExplanatoryVariable::model() const
{
    return ds_object_cast<DSRegressionModel>(objectForKey(k_model));
}

void DSExplanatoryVariable::setModel(DSRegressionModel *model)
{
    setObject(model, k_model);
}

void DSExplanatoryVariable::setUpEstimates()
{
    if (!m_estimates)
        forceSetUpEstimates();
    refreshOmissionFlags();
}

void DSExplanatoryVariable::forceSetUpEstimates()
{
    m_estimates.emplace();
}

void DSExplanatoryVariable::setEstimates(std::vector<EstimateRef> estimates)
{
    m_estimates = std::move(estimates);
}

DSExplanatoryVariable::EstimateRef DSExplanatoryVariable::makeEstimate(std::optional<qint64> index,
                                                                       const QString &label)
{
    auto estimate = std::make_shared<DSRegressionEstimate>();
    estimate->variable = this;
    estimate->index = index;
    estimate->label = label;
    return estimate;
}

const std::vector<DSExplanatoryVariable::EstimateRef> &DSExplanatoryVariable::madeEstimates() const
{
    static const std::vector<EstimateRef> none;
    return m_estimates ? *m_estimates : none;
}

const std::vector<DSExplanatoryVariable::EstimateRef> &DSExplanatoryVariable::estimates()
{
    setUpEstimates();
    return *m_estimates;
}

qint64 DSExplanatoryVariable::number_of_estimates()
{
    return qint64(estimates().size());
}

bool DSExplanatoryVariable::skips(const DSRegressionEstimate &estimate, int excluding) const
{
    return ((excluding & DSEstimateExcludeOmittedCategory) && estimate.is_omitted_category)
        || ((excluding & DSEstimateExcludeOmittedInteraction) && estimate.is_omitted_interaction)
        || ((excluding & DSEstimateExcludeLackOfData) && estimate.is_omitted_due_to_lack_of_data);
}

DSRegressionEstimate *DSExplanatoryVariable::estimateAtIndex(qint64 i, int excluding)
{
    if (i < 0)
        return nullptr;
    for (const EstimateRef &estimate : estimates())
        if (!skips(*estimate, excluding) && i-- == 0)
            return estimate.get();
    return nullptr;
}

qint64 DSExplanatoryVariable::numberOfEstimatesExcluding(int excluding)
{
    qint64 n = 0;
    for (const EstimateRef &estimate : estimates())
        n += !skips(*estimate, excluding);
    return n;
}

qint64 DSExplanatoryVariable::indexOfEstimate(const DSRegressionEstimate *estimate, int excluding)
{
    qint64 position = 0;
    for (const EstimateRef &e : estimates()) {
        if (skips(*e, excluding))
            continue;
        if (e.get() == estimate)
            return position;
        ++position;
    }
    return -1;
}

qint64 DSExplanatoryVariable::setTemp_coefficients(const double *values, qint64 n, qint64 set, qint64 offset)
{
    for (qint64 k = 0; k < n; ++k)
        if (DSRegressionEstimate *e = estimateAtIndex(k, DSEstimateExcludeByDesign)) {
            DSRegressionEstimate::setElement(e->coefficients, offset + set, values[k]);
            if (set == 0 || e->is_omitted_due_to_lack_of_data)
                e->is_omitted_due_to_lack_of_data = std::isnan(values[k]);
        }
    return n;
}

qint64 DSExplanatoryVariable::setTemp_std_errors(const double *values, qint64 n, qint64 set, qint64 offset)
{
    for (qint64 k = 0; k < n; ++k)
        if (DSRegressionEstimate *e = estimateAtIndex(k, DSEstimateExcludeByDesign))
            DSRegressionEstimate::setElement(e->std_errors, offset + set, values[k]);
    return n;
}

qint64 DSExplanatoryVariable::setTemp_multicollinear_sets(const int64_t *values, qint64 n, qint64 absoluteSet)
{
    qint64 nonzero = 0;
    for (qint64 k = 0; k < n; ++k) {
        if (DSRegressionEstimate *e = estimateAtIndex(k, DSEstimateExcludeByDesign))
            DSRegressionEstimate::setElement(e->multicollinear_sets, absoluteSet, values[k]);
        nonzero += values[k] != 0;
    }
    setTemp_multicollinearity_count(nonzero, absoluteSet);
    return n;
}

void DSExplanatoryVariable::setTemp_multicollinearity_count(qint64 count, qint64 absoluteSet)
{
    DSRegressionEstimate::setElement(m_multicollinearityCounts, absoluteSet, count);
}

void DSExplanatoryVariable::setCoefficientIndexes(qint64 start, qint64 n)
{
    for (qint64 k = 0; k < n; ++k)
        if (DSRegressionEstimate *e = estimateAtIndex(k, DSEstimateExcludeByDesign))
            e->coefficient_index = start + k;
}

void DSExplanatoryVariable::setTemp_wald_statistic(double w, qint64 absoluteSet)
{
    DSRegressionEstimate::setElement(m_waldStatistics, absoluteSet, w);
}

void DSExplanatoryVariable::setTemp_multinomial_wald_statistic(double w, qint64 outcomeIndex)
{
    DSRegressionEstimate::setElement(m_multinomialWaldStatistics, outcomeIndex, w);
}

void DSExplanatoryVariable::setIndividualWaldStatistics(const double *values, qint64 n, qint64 outcomeIndex)
{
    for (qint64 k = 0; k < n; ++k)
        if (DSRegressionEstimate *e = estimateAtIndex(k, DSEstimateExcludeByDesign))
            DSRegressionEstimate::setElement(e->wald_statistics, outcomeIndex, values[k]);
}

double DSExplanatoryVariable::waldStatisticForCoefficientSet(qint64 absoluteSet) const
{
    return DSRegressionEstimate::elementAt(m_waldStatistics, absoluteSet, NAN);
}

double DSExplanatoryVariable::multipleWaldStatisticsForOutcomeIndex(qint64 outcomeIndex) const
{
    return DSRegressionEstimate::elementAt(m_multinomialWaldStatistics, outcomeIndex, NAN);
}

qint64 DSExplanatoryVariable::multiCollinearityCountForCoefficientSet(qint64 absoluteSet) const
{
    if (absoluteSet == -1) {
        qint64 total = 0;
        for (int64_t count : m_multicollinearityCounts)
            total += count;
        return total;
    }
    return absoluteSet >= 0 && size_t(absoluteSet) < m_multicollinearityCounts.size()
        ? m_multicollinearityCounts[size_t(absoluteSet)]
        : 0;
}

namespace {

// The joint test of q restrictions with Wald statistic w: chi-square for
// distribution bit 2, F of w / q for bit 1; NaN without restrictions.
double jointPValue(double w, qint64 q, qint64 distribution, qint64 df)
{
    if (q <= 0 || std::isnan(w))
        return NAN;
    if (distribution & 2)
        return ds_p_value_chi_square(w, q);
    if (distribution & 1)
        return ds_p_value_f(w / double(q), q, df);
    return NAN;
}

} // namespace

double DSExplanatoryVariable::tempPValueForCoefficientSet(qint64 absoluteSet, qint64 distribution, qint64 df)
{
    if (hasCategories())
        return jointPValue(waldStatisticForCoefficientSet(absoluteSet), m_restrictions, distribution, df);
    const DSRegressionEstimate *first = estimateAtIndex(0);
    const bool included = is_included() && first;
    const double b = included ? first->coefficientForCoefficientSet(absoluteSet) : NAN;
    const double e = included ? first->standardErrorForCoefficientSet(absoluteSet) : NAN;
    if (std::isnan(b) || std::isnan(e))
        return NAN;
    const int hypothesis = int(null_hypothesis());
    if (distribution & 1)
        return ds_p_value_t(b / e, df, hypothesis);
    if (distribution & 2)
        return ds_p_value_normal(b / e, hypothesis);
    return NAN;
}

double DSExplanatoryVariable::tempPValueForAllCoefficientSets(qint64 outcomeIndex, qint64 outcomeRestrictions,
                                                              qint64 distribution, qint64 df) const
{
    qint64 q = outcomeRestrictions;
    if (hasCategories())
        q *= m_restrictions;
    return jointPValue(multipleWaldStatisticsForOutcomeIndex(outcomeIndex), q, distribution, df);
}

void DSExplanatoryVariable::purgeEstimates()
{
    if (m_estimates)
        for (const EstimateRef &e : *m_estimates) {
            e->coefficients.clear();
            e->std_errors.clear();
            e->wald_statistics.clear();
        }
    m_waldStatistics.clear();
    m_multinomialWaldStatistics.clear();
}

void DSExplanatoryVariable::purgeDiagnostics()
{
    m_multicollinearityCounts.clear();
    m_restrictions = 0;
}

void DSExplanatoryVariable::didTurnIntoFault()
{
    m_estimates.reset();
    m_activeEstimate.reset();
    m_waldStatistics.clear();
    m_multinomialWaldStatistics.clear();
    m_multicollinearityCounts.clear();
    DSManagedObject::didTurnIntoFault();
}

void DSExplanatoryVariable::prepareForDeletion()
{
    DSManagedObject::prepareForDeletion();
    if (DSRegressionModel *owner = model())
        owner->variableWillBeDeleted(this);
}
