#include "model/DSColumn.h"

#include "model/DSTable.h"

QString DSColumn::name() const
{
    const QVariant stored = primitiveValueForKey(QStringLiteral("name"));
    return stored.isNull() ? suggestedName() : stored.toString();
}

DSTable *DSColumn::table() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("table")));
}

void DSColumn::setTable(DSTable *table)
{
    setObject(table, QStringLiteral("table"));
}

qint64 DSColumn::getMissingMask(const uint8_t **out)
{
    const DSTable *owner = table();
    return getMissingMask(out, 0, owner ? owner->num_records() : 0);
}

qint64 DSColumn::getMissingMask(const uint8_t **out, qint64, qint64)
{
    if (out)
        *out = nullptr;
    return 0;
}

qint64 DSColumn::getNonmissingMask(const uint8_t **out, const uint8_t *mask, qint64 length)
{
    DSTable *owner = table();
    if (!owner) {
        if (out)
            *out = nullptr;
        return 0;
    }
    return owner->getNonmissingMask(out, {this}, mask, length);
}
