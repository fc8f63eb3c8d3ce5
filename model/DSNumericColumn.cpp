#include "model/DSNumericColumn.h"

#include "model/DSNumberFormatter.h"
#include "model/DSReentryGuard.h"
#include "model/DSTable.h"
#include "model/ds_row_mask.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <algorithm>
#include <vector>

namespace {

enum ValueSourceOperation { WholeColumn = 1, Range = 2 };

// Whether a label matches the operand by the label operators, ignoring case.
bool labelMatches(const QString &label, DSPredicateOperatorType type, const QString &operand)
{
    switch (type) {
    case DSPredicateOperatorType::EqualTo:
        return label.compare(operand, Qt::CaseInsensitive) == 0;
    case DSPredicateOperatorType::BeginsWith:
        return label.startsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::EndsWith:
        return label.endsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::Contains:
        return label.contains(operand, Qt::CaseInsensitive);
    default:
        return false;
    }
}

// One "value" comparison marks rows in one pass over the plain values. A
// NaN value is below, above and equal to nothing and differs from everything.
void markComparison(uint8_t *mask, qint64 offset, const double *v, qint64 count, DSPredicateOperatorType type,
                    double x)
{
    switch (type) {
    case DSPredicateOperatorType::LessThan:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] < x; });
    case DSPredicateOperatorType::LessThanOrEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] <= x; });
    case DSPredicateOperatorType::GreaterThan:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] > x; });
    case DSPredicateOperatorType::GreaterThanOrEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] >= x; });
    case DSPredicateOperatorType::NotEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return !(v[i] == x); });
    default:
        return;
    }
}

// Rows equal to any operand: a linear test for a few operands, one binary
// search a row from four on. NaN operands are dropped, so both ways agree
// (a NaN row equals no operand; it is missing in its own right).
void markEqualRows(uint8_t *mask, qint64 offset, const double *v, qint64 count, std::vector<double> operands)
{
    operands.erase(std::remove_if(operands.begin(), operands.end(), [](double x) { return std::isnan(x); }),
                   operands.end());
    if (operands.empty())
        return;
    if (operands.size() >= 4) {
        std::sort(operands.begin(), operands.end());
        const double *first = operands.data(), *last = first + operands.size();
        ds_mark_rows(mask, offset, count, [v, first, last](int64_t i) { return std::binary_search(first, last, v[i]); });
        return;
    }
    ds_mark_rows(mask, offset, count, [v, &operands](int64_t i) {
        for (double x : operands)
            if (v[i] == x)
                return true;
        return false;
    });
}

// The comparisons of a stored missing-values predicate: the subpredicates of
// its compound (the compound's own type is not consulted), or the one
// comparison it is.
std::vector<const DSComparisonPredicate *> comparisonsOf(const DSPredicate &predicate)
{
    std::vector<const DSComparisonPredicate *> comparisons;
    if (const DSCompoundPredicate *compound = predicate.asCompound()) {
        for (const DSPredicatePtr &sub : compound->subpredicates())
            if (const DSComparisonPredicate *comparison = sub ? sub->asComparison() : nullptr)
                comparisons.push_back(comparison);
    } else if (const DSComparisonPredicate *comparison = predicate.asComparison()) {
        comparisons.push_back(comparison);
    }
    return comparisons;
}

} // namespace

qint64 DSNumericColumn::getValues(const double **out)
{
    const DSReentryGuard guard(this, WholeColumn);
    if (guard.reentered()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    return getValues(out, 0, tableRowCount());
}

qint64 DSNumericColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, Range);
    const double *values = nullptr;
    const qint64 count = guard.reentered() ? 0 : getValues(&values);
    offset = std::max<qint64>(offset, 0);
    const qint64 answered = values && offset < count ? std::clamp<qint64>(limit, 0, count - offset) : 0;
    if (out)
        *out = answered ? values + offset : nullptr;
    return answered;
}

