#pragma once

#include "platform/predicate/DSComparisonPredicate.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One kind of row of the predicate editor: a left side (the field a stored
// column predicate names: "value" or "label"), the operators offered for
// it, in order, and the right side: a pop-up of constants, or a typed value
// read and written by the template's parser and formatter.
//
// Typed templates come from factories registered by kind ("string", "date",
// "time_of_day", "duration", "numeric"); a kind may be re-registered by the
// formatters that know it better.
struct DSPredicateEditorRowTemplate
{
    // The attribute types of a typed value.
    enum AttributeType { StringAttributeType = 700, DateAttributeType = 900 };

    QString key;
    QList<DSPredicateOperatorType> operators;
    // The pop-up's constants in display order; empty for a typed value.
    QList<DSPredicateValue> popupValues;
    AttributeType attributeType = StringAttributeType;
    // Typed value: the text as a constant, or none when it cannot be read.
    std::function<std::optional<DSPredicateValue>(const QString &)> parse;
    std::function<QString(const DSPredicateValue &)> format;

    bool isPopup() const { return !popupValues.isEmpty(); }
    // Whether the comparison can be shown by this template: its left side
    // names the key, its operator is offered, and its constant is in the
    // pop-up (any constant for a typed value).
    bool matches(const DSComparisonPredicate &comparison) const;
    // The comparison "key operator value" as stored column predicates write
    // it (constant left side, no options).
    static std::shared_ptr<const DSComparisonPredicate> comparison(const QString &key, DSPredicateOperatorType type,
                                                                   const DSPredicateValue &value);
    // Display text of a constant: a text as it is, a number in its shortest
    // form, a date as its ISO text.
    static QString displayText(const DSPredicateValue &value);

    // A template of the key with a pop-up of the values.
    static DSPredicateEditorRowTemplate popup(const QString &key, QList<DSPredicateOperatorType> operators,
                                              QList<DSPredicateValue> values);
    // A typed template of the registered kind (the "string" kind for an
    // unknown one).
    static DSPredicateEditorRowTemplate typed(const QString &kind, const QString &key,
                                              QList<DSPredicateOperatorType> operators);
    using Factory = std::function<DSPredicateEditorRowTemplate(const QString &key, QList<DSPredicateOperatorType>)>;
    static void registerTypedFactory(const QString &kind, Factory factory);
};
