#include "model/DSTimeColumn.h"

#include "model/DSColumnSummary.h"
#include "model/DSDateFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSReentryGuard.h"
#include "model/DSTimeColumnCategory.h"
#include "model/DSTimePartition.h"
#include "model/ds_covariate_independence.h"
#include "model/ds_missing_values_predicate.h"
#include "model/ds_row_mask.h"
#include "model/ds_time_units.h"
#include "model/ds_value_comparisons.h"
#include "model/util/ds_labels.h"
#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"
#include "platform/calendar/DSDatePatternGenerator.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/calendar/ds_local_time_zone.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/sterna/sterna.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

enum ValueSourceOperation { WholeColumn = 1, Range = 2 };

constexpr double kDay = 86400.0;

} // namespace

DSTimeColumn::DSTimeColumn() = default;

DSTimeColumn::~DSTimeColumn() = default;

void DSTimeColumn::awakeFromInsert()
{
    DSColumn::awakeFromInsert();
    setupTimeColumn();
}

void DSTimeColumn::awakeFromFetch()
{
    DSColumn::awakeFromFetch();
    setupTimeColumn();
}

void DSTimeColumn::setupTimeColumn()
{
    m_timeStats = ds_time_stats_s();
    m_timeStats.count = -1;
    temp_formatters.clear();
    temp_formatters.reserve(10);
}

void DSTimeColumn::didTurnIntoFault()
{
    temp_formatters.clear();
    temp_gregorian_dates.release();
    temp_gregorian_intervals.release();
    temp_days_of_week.release();
    temp_time_values.release();
    temp_time_intervals.release();
    DSColumn::didTurnIntoFault();
}

void DSTimeColumn::makeDependencies()
{
    DSColumn::makeDependencies();
    // Time partitions come with the partition kinds; a model without them
    // leaves the relationships empty.
    const QString entity = QStringLiteral("DSTimePartition");
    if (!this->entity()->managedObjectModel()->entityNamed(entity))
        return;
    for (const char *key : {"pivot_partition", "covariate_partition"}) {
        const QString name = QString::fromLatin1(key);
        if (objectForKey(name))
            continue;
        if (DSManagedObject *partition = insertNewObjectOfEntity(entity)) {
            partition->setObject(this, QStringLiteral("column"));
            setObject(partition, name);
        }
    }
}

void DSTimeColumn::purgeStats()
{
    DSColumn::purgeStats();
    m_timeStats = ds_time_stats_s();
    m_timeStats.count = -1;
}

std::optional<DSExpression> DSTimeColumn::defaultValueExpression() const
{
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - kDSUnixToAbsoluteTime;
    return DSExpression::forConstantValue(DSPredicateValue::fromDate(now));
}

qint64 DSTimeColumn::minimumTimeUnit()
{
    return ds_time_unit_for_interval(calculateStatsForMask(nullptr, 0, ds_time_stats_basic).min_interval);
}

qint64 DSTimeColumn::maximumTimeUnit()
{
    return ds_time_unit_for_interval(calculateStatsForMask(nullptr, 0, ds_time_stats_basic).max_interval);
}

std::shared_ptr<DSPlatformDateFormatter> DSTimeColumn::formatterForTemplate(const QString &tmpl)
{
    if (auto found = temp_formatters.constFind(tmpl); found != temp_formatters.constEnd())
        return found.value();
    const QLocale locale;
    auto formatter = std::make_shared<DSPlatformDateFormatter>(locale);
    const QString pattern = DSDatePatternGenerator(locale).bestPattern(tmpl);
    if (!pattern.isEmpty())
        formatter->setDateFormat(pattern);
    temp_formatters.insert(tmpl, formatter);
    return formatter;
}

std::shared_ptr<DSPlatformDateFormatter> DSTimeColumn::formatterForTimeUnit(qint64 unit)
{
    if (isTimeOfDay())
        return timeOfDayFormatter();
    return unit > ds_time_unit_half_day ? dateFormatter() : dateAndTimeFormatter();
}

std::shared_ptr<DSPlatformDateFormatter> DSTimeColumn::formatterForInterval(double seconds)
{
    if (isTimeOfDay())
        return timeOfDayFormatter();
    return seconds < kDay ? dateAndTimeFormatter() : dateFormatter();
}