qint64 DSNumericColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const double *values = nullptr;
    qint64 count = getValues(&values, offset, limit);
    const qint64 length = setupMissingMask(offset, limit);
    // Values past the table's rows have no bits in the mask.
    count = std::min(count, rowsInRange(offset, limit));
    if (values && count > 0)
        ds_mark_rows(sharedMissingMask(), offset, count, [values](int64_t i) { return std::isnan(values[i]); });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSNumericColumn::setupMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 length = DSColumn::setupMissingMask(offset, limit);
    if (length == 0 || !apply_missing_values_predicate())
        return length;
    const DSPredicatePtr predicate = missing_values_predicate();
    if (!predicate)
        return length;
    const double *v = nullptr;
    const qint64 count = std::min(getValues(&v, offset, limit), rowsInRange(offset, limit));
    if (!v || count <= 0)
        return length;

    uint8_t *mask = sharedMissingMask();
    std::vector<double> equal;
    const QCborMap labels = category_labels();
    for (const DSComparisonPredicate *comparison : comparisonsOf(*predicate)) {
        if (comparison->rightExpression().kind() != DSExpression::Kind::ConstantValue)
            continue;
        const DSPredicateValue &operand = comparison->rightExpression().constantValue();
        if (operand.kind() == DSPredicateValue::Kind::String && operand.stringValue().isEmpty())
            continue;
        const QString field = comparison->leftExpression().fieldName();
        const DSPredicateOperatorType type = comparison->predicateOperatorType();
        if (field == QLatin1String("value")) {
            if (type == DSPredicateOperatorType::EqualTo)
                equal.push_back(operand.toDouble());
            else
                markComparison(mask, offset, v, count, type, operand.toDouble());
        } else if (field == QLatin1String("label")) {
            const QString text = operand.toText();
            for (auto it = labels.constBegin(); it != labels.constEnd(); ++it) {
                const QCborValue key = it.key();
                if (!key.isDouble() && !key.isInteger())
                    continue;
                const double x = key.toDouble();
                if (!std::isnan(x) && labelMatches(it.value().toString(), type, text))
                    equal.push_back(x);
            }
        }
    }
    markEqualRows(mask, offset, v, count, std::move(equal));
    return length;
}

DSObjectList DSNumericColumn::managedObjectDependencies()
{
    DSObjectList dependencies = DSColumn::managedObjectDependencies();
    if (DSNumberFormatter *formatter = number_formatter())
        dependencies += formatter->managedObjectDependencies();
    return dependencies;
}

void DSNumericColumn::makeDependencies()
{
    DSColumn::makeDependencies();
    if (!number_formatter())
        if (DSManagedObject *formatter = insertNewObjectOfEntity(QStringLiteral("DSNumberFormatter")))
            setObject(formatter, QStringLiteral("number_formatter"));
    for (const char *key : {"pivot_partition", "filter_partition", "covariate_partition"}) {
        const QString name = QString::fromLatin1(key);
        if (objectForKey(name))
            continue;
        DSManagedObject *partition = insertNewObjectOfEntity(QStringLiteral("DSNumericPartition"));
        if (!partition)
            continue;
        if (name == QLatin1String("pivot_partition"))
            partition->setPrimitiveValue(qlonglong(6), QStringLiteral("quantile_count"));
        partition->setObject(this, QStringLiteral("column"));
        setObject(partition, name);
    }
}

void DSNumericColumn::awakeFromInsert()
{
    DSColumn::awakeFromInsert();
    temp_index.release();
    temp_values.release();
    setTreat_as_categories(false);
}

void DSNumericColumn::awakeFromFetch()
{
    DSColumn::awakeFromFetch();
    temp_index.release();
    temp_values.release();
}

void DSNumericColumn::didTurnIntoFault()
{
    temp_values.release();
    DSColumn::didTurnIntoFault();
}

void DSNumericColumn::purgeIndex()
{
    temp_index.release();
    DSColumn::purgeIndex();
}

std::optional<DSExpression> DSNumericColumn::defaultValueExpression() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromNumber(0.0));
}

std::unique_ptr<DSDurationFormatter> DSNumericColumn::NSNumberFormatter() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter ? formatter->NSNumberFormatter() : DSColumn::NSNumberFormatter();
}

int DSNumericColumn::resolutionScheme() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter ? formatter->resolutionScheme() : 0;
}

bool DSNumericColumn::isDuration() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter && formatter->number_style() == 500;
}

QString DSNumericColumn::groupName() const
{
    const DSManagedObject *partition = covariate_partition();
    if (treat_as_categories() || !partition)
        return DSColumn::groupName();
    switch (partition->integerForKey(QStringLiteral("partition_type"))) {
    case 0:
        return QStringLiteral("quantile");
    case 1:
        return QStringLiteral("interval");
    case 2:
        return QStringLiteral("group");
    default:
        return DSColumn::groupName();
    }
}

std::optional<double> DSNumericColumn::numberValueAtOffset(qint64 row)
{
    const double *value = nullptr;
    if (row < 0 || getValues(&value, row, 1) != 1 || !value)
        return std::nullopt;
    return *value;
}

bool DSNumericColumn::containsOnlyIntegers()
{
    const double *v = nullptr;
    const qint64 count = getValues(&v);
    for (qint64 i = 0; i < count; ++i)
        if (!std::isnan(v[i]) && !isWhole(v[i]))
            return false;
    return true;
}

DSNumberFormatter *DSNumericColumn::number_formatter() const
{
    return ds_object_cast<DSNumberFormatter>(objectForKey(QStringLiteral("number_formatter")));
}

void DSNumericColumn::setNumber_formatter(DSNumberFormatter *formatter)
{
    setObject(formatter, QStringLiteral("number_formatter"));
}

double *DSNumericColumn::valueBuffer(qint64 count)
{
    double *buffer = temp_values.reserve(count);
    if (!buffer)
        qCritical("Error in malloc()");
    return buffer;
}
