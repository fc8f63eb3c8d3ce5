#pragma once

#include <QMetaType>
#include <QVariant>

// An immutable pair of values (numbers, texts or dates) standing for a
// range: a confidence interval, the first and last text of a group.
class DSRange
{
public:
    DSRange() = default;
    DSRange(QVariant firstValue, QVariant lastValue)
        : m_first(std::move(firstValue)), m_last(std::move(lastValue))
    {
    }

    static DSRange rangeFromValue(const QVariant &first, const QVariant &last) { return DSRange(first, last); }

    const QVariant &firstValue() const { return m_first; }
    const QVariant &lastValue() const { return m_last; }

    bool operator==(const DSRange &other) const { return m_first == other.m_first && m_last == other.m_last; }

private:
    QVariant m_first;
    QVariant m_last;
};

Q_DECLARE_METATYPE(DSRange)
