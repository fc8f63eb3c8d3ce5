#pragma once

#include "model/DSError.h"
#include "model/DSRowMask.h"
#include "platform/store/DSManagedObject.h"
#include "regression/ds_data_matrix.h"

#include <QCborArray>
#include <QList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <vector>

class DSColumn;
class DSColumnCategory;
class DSDate;
class DSDurationFormatter;
class DSNumericColumn;
class DSNumericDataColumn;
class DSRegression;
class DSRegressionModel;
class DSTimeDataColumn;
struct VRWContext_s;
struct VRWVectorBuffer_s;

// The model codes of an outcome (which attribute counts is decided by the
// regression factory: binary_model for a binary response, category_model
// for another categorical outcome, cardinal_model otherwise).
enum DSOutcomeModel : int {
    DSOutcomeModelLinearProbability = 0,
    DSOutcomeModelLogit = 201,
    DSOutcomeModelProbit = 210,
    DSOutcomeModelMultinomialLogit = 300,
    DSOutcomeModelOrderedLogit = 400,
    DSOutcomeModelOrderedProbit = 410,
    DSOutcomeModelLinear = 0,
    DSOutcomeModelLogLinear = 10,
    DSOutcomeModelPoisson = 100,
    DSOutcomeModelGeometric = 120,
    DSOutcomeModelNegativeBinomial = 132,
    DSOutcomeModelCox = 600,
};

// One dependent variable of a regression model: the outcome column, the
// model codes, the columns that play a role for it through its column
// relations ("DSOutcomeColumnRelation": tag, is_applied, column, owner; at
// most one per tag: 0 analytic weights, 1 exposure, 2 stratification, 3
// default values, 4 cause) and its censoring settings. At run time it keeps
// its own categories, decides which table rows enter its fit (its include
// mask), writes its column of the model's data matrix and owns its vectors
// in the fitting library.
class DSOutcomeVariable : public DSManagedObject
{
public:
    using CategoryRef = std::shared_ptr<DSColumnCategory>;

    DSOutcomeVariable();
    ~DSOutcomeVariable() override;

