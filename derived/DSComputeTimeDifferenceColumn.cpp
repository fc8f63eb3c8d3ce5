#include "derived/DSComputeTimeDifferenceColumn.h"

#include "model/DSTimeColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/calendar/ds_local_time_zone.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

double systemClock()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - kDSUnixToAbsoluteTime;
}

DSComputeTimeDifferenceColumn::Clock g_clock = systemClock;

int daysInMonth(int64_t year, int month)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return lengths[month - 1] + (month == 2 && leap ? 1 : 0);
}

// start moved by n calendar months, its day cut to the last of the target
// month (January 31 plus one month is February 28 or 29), its clock kept.
double addMonths(const ds_gmt_date_s &start, int64_t n)
{
    ds_gmt_date_s moved = start;
    const int64_t month = start.year * 12 + (start.month - 1) + n;
    moved.year = month >= 0 ? month / 12 : -((-month + 11) / 12);
    moved.month = int(month - moved.year * 12) + 1;
    moved.day = std::min(start.day, daysInMonth(moved.year, moved.month));
    return ds_gmt_absolute_time(moved);
}

// The whole calendar months from start to end counted from start: the n
// of largest magnitude, with the sign of end - start, for which start moved
// by n months does not pass end.
int64_t wholeMonths(double start, double end)
{
    const ds_gmt_date_s a = ds_gmt_date(start), b = ds_gmt_date(end);
    int64_t n = (b.year - a.year) * 12 + (b.month - a.month);
    if (end >= start) {
        while (n > 0 && addMonths(a, n) > end)
            --n;
    } else {
        while (n < 0 && addMonths(a, n) < end)
            ++n;
    }
    return n;
}

} // namespace

void DSComputeTimeDifferenceColumn::setClock(Clock clock)
{
    g_clock = clock ? clock : systemClock;
}

double DSComputeTimeDifferenceColumn::currentWallClockTime()
{
    const double now = g_clock();
    return now + ds_local_time_zone_offset(now);
}

QString DSComputeTimeDifferenceColumn::suggestedName() const
{
    const qint64 count = gregorian_unit_count();
    const char *word = "years";
    switch (gregorian_unit()) {
    case Seconds:
        word = isDuration() ? "duration" : "seconds";
        break;
    case Minutes:
        word = "minutes";
        break;
    case Hours:
        word = "hours";
        break;
    case Days:
        word = count == 7 ? "weeks" : "days";
        break;
    case Months:
        word = count == 3 ? "quarters" : "months";
        break;
    }
    const auto sideName = [](const DSColumn *column) {
        return column ? column->name() : QStringLiteral("TODAY");
    };
    return QString::fromLatin1(word) + QLatin1Char('(') + sideName(start_time()) + QStringLiteral(", ") +
           sideName(end_time()) + QLatin1Char(')');
}

void DSComputeTimeDifferenceColumn::sideValues(DSColumn *column, qint64 offset, qint64 count,
                                               std::vector<double> &side)
{
    side.assign(size_t(count), std::numeric_limits<double>::quiet_NaN());
    auto *time = dynamic_cast<DSTimeColumn *>(column);
    if (!time)
        return;
    const uint8_t *mask = nullptr;
    const qint64 length = time->getMissingMask(&mask, offset, count);
    const double *t = nullptr;
    const qint64 c = std::min(time->getTimeValues(&t, nullptr, offset, count), count);
    for (qint64 i = 0; t && i < c; ++i)
        if (!(mask && (offset + i) / 8 < length && ds_mask_test(mask, offset + i)))
            side[size_t(i)] = t[i];
}

qint64 DSComputeTimeDifferenceColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    double *y = reserveValues(count);
    if (!y)
        return handOut(out, nullptr, 0);
    DSColumn *startColumn = start_time(), *endColumn = end_time();
    if (!startColumn && !endColumn) {
        std::fill(y, y + count, 0.0);
        return handOut(out, y, count);
    }
    const double now = currentWallClockTime();
    std::vector<double> start, end;
    sideValues(startColumn, offset, count, start);
    sideValues(endColumn, offset, count, end);
    const qint64 unit = gregorian_unit();
    const int64_t steps = std::max<qint64>(gregorian_unit_count(), 1);
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t last) {
        for (int64_t i = first; i < last; ++i) {
            const double e = std::isnan(end[size_t(i)]) ? now : end[size_t(i)];
            const double s = std::isnan(start[size_t(i)]) ? now : start[size_t(i)];
            const auto seconds = [&](int64_t length) { return double(int64_t(e - s) / (length * steps)); };
            switch (unit) {
            case Years:
                y[i] = double(wholeMonths(s, e) / 12 / steps);
                break;
            case Months:
                y[i] = double(wholeMonths(s, e) / steps);
                break;
            case Days:
                y[i] = seconds(86400);
                break;
            case Hours:
                y[i] = seconds(3600);
                break;
            case Minutes:
                y[i] = seconds(60);
                break;
            case Seconds:
                y[i] = seconds(1);
                break;
            default:
                y[i] = 0;
            }
        }
    });
    return handOut(out, y, count);
}
