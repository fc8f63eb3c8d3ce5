#pragma once

#include "model/DSTimeColumn.h"

#include <vector>

// A time column put together from part columns of its table. A date
// composition (year_input_type not 0) joins a year (constant, four-digit
// or two-digit column) with an optional sub-year part; each value is the
// GMT midnight that starts the composed period and its interval the
// period's exact length. A time composition (year_input_type 0) adds an
// hour (24-hour, or 12-hour with an AM/PM column) and an optional minute to
// the start of a date column's day, or to midnight (a time-of-day column,
// relative_time_unit 1, which its creator sets).
//
// Nothing is stored but the description and the part links: every request
// composes its rows again, so the column follows every edit of its parts.
// A row whose part is missing, not a whole number, out of its range or of
// the wrong kind, or whose date does not exist (February 30) is missing; its
// value is NaN.
class DSTimeCompositionColumn : public DSTimeColumn
{
public:
    using DSTimeColumn::getTimeValues;

    enum YearInput { NoYear = 0, ConstantYear = 1, TwoDigitYear = 2, FourDigitYear = 4 };
    enum SubyearInput { NoSubyear = 0, Quarter = 4, Month = 12, MonthAndDay = 13, Week = 52, DayCount = 365 };
    enum HourInput { NoHour = 0, Hour12 = 12, Hour24 = 24 };
    // The part slots.
    enum Slot {
        TwoDigitYearSlot, FourDigitYearSlot, QuarterSlot, DayOfYearSlot, MonthSlot, DayOfMonthSlot, WeekSlot,
        DateSlot, AmPmSlot, Hour12Slot, Hour24Slot, MinuteSlot
    };

    qint64 year_input_type() const { return integerForKey(QStringLiteral("year_input_type")); }
    void setYear_input_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("year_input_type")); }
    qint64 subyear_input_type() const { return integerForKey(QStringLiteral("subyear_input_type")); }
    void setSubyear_input_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("subyear_input_type")); }
    qint64 hour_input_type() const { return integerForKey(QStringLiteral("hour_input_type")); }
    void setHour_input_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("hour_input_type")); }
    // Null when none is set.
    QVariant constant_year() const { return primitiveValueForKey(QStringLiteral("constant_year")); }
    void setConstant_year(const QVariant &year) { setPrimitiveValue(year, QStringLiteral("constant_year")); }
    qint64 two_digit_year_start() const { return integerForKey(QStringLiteral("two_digit_year_start")); }
    void setTwo_digit_year_start(qint64 year) { setPrimitiveValue(qlonglong(year), QStringLiteral("two_digit_year_start")); }
    bool has_date_input() const { return boolForKey(QStringLiteral("has_date_input")); }
    void setHas_date_input(bool on) { setPrimitiveValue(on, QStringLiteral("has_date_input")); }
    bool has_minute_input() const { return boolForKey(QStringLiteral("has_minute_input")); }
    void setHas_minute_input(bool on) { setPrimitiveValue(on, QStringLiteral("has_minute_input")); }

    DSColumn *partAt(Slot slot) const { return inputColumnAtIndex(slot); }
    // Links column (none removes the link) at the slot.
    void setPartAt(Slot slot, DSColumn *column) { replaceInputColumnAtIndex(slot, column); }
    // Each part by name, as the compose sheets set them.
    DSColumn *two_digit_year_input() const { return partAt(TwoDigitYearSlot); }
    void setTwo_digit_year_input(DSColumn *column) { setPartAt(TwoDigitYearSlot, column); }
    DSColumn *four_digit_year_input() const { return partAt(FourDigitYearSlot); }
    void setFour_digit_year_input(DSColumn *column) { setPartAt(FourDigitYearSlot, column); }
    DSColumn *quarter_input() const { return partAt(QuarterSlot); }
    void setQuarter_input(DSColumn *column) { setPartAt(QuarterSlot, column); }
    DSColumn *day_of_year_input() const { return partAt(DayOfYearSlot); }
    void setDay_of_year_input(DSColumn *column) { setPartAt(DayOfYearSlot, column); }
    DSColumn *month_input() const { return partAt(MonthSlot); }
    void setMonth_input(DSColumn *column) { setPartAt(MonthSlot, column); }
    DSColumn *day_of_month_input() const { return partAt(DayOfMonthSlot); }
    void setDay_of_month_input(DSColumn *column) { setPartAt(DayOfMonthSlot, column); }
    DSColumn *week_input() const { return partAt(WeekSlot); }
    void setWeek_input(DSColumn *column) { setPartAt(WeekSlot, column); }
    DSColumn *date_input() const { return partAt(DateSlot); }
    void setDate_input(DSColumn *column) { setPartAt(DateSlot, column); }
    DSColumn *am_pm_input() const { return partAt(AmPmSlot); }
    void setAm_pm_input(DSColumn *column) { setPartAt(AmPmSlot, column); }
    DSColumn *hour12_input() const { return partAt(Hour12Slot); }
    void setHour12_input(DSColumn *column) { setPartAt(Hour12Slot, column); }
    DSColumn *hour24_input() const { return partAt(Hour24Slot); }
    void setHour24_input(DSColumn *column) { setPartAt(Hour24Slot, column); }
    DSColumn *minute_input() const { return partAt(MinuteSlot); }
    void setMinute_input(DSColumn *column) { setPartAt(MinuteSlot, column); }

    // The composed rows of [offset, offset + limit) that the table has, in
    // the column's own buffers (valid until its next request); null and 0
    // for an empty range or when memory runs out.
    qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit) override;
    // The unit of the composed period: minute 1, hour 5, day 9, week 10,
    // month 11, quarter 12, year 14.
    qint64 minimumTimeUnit() override { return compositionTimeUnit(); }
    qint64 maximumTimeUnit() override { return compositionTimeUnit(); }
    qint64 compositionTimeUnit() const;
    // YES when a part the types call for has no column.
    bool needsDeletion() override;
    // "date(2024, month)", "time(hour, ampm, minute, day)".
    QString suggestedName() const override;

private:
    // Marks bad[i] for rows offset + i whose part in the slot is missing or
    // NaN, every row when the part is absent or not numeric; its values.
    std::vector<double> rawPart(Slot slot, qint64 offset, qint64 n);
    // Marks bad[i] for rows offset + i whose part in the slot is missing,
    // not a 32-bit whole number or outside [minimum, maximum]; every row when
    // the part is absent or not numeric. Its values (NaN where bad).
    std::vector<double> integerPart(Slot slot, double minimum, double maximum, qint64 offset, qint64 n);
    // Each row's year, -1 where it is bad.
    void composeYears(std::vector<int64_t> &years, qint64 offset, qint64 n);
    void composeDates(double *values, double *intervals, qint64 offset, qint64 n);
    void composeTimes(double *values, double *intervals, qint64 offset, qint64 n);
    // Marks rows that are neither AM nor PM in bad and sets pm[i].
    void resolveAmPm(std::vector<uint8_t> &pm, qint64 offset, qint64 n);
    void markAllBad() { std::fill(m_bad.begin(), m_bad.end(), uint8_t(1)); }

    std::vector<uint8_t> m_bad;
};
