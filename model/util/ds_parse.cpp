#include "model/util/ds_parse.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <csv.h>
#include <locale.h>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The "C" locale, made once: number texts never follow the user's LANG.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the bytes of one text: every scanner reads through it and
// never past `end`.
struct Cursor
{
    const char *p;
    const char *end;

    bool atEnd() const { return p == end; }
    bool peek(char c) const { return p != end && *p == c; }
    bool take(char c)
    {
        if (!peek(c))
            return false;
        ++p;
        return true;
    }
    bool take(const char *word)
    {
        const size_t n = strlen(word);
        if (size_t(end - p) < n || memcmp(p, word, n) != 0)
            return false;
        p += n;
        return true;
    }
    // A run of digits of `min` to `max` bytes, not followed by another digit.
    // Fails, consuming nothing, on any other run or when the value would not
    // fit in 64 bits.
    bool digits(int min, int max, uint64_t *value)
    {
        const char *q = p;
        uint64_t v = 0;
        while (q != end && isDigit(*q) && q - p < max) {
            const uint64_t d = uint64_t(*q - '0');
            if (v > (UINT64_MAX - d) / 10)
                return false;
            v = v * 10 + d;
            ++q;
        }
        if (q - p < min || (q != end && isDigit(*q)))
            return false;
        p = q;
        *value = v;
        return true;
    }
    int spaces()
    {
        int n = 0;
        while (take(' '))
            ++n;
        return n;
    }
};

constexpr int kAnyLength = INT_MAX;

struct Clock
{
    double seconds;
    double precision;
};

// H:MM or H:MM:SS, with a 12-hour marker after one space when `allowMarker`.
bool scanClock(Cursor &c, bool allowMarker, Clock *out)
{
    Cursor s = c;
    uint64_t hour, minute, second = 0;
    if (!s.digits(1, 2, &hour) || !s.take(':') || !s.digits(2, 2, &minute) || minute > 59)
        return false;
    double precision = 60;
    double fraction = 0;
    if (s.take(':')) {
        if (!s.digits(2, 2, &second) || second > 59)
            return false;
        precision = 1;
        // Fractions of a second, as pandas, data.table and SQLite write
        // them ("53.250"); kept in the value, the precision stays the second.
        Cursor f = s;
        uint64_t digits;
        if (f.take('.') && f.digits(1, 9, &digits)) {
            fraction = double(digits) / std::pow(10.0, double(f.p - s.p - 1));
            s = f;
        }
    }
    Cursor m = s;
    if (allowMarker && m.take(' ')) {
        static const char *const am[] = {"AM", "A.M.", "a.m."};
        static const char *const pm[] = {"PM", "P.M.", "p.m."};
        int half = -1;
        for (int i = 0; i < 3 && half < 0; ++i) {
            if (m.take(am[i]))
                half = 0;
            else if (m.take(pm[i]))
                half = 1;
        }
        if (half < 0 || hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + 12 * uint64_t(half);
        s = m;
    } else if (hour > 23) {
        return false;
    }
    c = s;
    *out = {double(hour * 3600 + minute * 60 + second) + fraction, precision};
    return true;
}

// An ISO time's zone: nothing, "Z", or "+HH:MM", "+HHMM" or "+HH" (or "-").
// Sets *offset to the zone's seconds east of GMT.
bool scanZone(Cursor &c, double *offset)
{
    *offset = 0;
    if (c.atEnd() || c.take('Z'))
        return true;
    const double sign = c.take('+') ? 1 : c.take('-') ? -1 : 0;
    uint64_t hours, minutes = 0;
    if (sign == 0)
        return false;
    if (c.digits(4, 4, &hours)) {
        minutes = hours % 100;
        hours /= 100;
    } else if (!c.digits(2, 2, &hours) || (c.take(':') && !c.digits(2, 2, &minutes))) {
        return false;
    }
    if (hours > 23 || minutes > 59)
        return false;
    *offset = sign * double(hours * 3600 + minutes * 60);
    return true;
}

// The part of a date text after the date itself: nothing, or spaces and a
// time of day, or (ISO dates only) "T" or spaces, a 24-hour time and an
// optional zone, which is taken off so the value is GMT.
bool scanDateTail(Cursor &c, bool iso, Clock *out)
{
    *out = {0, 86400};
    if (c.atEnd())
        return true;
    const bool t = iso && c.take('T');
    if (t || (iso && c.spaces() > 0)) {
        Cursor twelveHour = c;
        if (!t && scanClock(twelveHour, true, out) && twelveHour.atEnd())
            return true;
        double offset;
        if (!scanClock(c, false, out) || !scanZone(c, &offset) || !c.atEnd())
            return false;
        out->seconds -= offset;
        return true;
    }
    if (c.spaces() == 0)
        return false;
    return scanClock(c, true, out) && c.atEnd();
}

int64_t twoDigitYear(uint64_t y) { return y <= 25 ? 2000 + int64_t(y) : 1900 + int64_t(y); }

} // namespace

double ds_parse_number(const char *text, const char *remove)
{
    if (!text)
        return kNaN;
    const size_t length = strnlen(text, 200);
    if (length >= 200)
        return kNaN;
    char buffer[200];
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!remove || !strchr(remove, text[i]))
            buffer[n++] = text[i];
    }
    buffer[n] = '\0';

    char *after = nullptr;
    const double value = strtod_l(buffer, &after, cLocale());
    if (after == buffer)
        return kNaN;
    while (*after == ' ')
        ++after;
    if (*after == '\0')
        return value;
    if (*after == '%' && after[1] == '\0')
        return value * 0.01;
    return kNaN;
}

