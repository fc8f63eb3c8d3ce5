#pragma once

#include "platform/predicate/DSPredicate.h"

#include <vector>

// Compound codes as stored (an indicator's or a censoring's combination).
enum class DSCompoundPredicateType : int {
    Not = 0, // none of the subpredicates holds (with one, its negation)
    And = 1, // all hold; an empty AND is true
    Or = 2,  // at least one holds; an empty OR is false
};

class DSCompoundPredicate final : public DSPredicate
{
public:
    // subpredicates must not hold null pointers.
    static std::shared_ptr<const DSCompoundPredicate> make(DSCompoundPredicateType type,
                                                           std::vector<DSPredicatePtr> subpredicates);
    static std::shared_ptr<const DSCompoundPredicate> andPredicate(std::vector<DSPredicatePtr> subpredicates);
    static std::shared_ptr<const DSCompoundPredicate> orPredicate(std::vector<DSPredicatePtr> subpredicates);
    static std::shared_ptr<const DSCompoundPredicate> notPredicate(DSPredicatePtr subpredicate);

    // The compound type for a stored code; false for a code that names none.
    static bool compoundTypeFromCode(qint64 code, DSCompoundPredicateType *type);

    DSCompoundPredicateType compoundPredicateType() const { return m_type; }
    const std::vector<DSPredicatePtr> &subpredicates() const { return m_subpredicates; }

    bool evaluate(const DSPredicateKeyLookup &lookup) const override;

private:
    DSCompoundPredicate(DSCompoundPredicateType type, std::vector<DSPredicatePtr> subpredicates);

    bool isInfix() const;
    void appendText(QString &text) const override;
    bool isEqual(const DSPredicate &other) const override;

    const DSCompoundPredicateType m_type;
    const std::vector<DSPredicatePtr> m_subpredicates;
};
