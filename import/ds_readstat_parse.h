#pragma once

#include <cstdint>

// The statistical-package files through the ReadStat library, delivered as
// plain calls: each callback answers 0 to go on and 1 to stop the parse.
//
// Type codes of a value or a label key: 0 text (NUL-terminated, UTF-8
// from the library), 1 int8, 2 int16, 3 int32, 4 float, 5 double. Long
// Stata strings (strL) come as text. A value the file marks as missing
// (system-missing, a tagged missing value, a user-missing value or range)
// comes without its pointer.
struct ds_readstat_callbacks_s
{
    // The number of observations (-1 when the file does not say) and of
    // variables, before any variable.
    int (*info)(int64_t observations, int64_t variables, void *context);
    // One call per variable, in file order; format, label and label-set
    // name may be null.
    int (*variable)(int32_t index, const char *name, const char *format, const char *label, const char *label_set,
                    int32_t type, void *context);
    // One call per cell, observations in order and variables within them.
    int (*value)(int64_t observation, int32_t variable, const void *value, int32_t type, void *context);
    // One call per labelled value; none for labels of missing values.
    int (*value_label)(const char *label_set, const void *value, int32_t type, const char *label, void *context);
};

// The number a value pointer of type 1 ... 5 holds; NaN for none or
// another type.
double ds_readstat_number(const void *value, int32_t type);

// Results of the entry points: 0 done, 4 a callback stopped it, anything
// else the library's error code.
inline constexpr int ds_readstat_stopped = 4;

// Each parses the file at `path` (a file-system path) and answers the
// library's result. The Stata, SPSS and portable readers report value
// labels; a SAS data file has none of its own.
int parse_dta(const char *path, void *context, const ds_readstat_callbacks_s &callbacks);
int parse_sav(const char *path, void *context, const ds_readstat_callbacks_s &callbacks);
int parse_por(const char *path, void *context, const ds_readstat_callbacks_s &callbacks);
int parse_sas7bdat(const char *path, void *context, const ds_readstat_callbacks_s &callbacks);
// A SAS catalogue: only value_label is called (the others may be null), once
// per labelled value of each of its formats, named as the data files name
// them in their variables' formats.
int parse_sas7bcat(const char *path, void *context, const ds_readstat_callbacks_s &callbacks);
