#include "derived/DSComputedColumn.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSReentryGuard.h"

namespace {

// Reentry-guard operations of a computed column (the numeric base uses 1
// and 2 for its two value forms).
enum GuardedOperation { ComputingValues = 3, ComputingMask = 4 };

} // namespace

DSComputedColumn::~DSComputedColumn()
{
    m_definition.stop();
}

qint64 DSComputedColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, ComputingValues);
    const qint64 count = rowsInRange(offset, limit);
    if (guard.reentered() || count <= 0)
        return handOut(out, nullptr, 0);
    return computeValues(out, std::max<qint64>(offset, 0), count);
}

qint64 DSComputedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, ComputingMask);
    const qint64 length = guard.reentered() ? 0 : setupMissingMaskAtOffset(offset, limit);
    const qint64 count = rowsInRange(offset, limit);
    if (length && count > 0)
        markMissingRows(std::max<qint64>(offset, 0), count);
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSComputedColumn::setupMissingMaskAtOffset(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 length = DSNumericColumn::setupMissingMask(offset, limit);
    mergeInputMissingMasks(offset, limit, length);
    return length;
}

bool DSComputedColumn::needsDeletion()
{
    return objectsForKey(QStringLiteral("inputs")).isEmpty();
}

void DSComputedColumn::awakeFromInsert()
{
    DSNumericColumn::awakeFromInsert();
    observeDefinition();
}

void DSComputedColumn::awakeFromFetch()
{
    DSNumericColumn::awakeFromFetch();
    observeDefinition();
}

void DSComputedColumn::didTurnIntoFault()
{
    m_definition.stop();
    DSNumericColumn::didTurnIntoFault();
}

void DSComputedColumn::markMissingRows(qint64, qint64) {}

double *DSComputedColumn::reserveValues(qint64 n)
{
    double *buffer = temp_values.reserve(n);
    if (!buffer) {
        qCritical("Error in realloc for temp_observations");
        return nullptr;
    }
    temp_values.setUsed(n);
    return buffer;
}

qint64 DSComputedColumn::reserveForInput(const double **x, double **y, qint64 offset, qint64 count, bool needsAll)
{
    const qint64 c = numericValuesOf(input(), x, offset, count);
    *y = c > 0 && (c == count || !needsAll) ? reserveValues(c) : nullptr;
    return *y ? c : 0;
}

double *DSComputedColumn::reserveForInputs(DSColumn *first, const double **a, DSColumn *second, const double **b,
                                           qint64 offset, qint64 count)
{
    const qint64 na = numericValuesOf(first, a, offset, count);
    const qint64 nb = numericValuesOf(second, b, offset, count);
    return std::min(na, nb) == count ? reserveValues(count) : nullptr;
}

QString DSComputedColumn::joinedInputNames(const QString &separator, NamePrecedence minimum) const
{
    QStringList names;
    for (const DSColumn *column : sortedInputColumns())
        names << operandName(column, minimum);
    return names.join(separator);
}

qint64 DSComputedColumn::handOut(const double **out, const double *buffer, qint64 n)
{
    if (!buffer)
        n = 0;
    if (out)
        *out = n ? buffer : nullptr;
    return n;
}

qint64 DSComputedColumn::numericValuesOf(DSColumn *column, const double **out, qint64 offset, qint64 limit)
{
    auto *numeric = dynamic_cast<DSNumericColumn *>(column);
    if (!numeric)
        return handOut(out, nullptr, 0);
    return numeric->getValues(out, offset, limit);
}

DSComputedColumn::Terms DSComputedColumn::termsOf(DSColumn *column, qint64 offset, qint64 count, InputTerms *terms)
{
    *terms = InputTerms();
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column))
        return numeric->getValues(&terms->values, offset, count) < count ? Terms::Failed : Terms::Ready;
    auto *indicator = dynamic_cast<DSIndicatorColumn *>(column);
    if (!indicator)
        return Terms::Skipped;
    const qint64 bytes = indicator->getBytes(&terms->bits, nullptr);
    terms->bitRows = bytes * 8;
    return terms->bits && bytes > 0 ? Terms::Ready : Terms::Failed;
}

bool DSComputedColumn::inputsContainOnlyIntegers() const
{
    for (DSColumn *column : sortedInputColumns()) {
        if (dynamic_cast<DSIndicatorColumn *>(column))
            continue;
        auto *numeric = dynamic_cast<DSNumericColumn *>(column);
        if (!numeric || !numeric->containsOnlyIntegers())
            return false;
    }
    return true;
}

QString DSComputedColumn::operandName(const DSColumn *column, NamePrecedence minimum)
{
    if (!column)
        return QString();
    const auto *computed = dynamic_cast<const DSComputedColumn *>(column);
    const QString name = column->name();
    return computed && computed->namePrecedence() < minimum ? QLatin1Char('(') + name + QLatin1Char(')') : name;
}

void DSComputedColumn::observeDefinition()
{
    QStringList keys = parameterKeys();
    keys << QStringLiteral("inputs");
    m_definition.start(this, keys);
}
