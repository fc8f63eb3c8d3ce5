#include "pivot/DSAggregationInput.h"

#include "model/DSColumnSummary.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTimeColumnCategory.h"
#include "pivot/DSAggregation.h"

#include <cmath>

void DSAggregationInput::setCategory_value(const QCborValue &value)
{
    setPrimitiveValue(value.isUndefined() ? QVariant() : QVariant::fromValue(value), QStringLiteral("category_value"));
}

DSAggregation *DSAggregationInput::aggregation() const
{
    return ds_object_cast<DSAggregation>(objectForKey(QStringLiteral("aggregation")));
}

void DSAggregationInput::setAggregation(DSAggregation *source)
{
    setObject(source, QStringLiteral("aggregation"));
}

DSAggregation *DSAggregationInput::owner() const
{
    return ds_object_cast<DSAggregation>(objectForKey(QStringLiteral("owner")));
}

void DSAggregationInput::setOwner(DSAggregation *owner)
{
    setObject(owner, QStringLiteral("owner"));
}

QCborValue DSAggregationInput::valueOfCategory(const DSColumnCategory &category)
{
    if (auto *numeric = dynamic_cast<const DSNumericColumnCategory *>(&category))
        return numeric->value();
    if (auto *time = dynamic_cast<const DSTimeColumnCategory *>(&category))
        return time->value();
    if (auto *text = dynamic_cast<const DSTextColumnCategory *>(&category))
        return text->value().isNull() ? QCborValue() : QCborValue(text->value());
    return QCborValue();
}

const DSColumnCategory *DSAggregationInput::matchingCategory() const
{
    const QCborValue wanted = category_value();
    DSAggregation *source = aggregation();
    if (!source || !source->temp_summary())
        return nullptr;
    for (const auto &category : source->temp_summary()->categories()) {
        const QCborValue value = valueOfCategory(*category);
        // Numbers compare as numbers: a stored 2 names the category 2.0.
        const bool equal = wanted.isDouble() || wanted.isInteger()
                               ? (value.isDouble() || value.isInteger()) && value.toDouble() == wanted.toDouble()
                               : !value.isUndefined() && value == wanted;
        if (equal)
            return category.get();
    }
    return nullptr;
}

void DSAggregationInput::resolveCategoryIndex()
{
    if (category_value().isUndefined() || category_value().isNull()) {
        m_categoryIndex = -1;
        return;
    }
    const DSColumnCategory *category = matchingCategory();
    m_categoryIndex = category ? category->index() : k_categoryGone;
}

double DSAggregationInput::doubleValueAtIndex(int64_t g) const
{
    DSAggregation *source = aggregation();
    if (!source)
        return 0;
    if (m_categoryIndex == k_categoryGone)
        return NAN;
    return source->doubleValueAtIndex(g, m_categoryIndex);
}

QString DSAggregationInput::name() const
{
    DSAggregation *source = aggregation();
    if (!source)
        return QString();
    if (category_value().isUndefined() || category_value().isNull())
        return source->name();
    const DSColumnCategory *category = matchingCategory();
    return category ? source->symbolicNameForCategory(*category) : QString();
}
