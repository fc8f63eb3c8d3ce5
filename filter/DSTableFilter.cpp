#include "filter/DSTableFilter.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDateFormatter.h"
#include "model/DSDurationFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSNumericPartition.h"
#include "model/DSTextColumn.h"
#include "model/DSTextPartition.h"
#include "model/DSTimeColumn.h"
#include "model/DSTimeColumnCategory.h"
#include "model/ds_row_mask.h"
#include "model/util/ds_histogram.h"
#include "model/util/ds_labels.h"
#include "model/util/ds_stats.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QCborArray>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

namespace {

// A run of consecutive indexes, first and last.
struct Run
{
    qint64 first, last;
};

std::vector<Run> runsOf(const DSIndexSet &set)
{
    std::vector<Run> runs;
    for (qint64 i : set) {
        if (!runs.empty() && runs.back().last + 1 == i)
            runs.back().last = i;
        else
            runs.push_back({i, i});
    }
    return runs;
}

// The run texts joined by "/": text(i) for a lone index, "a-b" of the ends
// for longer runs.
template <class Text>
QString joinRuns(const DSIndexSet &set, const Text &text)
{
    QStringList parts;
    for (const Run &run : runsOf(set))
        parts << (run.first == run.last ? text(run.first) : text(run.first) + u'-' + text(run.last));
    return parts.join(u'/');
}

// The indexes of set within [lo, hi].
DSIndexSet within(const DSIndexSet &set, qint64 lo, qint64 hi)
{
    return DSIndexSet(set.lower_bound(lo), set.upper_bound(hi));
}

double dayOf2001(int month, int day)
{
    ds_gmt_date_s date;
    date.month = month;
    date.day = day;
    return ds_gmt_absolute_time(date);
}

// The runs of a selection as numbers; a null text for nil.
QString numberRuns(const DSTableFilter::Selection &set)
{
    return set ? joinRuns(*set, [](qint64 i) { return QString::number(i); }) : QString();
}

// The runs of the indexes 1 to last of a selection as names: the date
// formatter's text of timeOf(index) in the full format when the selection
// has one index, else in the short one; a null text for nil.
template <class TimeOf>
QString dateNameRuns(const DSTableFilter::Selection &stored, qint64 last, const QString &full, const QString &brief,
                     const TimeOf &timeOf)
{
    if (!stored)
        return {};
    const DSIndexSet set = within(*stored, 1, last);
    DSDateFormatter formatter;
    const QString &format = set.size() == 1 ? full : brief;
    return joinRuns(set, [&](qint64 i) { return formatter.formattedStringForTimeFormat(timeOf(i), format); });
}

bool bitOf(const uint8_t *bits, int64_t length, int64_t row)
{
    return bits && row / 8 < length && ((bits[row / 8] >> (row % 8)) & 1);
}

// A component of a date-time filter: its flag, selection key and range.
struct DateComponent
{
    uint32_t flag;
    const char *key;
    int lo, hi;
};

// In the order the mask applies them.
constexpr DateComponent k_dateComponents[] = {
    {ds_filter_exclude_year, "yearIndexSet", 0, 9999},
    {ds_filter_exclude_month, "monthIndexSet", 1, 12},
    {ds_filter_exclude_day_of_month, "dayOfMonthIndexSet", 1, 31},
    {ds_filter_exclude_day_of_week, "dayOfWeekIndexSet", 1, 7},
    {ds_filter_exclude_hour_of_day, "hourOfDayIndexSet", 0, 23},
};

// The cut-offs a numeric column's filter partition makes over the column's
// range of all records, with their resolution (NaN for none).
QList<double> numericCutoffs(DSNumericColumn *column, double *resolution)
{
    *resolution = std::numeric_limits<double>::quiet_NaN();
    auto *partition = ds_object_cast<DSNumericPartition>(column->filter_partition());
    if (!partition)
        return {};
    const ds_stats_s stats = column->calculateStatsWithMask(nullptr, 0, 1);
    return partition->cutoffValuesFromValue(stats.min, stats.max, resolution).value_or(QList<double>());
}

// Clears, in the first count records, those whose bin is not kept: a
// missing record (its bit in missing, or a bin outside keptBin) stays when
// keepMissing, any other when keptBin holds 1 at its bin.
void keepBins(uint8_t *mask, int64_t count, const int32_t *bins, const uint8_t *missing, int64_t missingLength,
              const std::vector<uint8_t> &keptBin, bool keepMissing)
{
    const int64_t numBins = int64_t(keptBin.size());
    ds_keep_rows(mask, count, [&](int64_t r) {
        const int32_t bin = bins[r];
        if (bin < 0 || bin >= numBins || bitOf(missing, missingLength, r))
            return keepMissing;
        return bool(keptBin[size_t(bin)]);
    });
}

} // namespace

