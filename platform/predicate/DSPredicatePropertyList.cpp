#include "platform/predicate/DSPredicatePropertyList.h"

#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QCborArray>

namespace {

const QLatin1String kKind("kind");
const QLatin1String kComparison("comparison");
const QLatin1String kCompound("compound");
const QLatin1String kLeft("left");
const QLatin1String kRight("right");
const QLatin1String kOperator("operator");
const QLatin1String kOptions("options");
const QLatin1String kType("type");
const QLatin1String kSubpredicates("subpredicates");
const QLatin1String kConstant("constant");
const QLatin1String kKeyPath("keyPath");

constexpr qint64 kKnownOptions = qint64(DSComparisonOption::CaseInsensitive)
                                 | qint64(DSComparisonOption::DiacriticInsensitive);

} // namespace

QCborValue DSPredicatePropertyList::encode(const DSPredicate &predicate)
{
    return QCborValue(QCborTag(DSPredicate::propertyListTag), node(predicate));
}

QCborValue DSPredicatePropertyList::node(const DSPredicate &predicate)
{
    QCborMap map;
    if (const DSComparisonPredicate *c = predicate.asComparison()) {
        map.insert(kKind, kComparison);
        map.insert(kLeft, expression(c->leftExpression()));
        map.insert(kOperator, qint64(c->predicateOperatorType()));
        map.insert(kOptions, qint64(c->options().toInt()));
        map.insert(kRight, expression(c->rightExpression()));
    } else {
        const DSCompoundPredicate *compound = predicate.asCompound();
        QCborArray members;
        for (const DSPredicatePtr &member : compound->subpredicates())
            members.append(node(*member));
        map.insert(kKind, kCompound);
        map.insert(kType, qint64(compound->compoundPredicateType()));
        map.insert(kSubpredicates, members);
    }
    return map;
}

QCborValue DSPredicatePropertyList::expression(const DSExpression &expression)
{
    QCborMap map;
    if (expression.kind() == DSExpression::Kind::KeyPath)
        map.insert(kKeyPath, expression.keyPath());
    else
        map.insert(kConstant, value(expression.constantValue()));
    return map;
}

QCborValue DSPredicatePropertyList::value(const DSPredicateValue &value)
{
    switch (value.kind()) {
    case DSPredicateValue::Kind::None:
        return QCborValue(nullptr);
    case DSPredicateValue::Kind::Bool:
        return QCborValue(value.boolValue());
    case DSPredicateValue::Kind::Number:
        return QCborValue(value.numberValue());
    case DSPredicateValue::Kind::String:
        return QCborValue(value.stringValue());
    case DSPredicateValue::Kind::Date:
        return QCborValue(QCborTag(DSPredicate::dateTag), QCborValue(value.dateValue()));
    case DSPredicateValue::Kind::List: {
        QCborArray elements;
        for (const DSPredicateValue &element : value.listValue())
            elements.append(DSPredicatePropertyList::value(element));
        return elements;
    }
    }
    return {};
}

DSPredicatePtr DSPredicatePropertyList::decode(const QCborValue &propertyList, QString *error)
{
    DSPredicatePropertyList decoder;
    DSPredicatePtr result;
    if (!propertyList.isTag() || propertyList.tag() != QCborTag(DSPredicate::propertyListTag))
        decoder.fail(QStringLiteral("Not a stored predicate"));
    else
        result = decoder.decodeNode(propertyList.taggedValue(), 1);
    if (!result && error)
        *error = decoder.m_error;
    return result;
}

bool DSPredicatePropertyList::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    return false;
}

DSPredicatePtr DSPredicatePropertyList::decodeNode(const QCborValue &node, int depth)
{
    if (depth > DSPredicate::maximumDepth) {
        fail(QStringLiteral("Predicate nested too deeply"));
        return nullptr;
    }
    const QCborMap map = node.toMap();
    const QCborValue kind = map.value(kKind);
    if (node.isMap() && kind == QCborValue(kComparison))
        return decodeComparison(map, depth);
    if (node.isMap() && kind == QCborValue(kCompound))
        return decodeCompound(map, depth);
    fail(QStringLiteral("Unknown predicate node"));
    return nullptr;
}

