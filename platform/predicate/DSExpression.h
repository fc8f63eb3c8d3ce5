#pragma once

#include "platform/predicate/DSPredicateValue.h"

// One side of a comparison: a constant value, or a key path looked up on
// whatever the predicate is evaluated against.
//
// Stored column predicates name the compared field with a constant text on
// the left ("value", "label", a column's name); fieldName() answers that
// name for both forms, so callers need not care which one they were given.
class DSExpression
{
public:
    enum class Kind { ConstantValue, KeyPath };

    DSExpression() = default; // the constant none
    static DSExpression forConstantValue(const DSPredicateValue &value);
    // keyPath must pass isValidKeyPath(); the text and property-list readers
    // check it before they build an expression from untrusted input.
    static DSExpression forKeyPath(const QString &keyPath);

    // One or more names joined by "."; each name is an ASCII letter or "_"
    // followed by letters, digits and "_".
    static bool isValidKeyPath(QStringView keyPath);

    Kind kind() const { return m_kind; }
    const DSPredicateValue &constantValue() const { return m_constant; } // none for a key path
    const QString &keyPath() const { return m_keyPath; }                 // empty for a constant

    // The key path, or the constant text; empty for a constant of any other kind.
    QString fieldName() const;

    // Key paths as written (value, person.age; a name that is a keyword of
    // the predicate text gets a "#" prefix); constants as
    // DSPredicateValue::toPredicateText.
    QString toString() const;

    bool operator==(const DSExpression &other) const;
    bool operator!=(const DSExpression &other) const { return !(*this == other); }

private:
    Kind m_kind = Kind::ConstantValue;
    DSPredicateValue m_constant;
    QString m_keyPath;
};

// The letters of key-path names: an ASCII letter or "_" first, then also digits.
inline bool ds_predicate_is_name_start(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

inline bool ds_predicate_is_name_char(QChar c)
{
    return ds_predicate_is_name_start(c) || (c >= u'0' && c <= u'9');
}

// True for the reserved words of the predicate text (compared without
// regard to case): AND, OR, NOT, the operator words, TRUE, FALSE, NONE, NAN,
// INF and DATE.
bool ds_predicate_is_keyword(QStringView word);
