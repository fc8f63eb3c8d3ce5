#pragma once

#include <QtGlobal>

#include <cstdint>

// What a bottom-line reporter asks of the pane that owns it: the sorted
// values of a normality check, for the Q-Q picture.
class DSBottomLineReporterOwner
{
public:
    virtual ~DSBottomLineReporterOwner() = default;
    // values ascending with their frequency weights, count entries; the
    // arrays belong to the caller and are valid only during the call.
    virtual void setQQPlotQuantiles(const double *values, const int32_t *weights, qint64 count) = 0;
};
