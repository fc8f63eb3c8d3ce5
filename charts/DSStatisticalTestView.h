#pragma once

#include <QWidget>

#include <memory>

class DSStatisticalTest;

// The picture of a test's reference distribution in the bottom line's
// diagnostics. It keeps the test it is given (shared with the bottom line
// and the estimation-command window); it draws nothing yet.
class DSStatisticalTestView : public QWidget
{
public:
    using QWidget::QWidget;

    // The test to draw, or null for none; marks the view for redisplay.
    void setTest(std::shared_ptr<const DSStatisticalTest> test);
    const std::shared_ptr<const DSStatisticalTest> &test() const { return m_test; }

private:
    std::shared_ptr<const DSStatisticalTest> m_test;
};
