#pragma once

#include "charts/DSTextStyle.h"

#include "platform/graphics/ds_rgba.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class DSPlatformNumberFormatter;
class DSStatDocument;

// A pane's style sheet. Only its number formatters and text styles are
// filled yet. The text styles form a stack of levels: a painter that wants
// no label of some kind pushes a level, removes the label's style, draws and
// pops, so the owner's sheet never changes. Each formatter key names one of
// the application's shared result formatters or one of the document's own,
// as the default sheet maps them. Without an application (or document) such
// a key answers a decimal formatter of the sheet's own with up to three
// fraction digits, so panes show numbers under tests too.
//
// Main thread only. Formatters handed out belong to the application, the
// document or the sheet; the application's and the document's outlive the
// panes that ask.
class DSStyle
{
public:
    // The default sheet for the document (may be null).
    explicit DSStyle(DSStatDocument *document = nullptr);
    ~DSStyle();
    DSStyle(const DSStyle &) = delete;
    DSStyle &operator=(const DSStyle &) = delete;

    // The number formatter under the key, or null for a key that names none.
    const DSPlatformNumberFormatter *numberFormatterForKey(const QString &key) const;

    // The colour under the key (the column highlight colours of the
    // default sheet), or none for a key that names none.
    std::optional<ds_rgba_s> NSColorForKey(const QString &key) const;

    // The text style under the key in the top level, or none (a label of
    // that kind is then not drawn).
    std::optional<DSTextStyle> textStyleForKey(const QString &key) const;
    // Stores the style under the key in the top level; none removes it.
    void setTextStyle(const std::optional<DSTextStyle> &style, const QString &key);
    // A new top level, a copy of the one below; pop drops it again (the
    // sheet's own level is never dropped).
    void push();
    void pop();

private:
    QHash<QString, const DSPlatformNumberFormatter *> m_formatters;
    std::unique_ptr<DSPlatformNumberFormatter> m_fallback;
    std::vector<QHash<QString, DSTextStyle>> m_textStyles;
};
