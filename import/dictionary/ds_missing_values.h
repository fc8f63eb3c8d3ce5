#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>

// One value or range that a command file declares missing for a variable.
struct ds_missing_value_s {
    bool is_text = false;
    double low = 0;  // numbers: the range low ... high, both included
    double high = 0;
    QString text;    // texts: the value, trailing blanks cut
};

// The declarations by variable name, in the order written.
using ds_missing_values = QMap<QString, QList<ds_missing_value_s>>;

// on_missing_value handler of sps_parse_missing_values; `context` is a
// ds_missing_values. Type 0 forgets the variable's earlier declarations.
// Returns 0.
int missing_values_add(const char *name, int32_t type, const void *low, const void *high, void *context);

// Whether a number or a text (trailing blanks cut) is declared missing by
// the list. A NaN is never a declared value: it is missing anyway.
bool ds_is_declared_missing(const QList<ds_missing_value_s> &declared, double x);
bool ds_is_declared_missing(const QList<ds_missing_value_s> &declared, const char *text);
