#pragma once

#include <QList>

#include <memory>
#include <vector>

class DSBottomLineReporter;
class DSBottomLineReporterOwner;
class DSColumnSelection;

// The seventeen bottom-line reporters in their fixed order, created once by
// the bottom-line pane and kept for its life. The first reporter that
// answers for a selection gives the bottom line; the order is the contract
// (a numeric column treated as categories never reaches the numeric
// reporters, two paired columns go to the paired differences, not to the
// repeated measures).
class DSBottomLineReporterChain
{
public:
    // owner: the pane each reporter hands its Q-Q values to (may be null).
    explicit DSBottomLineReporterChain(DSBottomLineReporterOwner *owner = nullptr);
    ~DSBottomLineReporterChain();

    // The first reporter that answers for the selection, or null; owned by
    // the chain.
    DSBottomLineReporter *reporterForColumns(const DSColumnSelection *columns,
                                             const DSColumnSelection *covariates) const;
    // Position 1 to 17 of the reporter in the chain; 0 for none.
    qsizetype positionOf(const DSBottomLineReporter *reporter) const;
    const std::vector<std::unique_ptr<DSBottomLineReporter>> &reporters() const { return m_reporters; }

private:
    std::vector<std::unique_ptr<DSBottomLineReporter>> m_reporters;
};
