// Dense inversion and symmetric eigen decomposition, eigenvalues against R
// (fixtures/make_eigen.R).
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace {

struct EigenCase {
    std::string name;
    int n = 0;
    std::vector<double> matrix, values;
};

std::vector<EigenCase> read_eigen_cases()
{
    std::ifstream in(std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/eigen_cases.txt");
    std::vector<EigenCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, name;
        int n;
        fields >> kind >> name >> n;
        if (kind == "matrix")
            cases.push_back({name, n, {}, {}});
        std::vector<double> &into = kind == "matrix" ? cases.back().matrix : cases.back().values;
        double v;
        while (fields >> v)
            into.push_back(v);
    }
    return cases;
}

TEST(Eigen, ValuesComeBackAscendingAndEqualR)
{
    std::vector<EigenCase> cases = read_eigen_cases();
    ASSERT_EQ(cases.size(), 6u);
    for (const EigenCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.matrix.size(), (size_t)(c.n * c.n));
        std::vector<double> values(c.n), vectors(c.n * c.n), input = c.matrix;
        ASSERT_EQ(vrw_matrix_eigenvalues(c.matrix.data(), c.n, values.data()), 0);
        EXPECT_EQ(input, c.matrix) << "the input is left unchanged";
        for (int i = 0; i < c.n; i++) {
            EXPECT_NEAR(values[i], c.values[i], 1e-10 * std::max(1.0, std::fabs(c.values[i])));
            if (i > 0) {
                EXPECT_LE(values[i - 1], values[i]);
            }
        }
        // Eigenvector j, in column j, belongs to value j: A v = lambda v.
        ASSERT_EQ(vrw_matrix_eigenvectors(c.matrix.data(), c.n, values.data(), vectors.data()), 0);
        for (int j = 0; j < c.n; j++)
            for (int i = 0; i < c.n; i++) {
                double av = 0;
                for (int k = 0; k < c.n; k++)
                    av += c.matrix[k * c.n + i] * vectors[j * c.n + k];
                EXPECT_NEAR(av, values[j] * vectors[j * c.n + i], 1e-9);
            }
    }
}

TEST(Eigen, ANaNElementGivesStatusOneAndNoValues)
{
    for (int at = 0; at < 4; at++) {
        double matrix[] = {2, 1, 1, 2};
        matrix[at] = NAN;
        double values[2] = {-7, -7};
        EXPECT_EQ(vrw_matrix_eigenvalues(matrix, 2, values), 1) << at;
        EXPECT_EQ(values[0], -7);
        EXPECT_EQ(values[1], -7);
    }
}

TEST(Inverse, InvertsInPlaceAndReportsASingularMatrix)
{
    int n = 3;
    double matrix[] = {4, 1, 0, 1, 3, 1, 0, 1, 2};
    const double original[] = {4, 1, 0, 1, 3, 1, 0, 1, 2};
    int pivots[3];
    int length = vrw_optimal_iwork_dim(n);
    ASSERT_GE(length, n);
    std::vector<double> workspace(length);
    ASSERT_EQ(vrw_invert_matrix(matrix, n, pivots, workspace.data(), length), 0);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            double product = 0;
            for (int k = 0; k < n; k++)
                product += original[k * n + i] * matrix[j * n + k];
            EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-14);
        }

    double singular[] = {1, 2, 2, 4};
    int info = vrw_invert_matrix(singular, 2, pivots, workspace.data(), length);
    EXPECT_GT(info, 0);
}

} // namespace
