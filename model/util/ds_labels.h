#pragma once

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <span>

class DSDateFormatter;
class DSPlatformDateFormatter;
class DSPlatformNumberFormatter;

// Labels of bins, ranges and periods, and small text helpers. Labels of none
// are null QStrings; the caller then shows its own text.

// The formatter's text of `value`; a null QString when there is no
// formatter.
QString ds_format_number(const DSPlatformNumberFormatter *formatter, double value);

// The formatter's text of the absolute time `time` (seconds since
// 2001-01-01 00:00:00 GMT); a null QString when there is no formatter.
QString ds_format_time(const DSPlatformDateFormatter *formatter, double time);

// The label of bin i of a histogram cut at `cuts` (ascending): "lo ≤ X < c0",
// "c0 ≤ X < c1", ..., "ck ≤ X ≤ hi", with open ends ("X < c0", "ck ≤ X") or
// single values ("X = v") where the ends say so, and `width` (NaN for none)
// closing the first and last bin. None for i outside 0 ... cuts.size().
QString ds_bin_label(int32_t i, std::span<const double> cuts, const QString &name,
                     const DSPlatformNumberFormatter *formatter, double lo, double hi, double width);

// The label of the period [start, end) when it is one whole period of a
// listed length: years ("1990", "1990s", "1990 - 1994"), months ("June
// 2013", "Jun - Aug 2013"), days ("Jun 3, 2013", "Jun 3 - Jun 9, 2013"),
// then hours and minutes (ds_clock_span_label). `timeOfDay` skips years,
// months and days and writes the clock alone. None for any other period.
QString ds_time_span_label(DSDateFormatter *formatter, bool timeOfDay, double start, double end);

// The label of a span of `minutes` minutes (1 to 720) from `start` to `end`,
// with its date when `withDate`. A span that stays in one half of the day
// writes its start without the a.m./p.m. marker.
QString ds_clock_span_label(bool withDate, DSDateFormatter *formatter, int64_t minutes, double start, double end);

// "#,##0" followed by "." and the fraction digits an options entry
// ("minimum_decimal_digits", "apply_minimum_decimal_digits",
// "maximum_decimal_digits") asks for: "0" per applied minimum digit, "#" for
// the others.
QString ds_number_pattern(const QVariantMap &options);

// Every double quote preceded by a backslash.
QString ds_escape_quotes_backslash(const QString &text);
// Every double quote doubled; the empty text for a null one.
QString ds_escape_quotes_doubled(const QString &text);
