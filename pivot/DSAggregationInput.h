#pragma once

#include "platform/store/DSManagedObject.h"

#include <QCborValue>

#include <cstdint>

class DSAggregation;
class DSColumnCategory;

// One operand of a computed aggregation (its owner): a source aggregation
// and, for a source with one result per category, the value of the category
// to read.
class DSAggregationInput : public DSManagedObject
{
public:
    // categoryIndex() of an input whose category no longer occurs in its
    // source: it reads NaN, never the source's plain value.
    static constexpr int64_t k_categoryGone = -2;

    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    // The value of the source category to read (a number or a text, as the
    // source column's categories hold); undefined for the plain value.
    QCborValue category_value() const { return propertyListForKey(QStringLiteral("category_value")); }
    void setCategory_value(const QCborValue &value);
    DSAggregation *aggregation() const;
    void setAggregation(DSAggregation *source);
    DSAggregation *owner() const;
    void setOwner(DSAggregation *owner);

    // Resolves categoryIndex in the source's current summary: -1 without a
    // category value, the index of the first category whose value equals it,
    // k_categoryGone when none does (or the source has no summary).
    void resolveCategoryIndex();
    int64_t categoryIndex() const { return m_categoryIndex; }
    void setCategoryIndex(int64_t index) { m_categoryIndex = index; }

    // The source's value of group g for the resolved category; 0 without a
    // source, NaN when the category is gone.
    double doubleValueAtIndex(int64_t g) const;
    // The source's name, or with a category value the source's symbolic name
    // of that category; null without a source or a matching category.
    QString name() const;

    // The value a category holds, as a category value is stored: a number
    // for numeric and time categories, a text for text ones; undefined for
    // a category without one.
    static QCborValue valueOfCategory(const DSColumnCategory &category);

private:
    // The source's first summary category whose value is the category
    // value, or null.
    const DSColumnCategory *matchingCategory() const;

    int64_t m_categoryIndex = -1;
};