int ds_parse_int(const char *text)
{
    if (!text)
        return -1;
    char *after = nullptr;
    errno = 0;
    const long long value = strtoll_l(text, &after, 10, cLocale());
    if (after == text || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return -1;
    return int(value);
}

double ds_scan_time_of_day(const char *bytes, size_t length, double *precision)
{
    Cursor c{bytes, bytes + length};
    Clock clock;
    if (!bytes || !scanClock(c, true, &clock) || !c.atEnd())
        return kNaN;
    if (precision)
        *precision = clock.precision;
    return clock.seconds;
}

double ds_parse_time_of_day(const char *text, double *precision)
{
    return text ? ds_scan_time_of_day(text, strlen(text), precision) : kNaN;
}

double ds_scan_date(const char *bytes, size_t length, double *precision)
{
    if (!bytes)
        return kNaN;
    Cursor c{bytes, bytes + length};
    uint64_t first, month, day;
    int64_t year;
    bool iso = false;
    const char *start = c.p;
    if (!c.digits(1, 4, &first))
        return kNaN;
    if (c.p - start <= 2 && c.take('/')) {
        uint64_t y;
        month = first;
        if (!c.digits(1, 2, &day) || !c.take('/'))
            return kNaN;
        const char *yearStart = c.p;
        if (!c.digits(2, 4, &y))
            return kNaN;
        const auto yearDigits = c.p - yearStart;
        if (yearDigits == 2)
            year = twoDigitYear(y);
        else if (yearDigits == 4 && y >= 1000 && y <= 2999)
            year = int64_t(y);
        else
            return kNaN;
    } else if (c.p - start == 4 && c.take('-')) {
        iso = true;
        year = int64_t(first);
        if (year < 1000 || year > 2999 || !c.digits(1, 2, &month) || !c.take('-')
            || !c.digits(1, 2, &day))
            return kNaN;
    } else {
        return kNaN;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return kNaN;
    Clock clock;
    if (!scanDateTail(c, iso, &clock))
        return kNaN;
    ds_gmt_date_s date;
    date.year = year;
    date.month = int(month);
    date.day = int(day);
    if (precision)
        *precision = clock.precision;
    return ds_gmt_absolute_time(date) + clock.seconds;
}

double ds_parse_date(const char *text, double *precision)
{
    return text ? ds_scan_date(text, strlen(text), precision) : kNaN;
}

double ds_scan_duration(const char *bytes, size_t length)
{
    if (!bytes)
        return kNaN;
    Cursor c{bytes, bytes + length};
    uint64_t count;
    if (!c.digits(1, kAnyLength, &count))
        return kNaN;

    // Clock form: M:SS or H:MM:SS; the two-digit fields may exceed 59.
    if (c.take(':')) {
        uint64_t a, b;
        if (count > INT32_MAX || !c.digits(2, 2, &a))
            return kNaN;
        if (c.atEnd())
            return double(count) * 60 + double(a);
        if (!c.take(':') || !c.digits(2, 2, &b) || !c.atEnd())
            return kNaN;
        return double(count) * 3600 + double(a) * 60 + double(b);
    }

    // Single long-label form: one count and a unit word, nothing else.
    static const struct
    {
        const char *word;
        double seconds;
    } longLabels[] = {{"wk", 604800}, {"dy", 86400}, {"hr", 3600}, {"min", 60}, {"sec", 1}};
    for (const auto &label : longLabels) {
        Cursor w = c;
        if (w.take(label.word) && w.atEnd()) {
            if (label.seconds > 1 && count > INT32_MAX)
                return kNaN;
            return double(count) * label.seconds;
        }
    }

    // Unit form: count-letter components, separated by spaces or not at all.
    static const char letters[] = "wdhms";
    static const double unitSeconds[] = {604800, 86400, 3600, 60, 1};
    double counts[5] = {0, 0, 0, 0, 0};
    for (;;) {
        const char *unit = c.atEnd() ? nullptr : strchr(letters, *c.p);
        if (!unit || *unit == '\0')
            return kNaN;
        const auto k = unit - letters;
        if (k < 4 && count > INT32_MAX)
            return kNaN;
        counts[k] = double(count);
        ++c.p;
        if (c.atEnd())
            break;
        if (c.spaces() > 0 && c.atEnd())
            return kNaN;
        if (!c.digits(1, kAnyLength, &count))
            return kNaN;
    }
    double total = 0;
    for (int k = 0; k < 5; ++k)
        total += counts[k] * unitSeconds[k];
    return total;
}

double ds_parse_duration(const char *text)
{
    return text ? ds_scan_duration(text, strlen(text)) : kNaN;
}

int ds_sniff_delimiter(struct csv_parser *parser, const char *bytes, size_t length)
{
    csv_set_delim(parser, ',');
    bool sawComma = false;
    const size_t n = length < 4096 ? length : 4096;
    for (size_t i = 0; i < n; ++i) {
        switch (bytes[i]) {
        case ',':
            sawComma = true;
            break;
        case '\t':
            csv_set_delim(parser, '\t');
            return 0;
        case '\n':
            return sawComma ? 0 : -1;
        default:
            break;
        }
    }
    return 0;
}
