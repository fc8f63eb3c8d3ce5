#include "charts/DSStatisticalTestView.h"

#include "stats/DSStatisticalTest.h"

void DSStatisticalTestView::setTest(std::shared_ptr<const DSStatisticalTest> test)
{
    m_test = std::move(test);
    update();
}
