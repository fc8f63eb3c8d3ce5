#pragma once

#include <QList>

#include <cstdint>
#include <vector>

// The linear hypotheses a joint Wald test can put to a list of coefficients
// (the model's null_hypothesis code).
enum DSVectorNullHypothesis : int {
    DSVectorNullHypothesisZero = 2,
    DSVectorNullHypothesisEqual = 3,
    DSVectorNullHypothesisSumToZero = 4,
    DSVectorNullHypothesisSumToOne = 5,
};

// What a successful fit leaves for the questions asked after it: the
// coefficients (every coefficient set's regressors, then the nuisance
// parameters) and their variance matrix. It answers joint Wald tests, the
// variance g'Vg of a linear combination and fitted values x'b. A plain
// in-memory object, main thread only.
class DSRegressionPostEstimator
{
public:
    // Copies k coefficients, m nuisance parameters and the (k + m)^2
    // column-major variance matrix (upper triangle read); with k + m = 0
    // nothing is kept. The effective coefficients used by tests and fitted
    // values read NaN as 0, and an infinite coefficient with variance 0 as 0.
    void setCoefficients(const double *coefficients, int64_t k, const double *nuisance, int64_t m,
                         const double *variance);
    int64_t dimension() const { return m_dim; }
    const std::vector<double> &coefficients() const { return m_original; }

    // The indexes, in order, that lie in 0..n-1 and whose coefficient is not NaN.
    QList<int64_t> filteredCoefficients(const QList<int64_t> &indexes) const;
    // Restrictions of the hypothesis over `count` coefficients; 0 for a code
    // that tests nothing.
    static int64_t degreesOfFreedomForNullHypothesis(int code, int64_t count);
    // Writes the 1 and -1 entries into a zeroed q x n column-major matrix R.
    void populateRestrictionMatrix(double *R, int64_t q, int code, const QList<int64_t> &indexes) const;
    // W = (Rb - r)'(RVR')^-1(Rb - r) over the filtered indexes, q into *q
    // when given; NaN without a fit (q untouched) or without a restriction.
    double waldStatisticForNullHypothesis(int code, const QList<int64_t> &indexes, int64_t *q = nullptr) const;
    // g'Vg over the leading L x L block; NaN when L exceeds n.
    double varianceForGradientVector(const double *g, int64_t L) const;
    // x'b over the effective coefficients offset to offset + L - 1; NaN past n.
    double fittedValueForRowVector(const double *x, int64_t offset, int64_t L) const;

private:
    int64_t m_dim = 0;
    std::vector<double> m_original;
    std::vector<double> m_effective;
    std::vector<double> m_variance;
};
