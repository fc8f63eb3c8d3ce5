#include "model/util/ds_labels.h"

#include "model/DSDateFormatter.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/format/DSPlatformNumberFormatter.h"

#include <cmath>
#include <initializer_list>

namespace {

bool isOneOf(int64_t n, std::initializer_list<int64_t> lengths)
{
    for (int64_t length : lengths) {
        if (length == n)
            return true;
        if (length > n)
            return false;
    }
    return false;
}

QString joined(const QString &a, const QString &b)
{
    return a + QStringLiteral(" - ") + b;
}

} // namespace

QString ds_format_number(const DSPlatformNumberFormatter *formatter, double value)
{
    return formatter ? formatter->stringFromNumber(value) : QString();
}

QString ds_format_time(const DSPlatformDateFormatter *formatter, double time)
{
    return formatter ? formatter->stringFromTime(time) : QString();
}

QString ds_bin_label(int32_t i, std::span<const double> cuts, const QString &name,
                     const DSPlatformNumberFormatter *formatter, double lo, double hi, double width)
{
    const auto f = [formatter](double x) {
        return formatter ? formatter->stringFromNumber(x) : QString::number(x);
    };
    const auto below = [&](double a, double b) -> QString { return f(a) + u" \u2264 " + name + u" < " + f(b); };
    const auto within = [&](double a, double b) -> QString { return f(a) + u" \u2264 " + name + u" \u2264 " + f(b); };
    const auto equal = [&](double a) -> QString { return name + u" = " + f(a); };
    const auto k = int64_t(cuts.size());
    if (k == 0)
        return lo == hi ? equal(lo) : within(lo, hi);
    if (i < 0 || i > k)
        return QString();
    const bool useWidth = k >= 2 && !std::isnan(width);
    if (i == 0) {
        if (useWidth)
            return below(cuts[0] - width, cuts[0]);
        if (lo == cuts[0] || std::isinf(lo))
            return name + u" < " + f(cuts[0]);
        return below(lo, cuts[0]);
    }
    if (i < k)
        return below(cuts[i - 1], cuts[i]);
    const double last = cuts[k - 1];
    if (useWidth)
        return within(last, last + width);
    if (last == hi)
        return equal(last);
    if (!std::isinf(hi))
        return within(last, hi);
    return f(last) + u" \u2264 " + name;
}

QString ds_time_span_label(DSDateFormatter *formatter, bool timeOfDay, double start, double end)
{
    const auto F = [formatter](double t, const char *tmpl) {
        return formatter->formattedStringForTimeTemplate(t, QString::fromLatin1(tmpl));
    };
    const double last = end - 1;
    if (!timeOfDay) {
        const int64_t years = ds_gmt_units_between(start, end, DS_GMT_YEARS);
        if (isOneOf(years, {1, 2, 5, 10, 25, 50, 100, 250, 500})) {
            const QString s = F(start, "y");
            if (years == 1)
                return s;
            if (years == 10 || years == 100)
                return s + u's';
            return joined(s, F(last, "y"));
        }
        const int64_t months = ds_gmt_units_between(start, end, DS_GMT_MONTHS);
        if (isOneOf(months, {1, 3, 6}))
            return months == 1 ? F(start, "MMMMy") : joined(F(start, "LLL"), F(last, "MMMy"));
        const int64_t days = ds_gmt_units_between(start, end, DS_GMT_DAYS);
        if (isOneOf(days, {1, 7})) {
            if (days == 1)
                return F(start, "dMMMy");
            const bool sameYear = ds_gmt_date(start).year == ds_gmt_date(last).year;
            return joined(F(start, sameYear ? "dMMM" : "dMMMy"), F(last, "dMMMy"));
        }
    }
    const int64_t hours = ds_gmt_units_between(start, end, DS_GMT_HOURS);
    if (isOneOf(hours, {1, 2, 4, 12}))
        return ds_clock_span_label(!timeOfDay, formatter, hours * 60, start, end);
    const int64_t minutes = ds_gmt_units_between(start, end, DS_GMT_MINUTES);
    if (isOneOf(minutes, {1, 5, 15, 30}))
        return ds_clock_span_label(!timeOfDay, formatter, minutes, start, end);
    return QString();
}

QString ds_clock_span_label(bool withDate, DSDateFormatter *formatter, int64_t minutes, double start, double end)
{
    const auto F = [formatter](double t, const char *tmpl) {
        return formatter->formattedStringForTimeTemplate(t, QString::fromLatin1(tmpl));
    };
    if (minutes == 1)
        return F(start, withDate ? "yMMMdjmm" : "jmm");
    const double last = end - 1;
    const double since = start - ds_gmt_day_start(start);
    const double until = end - ds_gmt_day_start(last);
    constexpr double kHalfDay = 43200;
    const bool oneHalf = (since < kHalfDay && until <= kHalfDay) || (since >= kHalfDay && until >= kHalfDay);
    const char *startTemplate = oneHalf ? "Jmm" : "jmm";
    if (!withDate)
        return joined(F(start, startTemplate), F(last, "jmm"));
    if (ds_gmt_day_start(start) == ds_gmt_day_start(last))
        return F(start, "dMMMy") + u' ' + joined(F(start, startTemplate), F(last, "jmm"));
    return F(start, "dMMMy") + u' ' + joined(F(start, "jmm"), F(last, "dMMMy")) + u' ' + F(last, "jmm");
}

QString ds_number_pattern(const QVariantMap &options)
{
    const int minimum = options.value(QStringLiteral("minimum_decimal_digits")).toInt();
    const int maximum = options.value(QStringLiteral("maximum_decimal_digits")).toInt();
    const bool apply = options.value(QStringLiteral("apply_minimum_decimal_digits")).toBool();
    QString fraction;
    for (int i = 0; i < minimum; ++i)
        fraction += apply ? u'0' : u'#';
    for (int i = minimum; i < maximum; ++i)
        fraction += u'#';
    const QString whole = QStringLiteral("#,##0");
    return fraction.isEmpty() ? whole : whole + u'.' + fraction;
}

QString ds_escape_quotes_backslash(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
}

QString ds_escape_quotes_doubled(const QString &text)
{
    if (text.isNull())
        return QStringLiteral("");
    QString escaped = text;
    return escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
}
