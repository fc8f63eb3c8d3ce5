#pragma once

#include <cstdint>

// The parts of a date-time filter that a leave-one-out mask skips for the
// excluded filter; other bits mean nothing.
enum ds_filter_exclude_flags : uint32_t {
    ds_filter_exclude_year = 0x01,
    ds_filter_exclude_month = 0x02,
    ds_filter_exclude_day_of_month = 0x04,
    ds_filter_exclude_hour_of_day = 0x08,
    ds_filter_exclude_day_of_week = 0x40,
    ds_filter_exclude_everything = 0xFFFFFF,
};
