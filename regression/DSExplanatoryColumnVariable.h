#pragma once

#include "regression/DSExplanatoryVariable.h"

#include <QStringList>

class DSColumn;
class DSExplanatoryInteractionVariable;

// The regressors made from one column, by the column's kind (decided in
// this order):
//   indicator    one column, 1.0 where the value bit is set;
//   categorical  one dummy per entry of the column's index, the omitted
//                category included; all but omitted_category enter a fit;
//   numeric      the value (non-finite as 0.0), then its powers 2 to
//                higher_order_terms + 1;
//   time         as numeric, on the time in days (hours for a time-of-day
//                column) since the start of the day (hour) of the earliest
//                time, so that the powers stay well scaled;
//   other        (a text column not treated as categories) nothing.
// A time column is never categorical, whatever treat_as_categories holds.
class DSExplanatoryColumnVariable : public DSExplanatoryVariable
{
public:
    enum class Kind { Indicator, Categorical, Numeric, Time, Other };

    DSColumn *column() const;
    void setColumn(DSColumn *column);
    bool treat_as_categories() const { return boolForKey(QStringLiteral("treat_as_categories")); }
    void setTreat_as_categories(bool on) { setPrimitiveValue(on, QStringLiteral("treat_as_categories")); }
    qint64 omitted_category() const { return integerForKey(QStringLiteral("omitted_category")); }
    void setOmitted_category(qint64 i) { setPrimitiveValue(qlonglong(i), QStringLiteral("omitted_category")); }
    qint64 higher_order_terms() const { return integerForKey(QStringLiteral("higher_order_terms")); }
    void setHigher_order_terms(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("higher_order_terms")); }
    // Interactions that use this variable as an input.
    QList<DSExplanatoryInteractionVariable *> outputs() const;

    Kind kind() const;

    // The column's name and long name.
    QString name() const override;
    QString longName() const override;

    // The kind's estimates, then every interaction that uses this variable
    // rebuilds its own.
    void forceSetUpEstimates() override;
    // One new estimate per entry of the column's index ("%g" of a number, a
    // text itself, "Missing" for NaN or the blank texts), marked when it is
    // the omitted category,
    // labelled from category_labels; omitted_category past the index
    // becomes 0 first. None for other kinds of column.
    std::vector<EstimateRef> estimatesForCategoryColumn(DSColumn *column);
    // The texts of a numeric or text column's index entries ("Missing" for
    // the missing entry) and, for each, the label stored for it (a null text
    // without); none for other kinds.
    static QStringList categoryValueTexts(DSColumn *column, QStringList *labels);

    qint64 cachedNumberOfRegressors() override;
    qint64 numberOfRegressors(bool all) override;
    qint64 addDataToMatrix(const ds_data_matrix_s &matrix, qint64 column, const int32_t *lookup) override;
    bool addDataToVector(double *out, qint64 rows) override;
    qint64 populateIndependentColumnsBuffer(int32_t *out) override;

    bool hasCategories() const override;
    bool hasHigherOrderTerms() const override;
    qint64 numberOfHigherOrderTerms() const override;
    bool isIncludedAsFixedEffects() const override;
    bool hasOnlyOneMeaningfulEstimate() override { return number_of_estimates() == 2; }

protected:
    void refreshOmissionFlags() override;
};
