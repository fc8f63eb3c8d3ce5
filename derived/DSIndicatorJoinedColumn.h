#pragma once

#include "derived/DSForeignIndex.h"
#include "derived/DSObservedColumn.h"
#include "model/DSIndicatorColumn.h"

// An indicator column that shows, for each row of its table (the local
// table), the state its input column (an indicator column of another table,
// the foreign table) has in the foreign row whose key columns equal the
// local row's (its join conditions, all at once). Where foreign keys repeat
// the last such row decides, as for the other joined kinds (not any TRUE
// among them): a key without a foreign row, or whose last row is missing,
// is missing.
class DSIndicatorJoinedColumn : public DSObservedColumn<DSIndicatorColumn>
{
public:
    using DSIndicatorColumn::getBytes;

    // "<input name> (<input's table name>)"; none without an input.
    QString suggestedName() const override;
    // The value bits and the missing mask of rows 0 to the end of the range
    // (bits of the range set, others clear), owned by the column until its
    // next request; their byte length. Rows of the range whose keys cannot
    // be read (no conditions, a shorter key column) and every row without an
    // input are missing.
    qint64 getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset, qint64 limit) override;
    // Frees the foreign index, then the base purge.
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
