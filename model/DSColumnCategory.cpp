#include "model/DSColumnCategory.h"

#include "model/DSColumn.h"
#include "model/DSTable.h"
#include "model/DSTextFormatter.h"
#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/sterna/sterna.h"

#include <algorithm>
#include <vector>

namespace {

// Weighted row totals of two yes/no properties: all rows, rows with x, rows
// with y, rows with both.
struct membership_sums {
    int64_t n = 0, nx = 0, ny = 0, nxy = 0;
};

// The phi correlation and what goes with it, from the totals.
ds_corr_s phi_correlation(const membership_sums &s)
{
    const double n = double(s.n);
    const double px = double(s.nx) / n, py = double(s.ny) / n;
    const double cov = double(s.nxy) / n - px * py;
    const double vx = px * (1 - px), vy = py * (1 - py);
    const double r = vx != 0 && vy != 0 ? cov / (std::sqrt(vx) * std::sqrt(vy)) : NAN;
    const double z = ds_correlation_z_score(r, 0, s.n);
    return {r, n * cov / (n - 1), s.n, ds_p_value_normal(z, 0), r * r, z};
}

} // namespace

QString DSColumnCategory::formattedValue() const
{
    const QString text = longValue();
    return text.isNull() ? QStringLiteral("") : throughTextFormatter(text);
}

QString DSColumnCategory::throughTextFormatter(const QString &text) const
{
    auto *formatter = m_column ? ds_object_cast<DSTextFormatter>(m_column->text_formatter()) : nullptr;
    return formatter ? formatter->formatAndTruncateString(text) : text;
}

std::optional<double> DSColumnCategory::tableHueFor(const QString &key) const
{
    const DSTable *table = m_column ? m_column->table() : nullptr;
    if (!table)
        return std::nullopt;
    const QVariantMap colours = table->label_colors();
    const auto colour = colours.constFind(key);
    return colour != colours.constEnd() ? std::optional<double>(colour->toDouble()) : std::nullopt;
}

ds_rgba_s DSColumnCategory::tint(int which, double saturation, double lightness) const
{
    if (!m_tints[which]) {
        ds_rgba_s rgb;
        ds_hsl_to_rgb(&rgb, hue(), saturation, lightness);
        m_tints[which] = rgb;
    }
    return *m_tints[which];
}

void DSColumnCategory::purgeImageAndColors()
{
    m_image.reset();
    for (auto &tint : m_tints)
        tint.reset();
}

ds_corr_s DSColumnCategory::calculateCorrelation(const DSColumnCategory *other, const uint8_t *mask,
                                                 qint64 length) const
{
    if (!other)
        return {0, 0, 0, 0, 0, 0};
    return other->calculateCategoryCorrelation(this, mask, length);
}

ds_corr_s DSColumnCategory::calculateCategoryCorrelation(const DSColumnCategory *other, const uint8_t *mask,
                                                         qint64 length) const
{
    const int32_t *xs = nullptr, *ys = nullptr;
    const qint64 xRows = m_column ? m_column->getIndexedValues(&xs, nullptr) : 0;
    const qint64 yRows = other && other->m_column ? other->m_column->getIndexedValues(&ys, nullptr) : 0;
    const int32_t *weights = nullptr;
    const qint64 numWeights = m_column ? m_column->getFrequencyWeights(&weights) : 0;
    const qint64 rows = xs && ys ? std::min(xRows, yRows) : 0;
    const int64_t x = m_index, y = other ? other->m_index : -1;
    membership_sums partial[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(rows), [&](uint64_t c, int64_t first, int64_t end) {
        membership_sums s;
        for (int64_t row = first; row < end; ++row) {
            if (!ds_row_admitted(mask, length, row))
                continue;
            const int64_t w = ds_row_weight(row, weights, numWeights);
            const bool inX = xs[row] == x, inY = ys[row] == y;
            s.n += w;
            s.nx += inX ? w : 0;
            s.ny += inY ? w : 0;
            s.nxy += inX && inY ? w : 0;
        }
        partial[c] = s;
    });
    membership_sums all;
    for (const membership_sums &s : partial) {
        all.n += s.n;
        all.nx += s.nx;
        all.ny += s.ny;
        all.nxy += s.nxy;
    }
    return phi_correlation(all);
}

bool DSColumnCategory::calculateMultipleCorrelations(ds_corr_s *results, qint64 n, const int32_t *byIndexes,
                                                     const uint8_t *mask, qint64 length) const
{
    if (n < 1 || !results)
        return false;
    const int32_t *xs = nullptr;
    const qint64 rows = m_column ? m_column->getIndexedValues(&xs, nullptr) : 0;
    const int32_t *weights = nullptr;
    const qint64 numWeights = m_column ? m_column->getFrequencyWeights(&weights) : 0;
    // Per chunk: N, Nx, then Ny and Nxy of each category of the other variable.
    const size_t stride = 2 + 2 * size_t(n);
    std::vector<int64_t> sums(ds_row_chunks * stride, 0);
    ds_parallel_for(ds_row_chunks, uint64_t(xs && byIndexes ? rows : 0), [&](uint64_t c, int64_t first, int64_t end) {
        int64_t *mine = sums.data() + c * stride;
        for (int64_t row = first; row < end; ++row) {
            const int32_t j = byIndexes[row];
            if (j < 0 || j >= n || !ds_row_admitted(mask, length, row))
                continue;
            const int64_t w = ds_row_weight(row, weights, numWeights);
            const bool inX = xs[row] == m_index;
            mine[0] += w;
            mine[1] += inX ? w : 0;
            mine[2 + 2 * j] += w;
            mine[3 + 2 * j] += inX ? w : 0;
        }
    });
    for (size_t c = 1; c < ds_row_chunks; ++c)
        for (size_t k = 0; k < stride; ++k)
            sums[k] += sums[c * stride + k];
    for (qint64 j = 0; j < n; ++j)
        results[j] = phi_correlation({sums[0], sums[1], sums[2 + 2 * size_t(j)], sums[3 + 2 * size_t(j)]});
    return true;
}
