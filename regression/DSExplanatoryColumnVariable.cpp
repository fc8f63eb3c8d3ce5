#include "regression/DSExplanatoryColumnVariable.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "model/ds_time_units.h"
#include "regression/ds_row_values.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSRegressionModel.h"

#include <cmath>
#include <cstring>

namespace {

const QString k_column = QStringLiteral("column");

const char *const k_superscripts[] = {"²", "³", "⁴", "⁵", "⁶"};
constexpr qint64 k_maxTerms = 5;

} // namespace

DSColumn *DSExplanatoryColumnVariable::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(k_column));
}

void DSExplanatoryColumnVariable::setColumn(DSColumn *column)
{
    setObject(column, k_column);
}

QList<DSExplanatoryInteractionVariable *> DSExplanatoryColumnVariable::outputs() const
{
    return ds_objects_cast<DSExplanatoryInteractionVariable>(objectsForKey(QStringLiteral("outputs")));
}

DSExplanatoryColumnVariable::Kind DSExplanatoryColumnVariable::kind() const
{
    DSColumn *c = column();
    if (dynamic_cast<DSIndicatorColumn *>(c))
        return Kind::Indicator;
    if (!c)
        return Kind::Other;
    if (treat_as_categories() && c->canBeTreatedAsCategories())
        return Kind::Categorical;
    if (dynamic_cast<DSNumericColumn *>(c))
        return Kind::Numeric;
    if (dynamic_cast<DSTimeColumn *>(c))
        return Kind::Time;
    return Kind::Other;
}

QString DSExplanatoryColumnVariable::name() const
{
    DSColumn *c = column();
    return c ? c->name() : QString();
}

QString DSExplanatoryColumnVariable::longName() const
{
    DSColumn *c = column();
    return c ? c->longName() : QString();
}

bool DSExplanatoryColumnVariable::hasCategories() const
{
    return kind() == Kind::Categorical;
}

bool DSExplanatoryColumnVariable::hasHigherOrderTerms() const
{
    const Kind k = kind();
    return (k == Kind::Numeric || k == Kind::Time) && higher_order_terms() > 0;
}

qint64 DSExplanatoryColumnVariable::numberOfHigherOrderTerms() const
{
    return hasHigherOrderTerms() ? std::min(higher_order_terms(), k_maxTerms) : 0;
}

bool DSExplanatoryColumnVariable::isIncludedAsFixedEffects() const
{
    const DSRegressionModel *owner = model();
    return owner && owner->fixed_effects() && owner->panel_column() && owner->panel_column() == column();
}

QStringList DSExplanatoryColumnVariable::categoryValueTexts(DSColumn *column, QStringList *labels)
{
    QStringList texts;
    if (labels)
        labels->clear();
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        const double *index = nullptr;
        const qint64 m = numeric->getIndex(&index);
        const QCborMap stored = numeric->category_labels();
        for (qint64 i = 0; i < m; ++i) {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, "%g", index[i]);
            texts.append(std::isnan(index[i]) ? QStringLiteral("Missing") : QString::fromUtf8(buffer));
            if (labels)
                labels->append(DSNumericColumn::labelOf(stored, index[i]));
        }
        return texts;
    }
    if (auto *textColumn = dynamic_cast<DSTextColumn *>(column)) {
        const char *const *index = nullptr;
        const qint64 m = textColumn->getIndex(&index);
        const QCborMap stored = textColumn->category_labels();
        for (qint64 i = 0; i < m; ++i) {
            // The blank rows' entry (a null text) stands for the missing ones.
            const QString value = index[i] ? QString::fromUtf8(index[i]) : QString();
            texts.append(index[i] ? value : QStringLiteral("Missing"));
            if (labels)
                labels->append(DSTextColumn::labelOf(stored, value));
        }
    }
    return texts;
}

