#include "ui/panes/ds_button_text_color.h"

#include <QAbstractButton>
#include <QPalette>

QColor ds_button_text_color(const QAbstractButton *button)
{
    return button->palette().color(QPalette::ButtonText);
}

void ds_set_button_text_color(QAbstractButton *button, const QColor &color)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    button->setPalette(palette);
}
