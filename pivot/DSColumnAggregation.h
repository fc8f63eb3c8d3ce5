#pragma once

#include "pivot/DSAggregation.h"

#include <vector>

// An aggregation that applies one function, chosen by its tag, to one
// column of the table, or counts rows when it has no column:
//
//   0 mean, 1 sum, 10 min, 11 max, 20 count of rows (missing included),
//   21 count of non-missing values, 22 distinct categories, 23 count0,
//   24 count+, 25 count-, 30 var, 31 stdev, 101 to 199 percentile tag - 100.
//
// What a tag computes depends on the column: treated as categories first
// (minimum, maximum and percentiles answer a category; count and mean also
// answer one result per category), then its kind (numeric, indicator as
// 0/1, time as period starts, text). Frequency weights multiply every count,
// sum and rank.
//
// The working arrays are resized at each accumulation and kept, contents
// and all, until the next one or a fault; a failed allocation leaves no
// groups (every value NaN) and is logged.
class DSColumnAggregation : public DSAggregation
{
public:
    qint64 tag() const { return integerForKey(QStringLiteral("tag")); }
    // Stores the tag; counts (20 to 25) and the variance take the decimal
    // style in the own formatter, a mean of categories the percent style.
    void setTag(qint64 tag);
    DSColumn *column() const;
    // Stores the column; a numeric column not treated as categories lends
    // its number format to the own formatter.
    void setColumn(DSColumn *column);

    // The tag's short name ("mean", "p29", "q1", "median", ...); null for a
    // tag without one.
    QString functionSymbol() const;
    // Whether the values show in the column's own live format (sum, min,
    // max, percentiles of a numeric column).
    bool useColumnFormatter() const;
    // The time-unit row used to present time results.
    int64_t timeUnit() const { return m_timeUnit; }
    int64_t temp_category_count() const { return m_categoryCount; }

    void didTurnIntoFault() override;
    void recomputeValuesByIndex(const int32_t *record2valueIndex, int64_t indexCount, int64_t resultCount,
                                const int32_t *weights, const uint8_t *mask, int64_t length) override;
    using DSAggregation::doubleValueAtIndex;
    double doubleValueAtIndex(int64_t g, int64_t c) override;
    double doubleValueAtIndex(int64_t g) override { return doubleValueAtIndex(g, -1); }

    bool hasMultipleHeadings() override;
    // The column's name; "All" without a column.
    QString columnName() const override;
    // "count" for tag 20, else "symbol(column)"; null for an unknown tag.
    QString name() const override;
    bool hasNumberFormatter() override { return !hasStringValue() && !hasDateValue(); }
    DSNumberFormatter *numberFormatter() override;
    DSTextFormatter *textFormatter() const override;
    // 10 for the percentages of a mean of categories; for times 18 (time of
    // day), 22 (units finer than a day) or 14 (dates); else 0.
    int64_t ExcelFormatCode() override;
    bool hasStringValue() override;
    // The long value of group g's result category; null when there is none.
    QString stringValueAtIndex(int64_t g) override;
    QString headerNameForCategory(const DSColumnCategory &category) const override;
    QString symbolicNameForCategory(const DSColumnCategory &category) const override;
    // Only the minimum, maximum and percentiles of a time column are times:
    // a count over a time column is a number.
    bool hasDateValue() override;
    // The plain value floored to timeUnit(), with the period's length.
    std::optional<DSDate> dateValueAtIndex(int64_t g) override;
    bool canServeAsInput() override { return !hasStringValue() && !hasDateValue(); }
    QList<DSColumn *> insertDataTablesForPivot(DSPivot *pivot, DSManagedObjectContext *context) override;

private:
    struct Records;
    // Sizes the arrays for groups groups and categories categories each;
    // false (logged, no groups left) when memory runs out.
    bool resizeArrays(int64_t groups, int64_t categories);
    void accumulateExtremes(const Records &records);
    void accumulateCounts(const Records &records);
    void accumulateMoments(const Records &records);
    void accumulatePercentiles(const Records &records);
    bool isTimeColumn() const;

    std::vector<int64_t> m_counts;          // weighted count per group
    std::vector<int64_t> m_counts2;         // unweighted non-missing count per group
    std::vector<double> m_values;           // sum of w x, or the min, max, percentile
    std::vector<double> m_values2;          // sum of w (x - mean)^2
    std::vector<int32_t> m_indexedValues;   // result category per group, -1 none
    std::vector<int64_t> m_categoryCounts;  // group g, category c at g K + c
    int64_t m_groups = 0;
    int64_t m_categoryCount = 1;
    int64_t m_timeUnit = 0;
};
