#pragma once

#include "model/DSTextColumn.h"

#include <QByteArray>
#include <QList>

#include <vector>

// The name of the input table of each row of a stacked table. No row is
// missing.
//
// Its index is the input tables' names in row order, one entry a table,
// neither sorted nor made unique: two tables of one name stay two
// categories, and each row's position is its table's.
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
    // The input tables' names in row order (UTF-8, owned by the column and
    // kept while the names stay the same); 0 and null without inputs.
    qint64 getIndex(const char *const **out) override;
    // Each row's table's position in the index, as many bins as tables.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;

private:
    QList<QByteArray> m_names;
    std::vector<const char *> m_texts;
    QList<QByteArray> m_indexNames;
    std::vector<const char *> m_index;
};
