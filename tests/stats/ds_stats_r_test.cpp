// The statistics, weighted counts and bins of a million fixture rows against
// R (fixtures/make_numstats.R), which expands every row w times.

#include "model/ds_numeric_bins.h"
#include "model/ds_numeric_index.h"
#include "model/util/ds_stats.h"

#include "numstats_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

const int64_t fixture_rows = 1000000;
const int64_t groups = 7;
const int64_t bins = 20;

const numstats_rows &rows()
{
    static const numstats_rows data = make_numstats_rows(fixture_rows);
    return data;
}

// name -> value of fixtures/numstats_expected.csv.
const std::map<std::string, double> &expected()
{
    static const std::map<std::string, double> values = [] {
        std::map<std::string, double> out;
        std::ifstream in(OSTREL_TEST_SOURCE_DIR "/fixtures/numstats_expected.csv");
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const size_t comma = line.find(',');
            out[line.substr(0, comma)] = std::strtod(line.c_str() + comma + 1, nullptr);
        }
        return out;
    }();
    return values;
}

double r_value(const std::string &name)
{
    const auto found = expected().find(name);
    EXPECT_NE(found, expected().end()) << name;
    return found == expected().end() ? NAN : found->second;
}

ds_numeric_rows_s column(const std::vector<double> &values, const std::vector<uint8_t> &missing)
{
    const auto &r = rows();
    return {values.data(), int64_t(values.size()), missing.data(), int64_t(missing.size()),
            r.w.data(), int64_t(r.w.size())};
}

void expect_relative(double actual, double wanted, double tolerance, const std::string &what)
{
    EXPECT_LE(std::fabs(actual - wanted), tolerance * std::fabs(wanted))
        << what << ": " << actual << " against R's " << wanted;
}

// Means and variances to 1e-12 relative; extremes, quartiles, the median
// and the mad as R gives them; weights exactly.
void expect_like_r(const ds_stats_s &s, const std::string &name)
{
    EXPECT_EQ(s.min, r_value(name + ".min")) << name;
    EXPECT_EQ(s.max, r_value(name + ".max")) << name;
    expect_relative(s.avg, r_value(name + ".avg"), 1e-12, name + ".avg");
    expect_relative(s.var_unbiased, r_value(name + ".var_unbiased"), 1e-12, name + ".var_unbiased");
    expect_relative(s.var_biased, r_value(name + ".var_biased"), 1e-12, name + ".var_biased");
    EXPECT_EQ(s.q1, r_value(name + ".q1")) << name;
    EXPECT_EQ(s.med, r_value(name + ".med")) << name;
    EXPECT_EQ(s.q3, r_value(name + ".q3")) << name;
    EXPECT_EQ(s.mad, r_value(name + ".mad")) << name;
    EXPECT_EQ(double(s.count), r_value(name + ".count")) << name;
    EXPECT_EQ(double(s.missing), r_value(name + ".missing")) << name;
}

const uint64_t all_options = ds_stats_extremes | ds_stats_moments | ds_stats_quartiles;

TEST(StatsAgainstR, OneColumn)
{
    const auto &r = rows();
    const ds_numeric_rows_s x = column(r.x, r.x_missing);
    expect_like_r(ds_calculate_stats(&x, r.mask.data(), int64_t(r.mask.size()), all_options), "x");
}

// 10^9 plus noise of standard deviation 1: the sums of squares of a single
// pass would leave no digit of the variance.
TEST(StatsAgainstR, FarFromZero)
{
    const auto &r = rows();
    const ds_numeric_rows_s y = column(r.y, r.y_missing);
    expect_like_r(ds_calculate_stats(&y, r.mask.data(), int64_t(r.mask.size()), all_options), "y");
}

TEST(StatsAgainstR, Differences)
{
    const auto &r = rows();
    const ds_numeric_rows_s x = column(r.x, r.x_missing), z = column(r.z, r.z_missing);
    expect_like_r(ds_calculate_difference_stats(&x, &z, r.mask.data(), int64_t(r.mask.size()), all_options), "d");
}