    // Stored attributes and relationships.
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    bool is_expanded() const { return boolForKey(QStringLiteral("is_expanded")); }
    void setIs_expanded(bool on) { setPrimitiveValue(on, QStringLiteral("is_expanded")); }
    DSColumn *column() const;
    void setColumn(DSColumn *column);
    DSRegressionModel *model() const;
    void setModel(DSRegressionModel *model);
    bool treat_as_categories() const { return boolForKey(QStringLiteral("treat_as_categories")); }
    void setTreat_as_categories(bool on) { setPrimitiveValue(on, QStringLiteral("treat_as_categories")); }
    qint64 base_category() const { return integerForKey(QStringLiteral("base_category")); }
    void setBase_category(qint64 i) { setPrimitiveValue(qlonglong(i), QStringLiteral("base_category")); }
    qint64 binary_model() const { return integerForKey(QStringLiteral("binary_model")); }
    void setBinary_model(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("binary_model")); }
    qint64 category_model() const { return integerForKey(QStringLiteral("category_model")); }
    void setCategory_model(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("category_model")); }
    qint64 cardinal_model() const { return integerForKey(QStringLiteral("cardinal_model")); }
    void setCardinal_model(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("cardinal_model")); }
    QCborArray ordered_values() const { return propertyListForKey(QStringLiteral("ordered_values")).toArray(); }
    void setOrdered_values(const QCborArray &values);
    bool default_is_censored() const { return boolForKey(QStringLiteral("default_is_censored")); }
    void setDefault_is_censored(bool on) { setPrimitiveValue(on, QStringLiteral("default_is_censored")); }
    bool apply_right_censoring() const { return boolForKey(QStringLiteral("apply_right_censoring")); }
    void setApply_right_censoring(bool on) { setPrimitiveValue(on, QStringLiteral("apply_right_censoring")); }
    qint64 right_censoring_predicate_type() const { return integerForKey(QStringLiteral("right_censoring_predicate_type")); }
    void setRight_censoring_predicate_type(qint64 type)
    {
        setPrimitiveValue(qlonglong(type), QStringLiteral("right_censoring_predicate_type"));
    }
    DSObjectList sortedCensoringConditions() const;

    // Roles. A getter answers NO or none without a relation of its tag; a
    // setter first inserts the relation (is_applied YES for the exposure, NO
    // for the others). An entity model without column relations gives an
    // outcome no roles: the getters answer none and the setters do nothing.
    bool apply_weights() const { return isApplied(0); }
    void setApply_weights(bool on) { setApplied(0, on); }
    DSNumericColumn *weight_column() const;
    void setWeight_column(DSNumericColumn *column);
    bool apply_exposure() const { return isApplied(1); }
    void setApply_exposure(bool on) { setApplied(1, on); }
    DSNumericColumn *exposure_column() const;
    void setExposure_column(DSNumericColumn *column);
    bool apply_stratification() const { return isApplied(2); }
    void setApply_stratification(bool on) { setApplied(2, on); }
    DSColumn *stratification_column() const { return roleColumn(2); }
    void setStratification_column(DSColumn *column) { setRoleColumn(2, column); }
    bool apply_default() const { return isApplied(3); }
    void setApply_default(bool on) { setApplied(3, on); }
    DSColumn *default_column() const { return roleColumn(3); }
    void setDefault_column(DSColumn *column) { setRoleColumn(3, column); }
    bool apply_cause() const { return isApplied(4); }
    void setApply_cause(bool on) { setApplied(4, on); }
    DSColumn *cause_column() const { return roleColumn(4); }
    void setCause_column(DSColumn *column) { setRoleColumn(4, column); }
    DSManagedObject *columnRelationWithTag(qint64 tag) const;
    // The relation, inserted when there is none; null without relations in
    // the entity model.
    DSManagedObject *fetchOrInsertColumnRelationWithTag(qint64 tag);

    // Questions (categorical: treat_as_categories YES).
    QString name() const;
    bool is_binary_response() const;
    // The model code the regression factory goes by: binary_model for a
    // binary response, category_model for another categorical outcome,
    // cardinal_model otherwise.
    qint64 selectedModelCode() const;
    bool hasOptionalWeights() const;
    bool doWeight() const;
    bool hasOptionalExposure() const;
    bool doExpose() const;
    bool doCensor() const;
    bool doStratify() const;
    bool doCause() const;
    bool hasMultipleCoefficientSets() const;
    bool hasMultiplePredictionSets() const;
    bool hasPredictionDistribution() const;
    // How the pictures test a coefficient (DSCoefficientDistribution): the
    // regression class's t or normal code, plus 16 while odds ratios are
    // shown. The class is the last fit's, else the one the model codes
    // select; 0 when they select none.
    int64_t coefficientDistribution() const;
    // The model's odds-ratio display, when the regression class can show
    // its coefficients as odds ratios.
    bool displayOddsRatios() const;
    // "coefficient", or the class's odds-ratio figure name ("odds ratio",
    // "hazard ratio") while odds ratios are shown.
    QString coefficientFigureName() const;

    // Own categories: the column's non-missing categories with rows, those
    // named in ordered_values first in that order, the rest in summary
    // order.
    void updateCategories();
    void copyCategories(const QList<CategoryRef> &categories, std::shared_ptr<const DSDurationFormatter> formatter);
    const QList<CategoryRef> &categories() const { return m_categories; }
    qint64 category_count() const { return m_categoryCount; }
    // The column-category index of each own category.
    const std::vector<double> &category_lookup() const { return m_categoryLookup; }
    CategoryRef categoryAtIndex(qint64 i) const;
    CategoryRef baseCategory() const;
    CategoryRef nonBaseCategory() const;
    const CategoryRef &active_category() const { return m_activeCategory; }
    void setActive_category(CategoryRef category) { m_activeCategory = std::move(category); }

    // Coefficient sets in the model's numbering.
    qint64 coefficient_offset() const { return m_coefficientOffset; }
    void setCoefficient_offset(qint64 offset) { m_coefficientOffset = offset; }
    qint64 coefficientSetForCategoryIndex(qint64 i) const { return m_coefficientOffset + i; }
    qint64 active_coefficient_set() const;
    qint64 temp_number_of_restrictions() const;

    // The include masks: one bit per table row, set for a row that enters
    // the fit (model mask) or can be predicted (prediction mask, which keeps
    // rows whose outcome is missing). Both point *out at the outcome's one
    // mask buffer, overwritten by the next call of either, and answer its
    // length in bytes.
    qint64 getModelMask(const uint8_t **out, const uint8_t *mask, qint64 length);
    qint64 getPredictionMask(const uint8_t **out, const uint8_t *mask, qint64 length);
    // The model mask under the table mask (null: every row) as a snapshot
    // of its own, which no later call overwrites.
    DSRowMaskRef modelMask(const DSRowMaskRef &tableMask);

    // Writes the outcome's matrix column from column `column` on, rows in
    // lookup order; answers how many coefficient sets it takes (1 for
    // indicator, numeric and time outcomes, the index bins less 1 for
    // categorical ones, 0 for columns it cannot use, which write nothing).
    // A missing numeric or time value comes from the applied default column,
    // else is 0.0. Times are written in days (hours for a time-of-day column)
    // since 2001-01-01 (midnight), and the scale is kept for the readers.
    qint64 addDataToMatrix(const ds_data_matrix_s &matrix, qint64 column, const int32_t *lookup);
    // A time outcome's unit in seconds (86400, 3600 for times of day) and the
    // start of the day (hour) of its earliest time in that unit, as of the
    // last matrix write; 1 and 0 until a time outcome is written.
    double temp_time_divisor() const { return m_timeDivisor; }
    double temp_reference_date() const { return m_referenceDate; }
    const ds_column_range_s &temp_matrix_col_range() const { return m_matrixColumns; }
    void setTemp_matrix_col_range(const ds_column_range_s &range) { m_matrixColumns = range; }

    // The per-outcome vectors in lookup order (panel form when panelCount is
    // not 0): each rebuild unloads all five first and loads those the
    // outcome needs; the first failure unloads them again and is returned,
    // leaving them marked for reload. 0 on success.
    int32_t rebuildBuffersWithPanelSizes(const int32_t *panelSizes, qint64 panelCount, const int32_t *lookup,
                                         VRWContext_s *context);
    // Releases the five vectors and marks them for reload.
    void unloadBuffers();
    bool secondary_buffers_need_reload() const { return m_buffersNeedReload; }
    VRWVectorBuffer_s *exposure_buf() const { return m_exposure; }
    VRWVectorBuffer_s *weight_buf() const { return m_weights; }
    VRWVectorBuffer_s *censoring_buf() const { return m_censoring; }
    VRWVectorBuffer_s *stratum_buf() const { return m_strata; }
    VRWVectorBuffer_s *cause_buf() const { return m_causes; }
    qint64 temp_cause_count() const { return m_causeCount; }
    qint64 temp_stratum_max_count() const { return m_stratumCount; }
    // The last fit; none before the first.
    DSRegression *temp_regression() const { return m_regression.get(); }

    // The fit of this outcome on the model's data matrix (built when there
    // is none) by a fresh regression of the class its model codes select,
    // kept as temp_regression: the regression's code, with its error in
    // *error when it gives one. Codes that select no class, or no context,
    // fit nothing and answer 0.
    int64_t runRegressionWithFrequencyWeights(VRWVectorBuffer_s *weights, VRWContext_s *context,
                                              std::optional<DSError> *error);

    // Results of the last fit (DSOutcomeVariableResults.cpp). The column
    // makers insert stored columns into the outcome's context, one value a
    // table row (rows outside the mask, or all without one, empty), and save
    // them; adding them to a table is the caller's. A date column takes each
    // value times temp_time_divisor floored to its day, a time-of-day column
    // floored to its second and kept below 24:00.
    DSNumericDataColumn *insertNumericColumnFromBuffer(const double *values, qint64 rows, const uint8_t *mask,
                                                       qint64 length);
    DSTimeDataColumn *insertDateColumnFromBuffer(const double *values, qint64 rows, const uint8_t *mask,
                                                 qint64 length);
    DSTimeDataColumn *insertTimeOfDayColumnFromBuffer(const double *values, qint64 rows, const uint8_t *mask,
                                                      qint64 length);
    // Rows outside the model mask (residuals) or the prediction mask
    // (predicted values) are NaN; nothing is made without a successful fit.
    // Predicted values of a time outcome are times of its kind, of a numeric
    // one numbers in its format.
    QList<DSNumericDataColumn *> insertColumnsFromResidualsForMask(const uint8_t *mask, qint64 length);
    QList<DSColumn *> insertColumnsFromPredictedValuesForMask(const uint8_t *mask, qint64 length);
    // Rows of values: [outcome name, "constant", coefficient, standard error,
    // z, p] (exponentiated under distribution bit 16); the negative
    // binomial's dispersion row; a Cox fit's header row and then one row
    // [t, H(t), exp(-exp(x) H(t))] per failure time of the stratum and cause,
    // t a DSDate for a time outcome (its minute, or its day).
    QList<QVariantList> constantInfoForCoefficientSet(qint64 set, const QString &outcomeName, qint64 distribution,
                                                      qint64 df) const;
    QList<QVariantList> nuisanceInfoForCoefficientSet(qint64 set, const QString &outcomeName, qint64 distribution,
                                                      qint64 df) const;
    QList<QVariantList> predictionDistributionInfoForFittedValue(double x, qint64 stratum, qint64 cause) const;

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    // Frees the mask, the categories and the vectors.
    void didTurnIntoFault() override;
    // Unloads the vectors, leaves the model's order and relationship; the
    // model stops selecting it.
    void prepareForDeletion() override;
    // The outcome, then its column relations and censoring conditions.
    DSObjectList managedObjectDependencies() override;

