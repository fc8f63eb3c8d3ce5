#include "model/DSIndicatorColumn.h"

#include "model/DSColumnSummary.h"
#include "model/DSNumericColumn.h"
#include "model/DSReentryGuard.h"
#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTimeColumn.h"
#include "model/ds_time_stats.h"
#include "model/util/ds_colors.h"
#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/predicate/DSPredicateValue.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QCborMap>

#include <cmath>
#include <vector>

namespace {

enum ValueSourceOperation { WholeColumn = 1, Range = 2 };

// Weighted totals of two yes/no properties of the rows used: all of them,
// those with I, those with J and those with both.
struct PhiSums
{
    int64_t n = 0, I = 0, J = 0, both = 0;
    void add(int64_t w, bool i, bool j)
    {
        n += w;
        I += i ? w : 0;
        J += j ? w : 0;
        both += i && j ? w : 0;
    }
};

// The phi coefficient of the totals; covariance with denominator n - 1.
ds_corr_s phi(const PhiSums &s)
{
    ds_corr_s c{};
    const double n = double(s.n), pI = double(s.I) / n, pJ = double(s.J) / n;
    const double cov = double(s.both) / n - pI * pJ;
    c.count = s.n;
    c.covariance = n * cov / (n - 1);
    const double vI = pI * (1 - pI), vJ = pJ * (1 - pJ);
    ds_corr_finish(&c, vI != 0 && vJ != 0 ? cov / (std::sqrt(vJ) * std::sqrt(vI)) : NAN);
    return c;
}

ds_corr_s noCorrelation()
{
    ds_corr_s c{};
    c.correlation = c.p_value = c.r_squared = c.z_score = NAN;
    return c;
}

// The label stored for key ("0", "1"), or a null text.
QString labelOf(const QCborMap &labels, const char *key)
{
    const QCborValue label = labels.value(QLatin1String(key));
    return label.isString() ? label.toString() : QString();
}

}  // namespace

void DSIndicatorColumn::awakeFromInsert()
{
    // Objects of an older store version (a migration's steps) take what
    // their source holds.
    const DSManagedObjectContext *context = managedObjectContext();
    if (context && context->model().version() == DSStatDocument::storeModels().size()) {
        setTreat_as_categories(true);
        QCborMap labels;
        labels.insert(QStringLiteral("0"), QStringLiteral("FALSE"));
        labels.insert(QStringLiteral("1"), QStringLiteral("TRUE"));
        setCategory_labels(labels);
    }
    temp_index = {0, 1, NAN};
    temp_index_count = 3;
    DSColumn::awakeFromInsert();
}

void DSIndicatorColumn::awakeFromFetch()
{
    temp_index = {0, 1, NAN};
    temp_index_count = 3;
    DSColumn::awakeFromFetch();
}

void DSIndicatorColumn::didTurnIntoFault()
{
    temp_bytes.release();
    DSColumn::didTurnIntoFault();
}

std::optional<DSExpression> DSIndicatorColumn::defaultValueExpression() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromBool(true));
}

qint64 DSIndicatorColumn::getBytes(const uint8_t **values, const uint8_t **missing)
{
    const DSReentryGuard guard(this, WholeColumn);
    if (guard.reentered()) {
        if (values)
            *values = nullptr;
        if (missing)
            *missing = nullptr;
        return 0;
    }
    return getBytes(values, missing, 0, tableRowCount());
}

qint64 DSIndicatorColumn::getBytes(const uint8_t **values, const uint8_t **missing, qint64, qint64)
{
    // The whole column's masks serve any range: they are indexed by absolute row.
    const DSReentryGuard guard(this, Range);
    if (guard.reentered()) {
        if (values)
            *values = nullptr;
        if (missing)
            *missing = nullptr;
        return 0;
    }
    return getBytes(values, missing);
}

qint64 DSIndicatorColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    // Both outputs asked: some kinds write the values unconditionally.
    const uint8_t *values = nullptr, *missing = nullptr;
    const qint64 length = getBytes(&values, &missing, offset, limit);
    if (out)
        *out = length ? missing : nullptr;
    return missing && length ? length : 0;
}

