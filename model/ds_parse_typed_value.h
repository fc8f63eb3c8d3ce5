#pragma once
// What a value typed into the records grid stands for.

#include <QString>

class DSPlatformNumberFormatter;
class DSTimeColumn;

// The number of a typed text: the column's formatter reading the whole text,
// else the longest number at its start in the user's locale ("1,5" is 1.5
// under de_DE, "12abc" is 12), else NaN (missing).
double ds_parse_typed_number(const DSPlatformNumberFormatter *formatter, const QString &text);

struct ds_typed_time_s
{
    double value;     // seconds since 2001-01-01 00:00:00 GMT, NaN for none
    double interval;  // the precision the text gave, in seconds
};

// The time of a typed text, by the first rule that reads it: M/D/Y or ISO
// dates with an optional time; the column's date-and-time, date and
// time-of-day formats; H:MM forms with AM or PM; the locale's own date
// formats and ISO 8601, floored to the minute (time-of-day columns) or the
// day. NaN when none does.
ds_typed_time_s ds_parse_typed_time(DSTimeColumn *column, const QString &text);
