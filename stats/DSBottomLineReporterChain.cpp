#include "stats/DSBottomLineReporterChain.h"

#include "stats/DSBottomLineReporterCategoriesNoCovariate.h"
#include "stats/DSBottomLineReporterCategoriesWithCategoryCovariate.h"
#include "stats/DSBottomLineReporterCategoriesWithNumericCovariate.h"
#include "stats/DSBottomLineReporterCategoriesWithTimeCovariate.h"
#include "stats/DSBottomLineReporterMultipleCategories.h"
#include "stats/DSBottomLineReporterMultipleNumeric.h"
#include "stats/DSBottomLineReporterMultipleSurvival.h"
#include "stats/DSBottomLineReporterNumericNoCovariate.h"
#include "stats/DSBottomLineReporterNumericOneCovariate.h"
#include "stats/DSBottomLineReporterNumericTwoCovariates.h"
#include "stats/DSBottomLineReporterPairedDifferences.h"
#include "stats/DSBottomLineReporterRepeatedCategories.h"
#include "stats/DSBottomLineReporterRepeatedMeasures.h"
#include "stats/DSBottomLineReporterSurvivalNoCovariate.h"
#include "stats/DSBottomLineReporterSurvivalOneCovariate.h"
#include "stats/DSBottomLineReporterTimeNoCovariate.h"
#include "stats/DSBottomLineReporterTimeWithCovariate.h"

DSBottomLineReporterChain::DSBottomLineReporterChain(DSBottomLineReporterOwner *owner)
{
    m_reporters.push_back(std::make_unique<DSBottomLineReporterNumericNoCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterNumericOneCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterNumericTwoCovariates>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterMultipleNumeric>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterPairedDifferences>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterRepeatedMeasures>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterSurvivalNoCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterSurvivalOneCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterMultipleSurvival>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterCategoriesNoCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterCategoriesWithCategoryCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterCategoriesWithNumericCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterCategoriesWithTimeCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterMultipleCategories>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterRepeatedCategories>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterTimeNoCovariate>());
    m_reporters.push_back(std::make_unique<DSBottomLineReporterTimeWithCovariate>());
    for (const auto &reporter : m_reporters)
        reporter->setOwner(owner);
}

DSBottomLineReporterChain::~DSBottomLineReporterChain() = default;

DSBottomLineReporter *DSBottomLineReporterChain::reporterForColumns(const DSColumnSelection *columns,
                                                                    const DSColumnSelection *covariates) const
{
    for (const auto &reporter : m_reporters)
        if (reporter->hasResultForColumns(columns, covariates))
            return reporter.get();
    return nullptr;
}

qsizetype DSBottomLineReporterChain::positionOf(const DSBottomLineReporter *reporter) const
{
    for (size_t i = 0; i < m_reporters.size(); ++i)
        if (m_reporters[i].get() == reporter)
            return qsizetype(i) + 1;
    return 0;
}
