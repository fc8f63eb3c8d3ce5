#pragma once
// The cell columns of the summary statistics outline: the identifier its
// cells are named by, the title of its header and of its visibility menu
// item, and its bit of the table's "summary_table_column_mask". The outline
// shows the columns in this order; the visibility menus list them.

#include <cstdint>
#include <span>

struct ds_table_column_info_s
{
    const char *identifier;
    const char *title;
    uint32_t mask;
};

inline constexpr ds_table_column_info_s ds_summary_table_column_list[] = {
    {"name", "Column Name", 1},
    {"title", "Description", 2},
    {"preview", "Picture", 4},
    {"count", "Count", 8},
    {"mean", "Mean", 16},
    {"stddev", "Standard Deviation", 32},
    {"stderr", "Standard Error of the Mean", 64},
    {"confidence-interval", "Confidence Interval", 128},
    {"min", "Minimum", 256},
    {"lower-quartile", "Lower Quartile", 512},
    {"median", "Median", 1024},
    {"upper-quartile", "Upper Quartile", 2048},
    {"max", "Maximum", 4096},
    {"range", "Range", 8192},
    {"iqr", "Interquartile Range", 16384},
    {"mad", "Median Absolute Deviation", 32768},
};

inline constexpr std::span<const ds_table_column_info_s> ds_summary_table_columns()
{
    return ds_summary_table_column_list;
}
