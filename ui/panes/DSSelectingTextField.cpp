#include "ui/panes/DSSelectingTextField.h"

#include <QAbstractButton>
#include <QButtonGroup>

DSSelectingTextField::DSSelectingTextField(QWidget *parent) : QLineEdit(parent) {}

void DSSelectingTextField::focusInEvent(QFocusEvent *event)
{
    if (m_matrix)
        for (QAbstractButton *button : m_matrix->buttons())
            if (button->property("tag").toInt() == -1)
                button->setChecked(true);
    QLineEdit::focusInEvent(event);
}