private:
    DSColumn *insertPredictedColumn(const double *values, qint64 rows, const uint8_t *mask, qint64 length);
    // A failure time in model units as the time it stands for.
    DSDate failureDate(double t, bool timeOfDay) const;
    DSColumn *roleColumn(qint64 tag) const;
    void setRoleColumn(qint64 tag, DSColumn *column);
    bool isApplied(qint64 tag) const;
    void setApplied(qint64 tag, bool on);
    qint64 getRemainingMask(const uint8_t **out, bool includingSelf, const uint8_t *mask, qint64 length);
    // A text value makes a text category at i, a number a numeric one;
    // any other value changes nothing.
    void setCategoryValue(const QVariant &value, const QString &label,
                          std::shared_ptr<const DSDurationFormatter> formatter, qint64 count, qint64 i);
    // Writes the values of a numeric or time outcome divided by divisor, a
    // missing row's from the applied default column, NaN as 0.0; answers the
    // least value written before the division, over the rows that hold one
    // (NaN when none does): the rows written as 0.0 only stand in for
    // values the fit never sees, so they must not move a time origin.
    double writeCardinalColumn(double *to, qint64 rows, const int32_t *lookup, double divisor);
    int32_t rebuildVectors(const int32_t *panelSizes, qint64 panelCount, const int32_t *lookup,
                           VRWContext_s *context);
    // 1 for each of rows (table rows in lookup order) that the applied
    // censoring conditions or the censoring default mark as censored, else 0.
    std::vector<int32_t> censoredInLookupOrder(const int32_t *lookup, qint64 rows) const;

    QList<CategoryRef> m_categories;
    qint64 m_categoryCount = 0;
    std::vector<double> m_categoryLookup;
    CategoryRef m_activeCategory;
    qint64 m_coefficientOffset = 0;
    std::vector<uint8_t> m_includeMask;
    ds_column_range_s m_matrixColumns;
    VRWVectorBuffer_s *m_exposure = nullptr;
    VRWVectorBuffer_s *m_weights = nullptr;
    VRWVectorBuffer_s *m_censoring = nullptr;
    VRWVectorBuffer_s *m_strata = nullptr;
    VRWVectorBuffer_s *m_causes = nullptr;
    bool m_buffersNeedReload = true;
    qint64 m_causeCount = 1;
    qint64 m_stratumCount = 1;
    double m_timeDivisor = 1;
    double m_referenceDate = 0;
    std::unique_ptr<DSRegression> m_regression;
};