DSPredicatePtr DSPredicatePropertyList::decodeComparison(const QCborMap &map, int depth)
{
    const QCborValue code = map.value(kOperator);
    const QCborValue options = map.value(kOptions);
    DSPredicateOperatorType type;
    DSExpression left, right;
    if (map.size() != 5 || !code.isInteger() || !options.isInteger()) {
        fail(QStringLiteral("Malformed comparison"));
    } else if (!DSComparisonPredicate::operatorTypeFromCode(code.toInteger(), &type)) {
        fail(QStringLiteral("Unknown operator code %1").arg(code.toInteger()));
    } else if ((options.toInteger() & ~kKnownOptions) != 0) {
        fail(QStringLiteral("Unknown comparison options %1").arg(options.toInteger()));
    } else if (decodeExpression(map.value(kLeft), depth, &left)
               && decodeExpression(map.value(kRight), depth, &right)) {
        return DSComparisonPredicate::make(left, type, right, DSComparisonOptions::fromInt(unsigned(options.toInteger())));
    }
    return nullptr;
}

DSPredicatePtr DSPredicatePropertyList::decodeCompound(const QCborMap &map, int depth)
{
    const QCborValue code = map.value(kType);
    const QCborValue members = map.value(kSubpredicates);
    DSCompoundPredicateType type;
    if (map.size() != 3 || !code.isInteger() || !members.isArray()) {
        fail(QStringLiteral("Malformed compound predicate"));
        return nullptr;
    }
    if (!DSCompoundPredicate::compoundTypeFromCode(code.toInteger(), &type)) {
        fail(QStringLiteral("Unknown compound type %1").arg(code.toInteger()));
        return nullptr;
    }
    std::vector<DSPredicatePtr> subpredicates;
    for (const QCborValue &member : members.toArray()) {
        DSPredicatePtr subpredicate = decodeNode(member, depth + 1);
        if (!subpredicate)
            return nullptr;
        subpredicates.push_back(std::move(subpredicate));
    }
    return DSCompoundPredicate::make(type, std::move(subpredicates));
}

bool DSPredicatePropertyList::decodeExpression(const QCborValue &expression, int depth, DSExpression *out)
{
    const QCborMap map = expression.toMap();
    if (!expression.isMap() || map.size() != 1)
        return fail(QStringLiteral("Malformed expression"));
    if (map.contains(kKeyPath)) {
        const QCborValue keyPath = map.value(kKeyPath);
        if (!keyPath.isString() || !DSExpression::isValidKeyPath(keyPath.toString()))
            return fail(QStringLiteral("Bad key path"));
        *out = DSExpression::forKeyPath(keyPath.toString());
        return true;
    }
    DSPredicateValue constant;
    if (!map.contains(kConstant))
        return fail(QStringLiteral("Malformed expression"));
    if (!decodeValue(map.value(kConstant), depth, &constant))
        return false;
    *out = DSExpression::forConstantValue(constant);
    return true;
}

bool DSPredicatePropertyList::decodeValue(const QCborValue &value, int depth, DSPredicateValue *out)
{
    if (value.isNull()) {
        *out = DSPredicateValue();
    } else if (value.isBool()) {
        *out = DSPredicateValue::fromBool(value.toBool());
    } else if (value.isDouble() || value.isInteger()) {
        *out = DSPredicateValue::fromNumber(value.toDouble());
    } else if (value.isString()) {
        *out = DSPredicateValue::fromString(value.toString());
    } else if (value.isTag() && value.tag() == QCborTag(DSPredicate::dateTag)
               && (value.taggedValue().isDouble() || value.taggedValue().isInteger())) {
        *out = DSPredicateValue::fromDate(value.taggedValue().toDouble());
    } else if (value.isArray()) {
        if (depth + 1 > DSPredicate::maximumDepth)
            return fail(QStringLiteral("Predicate nested too deeply"));
        std::vector<DSPredicateValue> elements;
        for (const QCborValue &element : value.toArray()) {
            if (!decodeValue(element, depth + 1, &elements.emplace_back()))
                return false;
        }
        *out = DSPredicateValue::fromList(std::move(elements));
    } else {
        return fail(QStringLiteral("Unsupported constant"));
    }
    return true;
}
