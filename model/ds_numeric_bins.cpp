#include "model/ds_numeric_bins.h"

#include "model/util/ds_histogram.h"

#include <QVariantMap>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A row mask taking the rows that mask takes and that are not missing in
// any of the columns; passes mask through when no column has a missing
// mask (NaN values fall below the first bin and are not counted anyway).
class used_rows {
public:
    used_rows(std::initializer_list<const ds_numeric_rows_s *> columns, const uint8_t *mask,
              int64_t mask_length)
        : mask_(mask), length_(mask_length)
    {
        const ds_numeric_rows_s *first = *columns.begin();
        const bool any_missing = std::any_of(columns.begin(), columns.end(), [](auto *c) {
            return c->missing && c->missing_length > 0;
        });
        if (!any_missing)
            return;
        const int64_t bytes = (first->count + 7) / 8;
        bytes_.assign(size_t(bytes), 0xFF);
        if (mask)
            for (int64_t j = 0; j < bytes; ++j)
                bytes_[size_t(j)] = j < mask_length ? mask[j] : 0;
        for (const ds_numeric_rows_s *c : columns)
            for (int64_t j = 0; j < std::min(bytes, c->missing ? c->missing_length : 0); ++j)
                bytes_[size_t(j)] &= uint8_t(~c->missing[j]);
        mask_ = bytes_.data();
        length_ = bytes;
    }
    const uint8_t *mask() const { return mask_; }
    int64_t length() const { return length_; }

private:
    std::vector<uint8_t> bytes_;
    const uint8_t *mask_;
    int64_t length_;
};

// The weights as the histogram reads them: one per row. A table whose
// weights fall short of the rows gets the missing ones as 1.
class row_weights {
public:
    explicit row_weights(const ds_numeric_rows_s *rows) : weights_(rows->weights)
    {
        if (!weights_ || rows->num_weights >= rows->count)
            return;
        padded_.assign(size_t(rows->count), 1);
        std::copy(rows->weights, rows->weights + std::max<int64_t>(rows->num_weights, 0),
                  padded_.begin());
        weights_ = padded_.data();
    }
    const int32_t *get() const { return weights_; }

private:
    std::vector<int32_t> padded_;
    const int32_t *weights_;
};

QVariantList bin_dictionaries(const int64_t *counts, int64_t bins, double min, double max,
                              bool keep_empty, bool with_index)
{
    const double w = (max - min) / double(bins);
    QVariantList list;
    for (int64_t u = 0; u < bins; ++u) {
        if (!keep_empty && counts[u] <= 0)
            continue;
        QVariantMap bin;
        bin.insert(QStringLiteral("lower"), min + double(u) * w);
        bin.insert(QStringLiteral("upper"), max - double(bins - 1 - u) * w);
        bin.insert(QStringLiteral("count"), qint64(counts[u]));
        if (with_index)
            bin.insert(QStringLiteral("index"), qint64(u));
        list.append(bin);
    }
    return list;
}

}  // namespace

std::optional<QVariantList> ds_numeric_bins(const ds_numeric_rows_s *rows, const uint8_t *mask,
                                            int64_t mask_length, int64_t bins, double resolution,
                                            double min, double max, bool keep_empty)
{
    if (std::isnan(min) || std::isnan(max))
        return std::nullopt;
    if (bins <= 0)
        return QVariantList();
    const used_rows used({rows}, mask, mask_length);
    const row_weights weights(rows);
    std::vector<int64_t> counts(static_cast<size_t>(bins));
    ds_histogram_parallel(rows->values, weights.get(), rows->count, used.mask(), used.length(),
                          counts.data(), min, max, resolution, bins);
    return bin_dictionaries(counts.data(), bins, min, max, keep_empty, true);
}

std::optional<QVariantList> ds_numeric_difference_bins(const ds_numeric_rows_s *a,
                                                       const ds_numeric_rows_s *b,
                                                       const uint8_t *mask, int64_t mask_length,
                                                       int64_t bins, double resolution,
                                                       double min, double max, bool keep_empty)
{
    if (std::isnan(min) || std::isnan(max) || a->count != b->count)
        return std::nullopt;
    if (bins <= 0)
        return QVariantList();
    const used_rows used({a, b}, mask, mask_length);
    const row_weights weights(a);
    std::vector<int64_t> counts(static_cast<size_t>(bins));
    ds_histogram_differences(a->values, b->values, weights.get(), a->count, used.mask(),
                             used.length(), min, max, resolution, counts.data(), bins);
    return bin_dictionaries(counts.data(), bins, min, max, keep_empty, true);
}

QVariantList ds_numeric_multiple_bins(const ds_numeric_rows_s *rows, const uint8_t *mask,
                                      int64_t mask_length, const int32_t *group_index,
                                      int64_t groups, int64_t bins, double resolution,
                                      double min, double max, bool keep_empty)
{
    QVariantList result;
    if (groups <= 0)
        return result;
    std::vector<int64_t> counts(size_t(groups) * size_t(std::max<int64_t>(bins, 0)), 0);
    if (bins > 0 && group_index) {
        const used_rows used({rows}, mask, mask_length);
        const row_weights weights(rows);
        ds_histogram_by_index(rows->values, weights.get(), rows->count, used.mask(), used.length(),
                              counts.data(), min, max, resolution, bins, group_index, groups);
    }
    for (int64_t g = 0; g < groups; ++g)
        result.append(QVariant(bin_dictionaries(counts.data() + g * std::max<int64_t>(bins, 0),
                                                std::max<int64_t>(bins, 0), min, max, keep_empty,
                                                false)));
    return result;
}
