#include "charts/DSStyle.h"

#include "platform/graphics/DSPainterContext.h"

#include <cmath>

DSStyle::DSStyle() : m_stack(1)
{
}

DSStyle::~DSStyle() = default;

void DSStyle::push()
{
    m_stack.push_back(m_stack.back());
}

void DSStyle::pop()
{
    if (m_stack.size() > 1)
        m_stack.pop_back();
}

template <class T>
const T *DSStyle::find(const QString &key) const
{
    const Level &top = m_stack.back();
    const auto found = top.constFind(key);
    return found == top.cend() ? nullptr : std::get_if<T>(&*found);
}

void DSStyle::setValue(std::optional<Value> value, const QString &key)
{
    if (value)
        m_stack.back().insert(key, std::move(*value));
    else
        m_stack.back().remove(key);
}

std::shared_ptr<const DSLineStyle> DSStyle::lineStyleForKey(const QString &key) const
{
    const auto *style = find<std::shared_ptr<const DSLineStyle>>(key);
    return style ? *style : nullptr;
}

std::shared_ptr<const DSTextStyle> DSStyle::textStyleForKey(const QString &key) const
{
    const auto *style = find<std::shared_ptr<const DSTextStyle>>(key);
    return style ? *style : nullptr;
}

std::optional<DSFont> DSStyle::fontForKey(const QString &key) const
{
    const DSFont *font = find<DSFont>(key);
    return font ? std::optional<DSFont>(*font) : std::nullopt;
}

std::optional<ds_rgba_s> DSStyle::colorForKey(const QString &key) const
{
    const ds_rgba_s *color = find<ds_rgba_s>(key);
    return color ? std::optional<ds_rgba_s>(*color) : std::nullopt;
}

QColor DSStyle::NSColorForKey(const QString &key) const
{
    const ds_rgba_s *color = find<ds_rgba_s>(key);
    return color ? ds_qcolor(*color) : QColor();
}

const DSPlatformNumberFormatter *DSStyle::numberFormatterForKey(const QString &key) const
{
    const auto *formatter = find<const DSPlatformNumberFormatter *>(key);
    return formatter ? *formatter : nullptr;
}

std::shared_ptr<const DSPlatformDateFormatter> DSStyle::dateFormatterForKey(const QString &key) const
{
    const auto *formatter = find<std::shared_ptr<const DSPlatformDateFormatter>>(key);
    return formatter ? *formatter : nullptr;
}

double DSStyle::doubleValueForKey(const QString &key) const
{
    const double *value = find<double>(key);
    return value ? *value : NAN;
}

bool DSStyle::boolValueForKey(const QString &key) const
{
    const int32_t *value = find<int32_t>(key);
    return value && *value != 0;
}

int64_t DSStyle::integerValueForKey(const QString &key) const
{
    const int64_t *value = find<int64_t>(key);
    return value ? *value : -1;
}

void DSStyle::setLineStyle(std::shared_ptr<const DSLineStyle> style, const QString &key)
{
    setValue(style ? std::optional<Value>(std::move(style)) : std::nullopt, key);
}

void DSStyle::setTextStyle(std::shared_ptr<const DSTextStyle> style, const QString &key)
{
    setValue(style ? std::optional<Value>(std::move(style)) : std::nullopt, key);
}

void DSStyle::setFont(const std::optional<DSFont> &font, const QString &key)
{
    setValue(font ? std::optional<Value>(*font) : std::nullopt, key);
}

void DSStyle::setColor(const std::optional<ds_rgba_s> &color, const QString &key)
{
    setValue(color ? std::optional<Value>(*color) : std::nullopt, key);
}

void DSStyle::setNumberFormatter(const DSPlatformNumberFormatter *formatter, const QString &key)
{
    setValue(formatter ? std::optional<Value>(formatter) : std::nullopt, key);
}

void DSStyle::setDateFormatter(std::shared_ptr<const DSPlatformDateFormatter> formatter, const QString &key)
{
    setValue(formatter ? std::optional<Value>(std::move(formatter)) : std::nullopt, key);
}

void DSStyle::setDoubleValue(double value, const QString &key)
{
    setValue(Value(value), key);
}

void DSStyle::setBoolValue(bool value, const QString &key)
{
    setValue(Value(int32_t(value ? 1 : 0)), key);
}

void DSStyle::setIntegerValue(int64_t value, const QString &key)
{
    setValue(Value(value), key);
}
