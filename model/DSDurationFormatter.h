#pragma once

#include "platform/format/DSPlatformNumberFormatter.h"

#include <cstdint>
#include <vector>

// Seconds as a duration: in the duration style (500) "1:05:30" (positional),
// "1h 5m 30s" (abbreviated) or "1hr 5min 30sec" (short); every other number
// style formats as the base formatter does.
class DSDurationFormatter : public DSPlatformNumberFormatter
{
public:
    // Calendar-unit bits of the units a duration may use.
    enum Unit : uint64_t {
        DayUnit = 16,
        HourUnit = 32,
        MinuteUnit = 64,
        SecondUnit = 128,
        WeekUnit = 4096,
    };
    static constexpr uint64_t kAllUnits = DayUnit | HourUnit | MinuteUnit | SecondUnit | WeekUnit;

    enum UnitsStyle : int {
        PositionalStyle = 0,
        AbbreviatedStyle = 1,
        ShortStyle = 2,
    };

    // One count of one unit of a written duration.
    struct Component
    {
        uint64_t unit;
        double count;
    };

    explicit DSDurationFormatter(int style = DurationStyle, const QLocale &locale = QLocale());

    std::unique_ptr<DSPlatformNumberFormatter> clone() const override;

    // The duration text of |value|; a null QString for NaN, infinities and
    // an unknown units style, " " when no unit is allowed.
    QString stringFromNumber(double value) const override;
    // In the duration style, the seconds of a duration text (2w 3d 4h, 1:30,
    // 90min), or none.
    std::optional<double> numberFromString(const QString &text) const override;

    uint64_t allowedUnits() const { return m_allowedUnits; }
    void setAllowedUnits(uint64_t units) { m_allowedUnits = units; }
    int unitsStyle() const { return m_unitsStyle; }
    void setUnitsStyle(int style) { m_unitsStyle = style; }

    // "d", "h", "m", "s", "w"; a null QString for any other unit.
    static QString abbreviatedComponentLabelForUnit(uint64_t unit);
    // "dy", "hr", "min", "sec", "wk"; a null QString for any other unit.
    static QString shortComponentLabelForUnit(uint64_t unit);
    // The label in units style 1 or 2; a null QString for other styles.
    static QString componentLabelForUnit(uint64_t unit, int style);

    // Each component as its count and label with no space ("5m"; seconds
    // with this formatter's fraction digits), joined by single spaces.
    QString formatComponents(const std::vector<Component> &components, int style) const;

private:
    bool allows(uint64_t unit) const { return (m_allowedUnits & unit) != 0; }

    uint64_t m_allowedUnits = kAllUnits;
    int m_unitsStyle = PositionalStyle;
};
