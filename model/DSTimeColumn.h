#pragma once

#include "model/DSColumn.h"
#include "model/ds_time_stats.h"
#include "model/util/ds_corr.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QHash>
#include <QVariantList>

#include <memory>
#include <optional>

class DSPlatformDateFormatter;

// The column kind whose rows are times: a value (seconds since 2001-01-01
// 00:00:00 GMT, or since midnight for a time-of-day column; NaN missing) and
// an interval (the length in seconds of the period the value stands for) a
// row. The base of the stored column and of the derived time columns, which
// supply the values by overriding one of the two value sources.
//
// Besides the base's caches it keeps the calendar date of every row, the
// day of the week of every row and one date formatter per template. Every
// calendar computation is Gregorian in GMT; the user's time zone enters only
// where the missing-values predicate brings a picked date onto that scale.
// Pointers handed out belong to the column and stay valid until its next
// request of the same kind or edit.
class DSTimeColumn : public DSColumn
{
public:
    DSTimeColumn();
    ~DSTimeColumn() override;

    // Stored attributes. 1 in relative_time_unit makes a time-of-day column.
    qint64 relative_time_unit() const { return integerForKey(QStringLiteral("relative_time_unit")); }
    void setRelative_time_unit(qint64 unit) { setPrimitiveValue(qlonglong(unit), QStringLiteral("relative_time_unit")); }
    // Time summaries count periods of fixed_time_unit when do_fix_time_unit.
    bool do_fix_time_unit() const { return boolForKey(QStringLiteral("do_fix_time_unit")); }
    void setDo_fix_time_unit(bool on) { setPrimitiveValue(on, QStringLiteral("do_fix_time_unit")); }
    qint64 fixed_time_unit() const { return integerForKey(QStringLiteral("fixed_time_unit")); }
    void setFixed_time_unit(qint64 unit) { setPrimitiveValue(qlonglong(unit), QStringLiteral("fixed_time_unit")); }
    qint64 relativeTimeUnit() const { return relative_time_unit(); }
    bool isTimeOfDay() const { return relativeTimeUnit() == 1; }

    QString joinedColumnEntityName() const override { return QStringLiteral("DSTimeJoinedColumn"); }
    QString stackedColumnEntityName() const override { return QStringLiteral("DSTimeStackedColumn"); }
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    // Empties the statistics slot and the formatter cache.
    void setupTimeColumn();
    // Frees the formatters, the calendar and day-of-week caches and the
    // buffers, then the base's.
    void didTurnIntoFault() override;
    // The base's, then time partitions for pivots and covariates when the
    // entity model has them and they are missing.
    void makeDependencies() override;
    void purgeStats() override;
    // A constant date holding the present moment.
    std::optional<DSExpression> defaultValueExpression() const override;
    bool canBeTreatedAsCategories() const override { return false; }
    bool canBeTreatedAsSurvivalTimes() const override { return true; }
    // The units of the smallest and the largest interval of all rows
    // (ds_time_unit_for_interval; -1 without values).
    virtual qint64 minimumTimeUnit();
    virtual qint64 maximumTimeUnit();

    // Date formatters in GMT for the locale's best pattern of a template,
    // made once per template and kept by the column until its fault; callers
    // neither free nor keep them past that.
    std::shared_ptr<DSPlatformDateFormatter> formatterForTemplate(const QString &tmpl);
    std::shared_ptr<DSPlatformDateFormatter> dateAndTimeFormatter() { return formatterForTemplate(QStringLiteral("yMdjmm")); }
    std::shared_ptr<DSPlatformDateFormatter> timeOfDayFormatter() { return formatterForTemplate(QStringLiteral("jmm")); }
    std::shared_ptr<DSPlatformDateFormatter> hourOfDayFormatter() { return formatterForTemplate(QStringLiteral("j")); }
    std::shared_ptr<DSPlatformDateFormatter> dateFormatter() { return formatterForTemplate(QStringLiteral("yMd")); }
    std::shared_ptr<DSPlatformDateFormatter> yearFormatter() { return formatterForTemplate(QStringLiteral("y")); }
    std::shared_ptr<DSPlatformDateFormatter> monthFormatter() { return formatterForTemplate(QStringLiteral("LLLL")); }
    std::shared_ptr<DSPlatformDateFormatter> dayOfMonthFormatter() { return formatterForTemplate(QStringLiteral("d")); }
    std::shared_ptr<DSPlatformDateFormatter> dayOfWeekFormatter() { return formatterForTemplate(QStringLiteral("cccc")); }
    // "jmm" for a time-of-day column; else "yMd" for the day and coarser
    // units (intervals of a day or more), "yMdjmm" below.
    std::shared_ptr<DSPlatformDateFormatter> formatterForTimeUnit(qint64 unit);
    std::shared_ptr<DSPlatformDateFormatter> formatterForInterval(double seconds);

