#include "regression/DSRegressionPostEstimator.h"

#include "varrow/varrow.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

void DSRegressionPostEstimator::setCoefficients(const double *coefficients, int64_t k, const double *nuisance,
                                                int64_t m, const double *variance)
{
    const int64_t n = k + m;
    if (n <= 0)
        return;
    m_dim = n;
    m_original.assign(coefficients, coefficients + k);
    m_original.insert(m_original.end(), nuisance, nuisance + m);
    m_variance.assign(variance, variance + n * n);
    m_effective = m_original;
    for (int64_t i = 0; i < n; ++i) {
        double &b = m_effective[size_t(i)];
        if (std::isnan(b) || (std::isinf(b) && m_variance[size_t(i + i * n)] == 0))
            b = 0;
    }
}

QList<int64_t> DSRegressionPostEstimator::filteredCoefficients(const QList<int64_t> &indexes) const
{
    QList<int64_t> kept;
    for (int64_t i : indexes)
        if (i >= 0 && i < m_dim && !std::isnan(m_original[size_t(i)]))
            kept << i;
    return kept;
}

int64_t DSRegressionPostEstimator::degreesOfFreedomForNullHypothesis(int code, int64_t count)
{
    switch (code) {
    case DSVectorNullHypothesisZero:
        return count;
    case DSVectorNullHypothesisEqual:
        return count > 0 ? count - 1 : 0;
    case DSVectorNullHypothesisSumToZero:
    case DSVectorNullHypothesisSumToOne:
        return 1;
    default:
        return 0;
    }
}

void DSRegressionPostEstimator::populateRestrictionMatrix(double *R, int64_t q, int code,
                                                          const QList<int64_t> &indexes) const
{
    const int64_t k = indexes.size();
    switch (code) {
    case DSVectorNullHypothesisZero:
        for (int64_t j = 0; j < q && j < k; ++j)
            R[j + q * indexes[j]] = 1;
        break;
    case DSVectorNullHypothesisEqual:
        for (int64_t j = 0; j < q && j + 1 < k; ++j) {
            R[j + q * indexes[j]] = 1;
            R[j + q * indexes[k - 1]] = -1;
        }
        break;
    case DSVectorNullHypothesisSumToZero:
    case DSVectorNullHypothesisSumToOne:
        for (int64_t c : indexes)
            R[q * c] = 1;
        break;
    default:
        break;
    }
}

double DSRegressionPostEstimator::waldStatisticForNullHypothesis(int code, const QList<int64_t> &indexes,
                                                                 int64_t *qOut) const
{
    if (m_dim == 0)
        return kNaN;
    const QList<int64_t> kept = filteredCoefficients(indexes);
    VRWTestRestrictions_s *restrictions = vrw_init_restrictions(m_dim, 1);
    const int64_t q = degreesOfFreedomForNullHypothesis(code, kept.size());
    double statistic = kNaN;
    if (restrictions && q > 0) {
        std::vector<double> block(size_t(q * (m_dim + 1)), 0.0);
        double *R = block.data();
        double *r = R + q * m_dim;
        populateRestrictionMatrix(R, q, code, kept);
        if (code == DSVectorNullHypothesisSumToOne)
            r[0] = 1;
        restrictions->R[0] = R;
        restrictions->r[0] = r;
        restrictions->q[0] = q;
        if (vrw_wald_test(m_variance.data(), m_dim, m_effective.data(), nullptr, restrictions, &statistic,
                          nullptr)
            != 0)
            statistic = kNaN;
        restrictions->R[0] = nullptr;
        restrictions->r[0] = nullptr;
    }
    vrw_free_restrictions(restrictions);
    if (qOut)
        *qOut = q;
    return q > 0 ? statistic : kNaN;
}

double DSRegressionPostEstimator::varianceForGradientVector(const double *g, int64_t L) const
{
    if (L > m_dim || L < 0)
        return kNaN;
    // The upper triangle alone is trusted, so each off-diagonal pair counts twice.
    double sum = 0;
    for (int64_t c = 0; c < L; ++c) {
        sum += g[c] * g[c] * m_variance[size_t(c + c * m_dim)];
        for (int64_t r = 0; r < c; ++r)
            sum += 2 * g[r] * g[c] * m_variance[size_t(r + c * m_dim)];
    }
    return sum;
}

double DSRegressionPostEstimator::fittedValueForRowVector(const double *x, int64_t offset, int64_t L) const
{
    if (offset < 0 || L < 0 || offset + L > m_dim)
        return kNaN;
    double sum = 0;
    for (int64_t i = 0; i < L; ++i)
        sum += x[i] * m_effective[size_t(offset + i)];
    return sum;
}
