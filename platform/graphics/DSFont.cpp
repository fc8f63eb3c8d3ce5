#include "platform/graphics/DSFont.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>

namespace {

// A paint device of 72 dots per inch: at 72 dpi a point is one unit.
const QPaintDevice *unitDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

struct Mapping
{
    const char *name;
    const char *family;
    bool bold, italic;
};

const Mapping kMappings[] = {
    {"Lucida Grande", "DejaVu Sans", false, false},
    {"LucidaGrande", "DejaVu Sans", false, false},
    {"LucidaGrande-Regular", "DejaVu Sans", false, false},
    {"LucidaGrande-Bold", "DejaVu Sans", true, false},
    {"Lucida Grande Bold", "DejaVu Sans", true, false},
    {"Times New Roman", "Liberation Serif", false, false},
    {"TimesNewRomanPSMT", "Liberation Serif", false, false},
    {"TimesNewRomanPS-ItalicMT", "Liberation Serif", false, true},
    {"TimesNewRomanPS-BoldMT", "Liberation Serif", true, false},
    {"TimesNewRomanPS-BoldItalicMT", "Liberation Serif", true, true},
    {"Times New Roman Italic", "Liberation Serif", false, true},
    {"Menlo", "DejaVu Sans Mono", false, false},
    {"Menlo-Regular", "DejaVu Sans Mono", false, false},
    {"Menlo-Bold", "DejaVu Sans Mono", true, false},
    {"Menlo-Italic", "DejaVu Sans Mono", false, true},
    {"Menlo-BoldItalic", "DejaVu Sans Mono", true, true},
    {"Chalkduster", "Comic Neue", false, false},
};

} // namespace

QFont ds_map_font_name(const QString &name)
{
    QFont font;
    bool mapped = false;
    for (const Mapping &m : kMappings) {
        if (name == QLatin1String(m.name)) {
            font.setFamilies({QString::fromLatin1(m.family)});
            font.setBold(m.bold);
            font.setItalic(m.italic);
            mapped = true;
            break;
        }
    }
    if (!mapped) {
        const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
        const QString style = dash > 0 ? name.mid(dash + 1) : QString();
        const bool styled = style.contains(QLatin1String("Bold")) || style.contains(QLatin1String("Italic"))
                            || style.contains(QLatin1String("Oblique")) || style == QLatin1String("Regular");
        font.setFamilies({styled ? name.left(dash) : name});
        font.setBold(styled && style.contains(QLatin1String("Bold")));
        font.setItalic(styled && (style.contains(QLatin1String("Italic")) || style.contains(QLatin1String("Oblique"))));
    }
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

DSFont::DSFont(const QString &name, double size) : m_name(name), m_size(size), m_font(ds_map_font_name(name))
{
    m_font.setPointSizeF(size);
}

QFont DSFont::qfont(double dpi) const
{
    QFont font = m_font;
    font.setPointSizeF(m_size * 72.0 / dpi);
    return font;
}

double DSFont::ascent() const
{
    return QFontMetricsF(m_font, unitDevice()).ascent();
}

double DSFont::descent() const
{
    return QFontMetricsF(m_font, unitDevice()).descent();
}

double DSFont::leading() const
{
    return QFontMetricsF(m_font, unitDevice()).leading();
}

double DSFont::width(const QString &text) const
{
    return QFontMetricsF(m_font, unitDevice()).horizontalAdvance(text);
}

std::vector<std::pair<qsizetype, qsizetype>> DSFont::lineBreaks(const QString &text, double width) const
{
    // Line feeds become line separators, which the layout always breaks at.
    QString laid = text;
    laid.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    QTextLayout layout(laid, m_font, const_cast<QPaintDevice *>(unitDevice()));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<std::pair<qsizetype, qsizetype>> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        qsizetype length = line.textLength();
        if (length > 0 && laid.at(line.textStart() + length - 1) == QChar(QChar::LineSeparator))
            --length;
        lines.emplace_back(line.textStart(), length);
    }
    layout.endLayout();
    return lines;
}
