#pragma once

#include <QFont>
#include <QString>
#include <utility>
#include <vector>

// A font by name and size, in drawing-context units (a 12-unit font is 12
// units from ascender line to descender line's design size, whatever the
// device). Names of the fonts the pictures ask for map to fonts that are
// installed everywhere:
//   Lucida Grande             -> DejaVu Sans
//   Times New Roman (italic)  -> Liberation Serif (Italic)
//   Menlo                     -> DejaVu Sans Mono
//   Chalkduster               -> Comic Neue
// and other names are asked of the font database as they are, with a
// "-Bold", "-Italic" or "-BoldItalic" style suffix taken as a style.
// Metrics use no hinting, so measuring gives the same figures on every
// machine and at every resolution. Needs a QGuiApplication. Value type.
class DSFont
{
public:
    DSFont() = default;
    DSFont(const QString &name, double size);

    bool isValid() const { return m_size > 0; }
    const QString &name() const { return m_name; }
    double size() const { return m_size; }

    // The Qt font, sized for a device of `dpi` dots per inch so that it
    // measures `size()` device units there.
    QFont qfont(double dpi = 72) const;

    double ascent() const;
    double descent() const;
    double leading() const;
    // The advance width of `text` on one line.
    double width(const QString &text) const;

    // Where `text` breaks into lines no wider than `width`: at word
    // boundaries, inside a word too long for a line, and at every line feed.
    // Each line is a (start, length) range of the text; a line keeps the
    // spaces after its last word, not the line feed that ends it.
    std::vector<std::pair<qsizetype, qsizetype>> lineBreaks(const QString &text, double width) const;

private:
    QString m_name;
    double m_size = 0;
    QFont m_font;
};

// The family, weight and slant that a font name maps to.
QFont ds_map_font_name(const QString &name);
