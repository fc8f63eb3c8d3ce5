// The one-input transforms: their edge cases as one table, the leading digit
// of 100,000 doubles against Python's repr (fixtures/make_leading_digits.py)
// and weighted standardising against R (fixtures/make_standardized.R).

#include "DerivedTestSupport.h"

#include "derived/DSComputeLeadingDigitsColumn.h"
#include "derived/DSComputeLogarithmColumn.h"
#include "derived/DSComputePowerColumn.h"
#include "derived/DSComputeRoundedColumn.h"
#include "derived/DSComputeScaledColumn.h"
#include "derived/DSComputeStandardizedColumn.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <string>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

class DSComputeTransformsTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

public:
    template <class T>
    T *transform(const char *entity, DSColumn *input)
    {
        return addComputed<T>(*this, entity, {input});
    }
};

// One input value, one transform: the value and whether the row is missing.
struct EdgeCase
{
    const char *what;
    double x;
    std::function<DSComputedColumn *(DSComputeTransformsTest &, DSColumn *)> make;
    double value;
    bool missing;
};

DSComputedColumn *logarithm(DSComputeTransformsTest &t, DSColumn *x, double base, bool increment)
{
    auto *column = t.transform<DSComputeLogarithmColumn>("DSComputeLogarithmColumn", x);
    column->setBase(base);
    column->setIncrement(increment);
    return column;
}

DSComputedColumn *power(DSComputeTransformsTest &t, DSColumn *x, double exponent)
{
    auto *column = t.transform<DSComputePowerColumn>("DSComputePowerColumn", x);
    column->setExponent(exponent);
    return column;
}

DSComputedColumn *scaled(DSComputeTransformsTest &t, DSColumn *x, double scalar, bool invert)
{
    auto *column = t.transform<DSComputeScaledColumn>("DSComputeScaledColumn", x);
    column->setScalar(scalar);
    column->setInvert(invert);
    return column;
}

DSComputedColumn *rounded(DSComputeTransformsTest &t, DSColumn *x, qint64 method)
{
    auto *column = t.transform<DSComputeRoundedColumn>("DSComputeRoundedColumn", x);
    column->setMethod(method);
    return column;
}

DSComputedColumn *digit(DSComputeTransformsTest &t, DSColumn *x)
{
    return t.transform<DSComputeLeadingDigitsColumn>("DSComputeLeadingDigitsColumn", x);
}

TEST_F(DSComputeTransformsTest, EdgeCases)
{
    using T = DSComputeTransformsTest;
    const EdgeCase cases[] = {
        {"log10 100", 100, [](T &t, DSColumn *x) { return logarithm(t, x, 10, false); }, 2, false},
        {"log10(1 + 0)", 0, [](T &t, DSColumn *x) { return logarithm(t, x, 10, true); }, 0, false},
        {"ln(1 + 0)", 0, [](T &t, DSColumn *x) { return logarithm(t, x, 0, true); }, 0, false},
        {"ln 0", 0, [](T &t, DSColumn *x) { return logarithm(t, x, 0, false); }, -inf, true},
        {"log2 -4", -4, [](T &t, DSColumn *x) { return logarithm(t, x, 2, false); }, NAN, true},
        {"log2 8", 8, [](T &t, DSColumn *x) { return logarithm(t, x, 2, false); }, 3, false},
        {"ln(1 + -1)", -1, [](T &t, DSColumn *x) { return logarithm(t, x, 0, true); }, -inf, true},
        {"log20 7", 7, [](T &t, DSColumn *x) { return logarithm(t, x, 20, false); }, std::log(7) / std::log(20), false},
        {"log of base -3 is ln", std::exp(2.0), [](T &t, DSColumn *x) { return logarithm(t, x, -3, false); }, 2, false},
        {"(-4)^0.5", -4, [](T &t, DSColumn *x) { return power(t, x, 0.5); }, NAN, true},
        {"(-4)^2", -4, [](T &t, DSColumn *x) { return power(t, x, 2); }, 16, false},
        {"(-2)^3", -2, [](T &t, DSColumn *x) { return power(t, x, 3); }, -8, false},
        {"0^-1", 0, [](T &t, DSColumn *x) { return power(t, x, -1); }, inf, false},
        {"4^-0.5", 4, [](T &t, DSColumn *x) { return power(t, x, -0.5); }, 0.5, false},
        {"(-8)^-0.5", -8, [](T &t, DSColumn *x) { return power(t, x, -0.5); }, NAN, true},
        {"2^10", 2, [](T &t, DSColumn *x) { return power(t, x, 10); }, 1024, false},
        {"(-2)^2.5", -2, [](T &t, DSColumn *x) { return power(t, x, 2.5); }, NAN, true},
        {"5 / 0", 5, [](T &t, DSColumn *x) { return scaled(t, x, 0, true); }, inf, true},
        {"0 / 0", 0, [](T &t, DSColumn *x) { return scaled(t, x, 0, true); }, NAN, true},
        {"5 x 0", 5, [](T &t, DSColumn *x) { return scaled(t, x, 0, false); }, 0, false},
        {"5 / 4", 5, [](T &t, DSColumn *x) { return scaled(t, x, 4, true); }, 1.25, false},
        {"trunc -2.5", -2.5, [](T &t, DSColumn *x) { return rounded(t, x, -2); }, -2, false},
        {"floor -2.5", -2.5, [](T &t, DSColumn *x) { return rounded(t, x, -1); }, -3, false},
        {"ceil -2.5", -2.5, [](T &t, DSColumn *x) { return rounded(t, x, 1); }, -2, false},
        {"round -2.5", -2.5, [](T &t, DSColumn *x) { return rounded(t, x, 0); }, -2, false},
        {"round 3.5", 3.5, [](T &t, DSColumn *x) { return rounded(t, x, 7); }, 4, false},
        {"digit 0.0456", 0.0456, [](T &t, DSColumn *x) { return digit(t, x); }, 4, false},
        {"digit -731", -731, [](T &t, DSColumn *x) { return digit(t, x); }, 7, false},
        {"digit 0", 0, [](T &t, DSColumn *x) { return digit(t, x); }, NAN, false},
        {"digit below 0.1", std::nextafter(0.1, 0.0), [](T &t, DSColumn *x) { return digit(t, x); }, 9, false},
    };
    for (const EdgeCase &test : cases) {
        // Row 0 holds the case, row 1 a missing input, which stays missing.
        DSColumn *x = addColumn({test.x, NAN}, QString::fromLatin1(test.what));
        DSComputedColumn *column = test.make(*this, x);
        const std::vector<double> values = valuesOf(column);
        ASSERT_EQ(values.size(), 2u) << test.what;
        EXPECT_TRUE(sameValue(values[0], test.value) || std::fabs(values[0] - test.value) < 1e-15)
            << test.what << ": " << values[0];
        const std::vector<qint64> missing = missingRows(column);
        EXPECT_EQ(missing, (test.missing ? std::vector<qint64>{0, 1} : std::vector<qint64>{1})) << test.what;
    }
}

