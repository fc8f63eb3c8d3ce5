#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class DSExplanatoryVariable;

// One possible coefficient of a model: one category of a categorical
// variable, one power of a numeric variable, one cell of an interaction, or
// the constant. A plain in-memory object, never stored: the variables make
// and own theirs (the regression makes the constant's), a fit writes into it
// one coefficient, standard error and multicollinear set number per absolute
// coefficient set and one Wald statistic per outcome index, and the views
// read it. Five flags say why it has no coefficient.
class DSRegressionEstimate
{
public:
    // Per absolute coefficient set (the outcome's offset plus its set);
    // written by the owners in place, NaN (0 for set numbers) where a write
    // skipped ahead.
    std::vector<double> coefficients;
    std::vector<double> std_errors;
    std::vector<int64_t> multicollinear_sets;
    // Per outcome index.
    std::vector<double> wald_statistics;

    bool is_omitted_due_to_lack_of_data = false;
    bool is_omitted_due_to_fixed_effects = false;
    bool is_omitted_interaction = false;
    bool is_omitted_category = false;
    bool is_omitted_constant = false;
    bool is_constant = false;

    // The owning variable, not owned; none for the constant.
    DSExplanatoryVariable *variable = nullptr;
    // Position within the variable (category, power, cell); none for an
    // indicator variable's estimate.
    std::optional<qint64> index;
    // The category value as text when the estimate stands for a category.
    QString value;
    // The display label: a category label, a column name, a power or cell
    // label, "constant".
    QString label;
    // Cells per category of an interaction's first input; 1 otherwise.
    qint64 lda = 1;
    // Position of the coefficient within one coefficient set of the fit.
    qint64 coefficient_index = 0;

    // 0 for a coefficient omitted by design; NaN for a negative set or one
    // never written; else the stored value.
    double coefficientForCoefficientSet(qint64 set) const;
    double standardErrorForCoefficientSet(qint64 set) const;
    // NaN for an index never written (negative included).
    double waldStatisticForOutcomeIndex(qint64 outcomeIndex) const;
    // 0 for a set never written (negative included).
    int64_t multiCollinearSetForCoefficientSet(qint64 set) const;

    // Any of the five omission flags.
    bool is_omitted() const;
    // Never estimated by the model's design (category, constant, interaction
    // cell), as opposed to not estimable from the data.
    bool is_omitted_by_design() const;
    // label when set, else value.
    QString longValue() const;
    // "[variable = longValue]" for a variable with categories, else label
    // when set, else the variable's name.
    QString name() const;
    // The table's stored colour of longValue, else the text's own hue.
    double hue() const;

    // Writers: element i of an array shorter than i + 1 first gets NaN (0
    // for set numbers) up to i.
    static void setElement(std::vector<double> &array, qint64 i, double value);
    static void setElement(std::vector<int64_t> &array, qint64 i, int64_t value);
    // Element i, or fallback past the end (a negative i is past the end).
    static double elementAt(const std::vector<double> &array, qint64 i, double fallback);
};
