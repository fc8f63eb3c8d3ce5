#include "platform/predicate/DSPredicate.h"

#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/predicate/DSPredicateParser.h"
#include "platform/predicate/DSPredicatePropertyList.h"

const DSComparisonPredicate *DSPredicate::asComparison() const
{
    return m_kind == Kind::Comparison ? static_cast<const DSComparisonPredicate *>(this) : nullptr;
}

const DSCompoundPredicate *DSPredicate::asCompound() const
{
    return m_kind == Kind::Compound ? static_cast<const DSCompoundPredicate *>(this) : nullptr;
}

bool DSPredicate::evaluateRow(const DSPredicateValue &value, const DSPredicateValue &label) const
{
    return evaluate([&](const QString &key) {
        if (key == QLatin1String("value"))
            return value;
        if (key == QLatin1String("label"))
            return label;
        return DSPredicateValue();
    });
}

QString DSPredicate::toString() const
{
    QString text;
    appendText(text);
    return text;
}

DSPredicatePtr DSPredicate::fromString(QStringView text, QString *error)
{
    return DSPredicateParser(text).parse(error);
}

QCborValue DSPredicate::toPropertyList() const
{
    return DSPredicatePropertyList::encode(*this);
}

DSPredicatePtr DSPredicate::fromPropertyList(const QCborValue &propertyList, QString *error)
{
    return DSPredicatePropertyList::decode(propertyList, error);
}
