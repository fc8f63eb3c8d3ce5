#pragma once

#include "model/DSTextColumn.h"

#include <QByteArray>

// One text in every row of its table; no row is missing, and the empty
// text is served as it stands (the index treats it as blank).
class DSTextConstantColumn : public DSTextColumn
{
public:
    using DSTextColumn::getTextValues;
    using DSColumn::getMissingMask;

    QString value() const { return stringForKey(QStringLiteral("value")); }
    // The stored value's own setter beside the store's keyed one.
    using DSManagedObject::setValue;
    void setValue(const QString &value) { setPrimitiveValue(value, QStringLiteral("value")); }

    // Rows offset on: limit of them when 0 < limit < the rows left, else
    // every row left (a limit of 0 or below reaches the last row). Every
    // entry points at one shared copy of the whole UTF-8 text, owned by the
    // column and valid until the value changes or the column faults. Null
    // and 0 at or past the last row or when memory runs out.
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // No mask and length 0: no row is missing.
    qint64 getMissingMask(const uint8_t **out) override;
    // The value.
    QString suggestedName() const override { return value(); }

private:
    // The value's UTF-8 text the rows point at, re-encoded only when the
    // value changed, so a pointer handed out outlives the next request.
    QByteArray m_text;
};
