#pragma once

class DSColumn;

// Makes a numeric column of 0/1 values read as the categories FALSE and
// TRUE, as database files' yes/no fields are shown.
void ds_make_boolean_column(DSColumn *column);

// The value of a logical field's letter: 1 for T or Y, 0 for F or N (any
// case, blanks around it ignored), NaN for "?", a blank field and anything
// else.
double ds_logical_value(const char *text);