TEST(StatsAgainstR, Groups)
{
    const auto &r = rows();
    const ds_numeric_rows_s x = column(r.x, r.x_missing);
    std::vector<ds_stats_s> results(groups);
    ds_calculate_multiple_stats(results.data(), groups, r.g.data(), &x, r.mask.data(),
                                int64_t(r.mask.size()), all_options);
    for (int64_t g = 0; g < groups; ++g)
        expect_like_r(results[size_t(g)], "group" + std::to_string(g));
}

std::vector<double> bin_counts(const QVariantList &list)
{
    std::vector<double> counts;
    for (const QVariant &bin : list)
        counts.push_back(bin.toMap().value(QStringLiteral("count")).toDouble());
    return counts;
}

void expect_bins_like_r(const QVariantList &list, const std::string &name)
{
    const std::vector<double> counts = bin_counts(list);
    ASSERT_EQ(int64_t(counts.size()), bins) << name;
    for (int64_t u = 0; u < bins; ++u)
        EXPECT_EQ(counts[size_t(u)], r_value(name + "." + std::to_string(u))) << name << " bin " << u;
}

TEST(StatsAgainstR, Histograms)
{
    const auto &r = rows();
    const ds_numeric_rows_s x = column(r.x, r.x_missing), z = column(r.z, r.z_missing);
    const int64_t mask_length = int64_t(r.mask.size());
    const ds_stats_s sx = ds_calculate_stats(&x, r.mask.data(), mask_length, ds_stats_extremes);
    const double wx = (sx.max - sx.min) / double(bins);
    const auto one = ds_numeric_bins(&x, r.mask.data(), mask_length, bins, wx, sx.min, sx.max, true);
    ASSERT_TRUE(one.has_value());
    expect_bins_like_r(*one, "hist.x");

    const ds_stats_s sd = ds_calculate_difference_stats(&x, &z, r.mask.data(), mask_length, ds_stats_extremes);
    const auto differences = ds_numeric_difference_bins(&x, &z, r.mask.data(), mask_length, bins,
                                                        (sd.max - sd.min) / double(bins), sd.min, sd.max, true);
    ASSERT_TRUE(differences.has_value());
    expect_bins_like_r(*differences, "hist.d");

    const QVariantList per_group = ds_numeric_multiple_bins(&x, r.mask.data(), mask_length, r.g.data(),
                                                            groups, bins, wx, sx.min, sx.max, true);
    ASSERT_EQ(per_group.size(), groups);
    for (int64_t g = 0; g < groups; ++g)
        expect_bins_like_r(per_group[g].toList(), "hist.group" + std::to_string(g));
}

TEST(StatsAgainstR, WeightedCounts)
{
    const auto &r = rows();
    const ds_numeric_rows_s k = {r.k.data(), int64_t(r.k.size()), nullptr, 0, r.w.data(), int64_t(r.w.size())};
    std::vector<double> index;
    std::vector<int32_t> positions(r.k.size());
    const int64_t length = ds_numeric_index_build(k.values, k.count, [&](int64_t n) {
        index.resize(size_t(n));
        return index.data();
    }, positions.data());
    ASSERT_EQ(length, 202);  // 0, 0.25, ..., 50 and NaN
    std::vector<ds_num_counts_s> counts(static_cast<size_t>(length));
    ASSERT_TRUE(ds_numeric_index_counts(index.data(), length, positions.data(), &k, r.mask.data(),
                                        int64_t(r.mask.size()), counts.data()));
    for (const ds_num_counts_s &entry : counts) {
        char name[64];
        std::snprintf(name, sizeof name, "xtabs.%.15g", entry.value);
        EXPECT_EQ(double(entry.count), r_value(std::isnan(entry.value) ? "xtabs.NaN" : name)) << name;
        EXPECT_EQ(entry.missing, std::isnan(entry.value) ? 1 : 0) << name;
    }
}

}  // namespace
