#include "platform/predicate/DSExpression.h"

#include <QStringList>

bool ds_predicate_is_keyword(QStringView word)
{
    static const char *const keywords[] = {
        "AND", "OR", "NOT", "MATCHES", "LIKE", "BEGINSWITH", "ENDSWITH", "IN", "CONTAINS",
        "BETWEEN", "TRUE", "FALSE", "NONE", "NAN", "INF", "DATE",
    };
    for (const char *keyword : keywords)
        if (word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

DSExpression DSExpression::forConstantValue(const DSPredicateValue &value)
{
    DSExpression e;
    e.m_constant = value;
    return e;
}

DSExpression DSExpression::forKeyPath(const QString &keyPath)
{
    Q_ASSERT(isValidKeyPath(keyPath));
    DSExpression e;
    e.m_kind = Kind::KeyPath;
    e.m_keyPath = keyPath;
    return e;
}

bool DSExpression::isValidKeyPath(QStringView keyPath)
{
    bool atNameStart = true;
    for (QChar c : keyPath) {
        if (atNameStart) {
            if (!ds_predicate_is_name_start(c))
                return false;
            atNameStart = false;
        } else if (c == u'.') {
            atNameStart = true;
        } else if (!ds_predicate_is_name_char(c)) {
            return false;
        }
    }
    return !atNameStart;
}

QString DSExpression::fieldName() const
{
    if (m_kind == Kind::KeyPath)
        return m_keyPath;
    return m_constant.kind() == DSPredicateValue::Kind::String ? m_constant.stringValue() : QString();
}

QString DSExpression::toString() const
{
    if (m_kind == Kind::ConstantValue)
        return m_constant.toPredicateText();
    QStringList names = m_keyPath.split(QLatin1Char('.'));
    for (QString &name : names)
        if (ds_predicate_is_keyword(name))
            name.prepend(QLatin1Char('#'));
    return names.join(QLatin1Char('.'));
}

bool DSExpression::operator==(const DSExpression &other) const
{
    return m_kind == other.m_kind && m_constant == other.m_constant && m_keyPath == other.m_keyPath;
}
