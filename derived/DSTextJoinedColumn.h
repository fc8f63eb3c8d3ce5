#pragma once

#include "derived/DSForeignIndex.h"
#include "derived/DSObservedColumn.h"
#include "model/DSTextColumn.h"

// A text column that shows, for each row of its table (the local table),
// the text its input column (a text column of another table, the foreign
// table) holds in the foreign row whose key columns equal the local row's
// (its join conditions, all at once): where foreign keys repeat, the last
// such row; no text, and missing, where no foreign row has the key.
class DSTextJoinedColumn : public DSObservedColumn<DSTextColumn>
{
public:
    using DSColumn::getMissingMask;
    using DSTextColumn::getTextValues;

    // "<input name> (<input's table name>)"; none without an input.
    QString suggestedName() const override;
    // The texts of the local rows of the range whose keys can be read (none
    // without conditions), null for no text: the array belongs to the
    // column until its next request, the texts to the input column.
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // DSForeignIndex::joinedMissingMask.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // DSForeignIndex::markJoinMisses.
    bool setupJoinedMissingMask(qint64 offset, qint64 limit) override;
    // The input's answer (0 without an input).
    quint64 maximumTextValueLength() override;
    // Frees the foreign index, then the kind's purge.
    void purgeIndex() override;

protected:
    // Its join conditions and its input.
    QStringList definitionKeys() const override
    {
        return {QStringLiteral("join_conditions"), QStringLiteral("inputs")};
    }

private:
    DSForeignIndex m_foreignIndex;
};