qint64 DSTimeColumn::getTimeValues(const double **values, const double **intervals)
{
    const DSReentryGuard guard(this, WholeColumn);
    if (guard.reentered()) {
        if (values)
            *values = nullptr;
        if (intervals)
            *intervals = nullptr;
        return 0;
    }
    return getTimeValues(values, intervals, 0, tableRowCount());
}

qint64 DSTimeColumn::getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, Range);
    const double *v = nullptr, *d = nullptr;
    const qint64 count = guard.reentered() ? 0 : getTimeValues(&v, &d);
    offset = std::max<qint64>(offset, 0);
    const qint64 answered = v && offset < count ? std::clamp<qint64>(limit, 0, count - offset) : 0;
    if (values)
        *values = answered ? v + offset : nullptr;
    if (intervals)
        *intervals = answered && d ? d + offset : nullptr;
    return answered;
}

// The interval from value as whole days and seconds; a zero step for a NaN
// value or interval.
static ds_gmt_units_s gregorianStep(double value, double interval)
{
    ds_gmt_units_s step;
    if (std::isfinite(value) && std::isfinite(interval)) {
        step.days = int32_t(ds_gmt_units_between(value, value + interval, DS_GMT_DAYS));
        step.seconds = interval - step.days * kDay;
    }
    return step;
}

void DSTimeColumn::setupGregorianDatesForTimeValues(const double *values, const double *intervals, qint64 count)
{
    if (count <= 0 || !values) {
        temp_gregorian_dates.setUsed(0);
        temp_gregorian_intervals.setUsed(0);
        return;
    }
    ds_gmt_date_s *dates = temp_gregorian_dates.reserve(count);
    ds_gmt_units_s *steps = temp_gregorian_intervals.reserve(count);
    if (!dates || !steps) {
        qCritical("Error in malloc()");
        temp_gregorian_dates.setUsed(0);
        temp_gregorian_intervals.setUsed(0);
        return;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t row = first; row < end; ++row)
            dates[row] = std::isfinite(values[row]) ? ds_gmt_date(values[row]) : ds_gmt_date_none();
    });
    temp_gregorian_dates.setUsed(count);
    if (!intervals) {
        temp_gregorian_intervals.setUsed(0);
        return;
    }
    for (qint64 row = 0; row < count; ++row)
        steps[row] = gregorianStep(values[row], intervals[row]);
    temp_gregorian_intervals.setUsed(count);
}

void DSTimeColumn::updateGregorianDate(qint64 row, double value, double interval)
{
    if (row >= 0 && row < temp_gregorian_dates.used())
        temp_gregorian_dates.data()[row] = std::isfinite(value) ? ds_gmt_date(value) : ds_gmt_date_none();
    if (row >= 0 && row < temp_gregorian_intervals.used())
        temp_gregorian_intervals.data()[row] = gregorianStep(value, interval);
}

qint64 DSTimeColumn::getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps)
{
    return getGregorianDates(dates, steps, 0, tableRowCount());
}

qint64 DSTimeColumn::getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps, qint64 offset,
                                       qint64 limit)
{
    const double *values = nullptr, *intervals = nullptr;
    const qint64 n = getTimeValues(&values, steps ? &intervals : nullptr, offset, limit);
    setupGregorianDatesForTimeValues(values, intervals, n);
    const qint64 used = temp_gregorian_dates.used();
    if (dates)
        *dates = used ? temp_gregorian_dates.data() : nullptr;
    if (steps)
        *steps = used && temp_gregorian_intervals.used() ? temp_gregorian_intervals.data() : nullptr;
    return used;
}

qint64 DSTimeColumn::getDaysOfWeek(const int32_t **out)
{
    const double *values = nullptr;
    const qint64 n = getTimeValues(&values, nullptr);
    int32_t *days = n > 0 ? temp_days_of_week.reserve(n) : nullptr;
    if (!days) {
        temp_days_of_week.setUsed(0);
        if (out)
            *out = nullptr;
        return 0;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(n), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t row = first; row < end; ++row)
            days[row] = std::isfinite(values[row]) ? ds_gmt_day_of_week(values[row]) : 0;
    });
    temp_days_of_week.setUsed(n);
    if (out)
        *out = days;
    return n;
}