DSColumn *DSTableFilter::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("column")));
}

void DSTableFilter::setColumn(DSColumn *column)
{
    setObject(column, QStringLiteral("column"));
}

DSTableFilterSet *DSTableFilter::owner() const
{
    return ds_object_cast<DSTableFilterSet>(objectForKey(QStringLiteral("owner")));
}

DSTableFilter::Selection DSTableFilter::indexSetForKey(const QString &key) const
{
    const QCborValue stored = propertyListForKey(key);
    if (!stored.isArray())
        return std::nullopt;
    DSIndexSet set;
    for (const QCborValue &value : stored.toArray())
        if (value.isInteger())
            set.insert(value.toInteger());
    return set;
}

void DSTableFilter::setIndexSet(const Selection &set, const QString &key)
{
    if (!set) {
        setPrimitiveValue(QVariant(), key);
        return;
    }
    QCborArray array;
    for (qint64 i : *set)
        array.append(i);
    setPrimitiveValue(QVariant::fromValue(QCborValue(array)), key);
}

bool DSTableFilter::willClearBits(bool excluded, uint32_t flags) const
{
    DSColumn *filtered = column();
    if (!filtered)
        return false;
    if (auto *time = ds_object_cast<DSTimeColumn>(filtered)) {
        if (time->isTimeOfDay())
            return hourOfDayIndexSet() && !excluded;
        for (const DateComponent &component : k_dateComponents)
            if (indexSetForKey(QLatin1String(component.key)) && (!excluded || !(flags & component.flag)))
                return true;
        return false;
    }
    return categoryIndexSet() && !excluded;
}

void DSTableFilter::clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const
{
    DSColumn *filtered = column();
    if (!mask || length <= 0 || !filtered || !is_enabled())
        return;
    if (ds_object_cast<DSTimeColumn>(filtered)) {
        clearTimeBits(mask, length, excluded, flags);
        return;
    }
    const Selection selected = categoryIndexSet();
    if (excluded || !selected)
        return;
    if (selected->empty()) {
        std::memset(mask, 0, size_t(length));
        return;
    }
    clearCategoryBits(mask, length, *selected);
}

