#pragma once

#include <QCborMap>
#include <QCborValue>
#include <QMap>
#include <QString>
#include <cstdint>

// Value labels by variable (or SAS format) name: each maps a data value (a
// double, NaN for the missing value, or a string) to its label. Kept ordered
// rather than as a QCborMap so that a range of many values does not cost a
// linear search per label.
using ds_value_labels = QMap<QString, QMap<QCborValue, QString>>;

// on_value_label handler of sps_parse; `context` is a ds_value_labels. The
// label replaces an earlier one of the same value. Returns 0.
int value_labels_add(const char *key, const void *value, int32_t type, const char *label, void *context);

// on_value_label handler of sas_parse, where the key is a format name.
int format_value_labels_add(const char *key, const void *value, int32_t type, const char *label, void *context);

// on_variable_format handler of sas_parse; `context` is a QMap<QString,
// QString> from variable name to format name, the later format replacing
// the earlier.
int variable_format_set(const char *name, const char *format, void *context);

// The labels of one variable as a column's category labels.
QCborMap ds_category_labels(const QMap<QCborValue, QString> &labels);