std::vector<DSExplanatoryVariable::EstimateRef> DSExplanatoryColumnVariable::estimatesForCategoryColumn(DSColumn *c)
{
    QStringList labels;
    const QStringList values = categoryValueTexts(c, &labels);
    const qint64 m = values.size();
    if (omitted_category() >= m && omitted_category() != 0)
        setOmitted_category(0);
    std::vector<EstimateRef> estimates;
    for (qint64 i = 0; i < m; ++i) {
        EstimateRef e = makeEstimate(i, labels[i]);
        e->value = values[i];
        e->is_omitted_category = i == omitted_category();
        estimates.push_back(std::move(e));
    }
    return estimates;
}

void DSExplanatoryColumnVariable::forceSetUpEstimates()
{
    DSExplanatoryVariable::forceSetUpEstimates();
    std::vector<EstimateRef> estimates;
    switch (kind()) {
    case Kind::Indicator:
        estimates.push_back(makeEstimate(std::nullopt, QString()));
        break;
    case Kind::Categorical:
        estimates = estimatesForCategoryColumn(column());
        break;
    case Kind::Numeric:
    case Kind::Time: {
        const QString columnName = name();
        estimates.push_back(makeEstimate(0, columnName));
        for (qint64 k = 1; k <= numberOfHigherOrderTerms(); ++k)
            estimates.push_back(
                makeEstimate(k, QStringLiteral("(%1)%2").arg(columnName, QString::fromUtf8(k_superscripts[k - 1]))));
        break;
    }
    case Kind::Other:
        break;
    }
    setEstimates(std::move(estimates));
    for (DSExplanatoryInteractionVariable *interaction : outputs())
        interaction->forceSetUpEstimates();
}

void DSExplanatoryColumnVariable::refreshOmissionFlags()
{
    if (!hasCategories())
        return;
    for (const EstimateRef &e : madeEstimates())
        e->is_omitted_category = e->index && *e->index == omitted_category();
}

qint64 DSExplanatoryColumnVariable::cachedNumberOfRegressors()
{
    const qint64 written = temp_matrix_col_range().length;
    return hasCategories() && written > 0 ? written - 1 : written;
}

qint64 DSExplanatoryColumnVariable::numberOfRegressors(bool all)
{
    switch (kind()) {
    case Kind::Indicator:
        return 1;
    case Kind::Categorical: {
        const qint64 m = column()->numberOfUniqueValues();
        return all || m == 0 ? m : m - 1;
    }
    case Kind::Numeric:
    case Kind::Time:
        return numberOfHigherOrderTerms() + 1;
    case Kind::Other:
        return 0;
    }
    return 0;
}

namespace {

// Writes column 0 of the block from one value per table row, passed through
// linearOf (rows past `count` and non-finite results as 0.0), and each
// further column as that times the column before: the powers.
template <class Linear>
void writePowers(const ds_data_matrix_s &matrix, qint64 first, qint64 terms, const double *values, qint64 count,
                 const int32_t *lookup, Linear linearOf)
{
    ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
        for (qint64 k = 0; k <= terms; ++k) {
            double *to = matrix.column(first + k);
            const double *previous = k ? matrix.column(first + k - 1) : nullptr;
            for (int64_t i = begin; i < end; ++i) {
                const int32_t r = lookup[i];
                const double x = r < count ? linearOf(values[r]) : NAN;
                const double linear = std::isfinite(x) ? x : 0.0;
                to[i] = k ? previous[i] * linear : linear;
            }
        }
    });
}

// Where a time column's values start and the unit they are counted in, in
// the matrix: hours for a time-of-day column, days for any other, counted
// from the start of the hour or day that holds the earliest time (from 0
// without any time).
struct TimeScale
{
    double origin = 0;
    double unit = 1;
};

TimeScale timeScaleOf(DSTimeColumn *column)
{
    const bool hours = column->isTimeOfDay();
    TimeScale scale;
    scale.unit = hours ? 3600 : 86400;
    const double earliest = column->calculateStatsForMask(nullptr, 0, ds_time_stats_basic).min_start;
    if (!std::isnan(earliest))
        scale.origin = ds_time_floor(hours ? ds_time_unit_hour : ds_time_unit_day, nullptr, earliest);
    return scale;
}

} // namespace

