#pragma once

#include "platform/predicate/DSPredicateValue.h"

#include <QCborValue>

#include <functional>
#include <memory>

class DSComparisonPredicate;
class DSCompoundPredicate;
class DSPredicate;

// Trees are immutable once built and shared freely, also between threads.
using DSPredicatePtr = std::shared_ptr<const DSPredicate>;

// Answers the value of a key path ("value", "person.age") for the object a
// predicate is evaluated against; none when the object has no such key.
using DSPredicateKeyLookup = std::function<DSPredicateValue(const QString &keyPath)>;

// A condition on an object or a row: a comparison of two expressions, or an
// AND, OR or NOT of other predicates. Callers that must tell the two apart
// ask kind(); there are no other node kinds.
//
// Text form (toString, fromString), one comparison or a compound:
//   value < 0 OR value == 99
//   "label" BEGINSWITH[c] "n/a"
//   visit >= DATE("2019-03-01T00:00:00Z") AND NOT (code IN {1, 2})
// AND binds tighter than OR and NOT tighter than both; a run of one operator
// is one compound node, and parentheses make a nested node. AND and OR of
// fewer than two members, and NOT of other than one, are written as a list
// after their word: AND (a), OR (), NOT (a, b). Texts must be whole UTF-16
// (no lone surrogates) to be written and read back.
//
// Property-list form (toPropertyList, fromPropertyList): a CBOR value tagged
// with propertyListTag, so that a predicate can travel inside a stored
// property list and be recognised there.
class DSPredicate
{
public:
    enum class Kind { Comparison, Compound };

    // The CBOR tag of a stored predicate and of a date constant inside one.
    static constexpr quint64 propertyListTag = 0x4f535052; // "OSPR"
    static constexpr quint64 dateTag = 0x4f534454;         // "OSDT"

    // How deep text and property lists from outside may nest (compounds,
    // parentheses and lists together); deeper input is refused, so hostile
    // input cannot exhaust the stack.
    static constexpr int maximumDepth = 64;

    virtual ~DSPredicate() = default;
    DSPredicate(const DSPredicate &) = delete;
    DSPredicate &operator=(const DSPredicate &) = delete;

    Kind kind() const { return m_kind; }
    // This node as its exact kind, or null.
    const DSComparisonPredicate *asComparison() const;
    const DSCompoundPredicate *asCompound() const;

    // Whether the object that lookup describes satisfies the predicate. A
    // null lookup answers none for every key. See DSComparisonPredicate for
    // the comparison rules, missing values included.
    virtual bool evaluate(const DSPredicateKeyLookup &lookup) const = 0;

    // Evaluation against one row of a column: the key "value" answers the
    // row's value (a number, a text or a date; NaN or none when missing) and
    // "label" the label of its category (none when it has none); other keys
    // answer none.
    bool evaluateRow(const DSPredicateValue &value, const DSPredicateValue &label = {}) const;

    QString toString() const;

    // Reads the text form. Returns null and sets *error (when given) to a
    // message naming the position for text that is not exactly one
    // predicate; nothing is built then.
    static DSPredicatePtr fromString(QStringView text, QString *error = nullptr);

    QCborValue toPropertyList() const;

    // Reads a property list written by toPropertyList. Everything is
    // checked: the tag, every node and expression kind, every key and type,
    // operator and compound codes, option bits, key paths and the depth.
    // Returns null and sets *error (when given) for anything else.
    static DSPredicatePtr fromPropertyList(const QCborValue &propertyList, QString *error = nullptr);

    // Same structure, codes and values (NaN equals NaN).
    bool operator==(const DSPredicate &other) const { return isEqual(other); }
    bool operator!=(const DSPredicate &other) const { return !isEqual(other); }

protected:
    explicit DSPredicate(Kind kind) : m_kind(kind) {}

    friend class DSCompoundPredicate;
    virtual void appendText(QString &text) const = 0;
    virtual bool isEqual(const DSPredicate &other) const = 0;

private:
    const Kind m_kind;
};
