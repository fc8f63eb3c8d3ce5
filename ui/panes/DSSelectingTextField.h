#pragma once

#include <QLineEdit>
#include <QPointer>

class QButtonGroup;

// A text field that belongs to a radio choice: gaining focus selects the
// group's button whose "tag" property is -1 (the choice the field fills in;
// a button group keeps -1 for ids of its own choosing).
class DSSelectingTextField : public QLineEdit
{
public:
    explicit DSSelectingTextField(QWidget *parent = nullptr);

    QButtonGroup *matrix() const { return m_matrix; }
    void setMatrix(QButtonGroup *matrix) { m_matrix = matrix; }

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    QPointer<QButtonGroup> m_matrix;
};
