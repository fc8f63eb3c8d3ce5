#include "database/ds_sql_values.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

// A cursor over a text of known length.
struct Scan
{
    const char *p;
    const char *end;

    bool atEnd() const { return p >= end; }
    bool eat(char c)
    {
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    // An unsigned decimal of 1 to `maxDigits` digits.
    bool digits(int maxDigits, int64_t *value)
    {
        int n = 0;
        int64_t v = 0;
        while (p < end && *p >= '0' && *p <= '9' && n < maxDigits) {
            v = v * 10 + (*p - '0');
            ++p, ++n;
        }
        *value = v;
        return n > 0;
    }
    // Skips a fraction ".ddd".
    void fraction()
    {
        if (eat('.'))
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
    }
    bool rest(const char *text) const
    {
        const size_t n = std::strlen(text);
        return size_t(end - p) == n && std::memcmp(p, text, n) == 0;
    }
};

// "Y-M-D" with a valid month and day; the year as written.
bool scanDate(Scan &s, int64_t *year, int64_t *month, int64_t *day)
{
    return s.digits(9, year) && s.eat('-') && s.digits(2, month) && s.eat('-') && s.digits(2, day) && *month >= 1 &&
           *month <= 12 && *day >= 1 && *day <= 31;
}

// "H:M:S" (fraction skipped) with hours up to 24 and minutes and seconds
// below 60 (a leap second 60 allowed).
bool scanTime(Scan &s, int64_t *hour, int64_t *minute, int64_t *second)
{
    if (!(s.digits(2, hour) && s.eat(':') && s.digits(2, minute) && s.eat(':') && s.digits(2, second)))
        return false;
    s.fraction();
    return *hour <= 24 && *minute < 60 && *second <= 60;
}

// A zone "+HH", "+HH:MM" or "+HH:MM:SS" (or "-"): its offset in seconds
// east of GMT. True with 0 when there is none.
bool scanZone(Scan &s, int64_t *offset)
{
    *offset = 0;
    int sign = 0;
    if (s.eat('+'))
        sign = 1;
    else if (s.eat('-'))
        sign = -1;
    else
        return true;
    int64_t h = 0, m = 0, sec = 0;
    if (!s.digits(2, &h))
        return false;
    if (s.eat(':') && !s.digits(2, &m))
        return false;
    if (s.eat(':') && !s.digits(2, &sec))
        return false;
    *offset = sign * (h * 3600 + m * 60 + sec);
    return true;
}

// The year of a " BC" suffix: 1 BC is year 0.
bool eraYear(Scan &s, int64_t *year)
{
    if (s.atEnd())
        return true;
    if (s.rest(" BC")) {
        *year = 1 - *year;
        s.p = s.end;
        return true;
    }
    return false;
}

double absoluteTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second)
{
    ds_gmt_date_s date;
    date.year = year;
    date.month = int(month);
    date.day = int(day);
    date.hour = int(hour);
    date.minute = int(minute);
    date.second = double(second);
    return ds_gmt_absolute_time(date);
}

// The whole text read as a double, rounded to the nearest whatever its
// length (a numeric of a thousand digits included).
double numberValue(const char *text, size_t length)
{
    if (length == 0)
        return NAN;
    // Most numbers fit the stack; strtod needs its zero at the end.
    char small[64];
    std::string large;
    const char *s;
    if (length < sizeof small) {
        std::memcpy(small, text, length);
        small[length] = '\0';
        s = small;
    } else {
        large.assign(text, length);
        s = large.c_str();
    }
    char *end = nullptr;
    const double x = strtod_l(s, &end, cLocale());
    return end == s + length ? x : NAN;
}

} // namespace

double ds_pgsql_number_value(const char *text, size_t length)
{
    return numberValue(text, length);
}

double ds_pgsql_bool_value(const char *text, size_t length)
{
    if (length == 0)
        return NAN;
    return text[0] == 't' ? 1 : text[0] == 'f' ? 0 : NAN;
}

double ds_pgsql_date_value(const char *text, size_t length)
{
    Scan s{text, text + length};
    int64_t y, m, d;
    if (!scanDate(s, &y, &m, &d) || !eraYear(s, &y))
        return NAN;
    return absoluteTime(y, m, d, 0, 0, 0);
}

