#pragma once

#include "model/DSColumn.h"
#include "model/ds_numeric_index.h"
#include "model/util/ds_signed_rank.h"
#include "model/util/ds_stats.h"

#include <QVariantList>

#include <cmath>
#include <optional>

class DSNumberFormatter;

// The kind base of every column of one double a row: the stored numeric
// column and the derived numeric columns (computed, recoded, constant,
// joined, stacked, source-index). A value is an IEEE-754 double; NaN, of
// any payload, is missing.
//
// Value source: getValues() (all rows) and its ranged form are defined
// through each other; every class supplies one. A stored column supplies the
// whole-column form and serves ranges by pointer arithmetic; a derived one
// computes just the asked range into temp_values. The count handed out may
// fall short of the table's rows (the rows past it are missing): readers
// bound their loops by it.
//
// The pointers handed out belong to the column. They stay readable until
// the column's next request or edit, and a request never frees what the
// previous one handed out (see DSColumnBuffer), so x / x is safe; a derived
// column's second request of another range reuses the buffer, so copy what
// you need before asking for other rows.
class DSNumericColumn : public DSColumn
{
public:
    using DSColumn::getMissingMask;

    // All rows: a pointer to the first value and the count; null and 0 for
    // a column without values.
    virtual qint64 getValues(const double **out);
    // The values from row offset on, at most limit of them; null and 0 when
    // offset is at or past the count.
    virtual qint64 getValues(const double **out, qint64 offset, qint64 limit);

    // NaN rows of the range plus the rows the missing-values predicate
    // marks, in the shared mask; its length in bytes.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The base set-up, then the missing-values predicate while it is
    // applied: every subpredicate of the stored compound marks rows on its
    // own ("value" compared with a number by <, <=, >, >=, ==, !=; "label"
    // ==, BEGINSWITH, ENDSWITH or CONTAINS, ignoring case, picking the
    // labelled values), one parallel pass each over the plain values.
    qint64 setupMissingMask(qint64 offset, qint64 limit) override;

    // The base list, then the number formatter's.
    DSObjectList managedObjectDependencies() override;
    QString joinedColumnEntityName() const override { return QStringLiteral("DSNumericJoinedColumn"); }
    QString stackedColumnEntityName() const override { return QStringLiteral("DSNumericStackedColumn"); }
    // The base's, then each missing dependant: a number formatter and three
    // numeric partitions (the pivot one cut in 6 quantiles).
    void makeDependencies() override;
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    void purgeIndex() override;

    // The constant 0.0.
    std::optional<DSExpression> defaultValueExpression() const override;
    // The number formatter's display formatter (the base's without one).
    std::unique_ptr<DSDurationFormatter> NSNumberFormatter() const override;
    // Histogram bin scheme of the number format: 0 numbers, 1 days, 2 weeks.
    int resolutionScheme() const;
    // Whether the number format is the duration style (500).
    bool isDuration() const;
    // "quantile", "interval" or "group" by the covariate partition's type;
    // "values" when treated as categories or for any other type.
    QString groupName() const override;
    bool canBeTreatedAsSurvivalTimes() const override { return true; }
    // The row's value (NaN included); none when the value source has no
    // value for that row.
    std::optional<double> numberValueAtOffset(qint64 row);
    // Whether every non-NaN value is whole; YES without values.
    virtual bool containsOnlyIntegers();

    // The index of distinct values and what is read off it. Pointers handed
    // out belong to the column and stay valid until its next purge or
    // recomputation; arrays described as new belong to the caller, who
    // frees them with free().

