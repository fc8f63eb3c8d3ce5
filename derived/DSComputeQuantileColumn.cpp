#include "derived/DSComputeQuantileColumn.h"

#include "model/DSTable.h"
#include "model/util/ds_quantiles.h"
#include "model/util/ds_row_weight.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 k_maximumGroups = 199;

// "st", "nd", "rd" or "th" after i.
const char *ordinalSuffix(qint64 i)
{
    if (i % 100 >= 10 && i % 100 <= 19)
        return "th";
    switch (i % 10) {
    case 1:
        return "st";
    case 2:
        return "nd";
    case 3:
        return "rd";
    default:
        return "th";
    }
}

// The group of x among k groups cut at cut[1 .. k - 1] (ascending): one more
// than the number of cut-offs at or below x.
double groupOf(const double *cut, qint64 k, double x)
{
    return double(std::upper_bound(cut + 1, cut + k, x) - (cut + 1) + 1);
}

} // namespace

QString DSComputeQuantileColumn::quantileNameForCount(qint64 k)
{
    switch (k) {
    case 3:
        return QStringLiteral("tercile");
    case 4:
        return QStringLiteral("quartile");
    case 5:
        return QStringLiteral("quintile");
    case 6:
        return QStringLiteral("sextile");
    case 7:
        return QStringLiteral("septile");
    case 8:
        return QStringLiteral("octile");
    case 9:
        return QStringLiteral("nonile");
    case 10:
        return QStringLiteral("decile");
    case 12:
        return QStringLiteral("duodecile");
    case 20:
        return QStringLiteral("vigintile");
    case 100:
        return QStringLiteral("percentile");
    default:
        return QString();
    }
}

QString DSComputeQuantileColumn::suggestedName() const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    const qint64 k = quantile_count();
    const QString group = quantileNameForCount(k);
    if (group.isNull())
        return QStringLiteral("quantile(") + x->name() + QStringLiteral(", ") + QString::number(k) + QLatin1Char(')');
    return group + QLatin1Char('(') + x->name() + QLatin1Char(')');
}

QCborMap DSComputeQuantileColumn::categoryLabelsForCount(qint64 k)
{
    const QString group = quantileNameForCount(k);
    // Without a group name the count stands in for it: "2nd of 11".
    const QString noun = group.isNull() ? QStringLiteral("of ") + QString::number(k) : group;
    QCborMap labels;
    for (qint64 i = 1; i <= std::min(k, k_maximumGroups); ++i) {
        QString label;
        if (i == 1)
            label = QStringLiteral("Bottom ") + noun;
        else if (i == k)
            label = QStringLiteral("Top ") + noun;
        else
            label = QString::number(i) + QLatin1String(ordinalSuffix(i)) + QLatin1Char(' ') + noun;
        labels.insert(QCborValue(double(i)), label);
    }
    return labels;
}

void DSComputeQuantileColumn::generateCategoryLabels()
{
    setCategory_labels(categoryLabelsForCount(quantile_count()));
}

DSComputeQuantileColumn::CutoffSource DSComputeQuantileColumn::currentSource() const
{
    CutoffSource source;
    source.input = input();
    source.inputVersion = source.input ? source.input->dataVersion() : 0;
    if (const DSTable *owner = table(); owner && owner->isFrequencyWeighted()) {
        source.weights = owner->frequency_weights_column();
        source.weightsVersion = source.weights->dataVersion();
    }
    source.k = quantile_count();
    source.rows = tableRowCount();
    return source;
}

bool DSComputeQuantileColumn::setupQuantileValues()
{
    m_cutoffsValid = false;
    const qint64 k = quantile_count();
    auto *x = dynamic_cast<DSNumericColumn *>(input());
    if (!x || k < 1 || k > k_maximumGroups)
        return false;
    const CutoffSource source = currentSource();
    // The mask first: a computed input may compute its values for it.
    ds_numeric_rows_s rows = {};
    rows.missing_length = x->getMissingMask(&rows.missing);
    rows.num_weights = x->getFrequencyWeights(&rows.weights);
    rows.count = x->getValues(&rows.values);
    if (rows.count <= 0)
        return false;
    double *kept = reserveValues(std::max<qint64>(rows.count, 1));
    int32_t *weights = rows.weights ? temp_weights.reserve(std::max<qint64>(rows.count, 1)) : nullptr;
    if (!kept || (rows.weights && !weights))
        return false;
    qint64 m = 0;
    for (qint64 r = 0; r < rows.count; ++r) {
        if (ds_row_marked_missing(rows, r))
            continue;
        if (weights)
            weights[m] = ds_row_frequency(rows, r);
        kept[m++] = rows.values[r];
    }
    ds_quantiles(kept, weights, m, m_cutoffs.data(), int(k), false);
    m_cutoffSource = source;
    m_cutoffsValid = true;
    return true;
}

qint64 DSComputeQuantileColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    auto *x = dynamic_cast<DSNumericColumn *>(input());
    if (!x || ((!m_cutoffsValid || !(m_cutoffSource == currentSource())) && !setupQuantileValues()))
        return handOut(out, nullptr, 0);
    const uint8_t *missing = nullptr;
    const qint64 missingLength = x->getMissingMask(&missing, offset, count);
    const double *v = nullptr;
    const qint64 c = x->getValues(&v, offset, count);
    double *y = reserveValues(count);
    if (!y)
        return handOut(out, nullptr, 0);
    const qint64 k = m_cutoffSource.k;
    const double *cut = m_cutoffs.data();
    // No weighted row: the inner cut-offs are NaN and no row has a group.
    const bool grouped = k == 1 || !std::isnan(cut[1]);
    ds_parallel_for_aligned(ds_row_chunks, uint64_t(count), ds_mask_alignment, [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            const int64_t row = offset + i;
            const bool absent = i >= c || std::isnan(v[i]) || (missing && row / 8 < missingLength && ds_mask_test(missing, row));
            y[i] = absent || !grouped ? NAN : groupOf(cut, k, v[i]);
        }
    });
    return handOut(out, y, count);
}

void DSComputeQuantileColumn::purgeIndex()
{
    m_cutoffsValid = false;
    DSComputedColumn::purgeIndex();
}

void DSComputeQuantileColumn::didTurnIntoFault()
{
    temp_weights.release();
    m_cutoffsValid = false;
    DSComputedColumn::didTurnIntoFault();
}
