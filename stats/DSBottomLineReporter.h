#pragma once

#include "model/DSColumnSelection.h"
#include "model/util/ds_stats.h"
#include "stats/DSAttributedString.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DSColumn;
class DSNumericColumn;
class DSStatisticalTest;
class DSTable;
class DSBottomLineReporterOwner;

// One link of the bottom-line chain: decides whether it answers for a
// selection of columns and covariates, runs the test that fits, phrases the
// result as one sentence and a short label, and writes the R, SAS, SPSS and
// Stata commands that reproduce it. The base answers for nothing and has no
// command; its sentence and label serve most reporters.
//
// Selections are read only; a null covariate selection counts as empty.
// "Nothing" is a null QString or an empty optional. Main thread only.
class DSBottomLineReporter
{
public:
    using Result = std::shared_ptr<const DSStatisticalTest>;

    // Syntax codes, shared with the estimation-command window.
    static constexpr qint64 syntaxR = 1;
    static constexpr qint64 syntaxSAS = 2;
    static constexpr qint64 syntaxSPSS = 3;
    static constexpr qint64 syntaxStata = 4;

    virtual ~DSBottomLineReporter() = default;

    // Whether this reporter answers for the selection. Base: no.
    virtual bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates);
    // The test of the rows the mask admits (the mask is only read), shared
    // with the caller; none when no test applies. Base: none.
    virtual Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                                    const uint8_t *mask, qint64 length);

    static DSTextAttributes standardAttributes() { return {false}; }
    static DSTextAttributes italicAttributes() { return {true}; }

    // Appends the phrase naming a covariate with its selected categories.
    void appendStringForCovariate(DSColumn *covariate, const DSColumnSelection::Categories &categories,
                                  bool useGroupName, DSAttributedString *string) const;
    // Appends "<first> and <second>" (names in italics) for two columns,
    // "the <n> selected columns" for more, nothing for fewer.
    static void appendStringForColumns(const DSColumnSelection *columns, DSAttributedString *string);
    // The sentence of the result at the significance level (1 minus the
    // table's confidence level); nothing for no result or a NaN p-value.
    virtual std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result,
                                                                        double significance,
                                                                        const DSColumnSelection *columns,
                                                                        const DSColumnSelection *covariates);
    // The short label of the result; nothing for no result or a NaN p-value.
    virtual QString shortStringForResult(const DSStatisticalTest *result, double significance,
                                         const DSColumnSelection *columns);
    // The lines that recode a numeric covariate into the groups of its
    // covariate partition as the variable named variable, in the syntax;
    // nothing for a covariate treated as categories, one that is not
    // numeric, or a partition without cut-offs.
    virtual QString commandForRecodingCovariate(DSColumn *covariate, const QString &variable, qint64 syntax);

    // The command that reproduces the result in each package; base: nothing.
    virtual QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                                const DSColumnSelection *covariates);
    virtual QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                                   const DSColumnSelection *covariates);
    virtual QString StataEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                                    const DSColumnSelection *covariates);
    virtual QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                                  const DSColumnSelection *covariates);
    // The command of the syntax code (1 R, 2 SAS, 3 SPSS, 4 Stata); nothing
    // for any other code.
    QString estimationCommandForResult(qint64 syntax, const DSStatisticalTest *result, const DSColumnSelection *columns,
                                       const DSColumnSelection *covariates);

    // The pane that created the reporter; not owned.
    DSBottomLineReporterOwner *owner() const { return m_owner; }
    void setOwner(DSBottomLineReporterOwner *owner) { m_owner = owner; }

protected:
    static qsizetype countOf(const DSColumnSelection *selection) { return selection ? selection->count() : 0; }
    // The table of the first selected column, or null.
    static DSTable *tableOf(const DSColumnSelection *columns);
    // A table flag or setting of the first column's table; NO or 0 without.
    static bool tableFlag(const DSColumnSelection *columns, const char *key);
    static qint64 tableSetting(const DSColumnSelection *columns, const char *key);
    // Whether every selected column (one at least) is numeric and neither
    // treated as categories nor as survival times.
    static bool allPlainNumeric(const DSColumnSelection *columns);
    // Whether the selected columns are treated as categories or are
    // indicator columns.
    static bool isCategoryColumn(const DSColumnSelection *columns)
    {
        return columns->allCategories() || columns->allIndicator();
    }
    // The selected numeric columns in order.
    static QList<DSNumericColumn *> numericColumns(const DSColumnSelection *columns);

    // Command helpers. A number in its shortest text that reads back the
    // same; the weights column's name when the table is frequency-weighted,
    // else a null text.
    static QString number(double x);
    // form (Latin-1) with each %1 to %9 replaced by that argument in one
    // pass (a name holding "%2" stays as it is); placeholders beyond the
    // arguments become empty, arguments without a placeholder are unused.
    static QString fill(const char *form, const QStringList &arguments);
    static QString weightsName(const DSColumnSelection *columns);
    // SPSS: the weight line, then body; nothing for a null body. Stata: body and the weight clause;
    // nothing for a null body. SAS: body, the weight line ("weight" for
    // procedure FREQ, else "freq") and "run;"; nothing for a null body.
    // R: body alone, or on a frequency-weighted table body evaluated among
    // the columns of df with each row repeated by its weight (R's tests
    // take no frequency weights; the repeated rows are what the weights
    // stand for); nothing for a null body.
    static QString rCommand(const DSColumnSelection *columns, const QString &body);
    static QString spssCommand(const DSColumnSelection *columns, const QString &body);
    static QString stataCommand(const DSColumnSelection *columns, const QString &body);
    static QString sasCommand(const DSColumnSelection *columns, const QString &body, bool procedureFreq = false);
    // The name a command groups by: "<name>_r" when the covariate needs a
    // recoding in that syntax (its text then appended to *text), else the
    // covariate's own name.
    QString groupingVariable(DSColumn *covariate, qint64 syntax, QString *text);

    // Hands sorted values with their weights (count entries) to the owner
    // for the Q-Q picture, when there is one.
    void showQuantiles(const double *values, const int32_t *weights, qint64 count) const;
    // The normality test of sorted values with their weights: Shapiro-Wilk
    // up to 5,000 observations, beyond them Kolmogorov-Smirnov against the
    // normal of the mean and unbiased standard deviation that moments()
    // answers (*mean and *sd are then written). Observations are counted by
    // weight, so many tied values are not cut off by their distinct count.
    static Result normalityResult(const double *values, const int32_t *weights, qint64 count,
                                  const std::function<ds_stats_s()> &moments, double *mean, double *sd);
    // Wilcoxon's signed-rank test of the first two selected columns in
    // selection order, with the ties and zero differences its p-value needs.
    static Result signedRankResult(const DSColumnSelection *columns, const uint8_t *mask, qint64 length);
    // R's paired signed-rank test of first and second; where our test uses
    // the normal approximation R is told to as well (it would stay exact up
    // to 49 differences, ours up to 39).
    static QString signedRankRCommand(const DSStatisticalTest *result, const QString &first, const QString &second);
    // The observations the weights stand for (one an entry without weights).
    static qint64 observationCount(const int32_t *weights, qint64 count);

private:
    DSBottomLineReporterOwner *m_owner = nullptr;
};
