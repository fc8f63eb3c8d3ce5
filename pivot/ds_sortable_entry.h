#pragma once
// One ranking entry of a pivot row: the row's code, its row number among
// the aggregation values, the group it ranks within and the value it is
// ranked by.

#include <cstdint>

struct ds_sortable_entry_s {
    int64_t label_index;  // the row's code
    int64_t value_index;  // the row's position in the aggregations' arrays
    int64_t group;        // entries rank only against entries of their group
    double value;         // NaN already replaced by -infinity
};
