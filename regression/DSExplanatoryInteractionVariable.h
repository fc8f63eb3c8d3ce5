#pragma once

#include "regression/DSExplanatoryVariable.h"

class DSExplanatoryColumnVariable;

// The products of the regressors of two column variables (its inputs, in
// sortedInputs order, a categorical input second):
//   categorical x categorical (a, b categories): a x b cell dummies;
//   non-categorical x categorical (b): the first input's linear column on
//     each category's rows;
//   non-categorical x non-categorical: the product of the linear columns.
// A cell of an omitted base category leaves the fit when the other input's
// own regressors are in the model, since the cells of that base would add
// up to them. Any number of inputs but two makes the interaction empty.
class DSExplanatoryInteractionVariable : public DSExplanatoryVariable
{
public:
    QList<DSExplanatoryColumnVariable *> inputs() const;
    void setInputs(const QList<DSExplanatoryColumnVariable *> &inputs);
    // The two inputs by index, swapped when only the first has categories;
    // empty unless there are exactly two.
    QList<DSExplanatoryColumnVariable *> sortedInputs() const;
    DSExplanatoryColumnVariable *input1() const;
    DSExplanatoryColumnVariable *input2() const;

    // "input1 × input2"; none without two inputs.
    QString name() const override;

    void forceSetUpEstimates() override;

    // Regressors of inputs with a and b columns: both categorical a x b - 1,
    // less a - 1 when p is included and b - 1 when q is; only q categorical
    // a x b, less 1 when p is included; else a x b.
    static qint64 numberOfRegressorsForInput(DSExplanatoryColumnVariable *p, qint64 a, DSExplanatoryColumnVariable *q,
                                             qint64 b);
    qint64 cachedNumberOfRegressors() override;
    qint64 numberOfRegressors(bool all) override;
    // The inputs' own columns must already be in the matrix.
    qint64 addDataToMatrix(const ds_data_matrix_s &matrix, qint64 column, const int32_t *lookup) override;
    bool addDataToVector(double *out, qint64 rows) override;
    qint64 populateIndependentColumnsBuffer(int32_t *out) override;

    bool hasCategories() const override;

protected:
    void refreshOmissionFlags() override;

private:
    // Whether cell (j, k) of a block whose inputs have the given omitted
    // categories leaves the fit.
    bool isOmittedCell(qint64 j, qint64 k) const;
};
