#pragma once

#include "model/DSColumnBuffer.h"
#include "model/util/ds_corr.h"
#include "model/util/ds_stats.h"
#include "model/util/ds_survival.h"
#include "platform/predicate/DSExpression.h"
#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSManagedObject.h"

#include <QCborArray>
#include <QCborMap>
#include <QList>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

class DSColumnCategory;
class DSColumnCondition;
class DSColumnSummary;
class DSComparisonPredicate;
class DSDurationFormatter;
class DSJoinColumnCondition;
class DSTable;
class QImage;
struct ck_hash_table_s;

// Row numbers, or aggregation tags: an ordered set of integers.
using DSIndexSet = std::set<qint64>;

// The entity at the root of every column class: the four kinds (numeric,
// text, time, indicator), the stored columns and the derived ones. It fixes
// the protocol every caller uses whatever the kind (so callers never ask a
// column for its class), the stored attributes all columns share, what is
// copied and deleted with a column, the shared missing-mask buffer, the
// names, the transient caches with their two purge classes, and the
// category summary built from a kind's categories.
//
// Pointers a column hands out (values, masks, indexes, sorted values) are
// owned by the column and stay valid until its next request or edit; in
// addition a request never frees the memory the previous request handed
// out, so reading one column twice in one computation (x / x) is safe.
// A stored column's arrays live until its next edit.
//
// Threads: columns live on the main thread with their context, except
// during an import, when a column in a pool is filled on the importer's
// thread and touches nothing but itself. Row passes run in parallel chunks
// that write disjoint bytes of the shared mask; two range requests on one
// column must not run at the same time.
class DSColumn : public DSManagedObject
{
public:
    DSColumn();
    ~DSColumn() override;

    // Stored attributes.
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    // The stored name, else suggestedName().
    virtual QString name() const;
    virtual void setName(const QString &name) { setPrimitiveValue(name, QStringLiteral("name")); }
    // An optional longer description; none reads as "".
    QString title() const { return stringForKey(QStringLiteral("title")); }
    void setTitle(const QString &title) { setPrimitiveValue(title, QStringLiteral("title")); }
    bool treat_as_categories() const { return boolForKey(QStringLiteral("treat_as_categories")); }
    void setTreat_as_categories(bool on) { setPrimitiveValue(on, QStringLiteral("treat_as_categories")); }
    bool treat_as_survival_times() const { return boolForKey(QStringLiteral("treat_as_survival_times")); }
    void setTreat_as_survival_times(bool on) { setPrimitiveValue(on, QStringLiteral("treat_as_survival_times")); }
    // Value key -> label: number keys (doubles) for numeric columns, texts
    // for text and indicator columns ("0", "1").
    QCborMap category_labels() const { return propertyListForKey(QStringLiteral("category_labels")).toMap(); }
    void setCategory_labels(const QCborMap &labels);
    // The user's display order of the categories.
    QCborArray ordered_values() const { return propertyListForKey(QStringLiteral("ordered_values")).toArray(); }
    void setOrdered_values(const QCborArray &values);
    qint64 category_distribution() const { return integerForKey(QStringLiteral("category_distribution")); }
    void setCategory_distribution(qint64 d) { setPrimitiveValue(qlonglong(d), QStringLiteral("category_distribution")); }
    qint64 continuous_distribution() const { return integerForKey(QStringLiteral("continuous_distribution")); }
    void setContinuous_distribution(qint64 d)
    {
        setPrimitiveValue(qlonglong(d), QStringLiteral("continuous_distribution"));
    }
    // Further values to treat as missing while applied; none when unset or
    // when what is stored is not a predicate.
    DSPredicatePtr missing_values_predicate() const;
    void setMissing_values_predicate(const DSPredicatePtr &predicate);
    bool apply_missing_values_predicate() const { return boolForKey(QStringLiteral("apply_missing_values_predicate")); }
    void setApply_missing_values_predicate(bool on)
    {
        setPrimitiveValue(on, QStringLiteral("apply_missing_values_predicate"));
    }
    bool apply_right_censoring() const { return boolForKey(QStringLiteral("apply_right_censoring")); }
    void setApply_right_censoring(bool on) { setPrimitiveValue(on, QStringLiteral("apply_right_censoring")); }
    qint64 right_censoring_predicate_type() const { return integerForKey(QStringLiteral("right_censoring_predicate_type")); }
    void setRight_censoring_predicate_type(qint64 type)
    {
        setPrimitiveValue(qlonglong(type), QStringLiteral("right_censoring_predicate_type"));
    }

