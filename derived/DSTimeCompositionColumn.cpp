#include "derived/DSTimeCompositionColumn.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/ds_row_mask.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kDay = 86400;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double midnight(int64_t year, int month, int day)
{
    ds_gmt_date_s date;
    date.year = year;
    date.month = month;
    date.day = day;
    return ds_gmt_absolute_time(date);
}

bool isValidDate(int64_t year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1)
        return false;
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= lengths[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The Monday that starts ISO week 1 of the year: the Monday of the week
// that holds January 4.
double isoWeekOneMonday(int64_t year)
{
    const double january4 = midnight(year, 1, 4);
    return january4 - (ds_gmt_day_of_week(january4) - 1) * kDay;
}

bool isOneOf(const QString &label, std::initializer_list<const char *> spellings)
{
    return std::any_of(spellings.begin(), spellings.end(),
                       [&](const char *s) { return label == QLatin1String(s); });
}

} // namespace

qint64 DSTimeCompositionColumn::getTimeValues(const double **values, const double **intervals, qint64 offset,
                                              qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 n = rowsInRange(offset, limit);
    double *v = n > 0 ? temp_time_values.reserve(n) : nullptr;
    double *d = v ? temp_time_intervals.reserve(n) : nullptr;
    if (values)
        *values = d ? v : nullptr;
    if (intervals)
        *intervals = d;
    if (!d)
        return 0;
    m_bad.assign(size_t(n), 0);
    if (year_input_type() != NoYear)
        composeDates(v, d, offset, n);
    else
        composeTimes(v, d, offset, n);
    for (qint64 i = 0; i < n; ++i)
        if (m_bad[size_t(i)])
            v[i] = kNaN;
    return n;
}

std::vector<double> DSTimeCompositionColumn::rawPart(Slot slot, qint64 offset, qint64 n)
{
    std::vector<double> part(size_t(n), kNaN);
    auto *column = dynamic_cast<DSNumericColumn *>(partAt(slot));
    if (!column) {
        markAllBad();
        return part;
    }
    const uint8_t *mask = nullptr;
    const qint64 length = column->getMissingMask(&mask, offset, n);
    const double *x = nullptr;
    const qint64 c = std::min(column->getValues(&x, offset, n), n);
    if (x)
        std::copy(x, x + c, part.begin());
    for (qint64 i = 0; i < n; ++i)
        if (std::isnan(part[size_t(i)]) || (mask && (offset + i) / 8 < length && ds_mask_test(mask, offset + i)))
            m_bad[size_t(i)] = 1;
    return part;
}

std::vector<double> DSTimeCompositionColumn::integerPart(Slot slot, double minimum, double maximum, qint64 offset,
                                                         qint64 n)
{
    std::vector<double> part = rawPart(slot, offset, n);
    for (qint64 i = 0; i < n; ++i) {
        const double x = part[size_t(i)];
        const bool whole = x >= -2147483648.0 && x < 2147483648.0 && double(int32_t(x)) == x;
        if (!whole || x < minimum || x > maximum)
            m_bad[size_t(i)] = 1;
    }
    return part;
}

void DSTimeCompositionColumn::composeYears(std::vector<int64_t> &years, qint64 offset, qint64 n)
{
    years.assign(size_t(n), -1);
    switch (year_input_type()) {
    case ConstantYear: {
        bool ok = false;
        const qint64 year = constant_year().toLongLong(&ok);
        if (!constant_year().isValid() || !ok)
            markAllBad();
        else
            std::fill(years.begin(), years.end(), year);
        break;
    }
    case FourDigitYear: {
        const std::vector<double> part = integerPart(FourDigitYearSlot, 0, 9999, offset, n);
        for (qint64 i = 0; i < n; ++i)
            if (!m_bad[size_t(i)])
                years[size_t(i)] = int64_t(part[size_t(i)]);
        break;
    }
    case TwoDigitYear: {
        const std::vector<double> part = integerPart(TwoDigitYearSlot, 0, 99, offset, n);
        const int64_t start = two_digit_year_start(), century = start / 100, first = start % 100;
        for (qint64 i = 0; i < n; ++i)
            if (!m_bad[size_t(i)]) {
                const int64_t yy = int64_t(part[size_t(i)]) % 100;
                years[size_t(i)] = 100 * century + yy + (yy < first ? 100 : 0);
            }
        break;
    }
    default:
        markAllBad();
    }
}

