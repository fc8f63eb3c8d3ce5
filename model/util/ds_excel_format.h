#pragma once

#include <QString>

// Tests of spreadsheet number-format codes (NUL-terminated UTF-8). A null
// code counts as no code: false for every test but ds_excel_format_is_numeric,
// for which an absent code means a plain number.

// The number of "0" in the run of "0" and "." after the first "."; 0 for the
// code "0"; -1 for no code or a code without ".".
int ds_excel_format_zero_decimals(const char *code);

// The same, counting "0" and "#" in a run of "0", "#" and ".".
int ds_excel_format_decimals(const char *code);

bool ds_excel_format_has_currency(const char *code); // contains "$"
bool ds_excel_format_has_percent(const char *code);  // contains "%"
bool ds_excel_format_is_scientific(const char *code); // contains "E+"

// A duration: starts with "m" and has ":" and "s" but no "h" (mm:ss); is
// exactly "h:mm:ss"; or starts with "[h" and has "]" ([h]:mm:ss).
bool ds_excel_format_is_duration(const char *code);

// The code shows a number, not a date or time: a duration, the empty code, a
// code with "0", "#" or "?", or one starting with "General" in any case.
bool ds_excel_format_is_numeric(const char *code);

// A sheet name without ":", "\", "/", "?", "*", "[" and "]", cut to its first
// 32 characters; `fallback` when nothing is left.
QString ds_clean_sheet_name(const QString &name, const QString &fallback);