qint64 DSTimeColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const double *values = nullptr;
    qint64 count = getTimeValues(&values, nullptr, offset, limit);
    const qint64 length = setupMissingMask(offset, limit);
    count = std::min(count, rowsInRange(offset, limit));
    if (values && count > 0)
        ds_mark_rows(sharedMissingMask(), offset, count, [values](int64_t i) { return std::isnan(values[i]); });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSTimeColumn::setupMissingMask(qint64 offset, qint64 limit)
{
    DSPredicatePtr predicate;
    const qint64 length = setupMissingMaskForPredicate(offset, limit, &predicate);
    if (!predicate)
        return length;
    const double *v = nullptr;
    const qint64 count = std::min(getTimeValues(&v, nullptr, offset, limit), rowsInRange(offset, limit));
    if (!v || count <= 0)
        return length;

    uint8_t *mask = sharedMissingMask();
    std::vector<double> equal;
    for (const DSComparisonPredicate *comparison : ds_predicate_comparisons(*predicate)) {
        if (comparison->leftExpression().fieldName() != QLatin1String("value")
            || comparison->rightExpression().kind() != DSExpression::Kind::ConstantValue)
            continue;
        const DSPredicateValue &operand = comparison->rightExpression().constantValue();
        if (operand.kind() != DSPredicateValue::Kind::Date)
            continue;
        const double d = operand.dateValue();
        const double s = d + ds_local_time_zone_offset(d);
        const double day = ds_time_floor(ds_time_unit_day, nullptr, s);
        const double x = isTimeOfDay() ? ds_time_floor(ds_time_unit_minute, nullptr, s) - day : day;
        if (comparison->predicateOperatorType() == DSPredicateOperatorType::EqualTo)
            equal.push_back(x);
        else
            ds_mark_comparison(mask, offset, v, count, comparison->predicateOperatorType(), x);
    }
    ds_mark_equal_rows(mask, offset, v, count, std::move(equal));
    return length;
}

qint64 DSTimeColumn::getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &,
                                               const uint8_t *mask, qint64 length)
{
    const double *values = nullptr;
    if (getTimeValues(&values, nullptr) <= 0)
        return handOutCovariateGroups(out, bins, 0, 0);
    const ds_time_stats_s stats = calculateStatsForMask(nullptr, 0, 1);
    const auto *partition = ds_object_cast<DSTimePartition>(covariate_partition());
    const QList<double> cuts = partition ? partition->cutoffsForStats(stats, nullptr) : QList<double>();
    const qint64 n = getTimeValues(&values, nullptr);
    int32_t *groups = covariateGroupsBuffer(n);
    if (!groups)
        return handOutCovariateGroups(out, bins, 0, 0);
    ds_bin_times(values, groups, n, mask, length, cuts.constData(), cuts.size());
    return handOutCovariateGroups(out, bins, n, cuts.isEmpty() ? 0 : cuts.size() - 1);
}

qint64 DSTimeColumn::getSortedValues(const double **values, const int32_t **rows)
{
    if (!temp_sorted.isEmpty() && !temp_sorted_index.isEmpty()) {
        if (values)
            *values = temp_sorted.used() ? temp_sorted.data() : nullptr;
        if (rows)
            *rows = temp_sorted_index.used() ? temp_sorted_index.data() : nullptr;
        return temp_sorted.used();
    }
    const ds_time_rows_s r = timeRows();
    qint64 n = 0;
    for (qint64 row = 0; row < r.count; ++row)
        n += !(ds_time_row_missing(r, row));
    double *sorted = n ? temp_sorted.reserve(n) : nullptr;
    int32_t *index = n ? temp_sorted_index.reserve(n) : nullptr;
    if (!sorted || !index) {
        if (values)
            *values = nullptr;
        if (rows)
            *rows = nullptr;
        return 0;
    }
    qint64 k = 0;
    for (qint64 row = 0; row < r.count; ++row)
        if (!(ds_time_row_missing(r, row))) {
            sorted[k] = r.values[row];
            index[k++] = int32_t(row);
        }
    ds_sort(sorted, index, n);
    temp_sorted.setUsed(n);
    temp_sorted_index.setUsed(n);
    if (values)
        *values = sorted;
    if (rows)
        *rows = index;
    return n;
}

ds_time_rows_s DSTimeColumn::timeRows()
{
    ds_time_rows_s rows{};
    rows.count = getTimeValues(&rows.values, &rows.intervals);
    rows.missing_length = getMissingMask(&rows.missing);
    rows.num_weights = getFrequencyWeights(&rows.weights);
    return rows;
}

ds_time_stats_s DSTimeColumn::calculateStatsForMask(const uint8_t *mask, qint64 length, uint64_t options)
{
    return ds_time_stats(timeRows(), mask, length, options);
}