void DSTimeCompositionColumn::composeDates(double *values, double *intervals, qint64 offset, qint64 n)
{
    std::vector<int64_t> years;
    composeYears(years, offset, n);
    const qint64 subyear = subyear_input_type();
    std::vector<double> first, second;
    switch (subyear) {
    case Quarter:
        first = integerPart(QuarterSlot, 1, 4, offset, n);
        break;
    case Month:
        first = integerPart(MonthSlot, 1, 12, offset, n);
        break;
    case MonthAndDay:
        first = rawPart(MonthSlot, offset, n);
        second = rawPart(DayOfMonthSlot, offset, n);
        break;
    case Week:
        first = integerPart(WeekSlot, 1, 53, offset, n);
        break;
    case DayCount:
        first = integerPart(DayOfYearSlot, 1, 3650000, offset, n);
        break;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(n), [&](uint64_t, int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            if (m_bad[size_t(i)])
                continue;
            const int64_t y = years[size_t(i)];
            switch (subyear) {
            case Quarter: {
                const int month = 3 * (int(first[size_t(i)]) - 1) + 1;
                values[i] = midnight(y, month, 1);
                intervals[i] = midnight(y, month + 3, 1) - values[i];
                break;
            }
            case Month: {
                const int month = int(first[size_t(i)]);
                values[i] = midnight(y, month, 1);
                intervals[i] = midnight(y, month + 1, 1) - values[i];
                break;
            }
            case MonthAndDay: {
                const double month = std::trunc(first[size_t(i)]), day = std::trunc(second[size_t(i)]);
                if (month < 1 || month > 12 || day < 1 || day > 31 || !isValidDate(y, int(month), int(day))) {
                    m_bad[size_t(i)] = 1;
                    break;
                }
                values[i] = midnight(y, int(month), int(day));
                intervals[i] = kDay;
                break;
            }
            case Week:
                values[i] = isoWeekOneMonday(y) + (first[size_t(i)] - 1) * 7 * kDay;
                intervals[i] = 7 * kDay;
                break;
            case DayCount:
                values[i] = midnight(y, 1, 1) + (first[size_t(i)] - 1) * kDay;
                intervals[i] = kDay;
                break;
            default:
                values[i] = midnight(y, 1, 1);
                intervals[i] = midnight(y + 1, 1, 1) - values[i];
            }
        }
    });
}

void DSTimeCompositionColumn::composeTimes(double *values, double *intervals, qint64 offset, qint64 n)
{
    double interval = 0;
    std::fill(values, values + n, 0.0);
    if (has_date_input()) {
        interval = kDay;
        auto *date = dynamic_cast<DSTimeColumn *>(partAt(DateSlot));
        const uint8_t *mask = nullptr;
        const qint64 length = date ? date->getMissingMask(&mask, offset, n) : 0;
        const double *t = nullptr;
        const qint64 c = date ? std::min(date->getTimeValues(&t, nullptr, offset, n), n) : 0;
        for (qint64 i = 0; i < n; ++i) {
            const bool missing = !t || i >= c || !std::isfinite(t[i]) ||
                                 (mask && (offset + i) / 8 < length && ds_mask_test(mask, offset + i));
            if (missing)
                m_bad[size_t(i)] = 1;
            else
                values[i] = ds_gmt_day_start(t[i]);
        }
    }
    if (hour_input_type() == Hour24) {
        interval = 3600;
        const std::vector<double> hours = integerPart(Hour24Slot, 0, 23, offset, n);
        for (qint64 i = 0; i < n; ++i)
            if (!m_bad[size_t(i)])
                values[i] += double(int64_t(hours[size_t(i)]) % 24) * 3600;
    } else if (hour_input_type() == Hour12) {
        interval = 3600;
        const std::vector<double> hours = integerPart(Hour12Slot, 1, 12, offset, n);
        std::vector<uint8_t> pm;
        resolveAmPm(pm, offset, n);
        for (qint64 i = 0; i < n; ++i)
            if (!m_bad[size_t(i)])
                values[i] += double(int64_t(hours[size_t(i)]) % 12) * 3600 + (pm[size_t(i)] ? 43200 : 0);
    }
    if (has_minute_input()) {
        interval = 60;
        const std::vector<double> minutes = integerPart(MinuteSlot, 0, 59, offset, n);
        for (qint64 i = 0; i < n; ++i)
            if (!m_bad[size_t(i)])
                values[i] += double(int64_t(minutes[size_t(i)]) % 60) * 60;
    }
    std::fill(intervals, intervals + n, interval);
}