void DSTableFilter::clearTimeBits(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const
{
    auto *time = ds_object_cast<DSTimeColumn>(column());
    // Copied: the column's later requests may reuse its missing buffer.
    const uint8_t *missingBits = nullptr;
    const int64_t missingLength = time->getMissingMask(&missingBits);
    const std::vector<uint8_t> missing(missingBits, missingBits ? missingBits + missingLength : missingBits);
    const ds_gmt_date_s *dates = nullptr;
    const int64_t n = std::min<int64_t>(time->getGregorianDates(&dates, nullptr), length * 8);
    if (n <= 0 || !dates)
        return;
    const auto isMissing = [&](int64_t r) { return bitOf(missing.data(), int64_t(missing.size()), r); };

    if (time->isTimeOfDay()) {
        const Selection hours = hourOfDayIndexSet();
        if (!hours || excluded)
            return;
        for (int64_t r = 0; r < n; ++r)
            if (isMissing(r) || !hours->count(dates[r].hour))
                mask[r / 8] &= uint8_t(~(1u << (r % 8)));
        return;
    }
    for (const DateComponent &component : k_dateComponents) {
        const Selection selected = indexSetForKey(QLatin1String(component.key));
        if (!selected || (excluded && (flags & component.flag)))
            continue;
        std::vector<uint8_t> present(size_t(component.hi) + 1);
        for (qint64 i : within(*selected, component.lo, component.hi))
            present[size_t(i)] = 1;
        const auto marked = [&](int64_t value) {
            return value >= component.lo && value <= component.hi && present[size_t(value)];
        };
        switch (component.flag) {
        case ds_filter_exclude_year:
            ds_keep_rows(mask, n, [&](int64_t r) { return !isMissing(r) && marked(dates[r].year); });
            break;
        case ds_filter_exclude_month:
            ds_keep_rows(mask, n, [&](int64_t r) { return !isMissing(r) && marked(dates[r].month); });
            break;
        case ds_filter_exclude_day_of_month:
            ds_keep_rows(mask, n, [&](int64_t r) { return !isMissing(r) && marked(dates[r].day); });
            break;
        case ds_filter_exclude_day_of_week: {
            const int32_t *days = nullptr;
            const int64_t count = std::min(n, int64_t(time->getDaysOfWeek(&days)));
            ds_keep_rows(mask, count, [&](int64_t r) { return !isMissing(r) && marked(days[r]); });
            break;
        }
        default: {
            // A value standing for a whole day or longer has no hour.
            const double *intervals = nullptr;
            const int64_t count = std::min(n, int64_t(time->getTimeValues(nullptr, &intervals)));
            ds_keep_rows(mask, count, [&](int64_t r) {
                return !isMissing(r) && marked(dates[r].hour) && !(intervals && intervals[r] >= 86400);
            });
        }
        }
    }
}

void DSTableFilter::clearCategoryBits(uint8_t *mask, int64_t length, const DSIndexSet &selected) const
{
    DSColumn *filtered = column();
    if (auto *indicator = ds_object_cast<DSIndicatorColumn>(filtered)) {
        const uint8_t *values = nullptr, *missing = nullptr;
        const int64_t bytes = std::min<int64_t>(indicator->getBytes(&values, &missing), length);
        for (int64_t i = 0; i < bytes; ++i) {
            const uint8_t value = values ? values[i] : 0, gone = missing ? missing[i] : 0;
            uint8_t allowed = 0;
            for (qint64 s : selected)
                allowed |= s == 2 ? gone : s == 1 ? uint8_t(value & ~gone) : s == 0 ? uint8_t(~(value | gone)) : 0;
            mask[i] &= allowed;
        }
        return;
    }
    const int64_t rows = length * 8;
    if (filtered->treat_as_categories()) {
        const int32_t *indexes = nullptr;
        qint64 bins = 0;
        const int64_t n = std::min<int64_t>(filtered->getIndexedValues(&indexes, &bins), rows);
        std::vector<uint8_t> kept(size_t(bins / 8 + 1));
        for (qint64 i : within(selected, 0, bins - 1))
            kept[size_t(i / 8)] |= uint8_t(1u << (i % 8));
        ds_keep_rows(mask, n, [&](int64_t r) { return bitOf(kept.data(), int64_t(kept.size()), indexes[r]); });
        return;
    }
    const uint8_t *missing = nullptr;
    std::vector<int32_t> bins;
    std::vector<uint8_t> keptBin;
    bool keepMissing = false;
    int64_t n = 0;
    if (auto *text = ds_object_cast<DSTextColumn>(filtered)) {
        auto *partition = ds_object_cast<DSTextPartition>(text->filter_partition());
        const QList<qint64> positions =
            partition ? partition->indexCutoffValues(nullptr).value_or(QList<qint64>()) : QList<qint64>();
        const std::vector<int32_t> cuts(positions.begin(), positions.end());
        const int32_t *sorted = nullptr;
        qint64 entries = 0;
        n = std::min<int64_t>(text->getIndexedValues(&sorted, &entries), rows);
        bins.resize(size_t(std::max<int64_t>(n, 0)));
        ds_index_by_int_cutoffs(sorted, bins.data(), n, nullptr, 0, cuts.data(), int64_t(cuts.size()));
        const int64_t m = int64_t(cuts.size());
        keptBin.assign(size_t(m + 1), 0);
        for (qint64 s : within(selected, 0, m))
            keptBin[size_t(s)] = 1;
        keepMissing = selected.count(m + 1);
    } else if (auto *numeric = ds_object_cast<DSNumericColumn>(filtered)) {
        double resolution = 0;
        const QList<double> cuts = numericCutoffs(numeric, &resolution);
        const double *values = nullptr;
        n = std::min<int64_t>(numeric->getValues(&values), rows);
        bins.resize(size_t(std::max<int64_t>(n, 0)));
        const int64_t u = cuts.size();
        ds_index_by_double_cutoffs(values, bins.data(), n, nullptr, 0, cuts.constData(), u, resolution);
        // Index 0 is the highest bin.
        keptBin.assign(size_t(u + 1), 0);
        for (qint64 s : within(selected, 0, u))
            keptBin[size_t(u - s)] = 1;
        keepMissing = selected.count(u + 1);
    } else {
        return;
    }
    const int64_t missingLength = filtered->getMissingMask(&missing);
    keepBins(mask, n, bins.data(), missing, missingLength, keptBin, keepMissing);
}

QString DSTableFilter::stringForYearIndexSet() const
{
    return numberRuns(yearIndexSet());
}

QString DSTableFilter::stringForDayOfMonthIndexSet() const
{
    return numberRuns(dayOfMonthIndexSet());
}

QString DSTableFilter::stringForMonthIndexSet() const
{
    return dateNameRuns(monthIndexSet(), 12, QStringLiteral("MMMM"), QStringLiteral("MMM"),
                        [](qint64 month) { return dayOf2001(int(month), 1); });
}

QString DSTableFilter::stringForDayOfWeekIndexSet() const
{
    // 2001-01-01 was a Monday.
    return dateNameRuns(dayOfWeekIndexSet(), 7, QStringLiteral("EEEE"), QStringLiteral("EEE"),
                        [](qint64 day) { return dayOf2001(1, int(day)); });
}

QString DSTableFilter::stringForHourOfDayIndexSet() const
{
    const Selection stored = hourOfDayIndexSet();
    if (!stored)
        return {};
    DSDateFormatter formatter;
    QStringList parts;
    for (const Run &run : runsOf(within(*stored, 0, 23)))
        parts << formatter.formattedStringForTimeTemplate(double(run.first) * 3600, QStringLiteral("jmm")) + u'-' +
                     formatter.formattedStringForTimeTemplate(double(run.last + 1) * 3600 - 1, QStringLiteral("jmm"));
    return parts.join(u'/');
}

QStringList DSTableFilter::stringConditionsArray() const
{
    DSColumn *filtered = column();
    if (!filtered)
        return {};
    if (ds_object_cast<DSTimeColumn>(filtered))
        return timeConditions();
    QString condition;
    if (ds_object_cast<DSIndicatorColumn>(filtered) || filtered->treat_as_categories())
        condition = categoryCondition();
    else if (ds_object_cast<DSNumericColumn>(filtered))
        condition = binCondition();
    return condition.isEmpty() ? QStringList() : QStringList{condition};
}

QStringList DSTableFilter::timeConditions() const
{
    const QString year = stringForYearIndexSet(), month = stringForMonthIndexSet(), day = stringForDayOfMonthIndexSet(),
                  weekday = stringForDayOfWeekIndexSet(), hour = stringForHourOfDayIndexSet();
    QString tmpl;
    if (!year.isNull())
        tmpl += u'y';
    if (!month.isNull())
        tmpl += day.isNull() ? QStringLiteral("MMM") : QStringLiteral("MMMd");
    if (!hour.isNull())
        tmpl += u'H';
    QString pattern;
    if (!tmpl.isEmpty())
        pattern = DSDateFormatter().formatForTemplate(tmpl);
    if (pattern.toUtf8().size() > 63)
        pattern.clear();
    QString result;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        qsizetype end = i + 1;
        const auto runOf = [&](QLatin1Char a, QLatin1Char b) {
            while (end < pattern.size() && (pattern[end] == a || pattern[end] == b))
                ++end;
        };
        if (c == u'H' || c == u'k') {
            runOf(QLatin1Char('H'), QLatin1Char('k'));
            result += hour;
        } else if (c == u'L' || c == u'M') {
            runOf(QLatin1Char('L'), QLatin1Char('M'));
            result += month;
        } else if (c == u'd') {
            result += day;
        } else if (c == u'y') {
            result += year;
        } else {
            result += c;
        }
        i = end;
    }
    if (!weekday.isNull())
        result = result.isEmpty() ? weekday : result + u" (" + weekday + u')';
    const QString name = column()->name();
    QStringList conditions;
    if (!result.isEmpty())
        conditions << name + u" = " + result;
    if (!day.isNull() && month.isNull())
        conditions << name + u".day = " + day;
    return conditions;
}

