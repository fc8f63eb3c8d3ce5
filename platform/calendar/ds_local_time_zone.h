#pragma once
// The one place the user's time zone enters: dates picked on the local clock
// are moved onto the GMT wall clock of stored values (and back) where a
// predicate or condition takes them.

// The offset from GMT of the process's time zone at the absolute time t
// (seconds since 2001-01-01 00:00:00 GMT), in seconds, east positive.
double ds_local_time_zone_offset(double t);
