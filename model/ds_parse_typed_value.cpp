#include "model/ds_parse_typed_value.h"

#include "model/DSTimeColumn.h"
#include "model/ds_time_units.h"
#include "model/util/ds_parse.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/format/DSPlatformNumberFormatter.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cmath>

namespace {

// The longest prefix of the text that the locale reads as a number.
double leadingNumber(const QString &text)
{
    const QLocale locale;
    const QString trimmed = text.trimmed();
    for (qsizetype n = trimmed.size(); n > 0; --n) {
        bool ok = false;
        const double x = locale.toDouble(QStringView(trimmed).left(n), &ok);
        if (ok)
            return x;
    }
    return NAN;
}

// Rule 4: the locale's date formats and ISO 8601, as local time, moved onto
// the GMT scale and floored to the minute or the day.
ds_typed_time_s naturalDate(const QString &text, bool timeOfDay)
{
    const QLocale locale;
    QDateTime when;
    for (QLocale::FormatType format : {QLocale::LongFormat, QLocale::ShortFormat, QLocale::NarrowFormat}) {
        if (!when.isValid())
            when = locale.toDateTime(text, format);
        if (!when.isValid())
            if (const QDate day = locale.toDate(text, format); day.isValid())
                when = day.startOfDay();
    }
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid())
        return {NAN, 86400};
    const double gmt = double(when.toSecsSinceEpoch() + when.offsetFromUtc()) - kDSUnixToAbsoluteTime;
    double length = 86400;
    const double value = ds_time_floor(timeOfDay ? ds_time_unit_minute : ds_time_unit_day, &length, gmt);
    return {value, length};
}

} // namespace

double ds_parse_typed_number(const DSPlatformNumberFormatter *formatter, const QString &text)
{
    if (formatter)
        if (const std::optional<double> x = formatter->numberFromString(text); x && !std::isnan(*x))
            return *x;
    return leadingNumber(text);
}

ds_typed_time_s ds_parse_typed_time(DSTimeColumn *column, const QString &text)
{
    const QByteArray bytes = text.trimmed().toUtf8();
    double precision = 86400;
    if (const double t = ds_parse_date(bytes.constData(), &precision); !std::isnan(t))
        return {t, precision};
    const std::pair<std::shared_ptr<DSPlatformDateFormatter>, double> formats[] = {
        {column->dateAndTimeFormatter(), 60}, {column->dateFormatter(), 86400}};
    for (const auto &[formatter, interval] : formats)
        if (formatter)
            if (const std::optional<double> t = formatter->timeFromString(text.trimmed()))
                return {*t, interval};
    // A time alone is read on the formatter's default day: what counts is
    // the time since that day's midnight, as time-of-day columns hold it.
    if (const auto formatter = column->timeOfDayFormatter())
        if (const std::optional<double> t = formatter->timeFromString(text.trimmed()))
            return {*t - 86400 * std::floor(*t / 86400), 60};
    if (const double t = ds_parse_time_of_day(bytes.constData(), &precision); !std::isnan(t))
        return {t, precision};
    return naturalDate(text.trimmed(), column->isTimeOfDay());
}
