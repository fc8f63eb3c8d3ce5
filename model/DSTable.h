#pragma once

#include "model/DSColumn.h"
#include "model/DSColumnSelection.h"
#include "model/DSTableRowMasks.h"

#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <vector>

class DSDataRoot;
class DSPivot;
class DSRegressionModel;
class DSTableFilterSet;

// A table of a document: the stored entity that owns its columns and every
// per-table analysis object (regression models, filter sets, pivots,
// aggregations, input-table links), keeps its columns in display order,
// answers the table-wide questions of the statistics (rows, frequency
// weights, complete rows) and carries the table's analysis and view
// settings, stored ones and in-memory ones.
//
// Ordered relationships follow the "index" rule: the members' indexes are 0
// to count − 1; inserting, moving or removing a member renumbers its
// siblings, and a removed member holds −1 until it is deleted.
//
// Main thread only, except in a pool: an import builds tables on its own
// thread before they are copied into a document.
class DSTable : public DSManagedObject
{
public:
    DSTable();
    ~DSTable() override;

    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    QString name() const { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) { setPrimitiveValue(name, QStringLiteral("name")); }
    DSDataRoot *data_root() const;
    void setData_root(DSDataRoot *root);

    // The number of rows: 0 here, stored by DSDataTable.
    virtual qint64 num_records() const { return 0; }
    // The most rows a stored column of the table may hold (DSDataTable: its
    // stored row count); the rows read are num_records().
    virtual qint64 storedRowLimit() const { return num_records(); }
    virtual bool is_stacked() const { return false; }

    // Life cycle.
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    // Takes the table out of its root's order; when it was the active table,
    // the table that moves into its place (else the one before) becomes active.
    void prepareForDeletion() override;
    // The lookup array, then the in-memory settings at their defaults.
    void setupTable();
    // Creates what every table owns when it has none: a count-of-rows
    // aggregation, a pivot and a filter set; then each column's own.
    virtual void makeDependencies();
    // The table, then the dependencies of its columns, models, input links,
    // filter sets, pivots and aggregations.
    DSObjectList managedObjectDependencies() override;

    // Columns in display order.
    QList<DSColumn *> columns() const;
    QList<DSColumn *> sortedColumns() const;
    // The column at position i, or null outside 0 to count − 1; constant time.
    DSColumn *columnAtIndex(qint64 i);
    // Puts a column into the order at i (the caller adds it to the columns).
    void insertColumn(DSColumn *column, qint64 i);
    // Adds new columns at i, i + 1, ... in list order, after moving the
    // columns at i or above up by their number, and makes their dependencies.
    void insertNewColumns(const QList<DSColumn *> &columns, qint64 i);
    void moveColumnAtIndex(qint64 from, qint64 to);
    // Takes the column at i out of the order (index −1) and answers it; the
    // caller deletes it. Null, changing nothing, when no column is at i.
    DSColumn *removeColumnFromIndex(qint64 i);
    void setupColumnArray();
    void rebuildColumnArray();
    void tearDownColumnArray() { m_columnLookup.clear(); }
    // After a label's colour changed: the columns whose summary shows the
    // label drop their mini chart (kept as last_image) and the label's
    // category pictures.
    void purgeImagesForColumnsDisplayingLabel(const QString &label);
    // Columns whose name (or, failing that, title) contains every word of
    // the text, in order; blank text answers every column, 33 words or more none.
    QList<DSColumn *> columnsMatching(const QString &text) const;

    // The other ordered relationships. Regression models, filter sets and
    // pivots are classes of the layers above the model, so they come as
    // stored objects: their callers cast them (ds_object_cast<DSPivot>).
    DSObjectList sortedRegressionModels() const;
    DSManagedObject *regressionModelAtIndex(qint64 i) const;
    void insertRegressionModel(DSManagedObject *model, qint64 i);
    void moveRegressionModelAtIndex(qint64 from, qint64 to);
    DSManagedObject *removeRegressionModelFromIndex(qint64 i);
    DSManagedObject *filterSetAtIndex(qint64 i) const;
    void insertFilterSet(DSManagedObject *filterSet, qint64 i);
    void moveFilterSetAtIndex(qint64 from, qint64 to);
    DSManagedObject *removeFilterSetFromIndex(qint64 i);
    DSObjectList sortedPivots() const;
    DSManagedObject *pivotAtIndex(qint64 i) const;
    void insertPivot(DSManagedObject *pivot, qint64 i);
    void movePivotAtIndex(qint64 from, qint64 to);
    DSManagedObject *removePivotFromIndex(qint64 i);
    DSObjectList sortedAggregations() const;
    DSObjectList sortedColumnAggregations() const;
    DSObjectList sortedComputedAggregations() const;
    DSManagedObject *aggregationAtIndex(qint64 i) const;
    void insertAggregation(DSManagedObject *aggregation, qint64 i);
    void moveAggregationAtIndex(qint64 from, qint64 to);
    DSManagedObject *removeAggregationFromIndex(qint64 i);

