#pragma once

#include <QString>

class DSColumn;
class DSManagedObjectContext;

// A new constant column in context for one line of text, of the first form
// the text takes:
//  1. a number in the current locale (the whole text but surrounding white
//     space, no group separators): a numeric constant;
//  2. a duration ("2h 30m", "1:30:00"): a numeric constant of its seconds,
//     displayed as a duration (its dependants made at once);
//  3. a time of day ("7:45 PM", "19:45:10"): a time-of-day constant of its
//     seconds since midnight, the precision (60 or 1) as its interval;
//  4. a date with an optional time ("3/14/2015"): a time constant of that
//     instant in GMT, its precision (86,400, 60 or 1) as its interval;
//  5. anything else: a text constant of the text as it stands.
// Null for the empty text (the sheet beeps) or without a context. The
// column belongs to the context and is in no table yet.
DSColumn *ds_insert_constant_column(const QString &text, DSManagedObjectContext *context);
