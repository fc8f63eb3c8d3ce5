#pragma once

#include "derived/DSComputedColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>
#include <functional>
#include <initializer_list>

class DSTimeColumn;

// The base of the numeric columns that extract one calendar or clock
// component (year, week, hour, ...) from the time column in input slot 0.
// Nothing is stored but the input link and include_fraction: every request
// recomputes its rows from the input, so the column follows every edit.
//
// A row is missing when its input is missing or its input's interval is
// coarser than maximumInputInterval (a value known only to the day has no
// hour); a NaN interval never makes a row missing.
class DSComputeTimeComponentColumn : public DSComputedColumn
{
public:
    // Whether the hour and minute components add the finer clock fields as
    // a fraction; nil reads as NO.
    bool include_fraction() const { return integerForKey(QStringLiteral("include_fraction")) != 0; }
    void setInclude_fraction(bool on) { setPrimitiveValue(qlonglong(on ? 1 : 0), QStringLiteral("include_fraction")); }

    // The coarsest input interval in seconds for which the component means
    // something; 0 here.
    virtual qint64 maximumInputInterval() const { return 0; }
    bool containsOnlyIntegers() override { return !include_fraction(); }

protected:
    // Whether a row whose input interval is `interval` lacks the component.
    virtual bool lacksPrecision(double interval) const { return interval > double(maximumInputInterval()); }
    void markMissingRows(qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("include_fraction")}; }

    // The input when it is a time column, else null.
    DSTimeColumn *timeInput() const;
    // "function(input name)"; a null text without an input.
    QString functionName(const char *function) const;
    // Each row's component from its GMT calendar fields, with the value
    // protocol of computeValues (rows whose input is missing get whatever
    // their placeholder date gives; the mask hides them).
    template <class Field>
    qint64 fromDates(const double **out, qint64 offset, qint64 count, const Field &field);
    // Each row's component from its raw time value (finite values only; the
    // others NaN), in ds_row_chunks parallel chunks when parallel is set.
    template <class Field>
    qint64 fromTimes(const double **out, qint64 offset, qint64 count, bool parallel, const Field &field);
    // Sets category_labels: key k + 1 is the text of times[k] under the
    // Unicode date pattern, in the current locale and GMT.
    void labelCategories(const char *pattern, std::initializer_list<double> times);

private:
    qint64 datesOfInput(const ds_gmt_date_s **dates, qint64 offset, qint64 count);
    qint64 timesOfInput(const double **times, qint64 offset, qint64 count);
    static void forEachRow(qint64 count, bool parallel, const std::function<void(qint64, qint64)> &chunk);
};

template <class Field>
qint64 DSComputeTimeComponentColumn::fromDates(const double **out, qint64 offset, qint64 count, const Field &field)
{
    const ds_gmt_date_s *dates = nullptr;
    const qint64 c = datesOfInput(&dates, offset, count);
    double *y = c ? reserveValues(c) : nullptr;
    if (!y)
        return handOut(out, nullptr, 0);
    for (qint64 i = 0; i < c; ++i)
        y[i] = field(dates[i]);
    return handOut(out, y, c);
}

template <class Field>
qint64 DSComputeTimeComponentColumn::fromTimes(const double **out, qint64 offset, qint64 count, bool parallel,
                                              const Field &field)
{
    const double *t = nullptr;
    const qint64 c = timesOfInput(&t, offset, count);
    double *y = c ? reserveValues(c) : nullptr;
    if (!y)
        return handOut(out, nullptr, 0);
    forEachRow(c, parallel, [&](qint64 first, qint64 end) {
        for (qint64 i = first; i < end; ++i)
            y[i] = std::isfinite(t[i]) ? field(t[i]) : std::nan("");
    });
    return handOut(out, y, c);
}