qint64 DSExplanatoryColumnVariable::addDataToMatrix(const ds_data_matrix_s &matrix, qint64 first,
                                                    const int32_t *lookup)
{
    forceSetUpEstimates();
    qint64 written = 0;
    switch (kind()) {
    case Kind::Indicator: {
        const uint8_t *bits = nullptr;
        const qint64 bytes = static_cast<DSIndicatorColumn *>(column())->getBytes(&bits, nullptr);
        double *to = matrix.column(first);
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (int64_t i = begin; i < end; ++i) {
                const int32_t r = lookup[i];
                to[i] = bits && r / 8 < bytes && (bits[r / 8] >> (r % 8) & 1) ? 1.0 : 0.0;
            }
        });
        written = 1;
        break;
    }
    case Kind::Categorical: {
        const int32_t *bins = nullptr;
        qint64 m = 0;
        const qint64 count = column()->getIndexedValues(&bins, &m);
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (qint64 j = 0; j < m; ++j)
                std::memset(matrix.column(first + j) + begin, 0, size_t(end - begin) * sizeof(double));
            for (int64_t i = begin; i < end; ++i) {
                const int32_t r = lookup[i];
                const qint64 bin = r < count ? bins[r] : m - 1;
                if (bin >= 0 && bin < m)
                    matrix.column(first + bin)[i] = 1.0;
            }
        });
        written = m;
        break;
    }
    case Kind::Numeric: {
        const double *values = nullptr;
        const qint64 count = ds_row_values(column(), &values);
        written = numberOfHigherOrderTerms() + 1;
        writePowers(matrix, first, written - 1, values, count, lookup, [](double x) { return x; });
        break;
    }
    case Kind::Time: {
        const TimeScale scale = timeScaleOf(static_cast<DSTimeColumn *>(column()));
        setTimeScale(scale.origin / scale.unit, scale.unit);
        const double *values = nullptr;
        const qint64 count = ds_row_values(column(), &values);
        written = numberOfHigherOrderTerms() + 1;
        writePowers(matrix, first, written - 1, values, count, lookup,
                    [scale](double t) { return (t - scale.origin) / scale.unit; });
        break;
    }
    case Kind::Other:
        break;
    }
    if (omitted_category() >= written && omitted_category() != 0)
        setOmitted_category(0);
    return written;
}

bool DSExplanatoryColumnVariable::addDataToVector(double *out, qint64 rows)
{
    switch (kind()) {
    case Kind::Indicator: {
        const uint8_t *bits = nullptr;
        const qint64 bytes = static_cast<DSIndicatorColumn *>(column())->getBytes(&bits, nullptr);
        for (qint64 r = 0; r < rows; ++r)
            out[r] = bits && r / 8 < bytes && (bits[r / 8] >> (r % 8) & 1) ? 1.0 : 0.0;
        return true;
    }
    case Kind::Categorical: {
        const int32_t *bins = nullptr;
        qint64 m = 0;
        const qint64 count = column()->getIndexedValues(&bins, &m);
        for (qint64 r = 0; r < rows; ++r)
            out[r] = r < count ? double(bins[r]) : double(m - 1);
        return true;
    }
    case Kind::Numeric:
    case Kind::Time: {
        const double *values = nullptr;
        const qint64 count = ds_row_values(column(), &values);
        for (qint64 r = 0; r < rows; ++r)
            out[r] = r < count ? values[r] : NAN;
        return true;
    }
    case Kind::Other:
        break;
    }
    return false;
}

qint64 DSExplanatoryColumnVariable::populateIndependentColumnsBuffer(int32_t *out)
{
    const ds_column_range_s range = temp_matrix_col_range();
    const bool skipOmitted = hasCategories();
    qint64 n = 0;
    for (qint64 j = 0; j < range.length; ++j)
        if (!skipOmitted || j != omitted_category())
            out[n++] = int32_t(range.location + j);
    return n;
}