    // The ordering rule on any to-many set whose members have an "index"
    // attribute (others are skipped). Lookups are linear.
    // Members at i or above move up one, then the object gets i.
    static void insertIndexedObject(DSManagedObject *object, const DSObjectList &set, qint64 i);
    // The first member whose index is i, or null.
    static DSManagedObject *indexedObjectInSet(const DSObjectList &set, qint64 i);
    // The member at from moves to to; those in between shift toward from.
    static void moveIndexedObjectInSet(const DSObjectList &set, qint64 from, qint64 to);
    // The member at i gets −1 and those above move down one; null, changing
    // nothing, when no member is at i.
    static DSManagedObject *removeIndexedObjectInSet(const DSObjectList &set, qint64 i);
    // Members sorted by index, ascending.
    static DSObjectList sortedByIndex(const DSObjectList &set);

    // Rows: each column's own change, then every column of the tables that
    // take this one as an input (purgeOutputTables).
    virtual void addRows(qint64 n);
    virtual void dropRows(const DSIndexSet &rows);
    // Purges every column (recursivePurge) of the tables whose rows follow
    // this table's (stacked tables taking it as an input).
    void purgeOutputTables();

    // Input tables.
    virtual void addInputTable(DSTable *table);
    DSTable *input() const;
    void setInput(DSTable *table);

    // Weights and masks.
    virtual bool isFrequencyWeighted() const;
    // The per-row frequency weights and the row count, or null and 0 when the
    // table is not weighted. A row weighs its numeric weight when that is a
    // whole number from 1 to 2,147,483,647, else 0; with an indicator weights
    // column, 1 for a true row that is not missing, else 0. The array belongs
    // to the table and stays valid until the next call.
    virtual qint64 getFrequencyWeights(const int32_t **out);
    // The rows included by mask (null: every row; a present mask selects row
    // r when r lies within its length bytes and its bit is set) that are not
    // missing in any of the columns; null when every row qualifies. Answers
    // (num_records + 7) / 8 in every case. The mask belongs to the table and
    // stays valid until the next call.
    qint64 getNonmissingMask(const uint8_t **out, const QList<DSColumn *> &columns, const uint8_t *mask,
                             qint64 length);

    // Stored settings (the panes and pictures read them).
    bool apply_frequency_weights() const { return boolForKey(QStringLiteral("apply_frequency_weights")); }
    void setApply_frequency_weights(bool on) { setPrimitiveValue(on, QStringLiteral("apply_frequency_weights")); }
    DSColumn *frequency_weights_column() const;
    void setFrequency_weights_column(DSColumn *column);
    DSColumn *sort_by_column() const;
    void setSort_by_column(DSColumn *column);
    bool sort_ascending() const { return boolForKey(QStringLiteral("sort_ascending")); }
    void setSort_ascending(bool on) { setPrimitiveValue(on, QStringLiteral("sort_ascending")); }
    bool show_category_labels() const { return boolForKey(QStringLiteral("show_category_labels")); }
    void setShow_category_labels(bool on) { setPrimitiveValue(on, QStringLiteral("show_category_labels")); }
    double confidence_level() const { return doubleForKey(QStringLiteral("confidence_level")); }
    void setConfidence_level(double level) { setPrimitiveValue(level, QStringLiteral("confidence_level")); }
    // Label text -> hue in [0, 1).
    QVariantMap label_colors() const;
    // Stores a copy of label_colors with the label's hue set.
    void replaceHueForLabel(const QString &label, double hue);

    // The pane flags, one byte a group: byte 0 the main pane (1 table, 2
    // model), byte 1 the data pane (1 records, 2 summary, 4 pivot), byte 2
    // the model pane (1 modeler, 2 predictor). Setting a pane replaces its
    // byte; hiding it clears the byte. Higher bytes are kept.
    quint64 viewFlags() const { return m_viewFlags; }
    void setViewFlags(quint64 flags) { m_viewFlags = flags; }
    bool showTable() const { return m_viewFlags & 0x1; }
    bool showModel() const { return m_viewFlags & 0x2; }
    bool showRecords() const { return m_viewFlags & 0x100; }
    bool showSummary() const { return m_viewFlags & 0x200; }
    bool showPivot() const { return m_viewFlags & 0x400; }
    bool showModeler() const { return m_viewFlags & 0x10000; }
    bool showPredictor() const { return m_viewFlags & 0x20000; }
    void setShowTable(bool show) { setPaneByte(0, 0x1, show); }
    void setShowModel(bool show) { setPaneByte(0, 0x2, show); }
    void setShowRecords(bool show) { setPaneByte(1, 0x1, show); }
    void setShowSummary(bool show) { setPaneByte(1, 0x2, show); }
    void setShowPivot(bool show) { setPaneByte(1, 0x4, show); }
    void setShowModeler(bool show) { setPaneByte(2, 0x1, show); }
    void setShowPredictor(bool show) { setPaneByte(2, 0x2, show); }

