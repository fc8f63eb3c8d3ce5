#include "platform/predicate/DSCompoundPredicate.h"

#include <algorithm>

DSCompoundPredicate::DSCompoundPredicate(DSCompoundPredicateType type, std::vector<DSPredicatePtr> subpredicates)
    : DSPredicate(Kind::Compound), m_type(type), m_subpredicates(std::move(subpredicates))
{
    Q_ASSERT(std::none_of(m_subpredicates.begin(), m_subpredicates.end(), [](const auto &p) { return !p; }));
}

std::shared_ptr<const DSCompoundPredicate> DSCompoundPredicate::make(DSCompoundPredicateType type,
                                                                     std::vector<DSPredicatePtr> subpredicates)
{
    return std::shared_ptr<const DSCompoundPredicate>(new DSCompoundPredicate(type, std::move(subpredicates)));
}

std::shared_ptr<const DSCompoundPredicate> DSCompoundPredicate::andPredicate(std::vector<DSPredicatePtr> subpredicates)
{
    return make(DSCompoundPredicateType::And, std::move(subpredicates));
}

std::shared_ptr<const DSCompoundPredicate> DSCompoundPredicate::orPredicate(std::vector<DSPredicatePtr> subpredicates)
{
    return make(DSCompoundPredicateType::Or, std::move(subpredicates));
}

std::shared_ptr<const DSCompoundPredicate> DSCompoundPredicate::notPredicate(DSPredicatePtr subpredicate)
{
    return make(DSCompoundPredicateType::Not, {std::move(subpredicate)});
}

bool DSCompoundPredicate::compoundTypeFromCode(qint64 code, DSCompoundPredicateType *type)
{
    if (code < 0 || code > 2)
        return false;
    *type = DSCompoundPredicateType(code);
    return true;
}

bool DSCompoundPredicate::evaluate(const DSPredicateKeyLookup &lookup) const
{
    const auto holds = [&](const DSPredicatePtr &p) { return p->evaluate(lookup); };
    switch (m_type) {
    case DSCompoundPredicateType::And:
        return std::all_of(m_subpredicates.begin(), m_subpredicates.end(), holds);
    case DSCompoundPredicateType::Or:
        return std::any_of(m_subpredicates.begin(), m_subpredicates.end(), holds);
    case DSCompoundPredicateType::Not:
        return std::none_of(m_subpredicates.begin(), m_subpredicates.end(), holds);
    }
    return false;
}

// AND and OR of two or more are written between their members; everything
// else is written as a prefix.
bool DSCompoundPredicate::isInfix() const
{
    return m_type != DSCompoundPredicateType::Not && m_subpredicates.size() >= 2;
}

void DSCompoundPredicate::appendText(QString &text) const
{
    const auto appendMember = [&](const DSPredicate &member) {
        const DSCompoundPredicate *compound = member.asCompound();
        const bool parenthesise = compound && compound->isInfix();
        if (parenthesise)
            text += QLatin1Char('(');
        member.appendText(text);
        if (parenthesise)
            text += QLatin1Char(')');
    };
    const QString word = m_type == DSCompoundPredicateType::And  ? QStringLiteral("AND")
                         : m_type == DSCompoundPredicateType::Or ? QStringLiteral("OR")
                                                                 : QStringLiteral("NOT");
    if (isInfix()) {
        for (size_t i = 0; i < m_subpredicates.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(' ') + word + QLatin1Char(' ');
            appendMember(*m_subpredicates[i]);
        }
    } else if (m_type == DSCompoundPredicateType::Not && m_subpredicates.size() == 1) {
        text += word + QLatin1Char(' ');
        appendMember(*m_subpredicates.front());
    } else {
        // A list's members are set apart by commas, so they need no parentheses.
        text += word + QStringLiteral(" (");
        for (size_t i = 0; i < m_subpredicates.size(); ++i) {
            if (i > 0)
                text += QStringLiteral(", ");
            m_subpredicates[i]->appendText(text);
        }
        text += QLatin1Char(')');
    }
}

bool DSCompoundPredicate::isEqual(const DSPredicate &other) const
{
    const DSCompoundPredicate *c = other.asCompound();
    return c && m_type == c->m_type
           && std::equal(m_subpredicates.begin(), m_subpredicates.end(), c->m_subpredicates.begin(),
                         c->m_subpredicates.end(), [](const auto &a, const auto &b) { return *a == *b; });
}
