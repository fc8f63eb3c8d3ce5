#pragma once
// A button title's colour, kept in the button's palette.

#include <QColor>

class QAbstractButton;

// The colour the title is drawn in: the palette's button text colour.
QColor ds_button_text_color(const QAbstractButton *button);
// Draws the title in that colour from now on.
void ds_set_button_text_color(QAbstractButton *button, const QColor &color);