    // Relationships.
    DSTable *table() const;
    void setTable(DSTable *table);
    DSManagedObject *text_formatter() const { return objectForKey(QStringLiteral("text_formatter")); }
    DSManagedObject *covariate_partition() const { return objectForKey(QStringLiteral("covariate_partition")); }
    DSManagedObject *filter_partition() const { return objectForKey(QStringLiteral("filter_partition")); }
    DSManagedObject *pivot_partition() const { return objectForKey(QStringLiteral("pivot_partition")); }

    // Copying and deleting.
    // The column, then the dependencies of its text formatter, its pivot,
    // covariate and filter partitions, its input links, its join conditions
    // and its censoring conditions. Links and conditions that name this
    // column from elsewhere are not included.
    DSObjectList managedObjectDependencies() override;
    // The entities of a joined or stacked column of this kind; none here.
    virtual QString joinedColumnEntityName() const { return QString(); }
    virtual QString stackedColumnEntityName() const { return QString(); }
    // Frees the transient caches, purges, leaves the covariate selection.
    void didTurnIntoFault() override;
    // Creates the text formatter when there is none; the kinds add their
    // number formatter and partitions.
    virtual void makeDependencies();
    // Whether the column cannot live on once an input was taken from it;
    // asked by the deletion cascade. NO here.
    virtual bool needsDeletion() { return false; }
    // The deletion cascade: derived columns that cannot live without this
    // one, indicators left without conditions, joined columns keyed on it
    // and filters on it are deleted; models, outcomes and the table's
    // settings stop naming it; the column leaves its table's order.
    void prepareForDeletion() override;