DSIndicatorColumn::Bits DSIndicatorColumn::bits()
{
    Bits b;
    b.length = getBytes(&b.values, &b.missing);
    b.rows = tableRowCount();
    return b;
}

qint64 DSIndicatorColumn::numberOfUniqueValues()
{
    const Bits b = bits();
    bool seenFalse = false, seenTrue = false, seenMissing = false;
    for (qint64 r = 0; r < b.rows; ++r) {
        if (b.isMissing(r))
            seenMissing = true;
        else if (b.isTrue(r))
            seenTrue = true;
        else
            seenFalse = true;
        if (seenFalse && seenTrue && (seenMissing || !b.missing))
            break;
    }
    return qint64(seenFalse) + qint64(seenTrue) + qint64(seenMissing);
}

qint64 DSIndicatorColumn::getIndex(const float **out)
{
    const Bits b = bits();
    // Per chunk: which of FALSE, TRUE and missing occur.
    std::array<std::array<bool, 3>, ds_row_chunks> seen{};
    ds_parallel_for(ds_row_chunks, uint64_t(b.rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r)
            seen[chunk][b.isMissing(r) ? 2 : b.isTrue(r) ? 1 : 0] = true;
    });
    std::array<bool, 3> any{};
    for (const auto &part : seen)
        for (int k = 0; k < 3; ++k)
            any[size_t(k)] = any[size_t(k)] || part[size_t(k)];
    const float entries[3] = {0, 1, NAN};
    temp_index_count = 0;
    for (int k = 0; k < 3; ++k)
        if (any[size_t(k)])
            temp_index[size_t(temp_index_count++)] = entries[k];
    if (out)
        *out = temp_index.data();
    return temp_index_count;
}

qint64 DSIndicatorColumn::getIndexedValueOrder(const int32_t **out)
{
    const qint64 count = getIndex(nullptr);
    int32_t *order = temp_ordered2unordered.reserve(std::max<qint64>(count, 1));
    if (!order)
        return 0;
    for (qint64 k = 0; k < count; ++k)
        order[k] = int32_t(k);
    temp_ordered2unordered.setUsed(count);
    if (out)
        *out = order;
    return count;
}

qint64 DSIndicatorColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    const float *index = nullptr;
    const qint64 count = getIndex(&index);
    int32_t position[3] = {-1, -1, -1};  // of FALSE, TRUE, missing
    for (qint64 k = 0; k < count; ++k)
        position[std::isnan(index[k]) ? 2 : index[k] == 1 ? 1 : 0] = int32_t(k);
    const Bits b = bits();
    int32_t *indexed = temp_indexed_values.reserve(std::max<qint64>(b.rows, 1));
    if (!indexed)
        return 0;
    ds_parallel_for(ds_row_chunks, uint64_t(b.rows), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r)
            indexed[r] = position[b.isMissing(r) ? 2 : b.isTrue(r) ? 1 : 0];
    });
    temp_indexed_values.setUsed(b.rows);
    temp_indexed_values_bins = count;
    if (out)
        *out = indexed;
    if (bins)
        *bins = count;
    return b.rows;
}

ds_stats_s DSIndicatorColumn::calculateStatsWithMask(const uint8_t *mask, qint64 length)
{
    const Bits b = bits();
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    int64_t n = 0, ones = 0;
    for (qint64 r = 0; r < b.rows; ++r)
        if (ds_row_admitted(mask, length, r) && !b.isMissing(r)) {
            const int64_t w = ds_row_weight(r, weights, numWeights);
            n += w;
            ones += b.isTrue(r) ? w : 0;
        }
    ds_stats_s s = ds_stats_empty();
    s.missing = 0;
    if (n == 0)
        return s;
    const double p = double(ones) / double(n);
    // Quartiles of 0/1 values: 0.5 where the rank falls between the two.
    const auto at = [](int64_t k, int64_t total, double below, double above) {
        return k == total ? 0.5 : k > total ? above : below;
    };
    s.min = n == ones ? 1 : 0;
    s.max = ones > 0 ? 1 : 0;
    s.avg = p;
    s.var_biased = p * (1 - p);
    s.var_unbiased = n >= 2 ? double(n) * p * (1 - p) / double(n - 1) : NAN;
    s.med = at(2 * ones, n, 0, 1);
    s.q3 = at(4 * ones, n, 0, 1);
    s.q1 = at(4 * (n - ones), n, 1, 0);
    s.mad = NAN;
    s.count = n;
    return s;
}

