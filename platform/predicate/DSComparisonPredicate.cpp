#include "platform/predicate/DSComparisonPredicate.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace {

using ValueKind = DSPredicateValue::Kind;
using Op = DSPredicateOperatorType;

QString folded(const QString &text, DSComparisonOptions options)
{
    QString result = text;
    if (options.testFlag(DSComparisonOption::DiacriticInsensitive)) {
        result = result.normalized(QString::NormalizationForm_D);
        result.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    }
    if (options.testFlag(DSComparisonOption::CaseInsensitive))
        result = result.toCaseFolded();
    return result;
}

// UTF-16 units reordered so that surrogate pairs sort above U+E000-U+FFFF:
// texts then order by code point, as UTF-8 bytes do.
char16_t codePointOrderKey(char16_t unit)
{
    if (unit >= 0xd800 && unit < 0xe000)
        return unit + 0x2000;
    if (unit >= 0xe000)
        return unit - 0x800;
    return unit;
}

int compareCodePoints(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return codePointOrderKey(a[i].unicode()) < codePointOrderKey(b[i].unicode()) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool isNumeric(const DSPredicateValue &v)
{
    return v.kind() == ValueKind::Number || v.kind() == ValueKind::Date || v.kind() == ValueKind::Bool;
}

// Order of two values that are not missing; none when they have no order.
std::optional<int> order(const DSPredicateValue &left, const DSPredicateValue &right,
                         DSComparisonOptions options)
{
    if (left.kind() == ValueKind::String && right.kind() == ValueKind::String)
        return compareCodePoints(folded(left.stringValue(), options), folded(right.stringValue(), options));
    const bool comparable = (isNumeric(left) || left.kind() == ValueKind::String)
                            && (isNumeric(right) || right.kind() == ValueKind::String);
    if (!comparable)
        return std::nullopt;
    const double a = left.toDouble();
    const double b = right.toDouble();
    if (std::isnan(a) || std::isnan(b))
        return std::nullopt;
    return a < b ? -1 : (a > b ? 1 : 0);
}

struct LikeToken {
    enum { Literal, AnyRun, OneCharacter } type;
    char32_t character;
};

std::vector<LikeToken> likeTokens(const QList<uint> &pattern)
{
    std::vector<LikeToken> tokens;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const char32_t c = pattern[i];
        if (c == U'\\' && i + 1 < pattern.size())
            tokens.push_back({LikeToken::Literal, char32_t(pattern[++i])});
        else if (c == U'*')
            tokens.push_back({LikeToken::AnyRun, 0});
        else if (c == U'?')
            tokens.push_back({LikeToken::OneCharacter, 0});
        else
            tokens.push_back({LikeToken::Literal, c});
    }
    return tokens;
}

// Wildcard match by code point; backtracks only to the last "*", so it
// stays linear in practice whatever the pattern.
bool likeMatch(const QString &text, const QString &pattern)
{
    const QList<uint> t = text.toUcs4();
    const std::vector<LikeToken> p = likeTokens(pattern.toUcs4());
    size_t ti = 0, pi = 0, mark = 0;
    std::optional<size_t> star;
    while (ti < size_t(t.size())) {
        if (pi < p.size() && p[pi].type == LikeToken::AnyRun) {
            star = pi++;
            mark = ti;
        } else if (pi < p.size()
                   && (p[pi].type == LikeToken::OneCharacter || p[pi].character == t[ti])) {
            ++pi;
            ++ti;
        } else if (star) {
            pi = *star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi].type == LikeToken::AnyRun)
        ++pi;
    return pi == p.size();
}

bool regexMatch(const QString &text, const QString &pattern, DSComparisonOptions options)
{
    QRegularExpression::PatternOptions patternOptions = QRegularExpression::UseUnicodePropertiesOption;
    if (options.testFlag(DSComparisonOption::CaseInsensitive))
        patternOptions |= QRegularExpression::CaseInsensitiveOption;
    // Case folding would change escapes such as \S, so only the marks are
    // dropped here and the case goes to the engine.
    const DSComparisonOptions marksOnly = options & DSComparisonOption::DiacriticInsensitive;
    const QRegularExpression expression(QRegularExpression::anchoredPattern(folded(pattern, marksOnly)),
                                        patternOptions);
    return expression.isValid() && expression.match(folded(text, marksOnly)).hasMatch();
}

bool compareTexts(const QString &left, Op type, const QString &right, DSComparisonOptions options)
{
    if (type == Op::Matches)
        return regexMatch(left, right, options);
    const QString a = folded(left, options);
    const QString b = folded(right, options);
    switch (type) {
    case Op::Like: return likeMatch(a, b);
    case Op::BeginsWith: return a.startsWith(b);
    case Op::EndsWith: return a.endsWith(b);
    case Op::Contains: return a.contains(b);
    default: return false;
    }
}

bool listHas(const DSPredicateValue &list, const DSPredicateValue &element, DSComparisonOptions options)
{
    for (const DSPredicateValue &candidate : list.listValue())
        if (DSComparisonPredicate::compare(candidate, Op::EqualTo, element, options))
            return true;
    return false;
}

} // namespace

