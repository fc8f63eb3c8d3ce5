#include "model/util/ds_anova.h"

#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr uint64_t chunk_count = 24;
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

struct Cells
{
    std::vector<double> n, s;
};

// Weighted counts and sums per cell (index = cell of entry i), summed over
// 24 chunks in chunk order.
Cells cell_sums(const double *values, const int32_t *weights, int64_t count, int64_t cells,
                const auto &cell_of)
{
    std::vector<Cells> chunks(chunk_count);
    ds_parallel_for(chunk_count, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        Cells &own = chunks[c];
        own.n.assign(static_cast<size_t>(cells), 0);
        own.s.assign(static_cast<size_t>(cells), 0);
        for (int64_t i = first; i < end; ++i) {
            const double w = weights ? weights[i] : 1;
            const size_t cell = size_t(cell_of(i));
            own.n[cell] += w;
            own.s[cell] += w * values[i];
        }
    });
    Cells total{std::vector<double>(static_cast<size_t>(cells), 0), std::vector<double>(static_cast<size_t>(cells), 0)};
    for (const Cells &own : chunks)
        for (size_t j = 0; j < own.n.size(); ++j) {
            total.n[j] += own.n[j];
            total.s[j] += own.s[j];
        }
    return total;
}

// Sum of w (y - mean of its cell) squared, in 24 chunks.
double within_squares(const double *values, const int32_t *weights, int64_t count, const Cells &cells,
                      const auto &cell_of)
{
    std::vector<double> chunks(chunk_count, 0);
    ds_parallel_for(chunk_count, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        double sum = 0;
        for (int64_t i = first; i < end; ++i) {
            // A row of weight 0 is no row: its cell may hold no weight at
            // all, and 0 x NaN would spoil the sum.
            const int32_t w = weights ? weights[i] : 1;
            if (w == 0)
                continue;
            const size_t cell = size_t(cell_of(i));
            const double d = values[i] - cells.s[cell] / cells.n[cell];
            sum += w * d * d;
        }
        chunks[c] = sum;
    });
    double total = 0;
    for (double sum : chunks)
        total += sum;
    return total;
}

// Solves the symmetric system m x = r (size n, row-major) by Gaussian
// elimination; a pivot that vanishes (an unidentified effect) leaves its
// unknown at 0.
std::vector<double> solve(std::vector<double> m, std::vector<double> r, size_t n)
{
    std::vector<bool> free(n, false);
    for (size_t p = 0; p < n; ++p) {
        if (std::fabs(m[p * n + p]) < 1e-9 * (1 + std::fabs(m[0]))) {
            free[p] = true;
            continue;
        }
        for (size_t i = p + 1; i < n; ++i) {
            const double f = m[i * n + p] / m[p * n + p];
            for (size_t j = p; j < n; ++j)
                m[i * n + j] -= f * m[p * n + j];
            r[i] -= f * r[p];
        }
    }
    std::vector<double> x(n, 0);
    for (size_t p = n; p-- > 0;) {
        if (free[p])
            continue;
        double v = r[p];
        for (size_t j = p + 1; j < n; ++j)
            v -= m[p * n + j] * x[j];
        x[p] = v / m[p * n + p];
    }
    return x;
}

}  // namespace

double ds_anova_one_way(const double *values, const int32_t *groups, const int32_t *weights, int64_t count,
                        int64_t group_count, int64_t *df1, int64_t *df2)
{
    const auto group_of = [groups](int64_t i) { return groups[i]; };
    const Cells g = cell_sums(values, weights, count, group_count, group_of);
    double n = 0, s = 0;
    int64_t used = 0;
    for (int64_t h = 0; h < group_count; ++h) {
        n += g.n[size_t(h)];
        s += g.s[size_t(h)];
        used += g.n[size_t(h)] > 0;
    }
    double between = 0;
    for (int64_t h = 0; h < group_count; ++h)
        if (g.n[size_t(h)] > 0) {
            const double d = g.s[size_t(h)] / g.n[size_t(h)] - s / n;
            between += g.n[size_t(h)] * d * d;
        }
    const double within = within_squares(values, weights, count, g, group_of);
    if (df1)
        *df1 = used - 1;
    if (df2)
        *df2 = int64_t(n) - used;
    return (between / double(used - 1)) / (within / (n - double(used)));
}