TEST_F(DSComputeTransformsTest, IntegerAnswers)
{
    EXPECT_TRUE(std::isnan(DSComputeLeadingDigitsColumn::leadingDigit(inf)));
    EXPECT_TRUE(std::isnan(DSComputeLeadingDigitsColumn::leadingDigit(NAN)));
    EXPECT_EQ(DSComputeLeadingDigitsColumn::leadingDigit(-0x1p-1074), 5);  // 5e-324
    DSColumn *whole = addColumn({1, -2, 3}, QStringLiteral("w")), *half = addColumn({0.5, 1, 2}, QStringLiteral("h"));
    EXPECT_TRUE(power(*this, whole, 3)->containsOnlyIntegers());
    EXPECT_FALSE(power(*this, whole, -1)->containsOnlyIntegers());
    EXPECT_FALSE(power(*this, whole, 0.5)->containsOnlyIntegers());
    EXPECT_FALSE(power(*this, half, 2)->containsOnlyIntegers());
    EXPECT_TRUE(rounded(*this, half, 0)->containsOnlyIntegers());
    EXPECT_TRUE(digit(*this, half)->containsOnlyIntegers());
    EXPECT_FALSE(logarithm(*this, whole, 10, false)->containsOnlyIntegers());
    EXPECT_TRUE(scaled(*this, whole, 2, false)->containsOnlyIntegers());
    EXPECT_FALSE(scaled(*this, whole, 2, true)->containsOnlyIntegers());
}