QString DSTableFilter::categoryCondition() const
{
    const Selection selected = categoryIndexSet();
    if (!selected)
        return {};
    DSColumn *filtered = column();
    const std::shared_ptr<DSColumnSummary> all =
        filtered->summaryForMask(nullptr, 0, std::numeric_limits<double>::quiet_NaN());
    QStringList values;
    for (qint64 i : *selected)
        if (const auto category = all ? all->categoryAtIndex(i) : nullptr)
            values << category->formattedValue();
    if (values.isEmpty())
        return {};
    if (selected->size() == 1)
        return filtered->name() + u" = " + values.first();
    return filtered->name() + u" \u2208 {" + values.join(QStringLiteral(", ")) + u'}';
}

QString DSTableFilter::binCondition() const
{
    const Selection selected = categoryIndexSet();
    auto *numeric = ds_object_cast<DSNumericColumn>(column());
    if (!selected || selected->empty() || !numeric)
        return {};
    double resolution = 0;
    const QList<double> cuts = numericCutoffs(numeric, &resolution);
    const std::unique_ptr<DSDurationFormatter> formatter = numeric->NSNumberFormatter();
    const auto f = [&](double x) { return formatter ? formatter->stringFromNumber(x) : QString::number(x); };
    const QString name = numeric->name();
    const qint64 u = cuts.size(), k = qint64(selected->size()), first = *selected->begin(),
                 last = *selected->rbegin();
    const double infinity = std::numeric_limits<double>::infinity();
    if (k == 1 && first == u + 1)
        return name + u" = Missing";
    if (k == 1)
        return ds_bin_label(int32_t(u - first), std::span<const double>(cuts.constData(), size_t(u)), name,
                            formatter.get(), -infinity, infinity, std::numeric_limits<double>::quiet_NaN());
    if (k == u + 1)
        return name + u" \u2260 Missing";
    if (first > 0) {
        const qint64 j = u - first;
        return j >= 0 && j < u ? name + u" < " + f(cuts[j]) : QString();
    }
    const qint64 j = u - last;
    return j >= 1 && j <= u ? name + u" \u2265 " + f(cuts[j - 1]) : QString();
}

