#pragma once

#include "model/DSTextColumn.h"

#include <QByteArray>
#include <QList>

#include <vector>

// The name of the input table of each row of a stacked table. No row is
// missing.
class DSTextSourceNameColumn : public DSTextColumn
{
public:
    using DSColumn::getMissingMask;
    using DSTextColumn::getTextValues;

    // "source table".
    QString suggestedName() const override { return QStringLiteral("source table"); }
    // The names (UTF-8, owned by the column) of the range's rows.
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // 0 and no mask.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

private:
    QList<QByteArray> m_names;
    std::vector<const char *> m_texts;
};