    // The value source, each form defined through the other; every concrete
    // class overrides one. Values and intervals of all rows (either pointer
    // may be null); their count, which may be below the table's rows.
    virtual qint64 getTimeValues(const double **values, const double **intervals);
    // The rows from offset on, at most limit of them; null and 0 when offset
    // is at or past the count.
    virtual qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit);

    // Fills the calendar-date cache from count values and (when given)
    // intervals: each value's GMT date, and each row's interval as whole
    // days and seconds (a zero step for a NaN value or interval).
    void setupGregorianDatesForTimeValues(const double *values, const double *intervals, qint64 count);
    // Keeps the cached calendar date and step of one row in step with its
    // new value and interval (a row the cache does not cover is left alone).
    void updateGregorianDate(qint64 row, double value, double interval);
    // The calendar dates and steps of all rows, or of a range (entry 0 is
    // the range's first row); their count; null and 0 for an empty range.
    qint64 getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps);
    virtual qint64 getGregorianDates(const ds_gmt_date_s **dates, const ds_gmt_units_s **steps, qint64 offset,
                                     qint64 limit);
    // The day of the week of every row, 1 Monday to 7 Sunday (NaN rows 0);
    // null and 0 without values.
    qint64 getDaysOfWeek(const int32_t **out);

    using DSColumn::getMissingMask;
    // The NaN rows of the range and the rows the missing-values predicate
    // marks, in the shared mask; its length.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The base set-up, then, while the predicate is applied, its "value"
    // comparisons with a date d (<, <=, >, >=, ==, !=): d moved by the
    // user's time-zone offset at d onto the GMT scale, then to the start of
    // its day (absolute columns) or to its minute of the day (time of day).
    qint64 setupMissingMask(qint64 offset, qint64 limit) override;
    // Covariate groups: the periods of the covariate partition over all
    // rows (the categories are not used), rows outside the mask and missing
    // rows getting the number of periods. The row count; null, 0 periods
    // and 0 without rows.
    qint64 getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                     const uint8_t *mask, qint64 length) override;
    // Non-missing values ascending with their rows, kept until purgeIndex.
    qint64 getSortedValues(const double **values, const int32_t **rows) override;

    // The statistics slot that the statistics outline fills and reads.
    const ds_time_stats_s &temp_time_stats() const { return m_timeStats; }
    void setTemp_time_stats(const ds_time_stats_s &stats) { m_timeStats = stats; }

    // Statistics, periods and the period summary under a row mask; nothing
    // is cached.
    ds_time_stats_s calculateStatsForMask(const uint8_t *mask, qint64 length, uint64_t options);
    ds_gregorian_stats_s gregorianStatsForMask(const uint8_t *mask, qint64 length);
    static qint64 bucketCountForStats(const ds_time_stats_s &stats, qint64 unit);
    static void assignBinLimits(double *limits, qint64 count, qint64 unit, double start);
    // Bins ("lower", "upper", "count", "index") of the periods of `unit`
    // from min_start's period to max_start's; none when there are no
    // periods. The statistics must cover the rows under mask.
    std::optional<QVariantList> binsForMask(const uint8_t *mask, qint64 length, const ds_time_stats_s &stats,
                                            qint64 unit);
    // One dictionary per group ("bins", "count", "time_unit").
    QVariantList multipleBinsForMask(const uint8_t *mask, qint64 length, const int32_t *byIndex, qint64 count,
                                     const ds_time_stats_s &stats, qint64 unit);
    // The periods with their counts, labels and Poisson bounds (NaN
    // significance: none), and the chi-square of the counts against counts
    // proportional to the periods' lengths.
    std::shared_ptr<DSColumnSummary> summaryForMask(const uint8_t *mask, qint64 length, double significance) override;

    // Calendar categories of every row (year - first year, month - 1,
    // weekday - 1, hour - first hour; missing rows the number of
    // categories), with the bin count; the row count. Null, 0 bins and 0
    // when there is no result.
    qint64 getYearIndexedValues(const int32_t **out, qint64 *bins, const ds_gregorian_stats_s &stats);
    qint64 getMonthIndexedValues(const int32_t **out, qint64 *bins);
    qint64 getDayOfWeekIndexedValues(const int32_t **out, qint64 *bins);
    qint64 getHourOfDayIndexedValues(const int32_t **out, qint64 *bins, const ds_gregorian_stats_s &stats);

    // Calendar summaries of the rows under mask: counts, proportions,
    // Wilson bounds at the significance (NaN: none), the chi-square against
    // equal counts (the month's against the months' lengths) and the
    // quartile categories. None for the year, weekday and hour without a
    // result.
    std::shared_ptr<DSColumnSummary> yearSummaryForMask(const uint8_t *mask, qint64 length, double significance,
                                                        DSColumn *owner);
    std::shared_ptr<DSColumnSummary> monthSummaryForMask(const uint8_t *mask, qint64 length, double significance,
                                                         DSColumn *owner);
    std::shared_ptr<DSColumnSummary> dayOfMonthSummaryForMask(const uint8_t *mask, qint64 length,
                                                              double significance, DSColumn *owner);
    std::shared_ptr<DSColumnSummary> dayOfWeekSummaryForMask(const uint8_t *mask, qint64 length,
                                                             double significance, DSColumn *owner);
    std::shared_ptr<DSColumnSummary> hourOfDaySummaryForMask(const uint8_t *mask, qint64 length,
                                                             double significance, DSColumn *owner);
    // The builder of the five: count categories of the given dates, counts
    // and integer values, a Missing category when missingCount is not 0.
    std::shared_ptr<DSColumnSummary> internalSummaryForDates(const double *dates, const qint64 *counts,
                                                             const qint64 *integerValues,
                                                             const double *testProportions, qint64 count,
                                                             qint64 missingCount,
                                                             const std::shared_ptr<DSPlatformDateFormatter> &formatter,
                                                             double significance, DSColumn *owner);

    // Pearson's chi-square of the column's covariate groups (as
    // getCovariateIndexedValues bins them) against the covariate's
    // categories; NaN without rows.
    double calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df, const uint8_t *mask,
                                 qint64 length) override;
    using DSColumn::calculateIndependence;
    // The same with the rows grouped by their period of the unit from the
    // floored earliest time under the mask (missing rows last); NaN without
    // rows or periods.
    double calculateTimeIndependence(DSColumn *covariate, const Categories &categories, qint64 *df, qint64 unit,
                                     const uint8_t *mask, qint64 length);

    // Correlations of the times: with another time column (over the rows
    // both have; a numeric or indicator column answers for itself, any
    // other kind gives NaN r and count 0), with the
    // indicator of one category of a column, and with every category index
    // 0 .. k-1 of byIndexes at once (false, nothing written, for k < 1 or no
    // output).
    ds_corr_s calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length) override;
    ds_corr_s calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask, qint64 length) override;
    bool calculateMultipleCorrelations(ds_corr_s *out, qint64 k, const int32_t *byIndexes, const uint8_t *mask,
                                       qint64 length) override;

