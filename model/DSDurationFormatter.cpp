#include "model/DSDurationFormatter.h"

#include "model/util/ds_parse.h"

#include <QStringList>
#include <cmath>

DSDurationFormatter::DSDurationFormatter(int style, const QLocale &locale)
    : DSPlatformNumberFormatter(style, locale)
{
}

std::unique_ptr<DSPlatformNumberFormatter> DSDurationFormatter::clone() const
{
    return std::make_unique<DSDurationFormatter>(*this);
}

QString DSDurationFormatter::stringFromNumber(double value) const
{
    if (numberStyle() != DurationStyle)
        return DSPlatformNumberFormatter::stringFromNumber(value);
    const double x = std::fabs(value);
    if (!std::isfinite(x) || x >= 9.2e18)
        return QString();
    if (m_unitsStyle != PositionalStyle && m_unitsStyle != AbbreviatedStyle && m_unitsStyle != ShortStyle)
        return QString();

    const double shifted = x + 1e-9;
    int64_t rest = int64_t(shifted);
    const double fraction = shifted - double(rest);

    // The positional style has no field for weeks and days: the first of its
    // fields carries them, as "[h]:mm:ss" does, instead of dropping them.
    const bool positional = m_unitsStyle == PositionalStyle;
    auto takeOut = [&](uint64_t unit, int64_t seconds) -> int64_t {
        if (!allows(unit) || (positional && (unit == WeekUnit || unit == DayUnit)))
            return 0;
        const int64_t n = rest / seconds;
        rest %= seconds;
        return n;
    };
    const int64_t w = takeOut(WeekUnit, 604800);
    const int64_t d = takeOut(DayUnit, 86400);
    const int64_t h = takeOut(HourUnit, 3600);
    const int64_t m = takeOut(MinuteUnit, 60);
    const double s = allows(SecondUnit) && fraction + double(rest) > 2e-9 ? fraction + double(rest) : 0;

    if (positional) {
        QStringList parts;
        if (allows(HourUnit))
            parts << QString::number(h);
        if (allows(MinuteUnit))
            parts << (parts.isEmpty() ? QString::number(m) : QString::asprintf("%02lld", (long long)m));
        if (allows(SecondUnit))
            parts << (s == 0 ? QStringLiteral("00") : decimalString(s, 2));
        return parts.join(QLatin1Char(':'));
    }

    std::vector<Component> components;
    if (w != 0)
        components.push_back({WeekUnit, double(w)});
    if (d != 0 || (!components.empty() && (m != 0 || h != 0 || s != 0)))
        components.push_back({DayUnit, double(d)});
    if (h != 0 || (!components.empty() && (m != 0 || s != 0)))
        components.push_back({HourUnit, double(h)});
    if (m != 0 || (!components.empty() && s != 0))
        components.push_back({MinuteUnit, double(m)});
    if (s != 0)
        components.push_back({SecondUnit, s});
    if (components.empty()) {
        for (uint64_t unit : {SecondUnit, MinuteUnit, HourUnit, DayUnit, WeekUnit}) {
            if (allows(unit)) {
                components.push_back({unit, 0});
                break;
            }
        }
    }
    if (components.empty())
        return QStringLiteral(" ");
    return formatComponents(components, m_unitsStyle);
}

std::optional<double> DSDurationFormatter::numberFromString(const QString &text) const
{
    if (numberStyle() != DurationStyle)
        return DSPlatformNumberFormatter::numberFromString(text);
    const double seconds = ds_parse_duration(text.toUtf8().constData());
    if (std::isnan(seconds))
        return std::nullopt;
    return seconds;
}

QString DSDurationFormatter::abbreviatedComponentLabelForUnit(uint64_t unit)
{
    switch (unit) {
    case DayUnit: return QStringLiteral("d");
    case HourUnit: return QStringLiteral("h");
    case MinuteUnit: return QStringLiteral("m");
    case SecondUnit: return QStringLiteral("s");
    case WeekUnit: return QStringLiteral("w");
    default: return QString();
    }
}

QString DSDurationFormatter::shortComponentLabelForUnit(uint64_t unit)
{
    switch (unit) {
    case DayUnit: return QStringLiteral("dy");
    case HourUnit: return QStringLiteral("hr");
    case MinuteUnit: return QStringLiteral("min");
    case SecondUnit: return QStringLiteral("sec");
    case WeekUnit: return QStringLiteral("wk");
    default: return QString();
    }
}

QString DSDurationFormatter::componentLabelForUnit(uint64_t unit, int style)
{
    if (style == AbbreviatedStyle)
        return abbreviatedComponentLabelForUnit(unit);
    if (style == ShortStyle)
        return shortComponentLabelForUnit(unit);
    return QString();
}

QString DSDurationFormatter::formatComponents(const std::vector<Component> &components, int style) const
{
    QStringList texts;
    for (const Component &c : components) {
        const QString count = c.unit == SecondUnit ? decimalString(c.count, 1)
                                                   : QString::number((long long)c.count);
        texts << count + componentLabelForUnit(c.unit, style);
    }
    return texts.join(QLatin1Char(' '));
}
