#pragma once

#include <QMetaType>

// One time value with the length of the period it stands for, handed over
// where a time travels as an object (an importer's cell value, a pivot
// result, a painter's information text, a prediction). An absolute time
// counts seconds since 2001-01-01 00:00:00 GMT, a time of day seconds since
// midnight. Immutable; no comparison and no text form of its own.
class DSDate
{
public:
    DSDate() = default;

    static DSDate dateWithTimeIntervalSinceReferenceDate(double seconds, double duration)
    {
        return DSDate().initWithTimeIntervalSinceReferenceDate(seconds, duration);
    }
    static DSDate dateWithTimeIntervalSinceMidnight(double seconds, double duration)
    {
        return DSDate().initWithTimeIntervalSinceMidnight(seconds, duration);
    }
    DSDate initWithTimeIntervalSinceReferenceDate(double seconds, double duration) const
    {
        return DSDate(seconds, duration, false);
    }
    DSDate initWithTimeIntervalSinceMidnight(double seconds, double duration) const
    {
        return DSDate(seconds, duration, true);
    }

    double timeIntervalSinceReferenceDate() const { return m_timeSinceEpoch; }
    double duration() const { return m_duration; }
    bool isTimeOfDay() const { return m_isRelativeToDay; }

private:
    DSDate(double seconds, double duration, bool relativeToDay)
        : m_timeSinceEpoch(seconds), m_duration(duration), m_isRelativeToDay(relativeToDay)
    {
    }

    double m_timeSinceEpoch = 0;
    double m_duration = 0;
    bool m_isRelativeToDay = false;
};

Q_DECLARE_METATYPE(DSDate)
