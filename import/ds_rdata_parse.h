#pragma once

#include <QByteArray>

#include <cstdint>

// R workspaces and serialised objects through the librdata library, read
// from memory and delivered as plain calls; each callback answers 0 to go
// on and 1 to stop.
//
// Column types: 0 text (values follow through text_value, a missing one as
// null), 3 32-bit integers (R's NA as INT32_MIN), 5 doubles. Dates (days)
// and date-times (seconds) arrive as doubles of seconds since 1970-01-01
// GMT with the date flag set. A logical vector arrives as integers 0 and 1
// after two level names, "FALSE" at position -1 and "TRUE" at 0, so that
// they label 0 and 1.
struct ds_rdata_callbacks_s
{
    // A new object of the workspace (a data frame, or any other value).
    int (*table)(const char *name, void *context);
    // A new column of the current object, with all its values but text.
    int (*column)(const char *name, int32_t type, bool date, const void *values, int64_t count, void *context);
    // Names the current object's column at a position.
    int (*column_name)(const char *name, int32_t position, void *context);
    // The next text value of the current text column.
    int (*text_value)(const char *text, int32_t index, void *context);
    // A level name of the next column: R's factor code position + 1.
    int (*value_label)(const char *label, int32_t position, void *context);
};

// Result of a parse that a callback stopped.
inline constexpr int ds_rdata_stopped = 5;

// Parses the bytes of an R file (already inflated: the library reads no
// compression itself) and answers 0, ds_rdata_stopped or another of the
// library's error codes; bytes that ds_rdata_check refuses are a parse
// error before the library sees them. A workspace reports each object through table;
// a single object (an .rds) reports none, the caller makes its table.
int parse_rdata(const QByteArray &bytes, void *context, const ds_rdata_callbacks_s &callbacks);
int parse_rds(const QByteArray &bytes, void *context, const ds_rdata_callbacks_s &callbacks);
