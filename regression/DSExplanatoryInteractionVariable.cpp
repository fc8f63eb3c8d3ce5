#include "regression/DSExplanatoryInteractionVariable.h"

#include "model/DSColumn.h"
#include "regression/DSExplanatoryColumnVariable.h"

#include <cstring>

namespace {

const QString k_inputs = QStringLiteral("inputs");

// A categorical input's bins: per table row its index entry and the entry
// count.
struct InputBins
{
    const int32_t *bins = nullptr;
    qint64 count = 0;
    qint64 entries = 0;

    explicit InputBins(DSExplanatoryColumnVariable *input)
    {
        if (DSColumn *column = input->column())
            count = column->getIndexedValues(&bins, &entries);
    }
    // The entry of table row r; rows past the index fall in the last entry.
    qint64 at(int32_t r) const { return r < count ? bins[r] : entries - 1; }
};

// The input's linear matrix column, or null when it wrote none.
const double *linearColumn(const ds_data_matrix_s &matrix, const DSExplanatoryColumnVariable *input)
{
    const ds_column_range_s range = input->temp_matrix_col_range();
    return range.length > 0 ? matrix.column(range.location) : nullptr;
}

} // namespace

QList<DSExplanatoryColumnVariable *> DSExplanatoryInteractionVariable::inputs() const
{
    return ds_objects_cast<DSExplanatoryColumnVariable>(objectsForKey(k_inputs));
}

void DSExplanatoryInteractionVariable::setInputs(const QList<DSExplanatoryColumnVariable *> &inputs)
{
    DSObjectList objects;
    for (DSExplanatoryColumnVariable *input : inputs)
        objects.append(input);
    setObjects(objects, k_inputs);
}

QList<DSExplanatoryColumnVariable *> DSExplanatoryInteractionVariable::sortedInputs() const
{
    QList<DSExplanatoryColumnVariable *> sorted = inputs();
    if (sorted.size() != 2)
        return {};
    if (sorted[1]->index() < sorted[0]->index())
        sorted.swapItemsAt(0, 1);
    if (sorted[0]->hasCategories() && !sorted[1]->hasCategories())
        sorted.swapItemsAt(0, 1);
    return sorted;
}

DSExplanatoryColumnVariable *DSExplanatoryInteractionVariable::input1() const
{
    const auto sorted = sortedInputs();
    return sorted.isEmpty() ? nullptr : sorted[0];
}

DSExplanatoryColumnVariable *DSExplanatoryInteractionVariable::input2() const
{
    const auto sorted = sortedInputs();
    return sorted.isEmpty() ? nullptr : sorted[1];
}

QString DSExplanatoryInteractionVariable::name() const
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return QString();
    return QStringLiteral("%1 × %2").arg(sorted[0]->name(), sorted[1]->name());
}

bool DSExplanatoryInteractionVariable::hasCategories() const
{
    const auto sorted = sortedInputs();
    return !sorted.isEmpty() && (sorted[0]->hasCategories() || sorted[1]->hasCategories());
}

void DSExplanatoryInteractionVariable::forceSetUpEstimates()
{
    DSExplanatoryVariable::forceSetUpEstimates();
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return;
    std::vector<EstimateRef> lists[2];
    for (int p = 0; p < 2; ++p) {
        DSExplanatoryColumnVariable *input = sorted[p];
        if (input->hasCategories())
            lists[p] = input->estimatesForCategoryColumn(input->column());
        else
            lists[p].push_back(makeEstimate(0, input->name()));
    }
    const bool firstCategorical = sorted[0]->hasCategories();
    const bool secondCategorical = sorted[1]->hasCategories();
    const qint64 lda = qint64(lists[1].size());
    std::vector<EstimateRef> estimates;
    for (size_t i = 0; i < lists[0].size(); ++i)
        for (size_t j = 0; j < lists[1].size(); ++j) {
            QString label;
            if (firstCategorical && secondCategorical)
                label = QStringLiteral("(%1, %2)").arg(lists[0][i]->longValue(), lists[1][j]->longValue());
            else if (secondCategorical)
                label = QStringLiteral("%1 × %2").arg(sorted[0]->name(), lists[1][j]->longValue());
            else
                label = name();
            EstimateRef e = makeEstimate(qint64(i) * lda + qint64(j), label);
            e->lda = lda;
            estimates.push_back(std::move(e));
        }
    setEstimates(std::move(estimates));
}

bool DSExplanatoryInteractionVariable::isOmittedCell(qint64 j, qint64 k) const
{
    const auto sorted = sortedInputs();
    const bool a1 = sorted[0]->hasCategories() && j == sorted[0]->omitted_category();
    const bool a2 = sorted[1]->hasCategories() && k == sorted[1]->omitted_category();
    return (a1 && a2) || (a1 && sorted[1]->is_included()) || (a2 && sorted[0]->is_included());
}