ds_corr_s DSIndicatorColumn::calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length)
{
    const Bits b = bits();
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(other)) {
        const Bits o = indicator->bits();
        const int32_t *weights = nullptr;
        const qint64 numWeights = getFrequencyWeights(&weights);
        PhiSums s;
        for (qint64 r = 0; r < b.rows; ++r)
            if (ds_row_admitted(mask, length, r) && !b.isMissing(r) && !o.isMissing(r))
                s.add(ds_row_weight(r, weights, numWeights), b.isTrue(r), o.isTrue(r));
        return phi(s);
    }
    ds_time_rows_s rows{};
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(other)) {
        rows.count = numeric->getValues(&rows.values);
        rows.missing_length = numeric->getMissingMask(&rows.missing);
    } else if (auto *times = dynamic_cast<DSTimeColumn *>(other)) {
        rows.count = times->getTimeValues(&rows.values, nullptr);
        rows.missing_length = times->getMissingMask(&rows.missing);
    } else {
        ds_corr_s none = noCorrelation();
        none.covariance = 0;
        return none;
    }
    if (!rows.values)
        rows.count = 0;
    rows.num_weights = getFrequencyWeights(&rows.weights);
    // Point-biserial: the other column's values against the class TRUE (0)
    // or FALSE (1); rows missing here are left out (-1).
    std::vector<int32_t> classes(static_cast<size_t>(std::max<int64_t>(rows.count, 0)));
    for (qint64 r = 0; r < rows.count; ++r)
        classes[size_t(r)] = b.isMissing(r) ? -1 : b.isTrue(r) ? 0 : 1;
    return ds_point_biserial_correlation(rows, classes.data(), rows.count, mask, length);
}

ds_corr_s DSIndicatorColumn::calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                                          qint64 length)
{
    const int32_t *indexed = nullptr;
    DSColumn *column = category ? category->column() : nullptr;
    const qint64 rows = column ? column->getIndexedValues(&indexed, nullptr) : 0;
    const Bits b = bits();
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    const qint64 k = category ? category->index() : -1;
    PhiSums s;
    for (qint64 r = 0; indexed && r < rows; ++r)
        if (ds_row_admitted(mask, length, r) && !b.isMissing(r))
            s.add(ds_row_weight(r, weights, numWeights), b.isTrue(r), indexed[r] == k);
    if (s.n == 0) {
        ds_corr_s none{};
        none.correlation = NAN;
        return none;
    }
    return phi(s);
}

bool DSIndicatorColumn::calculateMultipleCorrelations(ds_corr_s *results, qint64 count, const int32_t *byIndexes,
                                                      const uint8_t *mask, qint64 length)
{
    if (count <= 0 || !results)
        return false;
    const Bits b = bits();
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    int64_t n = 0, ones = 0;
    std::vector<int64_t> N(size_t(count), 0), S(size_t(count), 0);
    for (qint64 r = 0; byIndexes && r < b.rows; ++r) {
        const int32_t g = byIndexes[r];
        if (!ds_row_admitted(mask, length, r) || b.isMissing(r) || g < 0 || g >= count)
            continue;
        const int64_t w = ds_row_weight(r, weights, numWeights);
        n += w;
        N[size_t(g)] += w;
        if (b.isTrue(r)) {
            ones += w;
            S[size_t(g)] += w;
        }
    }
    for (qint64 g = 0; g < count; ++g)
        results[g] = phi({n, ones, N[size_t(g)], S[size_t(g)]});
    return true;
}

QList<double> DSIndicatorColumn::hueIndex()
{
    const float *index = nullptr;
    const qint64 count = getIndex(&index);
    const QCborMap labels = category_labels();
    const QVariantMap colours = table() ? table()->label_colors() : QVariantMap();
    QList<double> hues;
    for (qint64 k = 0; k < count; ++k) {
        if (std::isnan(index[k])) {
            hues.append(double(NAN));
            continue;
        }
        const char *key = index[k] == 1 ? "1" : "0";
        const QString label = labelOf(labels, key);
        if (label.isNull()) {
            hues.append(ds_hue_for_text(key));
            continue;
        }
        const auto colour = colours.constFind(label);
        hues.append(colour != colours.constEnd() ? colour->toDouble() : ds_hue_for_text(label.toUtf8().constData()));
    }
    return hues;
}

