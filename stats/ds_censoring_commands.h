#pragma once
// A column's right censoring written for the other packages' commands.

#include <QString>

class DSColumn;

// The R event indicator of a survival column: "1" when no censoring
// applies (censoring off or no conditions), else the negation of its
// conditions combined as the column combines them ("&" when all must hold,
// "|" otherwise), each written so that a missing value matches exactly as
// in our censoring mask (never, except a number's "≠"). Conditions of an
// operator their kind ignores drop out as they do in the mask.
QString ds_censoring_r_event(DSColumn *column);
