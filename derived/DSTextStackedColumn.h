#pragma once

#include "model/DSTextColumn.h"

#include <vector>

// A text column of a stacked table: for the rows of each input table the
// texts of its input text column from that table, no text (and missing) for
// the rows of a table without one. The texts belong to the input columns.
class DSTextStackedColumn : public DSTextColumn
{
public:
    using DSColumn::getMissingMask;
    using DSTextColumn::getTextValues;

    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // The column's own rule, then every input's missing rows and the rows of
    // tables without an input.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

private:
    std::vector<const char *> m_texts;
};
