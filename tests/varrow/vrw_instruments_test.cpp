// The linear model with instruments (GMM) against R's matrix algebra
// (fixtures/make_instruments.R): just identified, two-stage least squares
// with plain, robust and clustered standard errors, and a caller's weighting
// matrix. The context has only the GMM and common families.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class InstrumentsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(VRW_FAMILY_COMMON | VRW_FAMILY_GMM);
        data = vrw_test_read_table(kFixtures + "iv_data.csv");
        expected = vrw_test_read_expected(kFixtures + "iv_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestTable data;
    static inline VRWTestExpected expected;
};

const std::vector<std::string> kOver = {"1", "z1", "z2", "z3", "w"};

VRWTestFitSetup iv(std::vector<std::string> instruments, uint32_t options)
{
    VRWTestFitSetup s;
    s.model = VRW_MODEL_INSTRUMENTAL_VARIABLES;
    s.regressors = {"1", "x", "w"};
    s.instruments = std::move(instruments);
    s.dependent = "y";
    s.options = options;
    return s;
}

VRWTestFitSetup clustered(VRWTestFitSetup s)
{
    s.panels = "g";
    return s;
}

struct InstrumentsCase {
    const char *fixture;
    VRWTestFitSetup setup;
    std::vector<std::string> quantities;
};

TEST_F(InstrumentsTest, FitsEqualTheGmmAlgebra)
{
    ASSERT_TRUE(context);
    VRWTestFitSetup efficient = iv(kOver, VRW_OPTION_ROBUST);
    efficient.weighting_matrix = expected("efficient", "weighting_matrix");
    const InstrumentsCase cases[] = {
        {"just",
         iv({"1", "z1", "w"}, VRW_OPTION_SMALL_SAMPLE),
         {"coefficients", "standard_errors"}},
        {"tsls",
         iv(kOver, VRW_OPTION_SMALL_SAMPLE),
         {"coefficients", "standard_errors", "objective", "residuals"}},
        {"tsls_robust", iv(kOver, VRW_OPTION_ROBUST), {"standard_errors"}},
        // Panel data: the residuals come back without the panels' padding.
        {"tsls_cluster",
         clustered(iv(kOver, VRW_OPTION_CLUSTER | VRW_OPTION_CLUSTER_SMALL_SAMPLE)),
         {"standard_errors"}},
        {"efficient", efficient, {"coefficients", "standard_errors", "objective"}},
    };
    for (const InstrumentsCase &c : cases) {
        SCOPED_TRACE(c.fixture);
        VRWTestFitResult fit = vrw_test_fit(context, data, c.setup);
        ASSERT_EQ(fit.status, 0);
        // The first step solves the problem, the second finds nothing to do.
        EXPECT_EQ(fit.iterations(), 2);
        EXPECT_EQ(fit.observations, (int64_t)data.rows);
        for (const std::string &what : c.quantities) {
            const std::vector<double> &want = expected(c.fixture, what);
            if (what == "coefficients")
                vrw_test_expect_near(fit.coefficients, want, 1e-10, what);
            else if (what == "standard_errors")
                vrw_test_expect_near(fit.standard_errors, want, 1e-10, what);
            else if (what == "residuals")
                vrw_test_expect_near(fit.residuals, want, 1e-10, what);
            else
                vrw_test_expect_near({fit.objective}, want, 1e-8, what);
        }
    }
    VRWTestFitResult panels = vrw_test_fit(context, data, clustered(iv(kOver, 8)));
    vrw_test_expect_near(panels.residuals, expected("tsls", "residuals"), 1e-10,
                         "panel residuals");
    EXPECT_TRUE(std::isnan(panels.rss)) << "no residual sum of squares beside a sandwich";
}

// Instruments whose second moments cannot be inverted: 1000 + LAPACK's info.
TEST_F(InstrumentsTest, DependentInstrumentsAreRefused)
{
    VRWTestFitResult fit = vrw_test_fit(context, data, iv({"1", "z1", "z1", "w"}, 0));
    EXPECT_GT(fit.status, 1000);
    EXPECT_LT(fit.status, 2000);
}

// Fewer instruments than the three regressors leave Q W Q' of rank L: no
// fit, whatever rounding does to its factorisation, and nothing written.
TEST_F(InstrumentsTest, FewerInstrumentsThanRegressorsAreRefused)
{
    const struct {
        std::vector<std::string> instruments;
        int32_t status;
    } cases[] = {
        {{"1", "z1"}, 1003},
        {{"z2"}, 1002},
        {{}, 1001},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.instruments.size());
        VRWTestFitResult fit = vrw_test_fit(context, data, iv(c.instruments, 0));
        EXPECT_EQ(fit.status, c.status);
        EXPECT_EQ(fit.standard_errors, std::vector<double>(3, -1.0));
        EXPECT_EQ(fit.observations, -1);
    }
}

} // namespace