double ds_anova_two_way(const double *values, const int32_t *groups_a, const int32_t *groups_b,
                        const int32_t *weights, int64_t count, int64_t a, int64_t b, int64_t *df1, int64_t *df2)
{
    const auto cell_of = [=](int64_t i) { return int64_t(groups_a[i]) + int64_t(groups_b[i]) * a; };
    const Cells c = cell_sums(values, weights, count, a * b, cell_of);
    std::vector<double> na(size_t(a), 0), sa(size_t(a), 0), nb(size_t(b), 0), sb(size_t(b), 0);
    double n = 0, cell_fit = 0;
    int64_t cells = 0;
    for (int64_t j = 0; j < b; ++j)
        for (int64_t i = 0; i < a; ++i) {
            const size_t cell = size_t(i + j * a);
            na[size_t(i)] += c.n[cell];
            sa[size_t(i)] += c.s[cell];
            nb[size_t(j)] += c.n[cell];
            sb[size_t(j)] += c.s[cell];
            n += c.n[cell];
            if (c.n[cell] > 0) {
                ++cells;
                cell_fit += c.s[cell] * c.s[cell] / c.n[cell];
            }
        }
    // The additive fit: eliminate the first factor's effects, solve the
    // normal equations of the second's, and take the fitted sum y'X theta.
    const size_t nbs = size_t(b);
    std::vector<double> m(nbs * nbs, 0), r(nbs, 0);
    for (size_t j = 0; j < nbs; ++j) {
        m[j * nbs + j] = nb[j];
        r[j] = sb[j];
    }
    for (int64_t i = 0; i < a; ++i) {
        if (na[size_t(i)] <= 0)
            continue;
        for (size_t j = 0; j < nbs; ++j) {
            const double nij = c.n[size_t(i) + j * size_t(a)];
            r[j] -= nij * sa[size_t(i)] / na[size_t(i)];
            for (size_t l = 0; l < nbs; ++l)
                m[j * nbs + l] -= nij * c.n[size_t(i) + l * size_t(a)] / na[size_t(i)];
        }
    }
    const std::vector<double> beta = solve(m, r, nbs);
    double additive_fit = 0;
    for (int64_t i = 0; i < a; ++i) {
        if (na[size_t(i)] <= 0)
            continue;
        double alpha = sa[size_t(i)];
        for (size_t j = 0; j < nbs; ++j)
            alpha -= c.n[size_t(i) + j * size_t(a)] * beta[j];
        additive_fit += alpha / na[size_t(i)] * sa[size_t(i)];
    }
    for (size_t j = 0; j < nbs; ++j)
        additive_fit += beta[j] * sb[j];
    int64_t la = -1, lb = -1;
    for (double x : na)
        la += x > 0;
    for (double x : nb)
        lb += x > 0;
    const double interaction = cell_fit - additive_fit;
    const double within = within_squares(values, weights, count, c, cell_of);
    const int64_t d1 = la * lb;
    const int64_t d2 = int64_t(n) - cells;
    if (df1)
        *df1 = d1;
    if (df2)
        *df2 = d2;
    return (interaction / double(d1)) / (within / double(d2));
}

double ds_anova_repeated_measures(const double *const *columns, int64_t k, int64_t rows, const uint8_t *mask,
                                  int64_t mask_length, const int32_t *weights, int64_t num_weights,
                                  int64_t *df1, int64_t *df2)
{
    if (k < 2)
        return not_a_number;
    struct Sums
    {
        double n = 0, subjects = 0;
        std::vector<double> s, squares;
    };
    // Two passes: column sums first, then squared deviations from the
    // column and subject means.
    std::vector<Sums> chunks(chunk_count);
    ds_parallel_for(chunk_count, uint64_t(rows), [&](uint64_t c, int64_t first, int64_t end) {
        Sums &own = chunks[c];
        own.s.assign(static_cast<size_t>(k), 0);
        for (int64_t r = first; r < end; ++r) {
            if (!ds_row_admitted(mask, mask_length, r))
                continue;
            const double w = ds_row_weight(r, weights, num_weights);
            own.n += w;
            for (int64_t j = 0; j < k; ++j)
                own.s[size_t(j)] += w * columns[j][r];
        }
    });
    double n = 0;
    std::vector<double> s(static_cast<size_t>(k), 0);
    for (const Sums &own : chunks) {
        n += own.n;
        for (size_t j = 0; j < own.s.size(); ++j)
            s[j] += own.s[j];
    }
    if (n == 0)
        return not_a_number;
    double grand = 0;
    for (double x : s)
        grand += x;
    grand /= n * double(k);
    ds_parallel_for(chunk_count, uint64_t(rows), [&](uint64_t c, int64_t first, int64_t end) {
        Sums &own = chunks[c];
        own.squares.assign(1, 0);
        own.subjects = 0;
        for (int64_t r = first; r < end; ++r) {
            if (!ds_row_admitted(mask, mask_length, r))
                continue;
            const double w = ds_row_weight(r, weights, num_weights);
            double total = 0;
            for (int64_t j = 0; j < k; ++j) {
                const double d = columns[j][r] - s[size_t(j)] / n;
                own.squares[0] += w * d * d;
                total += columns[j][r];
            }
            const double d = total / double(k) - grand;
            own.subjects += double(k) * w * d * d;
        }
    });
    double within = 0, subjects = 0, treatments = 0;
    for (const Sums &own : chunks) {
        within += own.squares[0];
        subjects += own.subjects;
    }
    for (int64_t j = 0; j < k; ++j) {
        const double d = s[size_t(j)] / n - grand;
        treatments += n * d * d / double(k - 1);
    }
    const int64_t d2 = (int64_t(n) - 1) * (k - 1);
    if (df1)
        *df1 = k - 1;
    if (df2)
        *df2 = d2;
    return treatments / ((within - subjects) / double(d2));
}