bool DSTableFilter::isValidIndexSet(const Selection &set, const DSColumnSummary *summary)
{
    if (!set || !summary)
        return false;
    DSIndexSet values;
    for (const auto &category : summary->categories()) {
        double value = std::numeric_limits<double>::quiet_NaN();
        if (const auto *number = dynamic_cast<const DSNumericColumnCategory *>(category.get()))
            value = number->value();
        else if (const auto *time = dynamic_cast<const DSTimeColumnCategory *>(category.get()))
            value = time->value();
        if (!category->is_missing() && std::isfinite(value))
            values.insert(qint64(value));
    }
    return std::all_of(set->begin(), set->end(), [&](qint64 i) { return values.count(i) > 0; });
}

qint64 DSTableFilter::invalidateBadSelections()
{
    auto *time = ds_object_cast<DSTimeColumn>(column());
    if (!time)
        return -1;
    const qint64 finest = time->minimumTimeUnit();
    // Unit indexes: 5 hour, 10 week, 11 month.
    const auto keep = [&](const char *key, const std::shared_ptr<DSColumnSummary> &against, bool allowed) {
        const QString name = QLatin1String(key);
        if (!allowed || !isValidIndexSet(indexSetForKey(name), against.get()))
            if (indexSetForKey(name))
                setIndexSet(std::nullopt, name);
    };
    keep("yearIndexSet", year_summary, true);
    keep("monthIndexSet", month_summary, finest <= 11);
    keep("dayOfMonthIndexSet", day_of_month_summary, finest < 10);
    keep("dayOfWeekIndexSet", day_of_week_summary, finest < 10);
    keep("hourOfDayIndexSet", hour_of_day_summary, finest <= 5);
    return finest;
}

void DSTableFilter::resetSummaries()
{
    summary.reset();
    year_summary.reset();
    month_summary.reset();
    day_of_month_summary.reset();
    day_of_week_summary.reset();
    hour_of_day_summary.reset();
}

void DSTableFilter::didTurnIntoFault()
{
    resetSummaries();
    DSManagedObject::didTurnIntoFault();
}