void DSExplanatoryInteractionVariable::refreshOmissionFlags()
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return;
    const bool both = sorted[0]->hasCategories() && sorted[1]->hasCategories();
    const bool second = sorted[1]->hasCategories();
    for (const EstimateRef &e : madeEstimates()) {
        const qint64 index = e->index.value_or(0);
        const qint64 j = both ? index / e->lda : 0;
        const qint64 k = both ? index % e->lda : second ? index : 0;
        e->is_omitted_interaction = isOmittedCell(j, k);
    }
}

qint64 DSExplanatoryInteractionVariable::numberOfRegressorsForInput(DSExplanatoryColumnVariable *p, qint64 a,
                                                                    DSExplanatoryColumnVariable *q, qint64 b)
{
    if (p->hasCategories() && q->hasCategories())
        return a * b - 1 - (p->is_included() ? a - 1 : 0) - (q->is_included() ? b - 1 : 0);
    if (q->hasCategories())
        return a * b - (p->is_included() ? 1 : 0);
    return a * b;
}

qint64 DSExplanatoryInteractionVariable::cachedNumberOfRegressors()
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return 0;
    auto width = [](DSExplanatoryColumnVariable *input) {
        return input->hasCategories() ? input->temp_matrix_col_range().length : qint64(1);
    };
    return numberOfRegressorsForInput(sorted[0], width(sorted[0]), sorted[1], width(sorted[1]));
}

qint64 DSExplanatoryInteractionVariable::numberOfRegressors(bool all)
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return 0;
    auto width = [](DSExplanatoryColumnVariable *input) {
        return input->hasCategories() ? input->column()->numberOfUniqueValues() : qint64(1);
    };
    const qint64 a = width(sorted[0]), b = width(sorted[1]);
    return all ? a * b : numberOfRegressorsForInput(sorted[0], a, sorted[1], b);
}

qint64 DSExplanatoryInteractionVariable::addDataToMatrix(const ds_data_matrix_s &matrix, qint64 first,
                                                         const int32_t *lookup)
{
    forceSetUpEstimates();
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return 0;
    if (sorted[0]->hasCategories()) {
        const InputBins b1(sorted[0]), b2(sorted[1]);
        const qint64 a = b1.entries, b = b2.entries;
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (qint64 c = 0; c < a * b; ++c)
                std::memset(matrix.column(first + c) + begin, 0, size_t(end - begin) * sizeof(double));
            for (int64_t i = begin; i < end; ++i) {
                const qint64 j = b1.at(lookup[i]), k = b2.at(lookup[i]);
                if (j >= 0 && j < a && k >= 0 && k < b)
                    matrix.column(first + j * b + k)[i] = 1.0;
            }
        });
        return a * b;
    }
    const double *x = linearColumn(matrix, sorted[0]);
    if (sorted[1]->hasCategories()) {
        const InputBins b2(sorted[1]);
        const qint64 b = b2.entries;
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (qint64 c = 0; c < b; ++c)
                std::memset(matrix.column(first + c) + begin, 0, size_t(end - begin) * sizeof(double));
            for (int64_t i = begin; i < end; ++i) {
                const qint64 k = b2.at(lookup[i]);
                if (x && k >= 0 && k < b)
                    matrix.column(first + k)[i] = x[i];
            }
        });
        return b;
    }
    const double *y = linearColumn(matrix, sorted[1]);
    double *to = matrix.column(first);
    ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i)
            to[i] = x && y ? x[i] * y[i] : 0.0;
    });
    return 1;
}

bool DSExplanatoryInteractionVariable::addDataToVector(double *out, qint64 rows)
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return false;
    const bool c1 = sorted[0]->hasCategories(), c2 = sorted[1]->hasCategories();
    if (c1 && c2) {
        const InputBins b1(sorted[0]), b2(sorted[1]);
        for (qint64 r = 0; r < rows; ++r)
            out[r] = double(b1.at(int32_t(r)) * b2.entries + b2.at(int32_t(r)));
        return true;
    }
    if (c1 || c2)
        return false;
    std::vector<double> values(size_t(rows > 0 ? rows : 0));
    for (qint64 r = 0; r < rows; ++r)
        out[r] = 1.0;
    for (DSExplanatoryColumnVariable *input : sorted) {
        if (!input->addDataToVector(values.data(), rows))
            return false;
        for (qint64 r = 0; r < rows; ++r)
            out[r] *= values[size_t(r)];
    }
    return true;
}

qint64 DSExplanatoryInteractionVariable::populateIndependentColumnsBuffer(int32_t *out)
{
    const auto sorted = sortedInputs();
    if (sorted.isEmpty())
        return 0;
    const qint64 start = temp_matrix_col_range().location;
    const bool both = sorted[0]->hasCategories() && sorted[1]->hasCategories();
    const qint64 a = both ? sorted[0]->temp_matrix_col_range().length : 1;
    const qint64 b = sorted[1]->hasCategories() ? sorted[1]->temp_matrix_col_range().length : 1;
    qint64 n = 0;
    for (qint64 j = 0; j < a; ++j)
        for (qint64 k = 0; k < b; ++k)
            if (!isOmittedCell(j, k))
                out[n++] = int32_t(start + j * b + k);
    return n;
}
