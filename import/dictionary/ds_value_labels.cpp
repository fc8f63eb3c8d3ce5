#include "import/dictionary/ds_value_labels.h"

int value_labels_add(const char *key, const void *value, int32_t type, const char *label, void *context)
{
    auto &labels = (*static_cast<ds_value_labels *>(context))[QString::fromUtf8(key)];
    QCborValue data = type == 1 ? QCborValue(QString::fromUtf8(static_cast<const char *>(value)))
                                : QCborValue(*static_cast<const double *>(value));
    labels.insert(data, QString::fromUtf8(label));
    return 0;
}

int format_value_labels_add(const char *key, const void *value, int32_t type, const char *label, void *context)
{
    return value_labels_add(key, value, type, label, context);
}

int variable_format_set(const char *name, const char *format, void *context)
{
    static_cast<QMap<QString, QString> *>(context)->insert(QString::fromUtf8(name), QString::fromUtf8(format));
    return 0;
}

QCborMap ds_category_labels(const QMap<QCborValue, QString> &labels)
{
    QCborMap map;
    for (auto it = labels.cbegin(); it != labels.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}
