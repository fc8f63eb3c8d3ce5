#pragma once

#include "derived/DSForeignIndex.h"
#include "derived/DSObservedColumn.h"
#include "model/DSNumericColumn.h"

// A numeric column that shows, for each row of its table (the local table),
// the value its input column (a numeric column of another table, the
// foreign table) holds in the foreign row whose key columns equal the local
// row's (its join conditions, all at once): where foreign keys repeat, the
// last such row; NaN and missing where no foreign row has the key.
class DSNumericJoinedColumn : public DSObservedColumn<DSNumericColumn>
{
public:
    using DSColumn::getMissingMask;
    using DSNumericColumn::getValues;

    // "<input name> (<input's table name>)"; none without an input.
    QString suggestedName() const override;
    // The values of the local rows of the range whose keys can be read (none
    // without conditions); NaN for every row without an input. Owned by the
    // column until its next request.
    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // DSForeignIndex::joinedMissingMask.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // DSForeignIndex::markJoinMisses.
    bool setupJoinedMissingMask(qint64 offset, qint64 limit) override;
    // The input's answer (YES without an input).
    bool containsOnlyIntegers() override;
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
