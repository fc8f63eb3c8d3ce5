#pragma once

#include "model/DSDate.h"
#include "pivot/ds_sortable_entry.h"
#include "platform/store/DSManagedObject.h"

#include <QStringList>
#include <QVariantList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class DSAggregation;
class DSColumn;
class DSDataTable;
class DSManagedObjectContext;
class DSPivotInput;
class DSTable;

// One pivot table of a table (its owner): up to five input columns cut the
// records into labels; each record's code combines its labels in mixed
// radix (the first input the most significant digit); every distinct code
// among the records in the row mask is one row, listed in code order or
// ranked by one aggregation; every aggregation of the table is evaluated per
// row. Labels come from all records of the table, so a label may have no
// row.
//
// Codes are exact 64-bit integers. When the label counts multiply past
// 2^63 - 1 the pivot has no rows and says why (overflowMessage()), rather
// than merging groups.
//
// Main thread only. The transient state is rebuilt by every recomputation:
// recomputePivot() (labels and codes), then recomputeValuesWithMask()
// (rows, aggregations, ranking).
class DSPivot : public DSManagedObject
{
public:
    static constexpr int k_slots = 5;

    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    bool sort_aggregation_ascending() const { return boolForKey(QStringLiteral("sort_aggregation_ascending")); }
    void setSort_aggregation_ascending(bool on) { setPrimitiveValue(on, QStringLiteral("sort_aggregation_ascending")); }
    // The category ranked by; -1 the plain value.
    qint64 sort_aggregation_category() const { return integerForKey(QStringLiteral("sort_aggregation_category")); }
    void setSort_aggregation_category(qint64 c)
    {
        setPrimitiveValue(qlonglong(c), QStringLiteral("sort_aggregation_category"));
    }
    // Above 0: rank only within each label of the first enabled input.
    qint64 fixed_input_count() const { return integerForKey(QStringLiteral("fixed_input_count")); }
    void setFixed_input_count(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("fixed_input_count")); }
    DSTable *owner() const;
    void setOwner(DSTable *owner);
    // Rows are ranked by this aggregation's values when set.
    DSAggregation *sort_by_aggregation() const;
    void setSort_by_aggregation(DSAggregation *aggregation);

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    // The owner renumbers its pivots and drops this one.
    void prepareForDeletion() override;
    // The pivot and its inputs.
    DSObjectList managedObjectDependencies() override;

    // The inputs of the slots shown (below the table's pivot_input_count),
    // by slot; disabled ones included.
    QList<DSPivotInput *> sortedInputs() const;
    // The input of the slot, whatever the slot count, or null.
    DSPivotInput *inputAtIndex(qint64 slot) const;
    // A new input in the slot (replacing none), enabled, on column.
    DSPivotInput *addInput(qint64 slot, DSColumn *column);
    DSPivotInput *firstEnabledInput() const;
    int64_t numberOfEnabledInputs() const;

    // Positional weight of slot k in a code, and the span of its digit.
    int64_t widthForPivot(int64_t k) const;
    int64_t strideForPivot(int64_t k) const;
    int64_t numberOfLabelsForPivot(int64_t k) const;
    // Label j of slot k, and the value behind it (a number, a text or a
    // DSDate); null outside the slot's labels.
    QString labelForPivot(int64_t k, int64_t j) const;
    QVariant valueForPivot(int64_t k, int64_t j) const;
    QString stringValueForPivot(int64_t k, int64_t j) const;
    std::optional<DSDate> dateValueForPivot(int64_t k, int64_t j) const;
    double doubleValueForPivot(int64_t k, int64_t j) const;
    // The label position of slot k at display row r: ((label index of r)
    // mod stride(k)) div width(k).
    int64_t labelPositionForRow(int64_t k, int64_t r) const;

    int64_t numberOfRows() const { return m_nonemptyCount; }
    // The aggregations' index of display row r, and its code.
    int64_t convertRowToValueIndex(int64_t r) const;
    int64_t convertRowToLabelIndex(int64_t r) const;
    // Why the pivot has no rows although records are in the mask; null when
    // it has its rows.
    QString overflowMessage() const { return m_overflowMessage; }

    // Labels of every taking-part input and every record's code.
    void recomputePivot();
    // Rows under the mask (null: every record; length 0: none), then every
    // aggregation of the owner (column ones first, then computed ones, by
    // index), then the ranking.
    void recomputeValuesWithMask(const uint8_t *mask, int64_t length);
    void recomputeNonEmptyRowsWithMask(const uint8_t *mask, int64_t length);
    void recomputeRanking();
    // Fill one slot's labels and values, fold the slot into every record's
    // code and answer the slot's label count (0: the slot takes no part).
    int64_t recomputePivotForCategoryColumn(DSColumn *column, QStringList &labels, QVariantList &values);
    int64_t recomputePivotForNumericColumn(DSColumn *column, QStringList &labels, QVariantList &values);
    int64_t recomputePivotForTextColumn(DSColumn *column, QStringList &labels, QVariantList &values);
    int64_t recomputePivotForTimeColumn(DSColumn *column, QStringList &labels, QVariantList &values);

    // Whether repeated labels of slot k show as ditto marks.
    bool wantsDittoMarksForPivot(int64_t k) const;
    // A new table of the pivot's rows in display order: the inputs' columns,
    // then every enabled aggregation's; named "<owner> Pivot".
    DSDataTable *insertDataTableInManagedObjectContext(DSManagedObjectContext *context);

    // The transient state, for readers of the last recomputation.
    const std::vector<int64_t> &record2labelIndex() const { return m_record2labelIndex; }
    const std::vector<int32_t> &record2valueIndex() const { return m_record2valueIndex; }
    const std::vector<int64_t> &valueIndex2labelIndex() const { return m_valueIndex2labelIndex; }
    const std::vector<ds_sortable_entry_s> &sorted_entries() const { return m_sortedEntries; }

private:
    // Replaces every record's code by code x count + positions[i]; answers
    // count, or 0 (the slot takes no part) for no labels and when the code
    // space would pass 2^63 - 1, which leaves the pivot without rows.
    int64_t foldCodes(const std::vector<int32_t> &positions, int64_t count);
    int64_t recordCount() const;
    // Whether the pivot's ranking applies.
    bool isRanked() const { return !m_sortedEntries.empty(); }
    void rowsByCounting(const uint8_t *mask, int64_t length);
    void rowsByHashing(const uint8_t *mask, int64_t length);

    std::array<QStringList, k_slots> m_labels;
    std::array<QVariantList, k_slots> m_values;
    std::array<int64_t, 20> m_widths{};
    std::vector<int64_t> m_record2labelIndex;
    std::vector<int32_t> m_record2valueIndex;
    std::vector<int64_t> m_valueIndex2labelIndex;
    std::vector<ds_sortable_entry_s> m_sortedEntries;
    int64_t m_nonemptyCount = 0;
    // Number of distinct codes the taking-part slots can make.
    int64_t m_codeSpace = 1;
    QString m_overflowMessage;
};
