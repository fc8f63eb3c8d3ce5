#pragma once

#include <QHash>
#include <QString>

#include <memory>

class DSPlatformNumberFormatter;
class DSStatDocument;

// A pane's style sheet. Only its number formatters are filled yet: each
// formatter key names one of the application's shared result formatters or
// one of the document's own, as the default sheet maps them. Without an
// application (or document) such a key answers a decimal formatter of the
// sheet's own with up to three fraction digits, so panes show numbers under
// tests too.
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

private:
    QHash<QString, const DSPlatformNumberFormatter *> m_formatters;
    std::unique_ptr<DSPlatformNumberFormatter> m_fallback;
};
