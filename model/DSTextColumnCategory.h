#pragma once

#include "model/DSColumnCategory.h"

// One distinct text of a column as a summary shows it (also the "0", "1" and
// "Missing" entries of indicator summaries): the text, or a null text for
// the blank entry and for bytes that are not UTF-8.
class DSTextColumnCategory : public DSColumnCategory
{
public:
    const QString &value() const { return m_value; }
    void setValue(const QString &value) { m_value = value; }

    // The label, else the value, else "Missing".
    QString longValue() const override;
    // The table's colour of longValue, else the hue of its text.
    double hue() const override;
    // The value with every carriage return and line feed made one space; a
    // null text without a value.
    QString valueWithoutNewlines() const;

private:
    QString m_value;
};
