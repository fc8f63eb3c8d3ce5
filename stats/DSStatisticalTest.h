#pragma once

#include <QString>

#include <cstdint>

// The result of one hypothesis test: a statistic with its degrees of freedom
// or count, and everything the application asks about it (names, p-value,
// significance, critical value, the density of its reference distribution,
// and the phrases of the one-sentence conclusion "prefix + tested column +
// infix + grouping columns + suffix").
//
// A test object is immutable once constructed, so one object may be shared
// by the bottom-line pane, the test picture and the command window (hold it
// by std::shared_ptr<const DSStatisticalTest>). Levels are significance
// levels such as 0.05. Texts that do not apply are null QStrings.
class DSStatisticalTest {
public:
    virtual ~DSStatisticalTest();
    DSStatisticalTest(const DSStatisticalTest &) = delete;
    DSStatisticalTest &operator=(const DSStatisticalTest &) = delete;

    // "<short name> Test".
    virtual QString name() const;
    virtual QString shortName() const;
    virtual QString statisticName() const;
    // statisticName() by default.
    virtual QString shortStatisticName() const;
    virtual double statisticValue() const;
    // The value beyond which statisticValue() is significant at level.
    virtual double criticalValueAtLevel(double level) const;
    virtual double p_value() const;
    // True exactly when level > p_value(): a p-value equal to the level, or
    // NaN, is not significant.
    bool isSignificantAtLevel(double level) const;
    // The height the test picture scales its curve to: by default the
    // largest density at 200 points between the critical values at levels
    // 0.9 and 0.1; NaN when either is NaN.
    virtual double pdfAtMaximum() const;
    // Density of the reference distribution of statisticValue() at x.
    virtual double pdfAtValue(double x) const;
    // Whether a significant result of this kind may be presented as obvious.
    virtual bool canBeObvious() const;
    virtual QString explanationPrefix(bool significant) const;
    virtual QString explanationInfix(bool significant) const;
    virtual QString explanationSuffix(bool significant) const;
    // A short label of the conclusion; decides significance itself.
    virtual QString shortExplanationAtLevel(double level) const;

protected:
    DSStatisticalTest() = default;

    // sqrt(2 / pi) exp(-x^2 / 2): the density of |Z|, the scale of the
    // two-sided normal statistics.
    static double halfNormalDensity(double x);
    static constexpr double halfNormalPeak = 0.7978845608028654;
    // text with its first letter in upper case.
    static QString capitalised(const QString &text);
    // The infix of the tests that compare groups: " varies across " or
    // " does not vary across ".
    static QString variesAcross(bool significant);
};