ds_gregorian_stats_s DSTimeColumn::gregorianStatsForMask(const uint8_t *mask, qint64 length)
{
    return ds_gregorian_stats(calculateStatsForMask(mask, length, ds_time_stats_basic));
}

qint64 DSTimeColumn::bucketCountForStats(const ds_time_stats_s &stats, qint64 unit)
{
    return ds_time_bucket_count(stats, unit);
}

void DSTimeColumn::assignBinLimits(double *limits, qint64 count, qint64 unit, double start)
{
    ds_time_bin_limits(limits, count, unit, start);
}

namespace {

// The bins of one group: n periods from counts, limits 2n.
QVariantList binsOf(const double *counts, const double *limits, qint64 n)
{
    QVariantList bins;
    bins.reserve(n);
    for (qint64 j = 0; j < n; ++j) {
        QVariantMap bin;
        bin.insert(QStringLiteral("lower"), limits[2 * j]);
        bin.insert(QStringLiteral("upper"), limits[2 * j + 1]);
        bin.insert(QStringLiteral("count"), counts[j]);
        bin.insert(QStringLiteral("index"), qint32(j));
        bins.append(bin);
    }
    return bins;
}

} // namespace

std::optional<QVariantList> DSTimeColumn::binsForMask(const uint8_t *mask, qint64 length, const ds_time_stats_s &stats,
                                                      qint64 unit)
{
    const qint64 n = bucketCountForStats(stats, unit);
    if (n <= 0)
        return std::nullopt;
    std::vector<double> counts(static_cast<size_t>(n)), limits(static_cast<size_t>(2 * n));
    ds_time_period_counts(timeRows(), mask, length, stats, unit, nullptr, 1, counts.data(), limits.data());
    return binsOf(counts.data(), limits.data(), n);
}

