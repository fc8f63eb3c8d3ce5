#pragma once

#include "derived/DSForeignIndex.h"
#include "derived/DSObservedColumn.h"
#include "model/DSTimeColumn.h"

// A time column that shows, for each row of its table (the local table),
// the time and interval its input column (a time column of another table,
// the foreign table) holds in the foreign row whose key columns equal the
// local row's (its join conditions, all at once): where foreign keys
// repeat, the last such row; a NaN time with interval 0, and missing, where
// no foreign row has the key.
class DSTimeJoinedColumn : public DSObservedColumn<DSTimeColumn>
{
public:
    using DSTimeColumn::getMissingMask;
    using DSTimeColumn::getTimeValues;

    // "<input name> (<input's table name>)"; none without an input.
    QString suggestedName() const override;
    // The times and intervals of the local rows of the range whose keys can
    // be read (none without conditions), owned by the column until its next
    // request.
    qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit) override;
    // DSForeignIndex::joinedMissingMask.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // DSForeignIndex::markJoinMisses.
    bool setupJoinedMissingMask(qint64 offset, qint64 limit) override;
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