std::shared_ptr<DSColumnSummary> DSIndicatorColumn::summaryForMask(const uint8_t *mask, qint64 length,
                                                                   double significance)
{
    const Bits b = bits();
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    std::array<std::array<int64_t, 3>, ds_row_chunks> parts{};  // FALSE, TRUE, missing
    ds_parallel_for(ds_row_chunks, uint64_t(b.rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r)
            if (ds_row_admitted(mask, length, r))
                parts[chunk][b.isMissing(r) ? 2 : b.isTrue(r) ? 1 : 0] += ds_row_weight(r, weights, numWeights);
    });
    int64_t zeros = 0, ones = 0, missing = 0;
    for (const auto &part : parts) {
        zeros += part[0];
        ones += part[1];
        missing += part[2];
    }
    const int64_t nonmissing = zeros + ones, total = nonmissing + missing;
    const QCborMap labels = category_labels();
    const auto makeCategory = [&](const char *value, int64_t count, qint64 index) {
        auto category = std::make_shared<DSTextColumnCategory>();
        category->setValue(QString::fromLatin1(value));
        category->setCount(count);
        category->setColumn(this);
        category->setIndex(index);
        category->setNonempty_index(index);
        category->setProportion(double(count) / double(total));
        category->setProportion_of_nonmissing(double(count) / double(nonmissing));
        category->setProportion_lower_ci(NAN);
        category->setProportion_upper_ci(NAN);
        return category;
    };
    auto falseCategory = makeCategory("0", zeros, 0), trueCategory = makeCategory("1", ones, 1);
    if (!labels.isEmpty()) {
        falseCategory->setLabel(labelOf(labels, "0"));
        trueCategory->setLabel(labelOf(labels, "1"));
    }
    auto summary = std::make_shared<DSColumnSummary>();
    summary->setColumn(this);
    summary->setProportion_lower_ci_total(NAN);
    if (!std::isnan(significance)) {
        double bounds[2];
        ds_multinomial_confidence_interval(zeros, nonmissing, significance, bounds);
        falseCategory->setProportion_lower_ci(bounds[0]);
        falseCategory->setProportion_upper_ci(bounds[1]);
        trueCategory->setProportion_lower_ci(1 - bounds[1]);
        trueCategory->setProportion_upper_ci(1 - bounds[0]);
        summary->setProportion_lower_ci_total((1 - bounds[1]) + bounds[0]);
    }
    summary->setEqual_counts_chi_square(
        nonmissing > 0 ? double(zeros - ones) * double(zeros - ones) / double(nonmissing) : 0);
    summary->setTotal_count(total);
    summary->setNonmissing_count(nonmissing);
    DSColumnSummary::Categories categories{falseCategory, trueCategory};
    if (missing > 0) {
        auto missingCategory = std::make_shared<DSTextColumnCategory>();
        missingCategory->setValue(QStringLiteral("Missing"));
        missingCategory->setCount(missing);
        missingCategory->setColumn(this);
        missingCategory->setIndex(2);
        missingCategory->setNonempty_index(2);
        missingCategory->setProportion(double(missing) / double(total));
        missingCategory->setProportion_of_nonmissing(NAN);
        missingCategory->setProportion_lower_ci(NAN);
        missingCategory->setProportion_upper_ci(NAN);
        missingCategory->setIs_missing(true);
        categories.append(missingCategory);
    }
    summary->setFirst_category(falseCategory);
    summary->setLast_category(trueCategory);
    if (nonmissing != 0) {
        summary->setMedian_category(zeros < ones ? trueCategory : falseCategory);
        summary->setQ3_category(nonmissing < 4 * ones ? trueCategory : falseCategory);
        summary->setQ1_category(nonmissing < 4 * zeros ? falseCategory : trueCategory);
    }
    summary->setCategories(categories);
    summary->setNonempty_categories(categories);
    return summary;
}