void DSTimeCompositionColumn::resolveAmPm(std::vector<uint8_t> &pm, qint64 offset, qint64 n)
{
    pm.assign(size_t(n), 0);
    DSColumn *column = partAt(AmPmSlot);
    if (auto *text = dynamic_cast<DSTextColumn *>(column)) {
        const uint8_t *mask = nullptr;
        const qint64 length = text->getMissingMask(&mask, offset, n);
        const char *const *texts = nullptr;
        const qint64 c = std::min(text->getTextValues(&texts, offset, n), n);
        for (qint64 i = 0; i < n; ++i) {
            const char first = texts && i < c && texts[i] ? texts[i][0] : '\0';
            const bool missing = mask && (offset + i) / 8 < length && ds_mask_test(mask, offset + i);
            if (missing || (first != 'A' && first != 'a' && first != 'P' && first != 'p'))
                m_bad[size_t(i)] = 1;
            else
                pm[size_t(i)] = first == 'P' || first == 'p';
        }
        return;
    }
    if (!column || !column->treat_as_categories() ||
        (!dynamic_cast<DSNumericColumn *>(column) && !dynamic_cast<DSIndicatorColumn *>(column))) {
        markAllBad();
        return;
    }
    const QCborMap labels = column->category_labels();
    std::optional<double> amValue, pmValue;
    for (auto it = labels.constBegin(); it != labels.constEnd(); ++it) {
        const QString label = it.value().toString();
        if (!amValue && isOneOf(label, {"AM", "A.M.", "a.m.", "am"}))
            amValue = it.key().toDouble();
        if (!pmValue && isOneOf(label, {"PM", "P.M.", "p.m.", "pm"}))
            pmValue = it.key().toDouble();
    }
    if (!amValue || !pmValue) {
        markAllBad();
        return;
    }
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(column)) {
        const bool bits = (*amValue == 0 || *amValue == 1) && (*pmValue == 0 || *pmValue == 1);
        const uint8_t *values = nullptr, *missing = nullptr;
        const qint64 length = bits ? indicator->getBytes(&values, &missing, offset, n) : 0;
        if (!bits) {
            markAllBad();
            return;
        }
        for (qint64 i = 0; i < n; ++i) {
            const qint64 row = offset + i;
            const bool inside = row / 8 < length;
            if (missing && inside && ds_mask_test(missing, row))
                m_bad[size_t(i)] = 1;
            else
                pm[size_t(i)] = double(inside && values && ds_mask_test(values, row) ? 1 : 0) == *pmValue;
        }
        return;
    }
    const std::vector<double> part = rawPart(AmPmSlot, offset, n);
    for (qint64 i = 0; i < n; ++i) {
        const double x = part[size_t(i)];
        if (x == *pmValue)
            pm[size_t(i)] = 1;
        else if (x != *amValue)
            m_bad[size_t(i)] = 1;
    }
}

qint64 DSTimeCompositionColumn::compositionTimeUnit() const
{
    if (has_minute_input())
        return 1;
    if (hour_input_type() != NoHour)
        return 5;
    switch (subyear_input_type()) {
    case Quarter:
        return 12;
    case Month:
        return 11;
    case Week:
        return 10;
    case DayCount:
    case MonthAndDay:
        return 9;
    default:
        return 14;
    }
}

bool DSTimeCompositionColumn::needsDeletion()
{
    const auto lacks = [this](Slot slot) { return partAt(slot) == nullptr; };
    switch (year_input_type()) {
    case FourDigitYear:
        if (lacks(FourDigitYearSlot))
            return true;
        break;
    case TwoDigitYear:
        if (lacks(TwoDigitYearSlot))
            return true;
        break;
    }
    switch (subyear_input_type()) {
    case Quarter:
        if (lacks(QuarterSlot))
            return true;
        break;
    case DayCount:
        if (lacks(DayOfYearSlot))
            return true;
        break;
    case Month:
        if (lacks(MonthSlot))
            return true;
        break;
    case MonthAndDay:
        if (lacks(MonthSlot) || lacks(DayOfMonthSlot))
            return true;
        break;
    case Week:
        if (lacks(WeekSlot))
            return true;
        break;
    }
    if (hour_input_type() == Hour12 && (lacks(Hour12Slot) || lacks(AmPmSlot)))
        return true;
    if (hour_input_type() == Hour24 && lacks(Hour24Slot))
        return true;
    return (has_minute_input() && lacks(MinuteSlot)) || (has_date_input() && lacks(DateSlot));
}

QString DSTimeCompositionColumn::suggestedName() const
{
    QStringList parts;
    const auto add = [&](Slot slot) {
        if (const DSColumn *column = partAt(slot))
            parts << column->name();
    };
    switch (year_input_type()) {
    case ConstantYear:
        if (constant_year().isValid())
            parts << QString::number(constant_year().toLongLong());
        break;
    case FourDigitYear:
        add(FourDigitYearSlot);
        break;
    case TwoDigitYear:
        add(TwoDigitYearSlot);
        break;
    }
    switch (subyear_input_type()) {
    case Quarter:
        add(QuarterSlot);
        break;
    case DayCount:
        add(DayOfYearSlot);
        break;
    case Month:
        add(MonthSlot);
        break;
    case MonthAndDay:
        add(MonthSlot);
        add(DayOfMonthSlot);
        break;
    case Week:
        add(WeekSlot);
        break;
    }
    const qint64 hours = hour_input_type();
    if (hours == Hour12) {
        add(Hour12Slot);
        add(AmPmSlot);
    } else if (hours == Hour24) {
        add(Hour24Slot);
    }
    if (has_minute_input())
        add(MinuteSlot);
    if (has_date_input())
        add(DateSlot);
    const bool isTime = hours == Hour12 || hours == Hour24;
    return QString::fromLatin1(isTime ? "time(" : "date(") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}
