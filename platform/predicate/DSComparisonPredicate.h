#pragma once

#include "platform/predicate/DSExpression.h"
#include "platform/predicate/DSPredicate.h"

#include <QFlags>

// Operator codes as stored in conditions and handed to the predicate editor.
enum class DSPredicateOperatorType : int {
    LessThan = 0,
    LessThanOrEqualTo = 1,
    GreaterThan = 2,
    GreaterThanOrEqualTo = 3,
    EqualTo = 4,
    NotEqualTo = 5,
    Matches = 6,   // the whole text matches a regular expression
    Like = 7,      // the whole text matches a pattern: * any run, ? one character, \ escapes
    BeginsWith = 8,
    EndsWith = 9,
    In = 10,       // left is an element of the right list, or a part of the right text
    Contains = 99, // right is a part of the left text, or an element of the left list
    Between = 100, // right is a list {low, high}; low <= left <= high
};

// Every operator, in code order.
inline constexpr DSPredicateOperatorType ds_predicate_operator_types[] = {
    DSPredicateOperatorType::LessThan,   DSPredicateOperatorType::LessThanOrEqualTo,
    DSPredicateOperatorType::GreaterThan, DSPredicateOperatorType::GreaterThanOrEqualTo,
    DSPredicateOperatorType::EqualTo,    DSPredicateOperatorType::NotEqualTo,
    DSPredicateOperatorType::Matches,    DSPredicateOperatorType::Like,
    DSPredicateOperatorType::BeginsWith, DSPredicateOperatorType::EndsWith,
    DSPredicateOperatorType::In,         DSPredicateOperatorType::Contains,
    DSPredicateOperatorType::Between,
};

enum class DSComparisonOption : unsigned {
    CaseInsensitive = 0x1,
    DiacriticInsensitive = 0x2,
};
Q_DECLARE_FLAGS(DSComparisonOptions, DSComparisonOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(DSComparisonOptions)

// A comparison of two expressions by an operator, with options for texts.
//
// Evaluation: the left side names what is compared: a key path, or a
// constant text naming the field (as stored column predicates write
// "value" and "label"), is looked up; a constant of another kind is itself.
// A right-side key path is looked up too; a right-side constant is the
// operand. Then compare() decides.
class DSComparisonPredicate final : public DSPredicate
{
public:
    static std::shared_ptr<const DSComparisonPredicate> make(const DSExpression &left,
                                                             DSPredicateOperatorType type,
                                                             const DSExpression &right,
                                                             DSComparisonOptions options = {});

    // The operator for a stored code; false for a code that names none.
    static bool operatorTypeFromCode(qint64 code, DSPredicateOperatorType *type);

    const DSExpression &leftExpression() const { return m_left; }
    const DSExpression &rightExpression() const { return m_right; }
    DSPredicateOperatorType predicateOperatorType() const { return m_type; }
    DSComparisonOptions options() const { return m_options; }

    // The comparison rule for two values:
    // - Missing values (none, NaN): a comparison with a missing value on
    //   either side holds only for NotEqualTo (a missing value differs from
    //   everything, itself included); every other operator is false.
    // - LessThan to NotEqualTo: two texts compare by Unicode code point after
    //   the options' folding; numbers, dates and booleans (1 and 0) compare
    //   as numbers; a text against a number is read as a number
    //   (DSPredicateValue::toDouble) and, when it is none, the two are
    //   unordered and unequal. Lists are unordered and unequal to all.
    // - Matches, Like, BeginsWith, EndsWith: both sides must be texts.
    // - Contains: left text contains right text, or left list has an element
    //   equal to right; In: the same with the sides swapped.
    // - Between: right is a list of two bounds, low <= left <= high.
    // Anything else is false. CaseInsensitive compares case-folded texts;
    // DiacriticInsensitive drops combining marks after canonical
    // decomposition. An invalid regular expression matches nothing.
    static bool compare(const DSPredicateValue &left, DSPredicateOperatorType type,
                        const DSPredicateValue &right, DSComparisonOptions options = {});

    bool evaluate(const DSPredicateKeyLookup &lookup) const override;

    // The operator as written in the text form: "<", "==", "BEGINSWITH"...
    static QString operatorText(DSPredicateOperatorType type);

private:
    DSComparisonPredicate(const DSExpression &left, DSPredicateOperatorType type,
                          const DSExpression &right, DSComparisonOptions options);

    void appendText(QString &text) const override;
    bool isEqual(const DSPredicate &other) const override;

    const DSExpression m_left;
    const DSExpression m_right;
    const DSPredicateOperatorType m_type;
    const DSComparisonOptions m_options;
};