    // The shared missing mask: indexed by absolute row (row r is bit r % 8 of
    // byte r / 8) whatever range is asked for, a set bit a missing row.
    // Prepares it for rows offset to offset + limit - 1 (cut to the table's
    // rows): grows it to cover them and clears bytes offset / 8 to the end of
    // the range. Answers its length in bytes. The kinds then mark the
    // missing-values predicate.
    virtual qint64 setupMissingMask(qint64 offset, qint64 limit);
    // The base preparation for the kinds' setupMissingMask(): prepares the
    // mask as above (offset clamped at 0) and answers its length, with the
    // missing-values predicate the kind then marks in *predicate, or null
    // when there is none, it is switched off or the range is empty.
    qint64 setupMissingMaskForPredicate(qint64 &offset, qint64 limit, DSPredicatePtr *predicate);
    // The missing rows (owned by the column; null or length 0 when none is
    // missing). The two forms are defined through each other; every
    // concrete class supplies one of them.
    virtual qint64 getMissingMask(const uint8_t **out);
    virtual qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit);
    // The rows included by mask that are complete in this column (the
    // table's answer for this column alone).
    qint64 getNonmissingMask(const uint8_t **out, const uint8_t *mask, qint64 length);
    // The shared buffer as the last set-up left it.
    const uint8_t *missingMask() const { return _missing_mask.data(); }
    qint64 missingMaskLength() const { return _missing_mask_len; }

    // Sets the label of one value, or removes it when the label is "".
    // Integer keys are stored as doubles, so 1 and 1.0 name one value.
    void setCategoryLabel(const QString &label, const QCborValue &key);

    // Names.
    virtual QString suggestedName() const { return QString(); }
    // title when set and not "", else name().
    QString longName() const;
    // A null text without a name; the name under 20 characters; else its
    // first five words and "…" when a cut was made.
    QString shortName() const;
    // The right-hand side of the default censoring comparison; none here.
    virtual std::optional<DSExpression> defaultValueExpression() const { return std::nullopt; }
    // The noun for the rows in reports.
    virtual QString groupName() const { return QStringLiteral("values"); }

    // Neutral answers of a column without values; the kinds supply theirs.
    virtual qint64 numberOfBins() { return 0; }
    virtual qint64 numberOfUniqueValues() { return 0; }
    virtual bool isEditable() const { return false; }
    // Whether the column's stored data is damaged (it does not read back
    // whole): it then reads as missing, takes no edit, and keeps its stored
    // bytes exactly as they were through every save. Decodes when needed.
    virtual bool isDamaged() { return false; }
    // !isDamaged() for const callers (decoding to find out changes only
    // what the column holds in memory).
    bool isSound() const { return !const_cast<DSColumn *>(this)->isDamaged(); }
    virtual bool categoriesCanBeReordered() const { return false; }
    virtual bool canBeTreatedAsCategories() const { return true; }
    virtual bool canBeTreatedAsSurvivalTimes() const { return false; }
    // Every column that can be is treated as categories (survival times),
    // unless every column already was: then none is.
    static void toggleTreatAsCategories(const QList<DSColumn *> &columns);
    static void toggleTreatAsSurvivalTimes(const QList<DSColumn *> &columns);
    // A new display formatter for the values; decimal style here.
    virtual std::unique_ptr<DSDurationFormatter> NSNumberFormatter() const;

    // Purges. purgeIndex frees the indexes, positions, sorted values and the
    // join key set, and reaches every column computed from this one and
    // every joined column keyed on it. purgeStats clears the statistics
    // records, the summary and the picture. recursivePurge (index, then
    // statistics, then every derived column, depth first) ends every edit of
    // stored values and every change of how a column is computed.
    void purgeImages();
    virtual void purgeIndex();
    // Counts purges of the index: it moves whenever the values may have
    // changed, so a view keyed on it knows when to read them again.
    quint64 dataVersion() const { return m_dataVersion; }
    virtual void purgeStats();
    void recursivePurge();

    // Rows of the table: the stored classes rewrite their values; here the
    // caches are purged.
    virtual void dropRows(const DSIndexSet &rows);
    virtual void addRows(qint64 n);

    // Categories and the category summary.
    using Categories = QList<std::shared_ptr<DSColumnCategory>>;
    // The kind's categories with their counts under mask; none here.
    virtual Categories categoriesForMask(const uint8_t *mask, qint64 length);
    // The display order of the index (order[i] = entry shown at place i) and
    // its length; 0 with out untouched here.
    virtual qint64 getIndexedValueOrder(const int32_t **out);
    // The summary of the categories under mask (null: every row) at
    // significance s (NaN: no bounds). Callers cache it in temp_summary.
    virtual std::shared_ptr<DSColumnSummary> summaryForMask(const uint8_t *mask, qint64 length, double significance);
    std::shared_ptr<DSColumnSummary> summaryWithSignificance(double significance);
    // One hue per index entry; empty without an index.
    virtual QList<double> hueIndex() { return {}; }

    // Column-model defaults that the kinds refine.
    // Per-row position of the row's value in the index, the number of
    // entries in *bins, and the row count; null, 0 and 0 here.
    virtual qint64 getIndexedValues(const int32_t **out, qint64 *bins);
    // Covariate groups: the position of each row's category among selected
    // (the last group, selected.size(), for all others) and the group count;
    // the plain indexed values when nothing is selected. 0 without an index.
    virtual qint64 getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                             const uint8_t *mask, qint64 length);
    // The table's frequency weights; null and 0 for the table's own weights
    // column (a column is never weighted by itself).
    qint64 getFrequencyWeights(const int32_t **out);
    // Non-missing values ascending and their rows; 0 here, out untouched.
    virtual qint64 getSortedValues(const double **values, const int32_t **rows);
    // The interior cut positions of k quantile groups of the non-missing
    // rows' index positions (weighted), each above 0 and once, ascending;
    // nullopt without indexed values. *anyMissing (when given) tells
    // whether a row is missing.
    std::optional<QList<qint64>> calculateIndexedQuantiles(qint64 k, bool *anyMissing);

    // Tests on categories, under an include mask (null: every row; length
    // 0: none), weighted by the frequency weights; NaN when a statistic
    // cannot be computed. df is written as each operation says.
    // Pearson's chi-square of this column's categories against the groups
    // of covariate (its selected categories, or all of them); NaN with df
    // -1 when the covariate has no groups. The kinds that are not
    // categories answer NaN.
    virtual double calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df,
                                         const uint8_t *mask, qint64 length);
    // Homogeneity of the columns' category counts (k columns x the largest
    // number of bins); NaN with df 0 without columns or bins.
    static double calculateIndependence(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask,
                                        qint64 length);
    // Cochran's Q of binary columns of one table (category index 0 the
    // success) over the rows complete in all of them; NaN for more than 255
    // columns (df untouched) or when no row varies. df = columns - 1.
    static double calculateBinaryMarginalHomogeneity(const QList<DSColumn *> &columns, qint64 *df,
                                                     const uint8_t *mask, qint64 length);
    // Stuart-Maxwell's statistic of exactly two columns of the same
    // categories (McNemar's for two); NaN (df untouched) for another number
    // of columns, more than 200 categories or fewer than two in use.
    static double calculateMarginalHomogeneity(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask,
                                               qint64 length);

    // Correlations under the mask. Base: r NaN, every other field 0 (and
    // NO for the several groups); the kinds that have values answer.
    virtual ds_corr_s calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length);
    virtual ds_corr_s calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                                   qint64 length);
    // One record a group (count groups; byIndexes the group of each row,
    // below count); NO when count < 1 or results is null.
    virtual bool calculateMultipleCorrelations(ds_corr_s *results, qint64 count, const int32_t *byIndexes,
                                               const uint8_t *mask, qint64 length);

    // Inputs of a derived column, by slot (dividend 0, divisor 1, ...).
    // A new link at slot = the number of inputs.
    void addInputColumn(DSColumn *column);
    // The column at the slot, or none.
    DSColumn *inputColumnAtIndex(qint64 slot) const;
    // Removes the column at the slot, then puts column (when given) there.
    void replaceInputColumnAtIndex(qint64 slot, DSColumn *column);
    // Removes and deletes the first link to column; other slots stay.
    void removeInputColumn(DSColumn *column);
    DSColumn *input() const { return inputColumnAtIndex(0); }
    void setInput(DSColumn *column) { replaceInputColumnAtIndex(0, column); }
    // The input columns by slot (a stacked column: by its table's row order).
    virtual QList<DSColumn *> sortedInputColumns() const;
    QList<DSColumn *> reverseSortedInputColumns() const;
    // The first input column of the table, or none.
    DSColumn *inputColumnForTable(const DSTable *table) const;
    // The columns computed from this one (owners of its output links).
    QList<DSColumn *> outputColumns() const;

    // Joins: a joined column looks its input's values up in the input's
    // table by keys made of its join conditions' columns.
    // "<name> (<table name>)", as the join editor names columns.
    QString joinName() const;
    QList<DSJoinColumnCondition *> sortedJoinConditions() const;
    // The AND of the conditions' predicates (an empty AND without any).
    DSPredicatePtr joinPredicate() const;
    // Replaces the join conditions by one per comparison of predicate (a
    // compound's comparisons in order, or the comparison itself); the
    // compound's type is not kept: conditions always act together.
    // Comparisons naming no column are dropped.
    void setJoinPredicate(const DSPredicatePtr &predicate);
    // A new condition for comparison: left a joinName of this column's
    // table, right one of its input's table (indicator columns are not
    // keys); null when either names no column. Index and owner are the
    // caller's to set.
    DSJoinColumnCondition *joinConditionForComparisonPredicate(const DSComparisonPredicate &comparison);
    // Per-condition key values: slot i of the array of condition i's column
    // kind points at its values (owned by that column), the other two slots
    // of i are null. Foreign: every row of each condition's foreign column;
    // answers the rows every slot holds (the foreign table's row count,
    // fewer when a column delivers fewer). Local: the rows of the range
    // from offset; answers the rows every slot holds.
    using JoinTexts = std::vector<const char *const *>;
    using JoinValues = std::vector<const double *>;
    static qint64 populateForeignJoiningText(JoinTexts *text, JoinValues *numeric, JoinValues *time,
                                             const QList<DSJoinColumnCondition *> &conditions);
    static qint64 populateLocalJoiningText(JoinTexts *text, JoinValues *numeric, JoinValues *time,
                                           const QList<DSJoinColumnCondition *> &conditions, qint64 offset,
                                           qint64 limit);
    // For a joined column, after setupMissingMask(offset, limit): sets the
    // missing bit of every local row of the range whose key finds no foreign
    // row, or whose key's last foreign row has no value in the input (the
    // same rule the joined values follow when keys repeat). Answers whether
    // it set a bit. A single row asked before the key set exists is looked
    // up by a scan instead of building the set. The joined kinds answer
    // from the rows their values come from.
    virtual bool setupJoinedMissingMask(qint64 offset, qint64 limit);

    // Right censoring: conditions on columns of the table that mark rows
    // whose time is a censoring time, combined by
    // right_censoring_predicate_type (1: all must hold; else any).
    QList<DSColumnCondition *> sortedCensoringConditions() const;
    // The predicate editor's view: an AND of one comparison per condition
    // (left the column's name, right its value); without conditions the
    // column's name equal to its default value, when it has one.
    DSPredicatePtr right_censoring_predicate() const;
    // Replaces the conditions by one per comparison (a compound's in order,
    // or a comparison alone); the type becomes the compound's (1 for a
    // comparison); any other predicate adds nothing and keeps the type.
    void setRight_censoring_predicate(const DSPredicatePtr &predicate);
    // A new condition (index = the conditions so far, operator the
    // comparison's) on the column of this table named by the left constant,
    // against the right constant; null when either is absent. The caller
    // makes this column its owner.
    DSColumnCondition *conditionForComparisonPredicate(const DSComparisonPredicate &comparison);
    // Weighted rows not missing in this column that the include mask admits;
    // of them, those censored (0 unless survival times with censoring on
    // and conditions), and censored / all (0 without censored rows).
    qint64 numberOfObservationsForMask(const uint8_t *mask, qint64 length);
    qint64 numberOfCensoredObservationsForMask(const uint8_t *mask, qint64 length);
    double fractionOfCensoredObservationsForMask(const uint8_t *mask, qint64 length);

    // Survival times with right censoring. A used row is not missing, is
    // admitted by the include mask (null: every row; length 0: none) and
    // counts by its frequency weight; it is censored when the censoring mask
    // is given with a nonzero length and has its bit set. Arrays handed out
    // belong to the column, valid until its next survival request or purge.
    // The censoring mask of the column's conditions (a set bit a censored
    // row) into buffer of length bytes: with type 1 all conditions must
    // match, otherwise any.
    void applyRightCensoringToBuffer(uint8_t *buffer, qint64 length);
    // The total weight of the used rows, the number of time points (event
    // times, and the last time always) and of event times; whether any row
    // was used.
    bool getRiskSet(qint64 *riskSet, qint64 *timePoints, qint64 *eventTimes, const uint8_t *mask, qint64 length,
                    const uint8_t *censored, qint64 censoredLength);
    // The time points of the used rows (count of them, from getRiskSet) in
    // *times; answers count.
    qint64 getSurvivalTimes(const double **times, qint64 count, const uint8_t *mask, qint64 length,
                            const uint8_t *censored, qint64 censoredLength);
    // One Nelson-Aalen step per time of times (ascending, holding the
    // column's own time points) from riskSet at risk; answers count.
    qint64 getSurvivalFunction(const ds_survival_s **steps, const double *times, qint64 count, qint64 riskSet,
                               const uint8_t *mask, qint64 length, const uint8_t *censored, qint64 censoredLength);
    // The column's survival function under its own censoring: the steps,
    // their times and the number of event times; answers the number of time
    // points, 0 (nothing handed out) when no row is used.
    qint64 getSurvivalFunction(const ds_survival_s **steps, const double **times, qint64 *eventTimes,
                               const uint8_t *mask, qint64 length);
    // The survival functions of the groups byIndex gives each row (count
    // groups; rows of other indexes are left out) on shared time points,
    // steps group by group; per-group counts when the arrays are given
    // (ds_multiple_survival_functions). Answers the number of time points.
    qint64 getMultipleSurvivalFunctions(const ds_survival_s **steps, const double **times, const int32_t *byIndex,
                                        qint64 count, qint64 *censoredCounts, qint64 *uncensoredCounts,
                                        const uint8_t *mask, qint64 length);
    // The log-rank chi-square of columns as groups, each under its own
    // censoring, and its degrees of freedom; NaN with df 0 when it cannot be
    // computed.
    static double calculateLogRank(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask,
                                   qint64 length);
    // The log-rank chi-square across the covariate's groups of the selected
    // categories (rows missing in the covariate left out).
    double calculateLogRank(DSColumn *covariate, const Categories &categories, qint64 *df, const uint8_t *mask,
                            qint64 length);

    // Cached statistics (plain accessors).
    const std::shared_ptr<DSColumnSummary> &temp_summary() const { return m_summary; }
    void setTemp_summary(std::shared_ptr<DSColumnSummary> summary) { m_summary = std::move(summary); }
    const std::shared_ptr<const QImage> &temp_image() const { return m_image; }
    void setTemp_image(std::shared_ptr<const QImage> image) { m_image = std::move(image); }
    const std::shared_ptr<const QImage> &last_image() const { return m_lastImage; }
    void setLast_image(std::shared_ptr<const QImage> image) { m_lastImage = std::move(image); }
    ds_stats_s temp_stats_minmax() const { return m_statsMinmax; }
    void setTemp_stats_minmax(const ds_stats_s &stats) { m_statsMinmax = stats; }
    ds_stats_s temp_stats_moments() const { return m_statsMoments; }
    void setTemp_stats_moments(const ds_stats_s &stats) { m_statsMoments = stats; }
    ds_stats_s temp_stats_quantiles() const { return m_statsQuantiles; }
    void setTemp_stats_quantiles(const ds_stats_s &stats) { m_statsQuantiles = stats; }
    double temp_p_value() const { return m_pValue; }
    void setTemp_p_value(double p) { m_pValue = p; }

