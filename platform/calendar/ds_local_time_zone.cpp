#include "platform/calendar/ds_local_time_zone.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

double ds_local_time_zone_offset(double t)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(qint64(std::floor(t + kDSUnixToAbsoluteTime)), Qt::UTC);
    return QTimeZone::systemTimeZone().offsetFromUtc(at);
}