// splitmix64, as make_leading_digits.py runs it.
struct SplitMix64
{
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

double decimal(const std::string &text)
{
    return std::strtod(text.c_str(), nullptr);
}

// Row i of make_leading_digits.py.
double leadingDigitInput(int64_t i, SplitMix64 &g)
{
    const uint64_t r = g.next();
    if (i % 1000 == 0)
        return 0;
    const auto neighbour = [](double x, uint64_t s) {
        const double choices[] = {std::nextafter(x, -inf), x, std::nextafter(x, inf)};
        return choices[s % 3];
    };
    switch (i % 4) {
    case 0: {
        const double mantissa = 1 + double(r & ((uint64_t(1) << 52) - 1)) / 0x1p52;
        const int exponent = int((r >> 52) % 1400) - 700;
        return (r >> 63 ? -1.0 : 1.0) * std::ldexp(mantissa, exponent);
    }
    case 1:
        return neighbour(decimal("1e" + std::to_string(int(r % 601) - 300)), r >> 32);
    case 2:
        return double(r >> 11) * 0x1p-53 * decimal("1e" + std::to_string(int((r >> 3) % 41) - 20));
    default:
        return neighbour(decimal(std::to_string(1 + r % 9) + "e" + std::to_string(int((r >> 8) % 41) - 20)), r >> 32);
    }
}

TEST_F(DSComputeTransformsTest, LeadingDigitsAreThoseOfPythonsRepr)
{
    QFile file(QStringLiteral("fixtures/leading_digits.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray digits = file.readAll().replace('\n', "");
    ASSERT_EQ(digits.size(), 100000);
    SplitMix64 g{42};
    std::vector<double> inputs(size_t(digits.size()));
    for (int64_t i = 0; i < digits.size(); ++i)
        inputs[size_t(i)] = leadingDigitInput(i, g);
    auto *column = digit(*this, addColumn(inputs));
    const std::vector<double> got = valuesOf(column);
    ASSERT_EQ(got.size(), inputs.size());
    int mismatches = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        const double expected = digits[qsizetype(i)] == '0' ? NAN : double(digits[qsizetype(i)] - '0');
        if (!sameValue(got[i], expected) && ++mismatches <= 5)
            ADD_FAILURE() << "row " << i << " x = " << inputs[i] << ": " << got[i] << ", Python " << expected;
    }
    EXPECT_EQ(mismatches, 0);
}

struct RCase
{
    std::vector<double> x, expected;
    std::vector<int> w;
};

std::map<std::string, RCase> readStandardized()
{
    std::map<std::string, RCase> cases;
    for (const QList<QByteArray> &fields : readCsvRows(QStringLiteral("fixtures/standardized.csv"), 4)) {
        RCase &c = cases[fields[0].toStdString()];
        c.x.push_back(decimal(fields[1].toStdString()));
        c.w.push_back(fields[2].toInt());
        c.expected.push_back(decimal(fields[3].toStdString()));
    }
    return cases;
}

TEST_F(DSComputeTransformsTest, StandardisingEqualsR)
{
    const std::map<std::string, RCase> cases = readStandardized();
    ASSERT_EQ(cases.size(), 3u);
    for (const auto &[name, c] : cases) {
        ColumnsFixture fresh;
        DSColumn *x = fresh.addColumn(c.x, QStringLiteral("x"));
        if (name != "plain") {
            DSColumn *w = fresh.addColumn(std::vector<double>(c.w.begin(), c.w.end()), QStringLiteral("w"));
            fresh.table()->setFrequency_weights_column(w);
            fresh.table()->setApply_frequency_weights(true);
        }
        auto *column = addComputed<DSComputeStandardizedColumn>(fresh, "DSComputeStandardizedColumn", {x});
        const std::vector<double> got = valuesOf(column);
        ASSERT_EQ(got.size(), c.expected.size()) << name;
        const double tolerance = name == "far" ? 1e-6 : 1e-12;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_NEAR(got[i], c.expected[i], tolerance) << name << " row " << i;
        // A range is standardised by the whole column's moments.
        EXPECT_EQ(valuesOf(column, 5, 3), std::vector<double>(got.begin() + 5, got.begin() + 8)) << name;
    }
    // Far from zero the textbook variance, sum of w x^2 over W minus the
    // squared mean, has no digit left: it would divide every row by 0 or
    // by the root of a negative number.
    const RCase &far = cases.at("far");
    double W = 0, sx = 0, sxx = 0;
    for (size_t i = 0; i < far.x.size(); ++i) {
        W += far.w[i];
        sx += far.w[i] * far.x[i];
        sxx += far.w[i] * far.x[i] * far.x[i];
    }
    EXPECT_LE(sxx / W - (sx / W) * (sx / W), 0.0);
}

TEST_F(DSComputeTransformsTest, StandardisingSmallColumns)
{
    DSColumn *x = addColumn({1, 2, 3}, QStringLiteral("x"));
    auto *column = transform<DSComputeStandardizedColumn>("DSComputeStandardizedColumn", x);
    const std::vector<double> got = valuesOf(column);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_NEAR(got[0], -1.224744871391589, 1e-15);
    EXPECT_EQ(got[1], 0);
    EXPECT_NEAR(got[2], 1.224744871391589, 1e-15);
    EXPECT_EQ(valuesOf(column, 1, 2), std::vector<double>(got.begin() + 1, got.end()));
    // A weight of 2 on the row holding 3: the values 1, 2, 3, 3.
    DSColumn *w = addColumn({1, 1, 2}, QStringLiteral("w"));
    table()->setFrequency_weights_column(w);
    table()->setApply_frequency_weights(true);
    column->recursivePurge();
    const double mean = 2.25, sd = std::sqrt((1.5625 + 0.0625 + 2 * 0.5625) / 4);
    const std::vector<double> weighted = valuesOf(column);
    ASSERT_EQ(weighted.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(weighted[size_t(i)], (i + 1 - mean) / sd, 1e-15);
    // Equal values have no spread: NaN in every row.
    auto *flat = transform<DSComputeStandardizedColumn>("DSComputeStandardizedColumn", addColumn({4, 4, 4}, QStringLiteral("f")));
    for (double v : valuesOf(flat))
        EXPECT_TRUE(std::isnan(v));
}

} // namespace
