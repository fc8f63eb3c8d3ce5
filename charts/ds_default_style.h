#pragma once

#include <memory>

class DSStyle;
class DSStatDocument;

// Font sizes of the platform's regular, small and mini controls, which the
// default sheet's "system", "small" and "mini" text styles take.
constexpr double k_ds_system_font_size = 13;
constexpr double k_ds_small_font_size = 11;
constexpr double k_ds_mini_font_size = 9;

// A new default style sheet for a pane of the document: the bottom level of
// every picture's stack, with the fonts, colours, line styles, tick sizes
// and number formatters every picture names by key. Its formatters are the
// document's and the application's own (borrowed, not copied); without an
// application (or document) a formatter key answers one shared decimal
// formatter with up to three fraction digits, so panes show numbers under
// tests too. The caller owns the sheet.
std::unique_ptr<DSStyle> ds_make_default_style(DSStatDocument *document);
