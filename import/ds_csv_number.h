#pragma once

// Numbers of delimited text as spreadsheets and statistics programs write
// them. Pure functions of their arguments; any thread.

// The number of a cell: ds_parse_number's forms (a trailing "%" divides by
// 100) after the currency symbols "$", "€", "£" and "¥" are dropped wherever
// they stand, with an accounting negative "(1,234.50)" read as -1234.5.
// "," separates thousands and is dropped, unless `decimalComma`, where it is
// the decimal separator and "." the one dropped. NaN for a cell that is no
// number, and for one of 200 bytes or more.
double ds_parse_csv_number(const char *text, bool decimalComma);

// Whether the text holds one of the currency symbols above.
bool ds_csv_shows_currency(const char *text);

// What one cell tells of its column's decimal separator: Comma for a
// number written with one "," before one to three final digits and no "."
// but those grouping thousands before it ("1,5", "1.234,50"); Dot for a
// text holding any other "."; None otherwise.
enum class DSDecimalCommaEvidence { None, Comma, Dot };
DSDecimalCommaEvidence ds_decimal_comma_evidence(const char *text);