DSComparisonPredicate::DSComparisonPredicate(const DSExpression &left, DSPredicateOperatorType type,
                                             const DSExpression &right, DSComparisonOptions options)
    : DSPredicate(Kind::Comparison), m_left(left), m_right(right), m_type(type), m_options(options)
{
}

std::shared_ptr<const DSComparisonPredicate> DSComparisonPredicate::make(const DSExpression &left,
                                                                         DSPredicateOperatorType type,
                                                                         const DSExpression &right,
                                                                         DSComparisonOptions options)
{
    return std::shared_ptr<const DSComparisonPredicate>(new DSComparisonPredicate(left, type, right, options));
}

bool DSComparisonPredicate::operatorTypeFromCode(qint64 code, DSPredicateOperatorType *type)
{
    if ((code >= 0 && code <= 10) || code == 99 || code == 100) {
        *type = DSPredicateOperatorType(code);
        return true;
    }
    return false;
}

bool DSComparisonPredicate::compare(const DSPredicateValue &left, DSPredicateOperatorType type,
                                    const DSPredicateValue &right, DSComparisonOptions options)
{
    if (left.isMissing() || right.isMissing())
        return type == Op::NotEqualTo;
    switch (type) {
    case Op::LessThan:
    case Op::LessThanOrEqualTo:
    case Op::GreaterThan:
    case Op::GreaterThanOrEqualTo:
    case Op::EqualTo:
    case Op::NotEqualTo: {
        const std::optional<int> c = order(left, right, options);
        if (!c)
            return type == Op::NotEqualTo;
        switch (type) {
        case Op::LessThan: return *c < 0;
        case Op::LessThanOrEqualTo: return *c <= 0;
        case Op::GreaterThan: return *c > 0;
        case Op::GreaterThanOrEqualTo: return *c >= 0;
        case Op::EqualTo: return *c == 0;
        default: return *c != 0;
        }
    }
    case Op::Contains:
        if (left.kind() == ValueKind::List)
            return listHas(left, right, options);
        break;
    case Op::In:
        if (right.kind() == ValueKind::List)
            return listHas(right, left, options);
        return compare(right, Op::Contains, left, options);
    case Op::Between:
        return right.kind() == ValueKind::List && right.listValue().size() == 2
               && compare(left, Op::GreaterThanOrEqualTo, right.listValue()[0], options)
               && compare(left, Op::LessThanOrEqualTo, right.listValue()[1], options);
    default:
        break;
    }
    return left.kind() == ValueKind::String && right.kind() == ValueKind::String
           && compareTexts(left.stringValue(), type, right.stringValue(), options);
}

bool DSComparisonPredicate::evaluate(const DSPredicateKeyLookup &lookup) const
{
    const auto look = [&](const QString &key) { return lookup ? lookup(key) : DSPredicateValue(); };
    const bool leftNamesField = m_left.kind() == DSExpression::Kind::KeyPath
                                || m_left.constantValue().kind() == ValueKind::String;
    const DSPredicateValue left = leftNamesField ? look(m_left.fieldName()) : m_left.constantValue();
    const DSPredicateValue right = m_right.kind() == DSExpression::Kind::KeyPath ? look(m_right.keyPath())
                                                                                  : m_right.constantValue();
    return compare(left, m_type, right, m_options);
}

QString DSComparisonPredicate::operatorText(DSPredicateOperatorType type)
{
    switch (type) {
    case Op::LessThan: return QStringLiteral("<");
    case Op::LessThanOrEqualTo: return QStringLiteral("<=");
    case Op::GreaterThan: return QStringLiteral(">");
    case Op::GreaterThanOrEqualTo: return QStringLiteral(">=");
    case Op::EqualTo: return QStringLiteral("==");
    case Op::NotEqualTo: return QStringLiteral("!=");
    case Op::Matches: return QStringLiteral("MATCHES");
    case Op::Like: return QStringLiteral("LIKE");
    case Op::BeginsWith: return QStringLiteral("BEGINSWITH");
    case Op::EndsWith: return QStringLiteral("ENDSWITH");
    case Op::In: return QStringLiteral("IN");
    case Op::Contains: return QStringLiteral("CONTAINS");
    case Op::Between: return QStringLiteral("BETWEEN");
    }
    return {};
}

void DSComparisonPredicate::appendText(QString &text) const
{
    text += m_left.toString() + QLatin1Char(' ') + operatorText(m_type);
    if (m_options) {
        text += QLatin1Char('[');
        if (m_options.testFlag(DSComparisonOption::CaseInsensitive))
            text += QLatin1Char('c');
        if (m_options.testFlag(DSComparisonOption::DiacriticInsensitive))
            text += QLatin1Char('d');
        text += QLatin1Char(']');
    }
    text += QLatin1Char(' ') + m_right.toString();
}

bool DSComparisonPredicate::isEqual(const DSPredicate &other) const
{
    const DSComparisonPredicate *c = other.asComparison();
    return c && m_type == c->m_type && m_options == c->m_options && m_left == c->m_left && m_right == c->m_right;
}
