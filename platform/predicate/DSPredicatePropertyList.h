#pragma once

#include "platform/predicate/DSExpression.h"
#include "platform/predicate/DSPredicate.h"

#include <QCborMap>

// The stored form of a predicate, read and written in one place.
//
//   predicate   tag propertyListTag around a node
//   node        {"kind": "comparison", "left": expr, "operator": int, "options": int, "right": expr}
//             | {"kind": "compound", "type": int, "subpredicates": [node, ...]}
//   expr        {"constant": value} | {"keyPath": text}
//   value       null (none) | bool | number (float or integer) | text
//             | tag dateTag around a number (seconds since the reference date)
//             | [value, ...]
//
// Maps hold exactly the keys shown. Numbers are written as doubles so that
// every value, -0 and NaN included, comes back as it was.
class DSPredicatePropertyList
{
public:
    static QCborValue encode(const DSPredicate &predicate);

    // Null with *error set (when given) for anything that is not exactly
    // the form above, or nests deeper than DSPredicate::maximumDepth.
    static DSPredicatePtr decode(const QCborValue &propertyList, QString *error);

private:
    static QCborValue node(const DSPredicate &predicate);
    static QCborValue expression(const DSExpression &expression);
    static QCborValue value(const DSPredicateValue &value);

    DSPredicatePtr decodeNode(const QCborValue &node, int depth);
    DSPredicatePtr decodeComparison(const QCborMap &map, int depth);
    DSPredicatePtr decodeCompound(const QCborMap &map, int depth);
    bool decodeExpression(const QCborValue &expression, int depth, DSExpression *out);
    bool decodeValue(const QCborValue &value, int depth, DSPredicateValue *out);
    bool fail(const QString &message);

    QString m_error;
};
