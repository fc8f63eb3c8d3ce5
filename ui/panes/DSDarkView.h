#pragma once

#include <QWidget>

// A backdrop of grey level 0.3 that drags its window along.
class DSDarkView : public QWidget
{
public:
    explicit DSDarkView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
