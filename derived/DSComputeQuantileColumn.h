#pragma once

#include "derived/DSComputedColumn.h"

#include <QCborMap>

#include <array>

// The quantile group (1 for the lowest values to k for the highest) of each
// row of its input (slot 0), k = quantile_count from 1 to 199: the group
// g + 1 of the largest g with cut-off g <= x, the cut-offs being minus
// infinity, the values at the weighted ranks floor(i W / k) (i = 1 ... k - 1,
// ranks from 0, each row counted as often as its frequency weight) of the
// input's non-missing rows, and plus infinity. A value on a cut-off belongs
// to the higher group; equal cut-offs leave the groups between them empty.
// A missing input row gives NaN (and is missing through the input's mask).
//
// The cut-offs always come from the whole input. They are kept until the
// column is purged (an edit of the input or of quantile_count reaches it
// through recursivePurge), or until the input, the table's weights or the
// row count change, so a request for a few rows costs only those rows.
class DSComputeQuantileColumn : public DSComputedColumn
{
public:
    // k, the number of groups; another value gives no values.
    qint64 quantile_count() const { return integerForKey(QStringLiteral("quantile_count")); }
    void setQuantile_count(qint64 k) { setPrimitiveValue(qlonglong(k), QStringLiteral("quantile_count")); }

    // The name of k groups ("quartile", "decile", ...) or a null text.
    static QString quantileNameForCount(qint64 k);
    QString quantile_name() const { return quantileNameForCount(quantile_count()); }
    // "quartile(x)", or "quantile(x, 11)" for a k without a name.
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return true; }
    // One label a group, keyed by the group number: "Bottom decile", "2nd
    // decile" ... "Top decile"; for a k without a name "Bottom of 11", "2nd
    // of 11" ... "Top of 11". With k = 1 the only label is "Bottom ...".
    static QCborMap categoryLabelsForCount(qint64 k);
    // Replaces category_labels by categoryLabelsForCount(quantile_count).
    void generateCategoryLabels();

    // Computes the cut-offs of the whole input into quantile_cutoffs; NO
    // (the cut-offs unset) without a numeric input or without its values,
    // for a k outside 1 to 199, or when memory runs out.
    bool setupQuantileValues();
    // The k + 1 cut-offs of the last set-up.
    const double *quantile_cutoffs() const { return m_cutoffs.data(); }

    void purgeIndex() override;
    void didTurnIntoFault() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("quantile_count")}; }

private:
    // What the cut-offs were computed from.
    struct CutoffSource
    {
        const DSColumn *input = nullptr;
        quint64 inputVersion = 0;
        const DSColumn *weights = nullptr;
        quint64 weightsVersion = 0;
        qint64 k = 0;
        qint64 rows = 0;
        bool operator==(const CutoffSource &) const = default;
    };
    CutoffSource currentSource() const;

    std::array<double, 200> m_cutoffs{};
    bool m_cutoffsValid = false;
    CutoffSource m_cutoffSource;
    DSColumnBuffer<int32_t> temp_weights;
};
