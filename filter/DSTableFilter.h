#pragma once

#include "model/ds_filter_exclude_flags.h"
#include "model/DSColumn.h"
#include "model/DSRowFilter.h"
#include "platform/store/DSManagedObject.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class DSColumnSummary;
class DSTableFilterSet;

// One filter of a filter set: the column of its slot (index 0 to 5) and the
// stored selections of that column's values it keeps. A nil selection
// restricts nothing; an empty one keeps no row.
//
// The index sets come from documents: indexes outside a selection's range
// are ignored, never used to read past a table.
class DSTableFilter : public DSManagedObject, public DSRowFilter
{
public:
    using Selection = std::optional<DSIndexSet>;

    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    bool is_enabled() const { return boolForKey(QStringLiteral("is_enabled")); }
    void setIs_enabled(bool on) { setPrimitiveValue(on, QStringLiteral("is_enabled")); }
    DSColumn *column() const;
    void setColumn(DSColumn *column);
    DSTableFilterSet *owner() const;

    // The stored selections by key ("categoryIndexSet", "yearIndexSet",
    // "monthIndexSet", "dayOfMonthIndexSet", "dayOfWeekIndexSet",
    // "hourOfDayIndexSet"); nullopt for nil.
    Selection indexSetForKey(const QString &key) const;
    void setIndexSet(const Selection &set, const QString &key);
    Selection categoryIndexSet() const { return indexSetForKey(QStringLiteral("categoryIndexSet")); }
    Selection yearIndexSet() const { return indexSetForKey(QStringLiteral("yearIndexSet")); }
    Selection monthIndexSet() const { return indexSetForKey(QStringLiteral("monthIndexSet")); }
    Selection dayOfMonthIndexSet() const { return indexSetForKey(QStringLiteral("dayOfMonthIndexSet")); }
    Selection dayOfWeekIndexSet() const { return indexSetForKey(QStringLiteral("dayOfWeekIndexSet")); }
    Selection hourOfDayIndexSet() const { return indexSetForKey(QStringLiteral("hourOfDayIndexSet")); }

    // Whether clearUnmatchingBitsFromMask() may clear a bit: the column and
    // the selections decide, not is_enabled (a disabled filter with
    // selections still asks for a mask it leaves whole). excluded: this
    // filter's slot is the one a leave-one-out mask leaves out, flags then
    // naming the date components skipped.
    bool willClearBits(bool excluded, uint32_t flags) const override;
    // Clears in mask (length bytes, one bit a record) every record that
    // fails this filter; never sets a bit. Records past the column's or the
    // mask's end are left alone. Nothing is kept between calls.
    void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const override;

    // The filter's conditions in words, as picture titles show them; none
    // for an empty slot or a text column cut into ranges.
    QStringList stringConditionsArray() const;
    // The text of one time selection (runs of consecutive indexes joined by
    // "/"); a null text for nil.
    QString stringForYearIndexSet() const;
    QString stringForMonthIndexSet() const;
    QString stringForDayOfMonthIndexSet() const;
    QString stringForDayOfWeekIndexSet() const;
    QString stringForHourOfDayIndexSet() const;

    // Clears the time selections that the column's finest unit or the
    // summaries no longer allow; the finest unit, or -1 (nothing touched)
    // for a column that is not a time column.
    qint64 invalidateBadSelections();
    // Whether every index of set is the integer value of a non-missing
    // category of summary; false for nil or no summary.
    static bool isValidIndexSet(const Selection &set, const DSColumnSummary *summary);

    // The summaries the filter pane shows; in memory only.
    std::shared_ptr<DSColumnSummary> summary, year_summary, month_summary, day_of_month_summary,
        day_of_week_summary, hour_of_day_summary;
    void resetSummaries();
    void didTurnIntoFault() override;

private:
    QStringList timeConditions() const;
    QString categoryCondition() const;
    QString binCondition() const;
    void clearTimeBits(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const;
    void clearCategoryBits(uint8_t *mask, int64_t length, const DSIndexSet &selected) const;
};
