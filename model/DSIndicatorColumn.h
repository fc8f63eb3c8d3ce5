#pragma once

#include "model/DSColumn.h"

#include <array>

// A column of one value bit and one missing bit a row: TRUE, FALSE or
// missing. Where the bits come from is the concrete kinds' business (local
// conditions, joins, stacks); they supply one of the two getBytes forms,
// and this base answers the rest of the column protocol from the bits: the
// index (the subset of FALSE, TRUE and missing that occurs), per-row
// category indexes, statistics of the 0/1 values, phi and point-biserial
// correlations, hues and the category summary.
//
// A row is missing when the missing mask exists, the byte length is not 0
// and its bit is set; otherwise TRUE when the byte length is not 0 and its
// value bit is set (rows past the masks are FALSE); else FALSE.
class DSIndicatorColumn : public DSColumn
{
public:
    QString joinedColumnEntityName() const override { return QStringLiteral("DSIndicatorJoinedColumn"); }
    QString stackedColumnEntityName() const override { return QStringLiteral("DSIndicatorStackedColumn"); }
    // Treated as categories, labelled "FALSE" (0) and "TRUE" (1).
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    // The constant TRUE.
    std::optional<DSExpression> defaultValueExpression() const override;

    // The bit mask of true rows and that of missing rows (null when none is
    // missing), both indexed from row 0 whatever range is asked for, owned
    // by the column and valid until its next request or fault. Answers the
    // byte length of the masks, which may cover fewer rows than the table;
    // 0 means no bit can be read (every row FALSE, none missing). Either
    // output may be null. The two forms are defined through each other; a
    // class that supplies neither has no values.
    virtual qint64 getBytes(const uint8_t **values, const uint8_t **missing);
    virtual qint64 getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset, qint64 limit);
    // The missing mask of getBytes.
    using DSColumn::getMissingMask;
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

    // How many of FALSE, TRUE and missing occur (0 to 3).
    qint64 numberOfUniqueValues() override;
    // The index: 0 when a row is FALSE, then 1 when one is TRUE, then NaN
    // when one is missing; answers the entry count (owned by the column).
    qint64 getIndex(const float **out);
    qint64 numberOfBins() override { return getIndex(nullptr); }
    // The identity order over the index.
    qint64 getIndexedValueOrder(const int32_t **out) override;
    // Each row's place in the index; answers the table's row count (0, out
    // untouched, when the array cannot be grown).
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;

    // Statistics of the 0/1 values of the taken, non-missing rows (serial);
    // skew, kurt and missing are NaN, NaN and 0.
    ds_stats_s calculateStatsWithMask(const uint8_t *mask, qint64 length);
    // Point-biserial with a numeric or time column, phi with an indicator;
    // any other column: r NaN, count 0.
    ds_corr_s calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length) override;
    // Phi with the indicator of one category of a column (that column's
    // missing rows are not left out).
    ds_corr_s calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                           qint64 length) override;
    // Phi with each group's indicator; every group index must be below count
    // (others are skipped).
    bool calculateMultipleCorrelations(ds_corr_s *results, qint64 count, const int32_t *byIndexes,
                                       const uint8_t *mask, qint64 length) override;

    QList<double> hueIndex() override;
    // FALSE and TRUE (kept with a count of 0), then "Missing" when missing
    // rows carry weight; bounds at the significance (NaN: none).
    std::shared_ptr<DSColumnSummary> summaryForMask(const uint8_t *mask, qint64 length, double significance) override;

protected:
    // Where a concrete kind builds its value mask; freed at a fault.
    DSColumnBuffer<uint8_t> temp_bytes;

private:
    // The bits of every row, with the table's row count.
    struct Bits
    {
        const uint8_t *values = nullptr;
        const uint8_t *missing = nullptr;
        qint64 length = 0;
        qint64 rows = 0;
        bool isMissing(qint64 r) const
        {
            return missing && length && (r >> 3) < length && (missing[r >> 3] >> (r & 7)) & 1;
        }
        bool isTrue(qint64 r) const
        {
            return values && length && (r >> 3) < length && (values[r >> 3] >> (r & 7)) & 1;
        }
    };
    Bits bits();

    std::array<float, 3> temp_index = {0, 1, NAN};
    qint64 temp_index_count = 3;
};
