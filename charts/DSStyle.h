#pragma once

#include "charts/DSLineStyle.h"
#include "charts/DSTextStyle.h"

#include "platform/graphics/DSFont.h"
#include "platform/graphics/ds_rgba.h"

#include <QColor>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class DSPlatformDateFormatter;
class DSPlatformNumberFormatter;

// A cascading style sheet of pictures: a stack of key-value levels, bottom
// first. Every read and every write addresses the top level; push adds a
// copy of the top and pop drops it, so a painter that wants a local change
// pushes, sets, draws and pops, and the owner's sheet never sees it.
//
// Each key holds one kind of value. A getter of a key that the top level
// does not hold answers the kind's absent value: null (objects), none
// (colours, fonts), NaN (doubles), false (booleans) or -1 (integers).
// Reading a key with the getter of another kind is a caller error and
// answers the absent value too.
//
// Line and text styles are immutable and shared between levels and with
// whoever keeps the pointer a getter hands out. Number formatters are
// borrowed: the sheet does not own them, and their owner (the application,
// the document, a column) outlives every drawing that reads them.
//
// Main thread only; painters that rasterise in parallel read what they need
// before their chunks start.
class DSStyle
{
public:
    // An empty sheet: one empty level.
    DSStyle();
    ~DSStyle();
    DSStyle(const DSStyle &) = delete;
    DSStyle &operator=(const DSStyle &) = delete;

    // A new top level, a copy of the one below.
    void push();
    // Drops the top level. Every push is paired with one pop before the
    // drawing that pushed returns; the bottom level is never dropped (a pop
    // with one level left does nothing).
    void pop();
    // The number of levels (1 for a sheet nobody has pushed).
    size_t depth() const { return m_stack.size(); }

    std::shared_ptr<const DSLineStyle> lineStyleForKey(const QString &key) const;
    std::shared_ptr<const DSTextStyle> textStyleForKey(const QString &key) const;
    std::optional<DSFont> fontForKey(const QString &key) const;
    std::optional<ds_rgba_s> colorForKey(const QString &key) const;
    // The colour for widgets; an invalid QColor when absent.
    QColor NSColorForKey(const QString &key) const;
    const DSPlatformNumberFormatter *numberFormatterForKey(const QString &key) const;
    std::shared_ptr<const DSPlatformDateFormatter> dateFormatterForKey(const QString &key) const;
    double doubleValueForKey(const QString &key) const;
    bool boolValueForKey(const QString &key) const;
    int64_t integerValueForKey(const QString &key) const;

    // Object setters: a value is stored under the key in the top level,
    // replacing what was there; null (or none) removes the key from the top
    // level only, so the key reads as before once that level is popped.
    void setLineStyle(std::shared_ptr<const DSLineStyle> style, const QString &key);
    void setTextStyle(std::shared_ptr<const DSTextStyle> style, const QString &key);
    void setFont(const std::optional<DSFont> &font, const QString &key);
    void setColor(const std::optional<ds_rgba_s> &color, const QString &key);
    void setNumberFormatter(const DSPlatformNumberFormatter *formatter, const QString &key);
    void setDateFormatter(std::shared_ptr<const DSPlatformDateFormatter> formatter, const QString &key);
    // Number setters always store (they never remove a key).
    void setDoubleValue(double value, const QString &key);
    void setBoolValue(bool value, const QString &key);
    void setIntegerValue(int64_t value, const QString &key);

private:
    using Value = std::variant<std::shared_ptr<const DSLineStyle>, std::shared_ptr<const DSTextStyle>, DSFont,
                               ds_rgba_s, const DSPlatformNumberFormatter *,
                               std::shared_ptr<const DSPlatformDateFormatter>, double, int32_t, int64_t>;
    using Level = QHash<QString, Value>;

    // The value of kind T under the key in the top level, or null.
    template <class T>
    const T *find(const QString &key) const;
    // Stores the value in the top level, or removes the key for none.
    void setValue(std::optional<Value> value, const QString &key);

    std::vector<Level> m_stack;
};
