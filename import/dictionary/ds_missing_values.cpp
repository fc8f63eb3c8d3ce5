#include "import/dictionary/ds_missing_values.h"


int missing_values_add(const char *name, int32_t type, const void *low, const void *high, void *context)
{
    QList<ds_missing_value_s> &declared = (*static_cast<ds_missing_values *>(context))[QString::fromUtf8(name)];
    ds_missing_value_s value;
    if (type == 0) {
        declared.clear();
        return 0;
    }
    if (type == 1) {
        value.is_text = true;
        QByteArray text(static_cast<const char *>(low));
        while (text.endsWith(' '))
            text.chop(1);
        value.text = QString::fromUtf8(text);
    } else {
        value.low = *static_cast<const double *>(low);
        value.high = *static_cast<const double *>(high);
    }
    declared.append(value);
    return 0;
}

bool ds_is_declared_missing(const QList<ds_missing_value_s> &declared, double x)
{
    for (const ds_missing_value_s &value : declared)
        if (!value.is_text && value.low <= x && x <= value.high)
            return true;
    return false;
}

bool ds_is_declared_missing(const QList<ds_missing_value_s> &declared, const char *text)
{
    const QString value = QString::fromUtf8(text);
    for (const ds_missing_value_s &missing : declared)
        if (missing.is_text && missing.text == value)
            return true;
    return false;
}
