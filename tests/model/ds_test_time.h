#pragma once

#include "platform/calendar/ds_gmt_calendar.h"

// The absolute time of a GMT calendar date.
inline double ds_test_time(int64_t y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    ds_gmt_date_s date;
    date.year = y;
    date.month = mo;
    date.day = d;
    date.hour = h;
    date.minute = mi;
    date.second = s;
    return ds_gmt_absolute_time(date);
}