protected:
    // Creates each missing partition (pivot, filter, covariate) from the
    // kind's partition entity, the pivot one cut in 6 quantiles.
    void makePartitions(const QString &entityName);
    // The table's row count; 0 without a table.
    qint64 tableRowCount() const;
    // Whether an edit of the stored values may go ahead: false, logged,
    // for a damaged column.
    bool takesEdits();
    // The most rows a stored array of the column may hold: its table's
    // (DSTable::storedRowLimit), or no limit outside a table.
    qint64 storedRowLimit() const;
    // The rows of offset to offset + limit - 1 that the table has.
    qint64 rowsInRange(qint64 offset, qint64 limit) const;
    // Input links: a new one at a slot; one removed and deleted.
    void insertInputLink(qint64 slot, DSColumn *column);
    void deleteInputLink(DSManagedObject *link);
    // temp_covariate_indexed_values with room for rows groups, used :=
    // rows; null when memory runs out.
    int32_t *covariateGroupsBuffer(qint64 rows);
    // Hands out the covariate groups (none when rows is 0) and their count;
    // answers rows.
    qint64 handOutCovariateGroups(const int32_t **out, qint64 *bins, qint64 rows, qint64 groups);
    // The censoring mask of the column's conditions over the table's rows;
    // empty when censoring is off, there are no conditions or no rows.
    std::vector<uint8_t> rightCensoringMask();
    // The shared mask for writing, as the last set-up prepared it.
    uint8_t *sharedMissingMask() { return _missing_mask.data(); }
    // ORs each input column's mask of the same range into the shared mask
    // that a set-up of length bytes prepared for rows offset to offset +
    // limit - 1, over the bytes of that range both masks reach: a derived
    // row is missing where any input's row is.
    void mergeInputMissingMasks(qint64 offset, qint64 limit, qint64 length);

    // Transient caches (never stored). The index kinds fill the first
    // three; the covariate groups and display order live until a fault.
    DSColumnBuffer<int32_t> temp_indexed_values;
    qint64 temp_indexed_values_bins = 0;
    DSColumnBuffer<double> temp_sorted;
    DSColumnBuffer<int32_t> temp_sorted_index;
    DSColumnBuffer<int32_t> temp_covariate_indexed_values;
    qint64 temp_covariate_indexed_values_bins = 0;
    DSColumnBuffer<int32_t> temp_ordered2unordered;
    DSColumnBuffer<double> temp_survival_times;
    DSColumnBuffer<ds_survival_s> temp_survival;
    DSColumnBuffer<ds_survival_s> temp_multiple_survival;
    // The foreign join keys of a joined column; freed by purgeIndex.
    ck_hash_table_s *_foreign_missing_table = nullptr;

private:
    DSColumnBuffer<uint8_t> _missing_mask;
    qint64 _missing_mask_len = 0;

    std::shared_ptr<DSColumnSummary> m_summary;
    std::shared_ptr<const QImage> m_image;
    std::shared_ptr<const QImage> m_lastImage;
    ds_stats_s m_statsMinmax = ds_stats_not_computed();
    ds_stats_s m_statsMoments = ds_stats_not_computed();
    ds_stats_s m_statsQuantiles = ds_stats_not_computed();
    double m_pValue = 0;
    // A purge in progress on this column: a cycle in the graph of derived
    // columns ends here instead of recursing for ever.
    bool m_purgingIndex = false;
    bool m_purgingRecursively = false;
    quint64 m_dataVersion = 0;
};