protected:
    // The arrays the row statistics read: all values and intervals, the
    // missing mask and the table's weights.
    ds_time_rows_s timeRows();

    // The append and edit buffers of stored columns.
    DSColumnBuffer<double> temp_time_values;
    DSColumnBuffer<double> temp_time_intervals;
    // The calendar-date cache: a date and a step a row.
    DSColumnBuffer<ds_gmt_date_s> temp_gregorian_dates;
    DSColumnBuffer<ds_gmt_units_s> temp_gregorian_intervals;

private:
    // The calendar categories of the rows under mask: counts[category] and
    // the weight of missing rows; rows whose index is not below `count` (and
    // not missing) are left out.
    qint64 countIndexed(const int32_t *indexed, qint64 rows, qint64 count, const uint8_t *mask, qint64 length,
                        std::vector<qint64> &counts);
    // Fills the indexed-values cache by `category` (a row's category, or -1
    // to leave it out) for non-missing rows; missing rows get `count`.
    template <class Category>
    qint64 fillIndexed(const int32_t **out, qint64 *bins, qint64 count, const Category &category);

    DSColumnBuffer<int32_t> temp_days_of_week;
    QHash<QString, std::shared_ptr<DSPlatformDateFormatter>> temp_formatters;
    ds_time_stats_s m_timeStats;
};
