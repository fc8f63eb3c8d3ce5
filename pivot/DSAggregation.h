#pragma once

#include "model/DSDate.h"
#include "platform/store/DSManagedObject.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DSAggregationInput;
class DSColumnCategory;
class DSColumnSummary;
class DSManagedObjectContext;
class DSNumberFormatter;
class DSPivot;
class DSTable;
class DSTextFormatter;
class DSColumn;

// One result column of a table's pivots: a function evaluated over the rows
// of each pivot row's group. Aggregations belong to the table, so every
// pivot of it shows the same ones, and each recomputation of a pivot refills
// all of them for that pivot's groups (g = 0 ... G - 1, the pivot's value
// indexes). This base answers every operation with the neutral result; the
// column aggregation accumulates, the computed ones combine other
// aggregations.
class DSAggregation : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    // Shown in the pivot table and exported; a disabled one is still
    // recomputed.
    bool is_enabled() const { return boolForKey(QStringLiteral("is_enabled")); }
    void setIs_enabled(bool on) { setPrimitiveValue(on, QStringLiteral("is_enabled")); }
    DSTable *table() const;
    // The aggregation's own display format, made whenever it is missing.
    DSNumberFormatter *number_formatter() const;

    // The object, its number formatter's dependencies and its inputs (which
    // it owns: a copy without them would read nothing).
    DSObjectList managedObjectDependencies() override;
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;
    // The base's. A copy being decoded, or an aggregation a migration step
    // fills by key, brings its own number formatter: the one made at its
    // insertion is deleted again, never left behind unowned.
    void decodeAttributes(const QCborMap &dictionary) override;
    void setValue(const QVariant &value, const QString &key) override;
    // Later aggregations of the table move down one, pivots ranked by this
    // one lose their ranking, and it leaves the table.
    void prepareForDeletion() override;
    // Creates and attaches a number formatter in the same context (or pool)
    // when there is none.
    void setupNumberFormatter();
    // In a document's context of the current store version: objects of a
    // pool or of a migration step's older model keep what their source holds,
    // so they get no formatter of their own at insertion or fetch.
    bool isOfCurrentStore() const;

    // The owned input whose index is i, or null; its source, or null.
    DSAggregationInput *inputAtIndex(qint64 i) const;
    DSAggregation *inputAggregationAtIndex(qint64 i) const;
    // A new input reading source, numbered after the existing ones and owned
    // by this aggregation.
    DSAggregationInput *addInputAggregation(DSAggregation *source);
    QList<DSAggregationInput *> sortedInputs() const;

    // Refills the values for resultCount groups: record i of indexCount
    // belongs to group record2valueIndex[i] (read only for records in the
    // mask); weights (indexCount entries, or null) are the table's frequency
    // weights; a null mask takes every record, a length of 0 none. Nothing
    // here.
    virtual void recomputeValuesByIndex(const int32_t *record2valueIndex, int64_t indexCount, int64_t resultCount,
                                        const int32_t *weights, const uint8_t *mask, int64_t length);
    // The plain value of group g; the value of category c of it (c = -1: the
    // plain value). NaN for any group or category the last recomputation
    // did not fill.
    virtual double doubleValueAtIndex(int64_t g) { return doubleValueAtIndex(g, -1); }
    virtual double doubleValueAtIndex(int64_t g, int64_t c);

    // Whether the aggregation has one result per category of its column.
    virtual bool hasMultipleHeadings() { return false; }
    // The menu's name of the function; null here.
    virtual QString functionName() const { return QString(); }
    // The name of what is aggregated; null here.
    virtual QString columnName() const { return QString(); }
    // The heading of the result column.
    virtual QString name() const { return columnName(); }
    virtual bool hasNumberFormatter() { return true; }
    // The format the values show in; null without one.
    virtual DSNumberFormatter *numberFormatter() { return number_formatter(); }
    virtual DSTextFormatter *textFormatter() const { return nullptr; }
    // The built-in spreadsheet format of the values: 0 (general) here.
    virtual int64_t ExcelFormatCode() { return 0; }
    // Whether the values are texts (category names) or times.
    virtual bool hasStringValue() { return false; }
    virtual QString stringValueAtIndex(int64_t) { return QString(); }
    // stringValueAtIndex through the text formatter, when there is one.
    QString formattedStringAtIndex(int64_t g);
    // The heading of one category's result, and its name as an operand.
    virtual QString headerNameForCategory(const DSColumnCategory &category) const;
    virtual QString symbolicNameForCategory(const DSColumnCategory &category) const;
    virtual bool hasDateValue() { return false; }
    // The time of group g; none here.
    virtual std::optional<DSDate> dateValueAtIndex(int64_t g);
    // Whether a computed aggregation may read this one.
    virtual bool canServeAsInput() { return false; }

    // The aggregation's result columns for a table exported from pivot, one
    // value per pivot row in the pivot's display order, made in the context,
    // saved and named; the pivot inserts them into its new table. None here.
    virtual QList<DSColumn *> insertDataTablesForPivot(DSPivot *pivot, DSManagedObjectContext *context);

    // The category summary of the column under the last row mask, for a
    // column treated as categories; null otherwise.
    const std::shared_ptr<DSColumnSummary> &temp_summary() const { return m_summary; }
    void setTemp_summary(std::shared_ptr<DSColumnSummary> summary) { m_summary = std::move(summary); }

protected:
    // A new stored numeric column in the context holding value(v(r)) for
    // every display row r of the pivot (v: the row's value index), saved and
    // named; null when it cannot be made or saved.
    DSColumn *exportNumbers(DSPivot *pivot, DSManagedObjectContext *context, const QString &name,
                            const std::function<double(int64_t)> &value);
    // Gives the exported column its dependants and this aggregation's
    // number format.
    void takeNumberFormat(DSColumn *column);

private:
    std::shared_ptr<DSColumnSummary> m_summary;
    // Deletes the formatter awakeFromInsert() made when another replaced it.
    void dropInsertedFormatter();

    // The formatter awakeFromInsert() made, until it is kept or replaced.
    DSManagedObject *m_insertedFormatter = nullptr;
};
