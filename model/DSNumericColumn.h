#pragma once

#include "model/DSColumn.h"

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

    // A whole number: equal to itself after conversion to a signed 64-bit
    // integer and back (magnitudes of 2^63 or more are not).
    static bool isWhole(double x) { return std::fabs(x) < 0x1p63 && double(int64_t(x)) == x; }

protected:
    // A buffer of at least count doubles for a computed range; null when
    // memory runs out. It replaces the previous block without freeing it at
    // once (the x / x rule).
    double *valueBuffer(qint64 count);

    DSColumnBuffer<double> temp_values;
    // The sorted index of distinct values, filled by the index operations.
    DSColumnBuffer<double> temp_index;
};