    // Selections: never null.
    DSColumnSelection *column_selection();
    DSColumnSelection *covariate_selection();
    void setColumn_selection(std::unique_ptr<DSColumnSelection> selection);
    void setCovariate_selection(std::unique_ptr<DSColumnSelection> selection);
    // The only selected column (covariate), else null.
    DSColumn *active_column();
    DSColumn *active_covariate();
    // The only selected category of the active column (covariate), else null.
    std::shared_ptr<DSColumnCategory> active_column_category();
    std::shared_ptr<DSColumnCategory> active_covariate_category();

    // Columns ticked in the covariate pane. Text columns count only when
    // treated as categories.
    void addColumnToCovariateSet(DSColumn *column) { m_covariateSet.insert(column); }
    void removeColumnFromCovariateSet(DSColumn *column) { m_covariateSet.remove(column); }
    bool covariateSetContainsColumn(DSColumn *column) const { return m_covariateSet.contains(column); }
    qsizetype numberOfColumnsInCovariateSet() const { return sortedCovariateSet().size(); }
    QList<DSColumn *> sortedCovariateSet() const;
    bool covariateSetContainsOnlyNames(const QStringList &names) const;
    void removeFaultedColumnsFromCovariateSet();

    // Pivot functions offered for numeric, category, time and text columns.
    void resetPivotFunctions();
    const DSIndexSet &pivot_numeric_functions() const { return m_pivotNumericFunctions; }
    const DSIndexSet &pivot_category_functions() const { return m_pivotCategoryFunctions; }
    const DSIndexSet &pivot_time_functions() const { return m_pivotTimeFunctions; }
    const DSIndexSet &pivot_text_functions() const { return m_pivotTextFunctions; }
    void setPivot_numeric_functions(const DSIndexSet &tags) { m_pivotNumericFunctions = tags; }
    void setPivot_category_functions(const DSIndexSet &tags) { m_pivotCategoryFunctions = tags; }
    void setPivot_time_functions(const DSIndexSet &tags) { m_pivotTimeFunctions = tags; }
    void setPivot_text_functions(const DSIndexSet &tags) { m_pivotTextFunctions = tags; }

    // Search texts of the summary, covariate, records and pivot column lists.
    QString column_filter_summary, column_filter_covariate, column_filter_records, column_filter_pivot;

    // Padlocks: NO after set-up; a new empty table is unlocked for editing.
    bool edit_data_unlocked() const { return m_editDataUnlocked; }
    void setEdit_data_unlocked(bool unlocked) { m_editDataUnlocked = unlocked; }
    bool build_model_unlocked() const { return m_buildModelUnlocked; }
    void setBuild_model_unlocked(bool unlocked) { m_buildModelUnlocked = unlocked; }
    bool showSummaryCharts() const { return m_showSummaryCharts; }
    void setShowSummaryCharts(bool show) { m_showSummaryCharts = show; }

    // Objects shown by the panes; none by default.
    DSRegressionModel *active_model() const { return m_activeModel; }
    // Tells the root when this is the active table (the window then unloads
    // the previous model's data).
    void setActive_model(DSRegressionModel *model);
    DSPivot *active_pivot() const { return m_activePivot; }
    void setActive_pivot(DSPivot *pivot) { m_activePivot = pivot; }
    DSTableFilterSet *active_filter_set() const { return m_activeFilterSet; }
    void setActive_filter_set(DSTableFilterSet *filterSet) { m_activeFilterSet = filterSet; }

    // The table's row masks under its active filter set (in memory only).
    DSTableRowMasks &row_masks() { return m_rowMasks; }
    const DSTableRowMasks &row_masks() const { return m_rowMasks; }

    // Pane switches that read as NO while unset.
    bool show_filters = false, show_pivots = false, show_results = false, show_instruments = false,
         show_constant_hazard_line = false;

private:
    void setPaneByte(int byte, quint64 value, bool show);

    std::vector<DSColumn *> m_columnLookup;
    std::vector<int32_t> m_weights;
    std::vector<uint8_t> m_nonmissingMask;
    quint64 m_viewFlags = 0x10101;
    std::unique_ptr<DSColumnSelection> m_columnSelection;
    std::unique_ptr<DSColumnSelection> m_covariateSelection;
    QSet<DSColumn *> m_covariateSet;
    DSIndexSet m_pivotNumericFunctions, m_pivotCategoryFunctions, m_pivotTimeFunctions, m_pivotTextFunctions;
    bool m_editDataUnlocked = false;
    bool m_buildModelUnlocked = false;
    bool m_showSummaryCharts = true;
    DSRegressionModel *m_activeModel = nullptr;
    DSPivot *m_activePivot = nullptr;
    DSTableFilterSet *m_activeFilterSet = nullptr;
    DSTableRowMasks m_rowMasks{*this};
};