double ds_pgsql_time_value(const char *text, size_t length)
{
    Scan s{text, text + length};
    int64_t h, m, sec, zone;
    if (!scanTime(s, &h, &m, &sec) || !scanZone(s, &zone) || !s.atEnd())
        return NAN;
    return double(h * 3600 + m * 60 + sec);
}

double ds_pgsql_timestamp_value(const char *text, size_t length)
{
    Scan s{text, text + length};
    int64_t y, mo, d, h, mi, sec, zone;
    if (!scanDate(s, &y, &mo, &d) || !s.eat(' ') || !scanTime(s, &h, &mi, &sec) || !scanZone(s, &zone) ||
        !eraYear(s, &y))
        return NAN;
    return absoluteTime(y, mo, d, h, mi, sec) - double(zone);
}

double ds_pgsql_interval_value(const char *text, size_t length)
{
    Scan s{text, text + length};
    int64_t months = 0, days = 0;
    double clock = 0;
    bool any = false;
    while (!s.atEnd()) {
        if (any && !s.eat(' '))
            return NAN;
        const bool negative = s.eat('-');
        if (!negative)
            s.eat('+');
        int64_t n;
        if (!s.digits(15, &n))
            return NAN;
        if (s.eat(':')) {
            // The clock part "H:MM:SS[.fraction]", hours unbounded.
            int64_t m, sec;
            if (!s.digits(2, &m) || !s.eat(':') || !s.digits(2, &sec))
                return NAN;
            const char *fraction = s.p;
            s.fraction();
            const double part = fraction == s.p ? 0 : numberValue(fraction, size_t(s.p - fraction));
            const double seconds = double(n) * 3600 + double(m * 60 + sec) + part;
            clock += negative ? -seconds : seconds;
        } else {
            if (!s.eat(' '))
                return NAN;
            const int64_t v = negative ? -n : n;
            if (s.eat('y') && s.eat('e') && s.eat('a') && s.eat('r'))
                months += v * 12;
            else if (s.eat('m') && s.eat('o') && s.eat('n'))
                months += v;
            else if (s.eat('d') && s.eat('a') && s.eat('y'))
                days += v;
            else
                return NAN;
            s.eat('s');
        }
        any = true;
    }
    if (!any)
        return NAN;
    // As the server's own epoch of an interval: whole years of the months
    // at 365.25 days, the months left at 30 days.
    const double years = double(months / 12), rest = double(months % 12);
    return (years * 365.25 + rest * 30 + double(days)) * 86400 + clock;
}

double ds_pgsql_abstime_value(const char *text, size_t length)
{
    const double x = numberValue(text, length);
    return std::isfinite(x) ? std::floor(x - kDSUnixToAbsoluteTime) : NAN;
}

double ds_mysql_bit_value(const unsigned char *bytes, size_t length)
{
    if (length > 8)
        return NAN;
    uint64_t v = 0;
    for (size_t i = 0; i < length; ++i)
        v = (v << 8) | bytes[i];
    return double(v);
}

double ds_mysql_time_value(const ds_mysql_time_s &t, double *interval)
{
    if (t.time_type == 2) {
        *interval = 1;
        const double seconds = double(t.day) * 86400 + double(t.hour) * 3600 + double(t.minute) * 60 + t.second;
        return t.neg ? -seconds : seconds;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) {
        *interval = 0;
        return NAN;
    }
    if (t.time_type == 0) {
        *interval = 86400;
        return absoluteTime(t.year, t.month, t.day, 0, 0, 0);
    }
    *interval = 1;
    return absoluteTime(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

double ds_mysql_year_value(double year, double *interval)
{
    // The range is checked before the year becomes an integer: a double of
    // 2^63 or more has no int64.
    if (!std::isfinite(year) || year < 1 || !ds_gmt_year_in_range(std::trunc(year) + 1)) {
        *interval = 0;
        return NAN;
    }
    const int64_t y = int64_t(year);
    const double start = absoluteTime(y, 1, 1, 0, 0, 0);
    *interval = absoluteTime(y + 1, 1, 1, 0, 0, 0) - start;
    return start;
}