    // The distinct values ascending, NaN last and once ({NaN} without
    // values), in temp_index; *out (when given) receives it. Built afresh at
    // each call here; a stored column keeps it until purged. 0 when memory
    // runs out.
    virtual qint64 getIndex(const double **out);
    qint64 numberOfBins() override { return getIndex(nullptr); }
    // The index length, without keeping the index.
    qint64 numberOfUniqueValues() override;
    // Each row's position in the index and the index length in *bins; the
    // row count. Null, 0 and 0 without rows or when memory runs out.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;
    // Covariate groups: the base's when treated as categories; else the
    // groups of the covariate partition's cut-offs over all rows, rows
    // outside the mask (and missing rows) getting the group one past the
    // last. The row count; null, 0 groups and 0 without rows.
    qint64 getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                     const uint8_t *mask, qint64 length) override;
    // The entries in ordered_values first (each once, as listed), then the
    // others ascending; the index length.
    qint64 getIndexedValueOrder(const int32_t **out) override;
    // The weighted count of each index entry under mask, with its missing
    // flag, in temp_counts; the number of entries (0 when memory runs out).
    virtual qint64 getCounts(const ds_num_counts_s **out, const uint8_t *mask, qint64 length);
    bool categoriesCanBeReordered() const override { return true; }
    // One DSNumericColumnCategory per counts entry, in index order, with its
    // label from category_labels.
    Categories categoriesForMask(const uint8_t *mask, qint64 length) override;
    // One hue per index entry: NaN for NaN; for a labelled value the table's
    // colour of the label, else the label's hue; else the value's hue.
    QList<double> hueIndex() override;

    // Histogram bins as dictionaries ("lower", "upper", "count", "index"),
    // see ds_numeric_bins: of the column (none when min or max is NaN), of
    // the row differences self - other (none also for columns of different
    // lengths), and one list per group (without "index").
    virtual std::optional<QVariantList> binsForMask(const uint8_t *mask, qint64 length, qint64 binCount,
                                                    double resolution, double min, double max, bool empty);
    std::optional<QVariantList> binsForDifferencesOverColumn(DSNumericColumn *other, const uint8_t *mask,
                                                             qint64 length, qint64 binCount, double resolution,
                                                             double min, double max, bool empty);
    QVariantList multipleBinsForMask(const uint8_t *mask, qint64 length, const int32_t *byIndex, qint64 count,
                                     qint64 binCount, double resolution, double min, double max, bool empty);

    // The non-missing values ascending and (when rows is given) their row
    // numbers, kept until purged; their count, 0 with nothing handed out
    // when there are none.
    qint64 getSortedValues(const double **values, const int32_t **rows) override;
    // The distinct values under mask with their summed weights, as two new
    // arrays; their count (0, nothing handed out, when there are none).
    qint64 getSortedValues(double **values, int32_t **weights, const uint8_t *mask, qint64 length);
    // The sorted differences self - other of the rows under mask missing in
    // neither, with each row's weight, as two new arrays; their count (0,
    // nothing handed out, for columns of different lengths or no rows).
    qint64 getSortedDifferences(double **values, int32_t **weights, DSNumericColumn *other, const uint8_t *mask,
                                qint64 length);
    // temp_index := location, ..., location + length, then NaN when missing
    // is set (length 0: {NaN}, or nothing without missing); its length.
    qint64 sequentialIndex(const double **out, quint64 location, quint64 length, bool missing);

    // Descriptive statistics under a row mask and the table's frequency
    // weights (ds_stats.h); they cache nothing.
    virtual ds_stats_s calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options);
    ds_stats_s calculateStatsForDifferencesOverColumn(DSNumericColumn *other, const uint8_t *mask, qint64 length,
                                                      uint64_t options);
    // Fills the caller's count records, one per group of byIndex.
    void calculateMultipleStats(ds_stats_s *results, qint64 count, const int32_t *byIndex, const uint8_t *mask,
                                qint64 length, uint64_t options);
    // The distinct cut values of k quantile groups of all non-missing
    // values, ascending; none without a non-missing value (or for k < 2).
    std::optional<QList<double>> calculateQuantiles(qint64 k);

    // Rank, distribution and variance tests. The samples are several
    // columns of one table (static: one group per column, weighted by the
    // first column's table's weights) or this column split by a covariate's
    // groups (getCovariateIndexedValues; weighted by this column's weights).
    // Rows count when the mask admits them (null: every row; length 0: none)
    // and no column used marks them missing. Each answers the statistic, NaN
    // when it cannot be computed, with the out-parameters (each optional)
    // then unwritten unless said otherwise.
    using Columns = QList<DSNumericColumn *>;
    // Kiefer's k-sample statistic; df := columns - 1.
    static double calculateKolmogorovSmirnov(const Columns &columns, qint64 *df, const uint8_t *mask,
                                             qint64 length);
    // The same across 2 to 16 covariate groups (NaN beyond: the groups are
    // packed four bits to a row); df := groups - 1.
    double calculateKolmogorovSmirnov(DSColumn *covariate, const Categories &categories, qint64 *df,
                                      const uint8_t *mask, qint64 length);
    // Kruskal-Wallis H with weighted mid-ranks; df := non-empty groups - 1.
    // With no row in any column: NaN and df := 0.
    static double calculateKruskalWallis(const Columns &columns, qint64 *df, const uint8_t *mask, qint64 length);
    double calculateKruskalWallis(DSColumn *covariate, const Categories &categories, qint64 *df,
                                  const uint8_t *mask, qint64 length);
    // |sum of sign x weight x mid-rank| of the non-zero differences of two
    // columns of the table's full length, each row ranked once whatever its
    // weight; *count := their total weight.
    static double calculateWilcoxonSignedRank(const Columns &columns, qint64 *count, const uint8_t *mask,
                                              qint64 length);
    // The same ranking with the ties and zero differences the test's
    // p-value needs; sum NaN (and the rest 0) where it cannot be computed.
    static ds_signed_rank_s calculateSignedRanks(const Columns &columns, const uint8_t *mask, qint64 length);
    // The Friedman statistic in its F form over the rows present in every
    // column; df1 := k - 1, df2 := (k - 1)(n - 1). Fewer than 2 columns: NaN.
    static double calculateFriedmanTest(const Columns &columns, qint64 *df1, qint64 *df2, const uint8_t *mask,
                                        qint64 length);
    // The rows the mask admits that no column marks missing, as a new mask
    // the caller owns (*out), and its length in bytes; *out null with length
    // 0 when there is no mask and no column has missing rows (every row).
    static qint64 getRemainingMask(std::unique_ptr<uint8_t[]> *out, const Columns &columns, const uint8_t *mask,
                                   qint64 length);
    // One-way analysis of variance of this column across the covariate's
    // groups: F with df1 := groups with rows - 1, df2 := N - those groups.
    double calculateANOVA(DSColumn *covariate, const Categories &categories, qint64 *df1, qint64 *df2,
                          const uint8_t *mask, qint64 length);
    // The same with the columns as independent groups; fewer than 2: NaN.
    static double calculateNonRepeatedMeasuresANOVA(const Columns &columns, qint64 *df1, qint64 *df2,
                                                    const uint8_t *mask, qint64 length);
    // F of the interaction of two covariates: df1 := (used groups of the
    // first - 1)(used groups of the second - 1), df2 := N - non-empty cells.
    double calculateTwoWayANOVA(DSColumn *covariate1, const Categories &categories1, DSColumn *covariate2,
                                const Categories &categories2, qint64 *df1, qint64 *df2, const uint8_t *mask,
                                qint64 length);
    // Repeated measures, rows as subjects: df1 := k - 1, df2 := (n - 1)(k -
    // 1). Fewer than 2 columns or no row left: NaN.
    static double calculateRepeatedMeasuresANOVA(const Columns &columns, qint64 *df1, qint64 *df2,
                                                 const uint8_t *mask, qint64 length);

    // Correlations under the mask, weighted by the frequency weights.
    // Pearson's r with a numeric or time column over the rows both have
    // (an indicator column answers for itself); r NaN with count 0 when
    // either side is treated as categories or the other has no values.
    ds_corr_s calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length) override;
    // The point-biserial r with the indicator of one category of a column;
    // a column treated as categories answers r and covariance NaN.
    ds_corr_s calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                           qint64 length) override;
    bool calculateMultipleCorrelations(ds_corr_s *results, qint64 count, const int32_t *byIndexes,
                                       const uint8_t *mask, qint64 length) override;
    // The chi-square test of the base for a column treated as categories;
    // NaN (df untouched) otherwise.
    double calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df, const uint8_t *mask,
                                 qint64 length) override;
    using DSColumn::calculateIndependence;

    DSNumberFormatter *number_formatter() const;
    void setNumber_formatter(DSNumberFormatter *formatter);
    qint64 histogram_resolution_level() const { return integerForKey(QStringLiteral("histogram_resolution_level")); }
    void setHistogram_resolution_level(qint64 level)
    {
        setPrimitiveValue(qlonglong(level), QStringLiteral("histogram_resolution_level"));
    }

    // The column's own value buffer: the import and editing buffer of a
    // stored column, the computed range of a derived one.
    qint64 temp_values_capacity() const { return temp_values.capacity(); }
    qint64 temp_values_used() const { return temp_values.used(); }

    // The label of a value in category_labels (number keys; integer keys as
    // older documents may hold them), or a null text.
    static QString labelOf(const QCborMap &labels, double value);

    // A whole number: equal to itself after conversion to a signed 64-bit
    // integer and back (magnitudes of 2^63 or more are not).
    static bool isWhole(double x) { return std::fabs(x) < 0x1p63 && double(int64_t(x)) == x; }

protected:
    // A buffer of at least count doubles for a computed range; null when
    // memory runs out. It replaces the previous block without freeing it at
    // once (the x / x rule).
    double *valueBuffer(qint64 count);

    // The values, missing mask and frequency weights the row statistics
    // read, as the column hands them out.
    ds_numeric_rows_s numericRows();
    // temp_index with room for n entries (at least 1024), for the index
    // builders; null when memory runs out.
    double *reserveIndex(qint64 n);

    DSColumnBuffer<double> temp_values;
    // The sorted index of distinct values, filled by the index operations.
    DSColumnBuffer<double> temp_index;
    // The weighted counts of the last getCounts; kept until a fault.
    DSColumnBuffer<ds_num_counts_s> temp_counts;
};