QVariantList DSTimeColumn::multipleBinsForMask(const uint8_t *mask, qint64 length, const int32_t *byIndex,
                                               qint64 count, const ds_time_stats_s &stats, qint64 unit)
{
    const qint64 n = bucketCountForStats(stats, unit);
    std::vector<double> counts(static_cast<size_t>(std::max<qint64>(n, 0) * std::max<qint64>(count, 0))),
        limits(size_t(2 * std::max<qint64>(n, 0)));
    if (n > 0 && count > 0)
        ds_time_period_counts(timeRows(), mask, length, stats, unit, byIndex, count, counts.data(), limits.data());
    QVariantList groups;
    for (qint64 g = 0; g < count; ++g) {
        const double *own = n > 0 ? counts.data() + g * n : nullptr;
        qint64 total = 0;
        for (qint64 j = 0; j < n; ++j)
            total += qint64(own[j]);
        QVariantMap group;
        group.insert(QStringLiteral("bins"), n > 0 ? binsOf(own, limits.data(), n) : QVariantList());
        group.insert(QStringLiteral("count"), total);
        group.insert(QStringLiteral("time_unit"), unit);
        groups.append(group);
    }
    return groups;
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::summaryForMask(const uint8_t *mask, qint64 length, double significance)
{
    auto summary = std::make_shared<DSColumnSummary>();
    const ds_time_stats_s stats = calculateStatsForMask(mask, length, ds_time_stats_all);
    summary->setTime_stats(stats);
    const std::shared_ptr<DSPlatformDateFormatter> formatter = formatterForInterval(stats.min_interval);
    const qint64 unit = do_fix_time_unit() ? fixed_time_unit() : ds_time_unit_for_summary(stats);
    const std::optional<QVariantList> bins = binsForMask(mask, length, stats, unit);

    qint64 total = 0;
    for (const QVariant &bin : bins.value_or(QVariantList()))
        total += qint64(bin.toMap().value(QStringLiteral("count")).toDouble());
    DSDateFormatter labels;
    DSColumnSummary::Categories categories, nonempty;
    double chiSquare = 0;
    for (const QVariant &item : bins.value_or(QVariantList())) {
        const QVariantMap bin = item.toMap();
        const double lower = bin.value(QStringLiteral("lower")).toDouble();
        const double upper = bin.value(QStringLiteral("upper")).toDouble();
        const qint64 count = qint64(bin.value(QStringLiteral("count")).toDouble());
        auto category = std::make_shared<DSTimeColumnCategory>(formatter);
        category->setCount(count);
        category->setLabel(ds_time_span_label(&labels, isTimeOfDay(), lower, upper));
        category->setIndex(bin.value(QStringLiteral("index")).toLongLong());
        category->setValue(lower);
        category->setInterval(upper - lower);
        category->setColumn(this);
        double bounds[2] = {NAN, NAN};
        if (!std::isnan(significance))
            ds_poisson_confidence_interval(double(count), 1 - significance, bounds);
        category->setCount_lower_ci(bounds[0]);
        category->setCount_upper_ci(bounds[1]);
        if (count) {
            category->setNonempty_index(nonempty.size());
            nonempty.append(category);
        }
        categories.append(category);
        const double e = (upper - lower) / (stats.max_end - stats.min_start) * double(total);
        chiSquare += (double(count) - e) * (double(count) - e) / e;
    }
    summary->setCategories(categories);
    summary->setNonempty_categories(nonempty);
    summary->setProportional_counts_chi_square(chiSquare);
    summary->setColumn(this);
    summary->setTime_unit(unit);
    summary->setTotal_count(total);
    return summary;
}

namespace {

// The answer of the calendar index operations without a result.
qint64 noIndexedValues(const int32_t **out, qint64 *bins)
{
    if (out)
        *out = nullptr;
    if (bins)
        *bins = 0;
    return 0;
}

} // namespace

template <class Category>
qint64 DSTimeColumn::fillIndexed(const int32_t **out, qint64 *bins, qint64 count, const Category &category)
{
    const ds_gmt_date_s *dates = nullptr;
    const qint64 n = getGregorianDates(&dates, nullptr);
    const ds_time_rows_s rows = timeRows();
    int32_t *indexed = n > 0 ? temp_indexed_values.reserve(n) : nullptr;
    if (!indexed)
        return noIndexedValues(out, bins);
    bool anyMissing = false;
    for (qint64 row = 0; row < n; ++row) {
        const bool missing = row >= rows.count || ds_time_row_missing(rows, row);
        int32_t c = missing ? -1 : int32_t(category(dates[row], row));
        if (c < 0 || c >= count) {
            c = int32_t(count);
            anyMissing = true;
        }
        indexed[row] = c;
    }
    temp_indexed_values.setUsed(n);
    temp_indexed_values_bins = count + (anyMissing ? 1 : 0);
    if (out)
        *out = indexed;
    if (bins)
        *bins = temp_indexed_values_bins;
    return n;
}

qint64 DSTimeColumn::getYearIndexedValues(const int32_t **out, qint64 *bins, const ds_gregorian_stats_s &stats)
{
    if (!ds_gmt_date_is_valid(stats.min_start) || tableRowCount() == 0)
        return noIndexedValues(out, bins);
    const int64_t first = stats.min_start.year;
    return fillIndexed(out, bins, stats.max_start.year - first + 1,
                       [first](const ds_gmt_date_s &d, qint64) { return d.year - first; });
}

qint64 DSTimeColumn::getMonthIndexedValues(const int32_t **out, qint64 *bins)
{
    return fillIndexed(out, bins, 12, [](const ds_gmt_date_s &d, qint64) { return d.month - 1; });
}

qint64 DSTimeColumn::getDayOfWeekIndexedValues(const int32_t **out, qint64 *bins)
{
    const double *values = nullptr;
    if (tableRowCount() == 0 || getTimeValues(&values, nullptr) == 0)
        return noIndexedValues(out, bins);
    return fillIndexed(out, bins, 7, [values](const ds_gmt_date_s &, qint64 row) {
        return ds_gmt_day_of_week(values[row]) - 1;
    });
}

qint64 DSTimeColumn::getHourOfDayIndexedValues(const int32_t **out, qint64 *bins, const ds_gregorian_stats_s &stats)
{
    if (!ds_gmt_date_is_valid(stats.min_start_time_of_day) || tableRowCount() == 0)
        return noIndexedValues(out, bins);
    const int first = stats.min_start_time_of_day.hour;
    // A row standing for a day or more (a plain date among time stamps) has
    // no hour in the span: it is left out, with the missing rows' index.
    const double *intervals = nullptr;
    getTimeValues(nullptr, &intervals);
    return fillIndexed(out, bins, stats.max_start_time_of_day.hour - first + 1,
                       [first, intervals](const ds_gmt_date_s &d, qint64 row) {
                           return intervals && intervals[row] >= kDay ? -1 : d.hour - first;
                       });
}

qint64 DSTimeColumn::countIndexed(const int32_t *indexed, qint64 rows, qint64 count, const uint8_t *mask,
                                  qint64 length, std::vector<qint64> &counts)
{
    const ds_time_rows_s r = timeRows();
    counts.assign(size_t(count), 0);
    qint64 missing = 0;
    for (qint64 row = 0; row < rows; ++row) {
        if (!ds_row_admitted(mask, length, row))
            continue;
        const int32_t w = ds_row_weight(row, r.weights, r.num_weights);
        if (row >= r.count || ds_time_row_missing(r, row))
            missing += w;
        else if (indexed[row] < count)
            counts[size_t(indexed[row])] += w;
    }
    return missing;
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::yearSummaryForMask(const uint8_t *mask, qint64 length,
                                                                  double significance, DSColumn *owner)
{
    const ds_gregorian_stats_s stats = gregorianStatsForMask(nullptr, 0);
    const int32_t *indexed = nullptr;
    qint64 bins = 0;
    const qint64 rows = getYearIndexedValues(&indexed, &bins, stats);
    if (!indexed)
        return nullptr;
    const qint64 count = stats.max_start.year - stats.min_start.year + 1;
    std::vector<qint64> counts, years(static_cast<size_t>(count));
    const qint64 missing = countIndexed(indexed, rows, count, mask, length, counts);
    std::vector<double> dates(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        ds_gmt_date_s d;
        d.year = stats.min_start.year + i;
        dates[size_t(i)] = ds_gmt_absolute_time(d);
        years[size_t(i)] = d.year;
    }
    return internalSummaryForDates(dates.data(), counts.data(), years.data(), nullptr, count, missing,
                                   yearFormatter(), significance, owner);
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::monthSummaryForMask(const uint8_t *mask, qint64 length,
                                                                   double significance, DSColumn *owner)
{
    const int32_t *indexed = nullptr;
    const qint64 rows = getMonthIndexedValues(&indexed, nullptr);
    std::vector<qint64> counts, months(12);
    const qint64 missing = countIndexed(indexed, rows, 12, mask, length, counts);
    std::vector<double> dates(12), proportions(12);
    for (int m = 0; m < 12; ++m) {
        ds_gmt_date_s d;
        d.month = m + 1;
        dates[size_t(m)] = ds_gmt_absolute_time(d);
        months[size_t(m)] = m + 1;
        // February counts a quarter of its leap day.
        static const double days[12] = {31, 28.25, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        proportions[size_t(m)] = days[m] / 365.25;
    }
    return internalSummaryForDates(dates.data(), counts.data(), months.data(), proportions.data(), 12, missing,
                                   monthFormatter(), significance, owner);
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::dayOfMonthSummaryForMask(const uint8_t *mask, qint64 length,
                                                                        double significance, DSColumn *owner)
{
    const ds_gmt_date_s *dates = nullptr;
    const qint64 rows = getGregorianDates(&dates, nullptr);
    const ds_time_rows_s r = timeRows();
    std::vector<qint64> counts(31, 0);
    qint64 missing = 0;
    int longest = 28;
    for (qint64 row = 0; row < rows; ++row) {
        if (!ds_row_admitted(mask, length, row))
            continue;
        const int32_t w = ds_row_weight(row, r.weights, r.num_weights);
        if (row >= r.count || ds_time_row_missing(r, row)) {
            missing += w;
            continue;
        }
        const ds_gmt_date_s &d = dates[row];
        counts[size_t(d.day - 1)] += w;
        const int64_t y = d.year;
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        longest = std::max(longest, d.month == 2 && leap ? 29 : lengths[d.month - 1]);
    }
    std::vector<double> days(static_cast<size_t>(longest));
    std::vector<qint64> numbers(static_cast<size_t>(longest));
    for (int i = 0; i < longest; ++i) {
        ds_gmt_date_s d;
        d.day = i + 1;
        days[size_t(i)] = ds_gmt_absolute_time(d);
        numbers[size_t(i)] = i + 1;
    }
    return internalSummaryForDates(days.data(), counts.data(), numbers.data(), nullptr, longest, missing,
                                   dayOfMonthFormatter(), significance, owner);
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::dayOfWeekSummaryForMask(const uint8_t *mask, qint64 length,
                                                                       double significance, DSColumn *owner)
{
    const int32_t *indexed = nullptr;
    const qint64 rows = getDayOfWeekIndexedValues(&indexed, nullptr);
    if (!indexed)
        return nullptr;
    std::vector<qint64> counts, weekdays(7);
    const qint64 missing = countIndexed(indexed, rows, 7, mask, length, counts);
    std::vector<double> dates(7);
    for (int i = 0; i < 7; ++i) {
        // 2001-01-01 was a Monday.
        dates[size_t(i)] = i * kDay;
        weekdays[size_t(i)] = i + 1;
    }
    return internalSummaryForDates(dates.data(), counts.data(), weekdays.data(), nullptr, 7, missing,
                                   dayOfWeekFormatter(), significance, owner);
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::hourOfDaySummaryForMask(const uint8_t *mask, qint64 length,
                                                                       double significance, DSColumn *owner)
{
    const ds_gregorian_stats_s stats = gregorianStatsForMask(nullptr, 0);
    const int32_t *indexed = nullptr;
    const qint64 rows = getHourOfDayIndexedValues(&indexed, nullptr, stats);
    if (!indexed)
        return nullptr;
    const int first = stats.min_start_time_of_day.hour;
    const qint64 count = stats.max_start_time_of_day.hour - first + 1;
    std::vector<qint64> counts, hours(static_cast<size_t>(count));
    const qint64 missing = countIndexed(indexed, rows, count, mask, length, counts);
    std::vector<double> dates(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        dates[size_t(i)] = double(first + i) * 3600.0;
        hours[size_t(i)] = first + i;
    }
    return internalSummaryForDates(dates.data(), counts.data(), hours.data(), nullptr, count, missing,
                                   hourOfDayFormatter(), significance, owner);
}

std::shared_ptr<DSColumnSummary> DSTimeColumn::internalSummaryForDates(
    const double *dates, const qint64 *counts, const qint64 *integerValues, const double *testProportions,
    qint64 count, qint64 missingCount, const std::shared_ptr<DSPlatformDateFormatter> &formatter,
    double significance, DSColumn *owner)
{
    auto summary = std::make_shared<DSColumnSummary>();
    qint64 nonmissing = 0, nonempty = 0;
    for (qint64 i = 0; i < count; ++i) {
        nonmissing += counts[i];
        nonempty += counts[i] != 0;
    }
    const qint64 total = nonmissing + missingCount;
    double lowerTotal = std::isnan(significance) ? NAN : 0;
    double chiSquare = 0;
    DSColumnSummary::Categories categories, filled;
    for (qint64 i = 0; i < count; ++i) {
        auto category = std::make_shared<DSTimeColumnCategory>(formatter);
        category->setCount(counts[i]);
        category->setProportion(double(counts[i]) / double(total));
        category->setProportion_of_nonmissing(double(counts[i]) / double(nonmissing));
        const double e = (testProportions ? testProportions[i] : 1.0 / double(nonempty)) * double(nonmissing);
        chiSquare += (double(counts[i]) - e) * (double(counts[i]) - e) / e;
        if (!std::isnan(significance)) {
            double bounds[2];
            ds_multinomial_confidence_interval(counts[i], nonmissing, significance, bounds);
            category->setProportion_lower_ci(bounds[0]);
            category->setProportion_upper_ci(bounds[1]);
            lowerTotal += bounds[0];
        }
        category->setValue(dates[i]);
        category->setColumn(owner);
        category->setIndex(i);
        category->setIntegerValue(integerValues[i]);
        if (counts[i]) {
            category->setNonempty_index(filled.size());
            filled.append(category);
        }
        categories.append(category);
    }
    if (missingCount) {
        auto category = std::make_shared<DSTimeColumnCategory>(formatter);
        category->setCount(missingCount);
        category->setIs_missing(true);
        category->setProportion(double(missingCount) / double(total));
        category->setProportion_of_nonmissing(NAN);
        category->setColumn(owner);
        category->setIndex(count);
        category->setIntegerValue(-1);
        category->setNonempty_index(filled.size());
        filled.append(category);
        categories.append(category);
    }
    // Ends and quartiles among the non-missing categories with rows.
    qint64 running = 0;
    for (qint64 i = 0; i < count; ++i) {
        const DSColumnSummary::CategoryRef &category = categories[i];
        if (!counts[i])
            continue;
        if (!summary->first_category())
            summary->setFirst_category(category);
        summary->setLast_category(category);
        const double before = double(running) / double(nonmissing);
        running += counts[i];
        const double after = double(running) / double(nonmissing);
        if (before < 0.25 && 0.25 <= after)
            summary->setQ1_category(category);
        if (before < 0.5 && 0.5 <= after)
            summary->setMedian_category(category);
        if (before < 0.75 && 0.75 <= after)
            summary->setQ3_category(category);
    }
    summary->setProportion_lower_ci_total(lowerTotal);
    summary->setEqual_counts_chi_square(chiSquare);
    summary->setCategories(categories);
    summary->setNonempty_categories(filled);
    summary->setTotal_count(total);
    summary->setNonmissing_count(nonmissing);
    return summary;
}

ds_corr_s DSTimeColumn::calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length)
{
    // Numbers and indicators answer for themselves, so one pair of columns
    // gives one answer whichever side asks.
    if (dynamic_cast<DSNumericColumn *>(other) || dynamic_cast<DSIndicatorColumn *>(other))
        return other->calculateCorrelation(this, mask, length);
    if (auto *times = dynamic_cast<DSTimeColumn *>(other))
        return ds_time_correlation(timeRows(), times->timeRows(), mask, length);
    ds_corr_s none{};
    none.correlation = none.p_value = none.r_squared = none.z_score = NAN;
    return none;
}

ds_corr_s DSTimeColumn::calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                                     qint64 length)
{
    const int32_t *indexed = nullptr;
    const qint64 n = category && category->column() ? category->column()->getIndexedValues(&indexed, nullptr) : 0;
    return ds_time_category_correlation(timeRows(), indexed, indexed ? n : 0, category ? category->index() : -1,
                                        mask, length);
}

bool DSTimeColumn::calculateMultipleCorrelations(ds_corr_s *out, qint64 k, const int32_t *byIndexes,
                                                 const uint8_t *mask, qint64 length)
{
    return ds_time_multiple_correlations(timeRows(), byIndexes, out, k, mask, length);
}

double DSTimeColumn::calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df,
                                           const uint8_t *mask, qint64 length)
{
    const double *values = nullptr;
    if (getTimeValues(&values, nullptr) <= 0)
        return NAN;
    const ds_time_stats_s stats = calculateStatsForMask(nullptr, 0, 1);
    const auto *partition = ds_object_cast<DSTimePartition>(covariate_partition());
    const QList<double> cuts = partition ? partition->cutoffsForStats(stats, nullptr) : QList<double>();
    const ds_time_rows_s rows = timeRows();
    std::vector<int32_t> groups(static_cast<size_t>(rows.count));
    ds_bin_times(rows.values, groups.data(), rows.count, mask, length, cuts.constData(), cuts.size());
    int64_t degrees = 0;
    const double chiSquare = ds_covariate_independence_chisq(
        groups.data(), rows.count, cuts.isEmpty() ? 0 : cuts.size() - 1, rows.missing, rows.missing_length,
        rows.weights, rows.num_weights, covariate, categories, mask, length, &degrees);
    if (df)
        *df = degrees;
    return chiSquare;
}

double DSTimeColumn::calculateTimeIndependence(DSColumn *covariate, const Categories &categories, qint64 *df,
                                               qint64 unit, const uint8_t *mask, qint64 length)
{
    const ds_time_stats_s stats = calculateStatsForMask(mask, length, 1);
    const qint64 periods = bucketCountForStats(stats, unit);
    const ds_time_rows_s rows = timeRows();
    if (rows.count <= 0 || periods <= 0)
        return NAN;
    std::vector<double> limits(static_cast<size_t>(2 * periods));
    ds_time_bin_limits(limits.data(), periods, unit, ds_time_floor(unit, nullptr, stats.min_start));
    // Ends ascend, so the period of a value is the first whose end is above it.
    std::vector<double> ends(static_cast<size_t>(periods));
    for (qint64 j = 0; j < periods; ++j)
        ends[size_t(j)] = limits[size_t(2 * j + 1)];
    std::vector<int32_t> groups(static_cast<size_t>(rows.count));
    ds_parallel_for(ds_row_chunks, uint64_t(rows.count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r)
            groups[size_t(r)] = ds_time_row_missing(rows, r)
                                    ? int32_t(periods)
                                    : int32_t(std::upper_bound(ends.begin(), ends.end(), rows.values[r]) - ends.begin());
    });
    int64_t degrees = 0;
    const double chiSquare =
        ds_covariate_independence_chisq(groups.data(), rows.count, periods, rows.missing, rows.missing_length,
                                        rows.weights, rows.num_weights, covariate, categories, mask, length, &degrees);
    if (df)
        *df = degrees;
    return chiSquare;
}
