#include "platform/predicate/DSPredicateParser.h"

#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexDigit(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

int valueDepth(const DSPredicateValue &value)
{
    int depth = 0;
    for (const DSPredicateValue &element : value.listValue())
        depth = std::max(depth, valueDepth(element));
    return value.kind() == DSPredicateValue::Kind::List ? depth + 1 : 0;
}

// Depth as the property-list reader counts it: a node is one level, each
// member or list one more.
int treeDepth(const DSPredicate &predicate)
{
    int below = 0;
    if (const DSCompoundPredicate *compound = predicate.asCompound()) {
        for (const DSPredicatePtr &member : compound->subpredicates())
            below = std::max(below, treeDepth(*member));
    } else {
        const DSComparisonPredicate *c = predicate.asComparison();
        below = std::max(valueDepth(c->leftExpression().constantValue()),
                         valueDepth(c->rightExpression().constantValue()));
    }
    return below + 1;
}

} // namespace

DSPredicateParser::DSPredicateParser(QStringView text) : m_text(text) {}

DSPredicatePtr DSPredicateParser::parse(QString *error)
{
    DSPredicatePtr result;
    if (tokenize()) {
        result = parseChain(DSCompoundPredicateType::Or);
        if (result && peek().type != Token::End) {
            expected("AND, OR or the end");
            result = nullptr;
        }
        if (result && treeDepth(*result) > DSPredicate::maximumDepth) {
            fail(QStringLiteral("Predicate nested too deeply"), 0);
            result = nullptr;
        }
    }
    if (!result && error)
        *error = m_error;
    return result;
}

bool DSPredicateParser::fail(const QString &message, qsizetype position)
{
    if (m_error.isEmpty())
        m_error = position < m_text.size() ? QStringLiteral("%1 at character %2").arg(message).arg(position + 1)
                                           : QStringLiteral("%1 at the end").arg(message);
    return false;
}

bool DSPredicateParser::expected(const char *what)
{
    return fail(QStringLiteral("Expected %1").arg(QLatin1String(what)), peek().position);
}

bool DSPredicateParser::tokenize()
{
    qsizetype i = 0;
    while (true) {
        while (i < m_text.size() && m_text[i].isSpace())
            ++i;
        Token token;
        token.position = i;
        if (i == m_text.size()) {
            m_tokens.push_back(token);
            return true;
        }
        const QChar c = m_text[i];
        const QChar next = i + 1 < m_text.size() ? m_text[i + 1] : QChar();
        bool ok = true;
        if (QStringView(u"(){},").contains(c)) {
            token.type = Token::Symbol;
            token.text = c;
            ++i;
        } else if (c == u'<' || c == u'>' || ((c == u'=' || c == u'!') && next == u'=')) {
            token.type = Token::Symbol;
            const qsizetype length = next == u'=' ? 2 : 1;
            token.text = m_text.sliced(i, length).toString();
            i += length;
        } else if (c == u'[') {
            const qsizetype close = m_text.indexOf(u']', i);
            ok = close > i;
            token.type = Token::Options;
            token.text = m_text.sliced(i + 1, std::max<qsizetype>(close - i - 1, 0)).toString();
            i = close + 1;
            if (!ok)
                fail(QStringLiteral("Unclosed options"), token.position);
        } else if (c == u'"') {
            ok = readString(i, token);
        } else if (c == u'-' || isDigit(c)) {
            ok = readNumber(i, token);
        } else if (c == u'#' || ds_predicate_is_name_start(c)) {
            ok = readName(i, token);
        } else {
            ok = fail(QStringLiteral("Unexpected character"), i);
        }
        if (!ok)
            return false;
        m_tokens.push_back(token);
    }
}

bool DSPredicateParser::readString(qsizetype &i, Token &token)
{
    token.type = Token::String;
    for (++i; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c == u'"') {
            ++i;
            return true;
        }
        if (c.isSurrogate()) {
            // Only whole pairs: a lone half could not be stored.
            if (!c.isHighSurrogate() || i + 1 == m_text.size() || !m_text[i + 1].isLowSurrogate())
                return fail(QStringLiteral("Broken character"), i);
            token.text += c;
            token.text += m_text[++i];
            continue;
        }
        if (c != u'\\') {
            token.text += c;
            continue;
        }
        const QChar escaped = i + 1 < m_text.size() ? m_text[++i] : QChar();
        switch (escaped.unicode()) {
        case u'"': token.text += u'"'; break;
        case u'\\': token.text += u'\\'; break;
        case u'n': token.text += u'\n'; break;
        case u'r': token.text += u'\r'; break;
        case u't': token.text += u'\t'; break;
        case u'u': {
            // Four hex digits naming one character; a lone surrogate could
            // not be stored, so it is refused.
            int unit = 0;
            for (int k = 1; k <= 4 && unit >= 0; ++k) {
                const int digit = i + k < m_text.size() ? hexDigit(m_text[i + k]) : -1;
                unit = digit < 0 ? -1 : unit * 16 + digit;
            }
            if (unit < 0 || QChar::isSurrogate(char32_t(unit)))
                return fail(QStringLiteral("Bad \\u escape"), i - 1);
            token.text += QChar(char16_t(unit));
            i += 4;
            break;
        }
        default:
            return fail(QStringLiteral("Unknown escape"), i - 1);
        }
    }
    return fail(QStringLiteral("Unclosed text"), token.position);
}

bool DSPredicateParser::readNumber(qsizetype &i, Token &token)
{
    token.type = Token::Number;
    qsizetype end = i + (m_text[i] == u'-' ? 1 : 0);
    if (end < m_text.size() && ds_predicate_is_name_start(m_text[end])) {
        qsizetype wordEnd = end;
        while (wordEnd < m_text.size() && ds_predicate_is_name_char(m_text[wordEnd]))
            ++wordEnd;
        if (m_text.sliced(end, wordEnd - end).compare(u"INF", Qt::CaseInsensitive) != 0)
            return fail(QStringLiteral("Bad number"), i);
        token.number = -std::numeric_limits<double>::infinity();
        i = wordEnd;
        return true;
    }
    // The extent of a number token; ds_predicate_parse_number then judges it.
    while (end < m_text.size()) {
        const QChar c = m_text[end];
        const bool exponentSign = (c == u'+' || c == u'-') && (m_text[end - 1] == u'e' || m_text[end - 1] == u'E');
        if (!isDigit(c) && c != u'.' && c != u'e' && c != u'E' && !exponentSign)
            break;
        ++end;
    }
    if ((end < m_text.size() && (ds_predicate_is_name_char(m_text[end]) || m_text[end] == u'#'))
        || !ds_predicate_parse_number(m_text.sliced(i, end - i), &token.number))
        return fail(QStringLiteral("Bad number"), i);
    i = end;
    return true;
}

bool DSPredicateParser::readName(qsizetype &i, Token &token)
{
    QStringList names;
    bool bareKeyword = false;
    while (true) {
        const bool escaped = i < m_text.size() && m_text[i] == u'#';
        if (escaped)
            ++i;
        const qsizetype start = i;
        if (i < m_text.size() && ds_predicate_is_name_start(m_text[i]))
            while (i < m_text.size() && ds_predicate_is_name_char(m_text[i]))
                ++i;
        const QString name = m_text.sliced(start, i - start).toString();
        if (name.isEmpty())
            return fail(QStringLiteral("Expected a name"), i);
        if (ds_predicate_is_keyword(name) && !escaped) {
            if (!names.isEmpty() || (i < m_text.size() && m_text[i] == u'.'))
                return fail(QStringLiteral("A keyword in a key path needs #"), start);
            bareKeyword = true;
        }
        names.append(name);
        if (i + 1 < m_text.size() && m_text[i] == u'.' && (m_text[i + 1] == u'#' || ds_predicate_is_name_start(m_text[i + 1])))
            ++i;
        else
            break;
    }
    token.type = bareKeyword ? Token::Keyword : Token::KeyPath;
    token.text = bareKeyword ? names.front().toUpper() : names.join(QLatin1Char('.'));
    return true;
}

const DSPredicateParser::Token &DSPredicateParser::peek(size_t ahead) const
{
    return m_tokens[std::min(m_next + ahead, m_tokens.size() - 1)];
}

bool DSPredicateParser::atSymbol(const char *symbol, size_t ahead) const
{
    return peek(ahead).type == Token::Symbol && peek(ahead).text == QLatin1String(symbol);
}

bool DSPredicateParser::atKeyword(const char *keyword, size_t ahead) const
{
    return peek(ahead).type == Token::Keyword && peek(ahead).text == QLatin1String(keyword);
}

bool DSPredicateParser::expectSymbol(const char *symbol, const char *what)
{
    if (!atSymbol(symbol))
        return expected(what);
    ++m_next;
    return true;
}

bool DSPredicateParser::enter()
{
    if (++m_nesting > DSPredicate::maximumDepth)
        return fail(QStringLiteral("Predicate nested too deeply"), peek().position);
    return true;
}

// A run of one word (OR, or AND inside it) is one compound of its members.
DSPredicatePtr DSPredicateParser::parseChain(DSCompoundPredicateType type)
{
    const bool isOr = type == DSCompoundPredicateType::Or;
    const auto member = [&] { return isOr ? parseChain(DSCompoundPredicateType::And) : parseUnary(); };
    const char *word = isOr ? "OR" : "AND";
    DSPredicatePtr first = member();
    if (!first || !atKeyword(word))
        return first;
    std::vector<DSPredicatePtr> members{first};
    while (atKeyword(word)) {
        ++m_next;
        DSPredicatePtr next = member();
        if (!next)
            return nullptr;
        members.push_back(std::move(next));
    }
    return DSCompoundPredicate::make(type, std::move(members));
}

DSPredicatePtr DSPredicateParser::parseUnary()
{
    if (!enter())
        return nullptr;
    DSPredicatePtr result;
    std::vector<DSPredicatePtr> members;
    if (atKeyword("NOT") && atSymbol("(", 1)) {
        ++m_next;
        if (parseMemberList(&members))
            result = DSCompoundPredicate::make(DSCompoundPredicateType::Not, std::move(members));
    } else if (atKeyword("NOT")) {
        ++m_next;
        if (DSPredicatePtr member = parseUnary())
            result = DSCompoundPredicate::notPredicate(std::move(member));
    } else if ((atKeyword("AND") || atKeyword("OR")) && atSymbol("(", 1)) {
        const bool isAnd = atKeyword("AND");
        ++m_next;
        if (parseMemberList(&members))
            result = isAnd ? DSCompoundPredicate::andPredicate(std::move(members))
                           : DSCompoundPredicate::orPredicate(std::move(members));
    } else if (atSymbol("(")) {
        ++m_next;
        result = parseChain(DSCompoundPredicateType::Or);
        if (result && !expectSymbol(")", "\")\""))
            result = nullptr;
    } else {
        result = parseComparison();
    }
    --m_nesting;
    return result;
}

bool DSPredicateParser::parseMemberList(std::vector<DSPredicatePtr> *members)
{
    if (!expectSymbol("(", "\"(\""))
        return false;
    if (atSymbol(")")) {
        ++m_next;
        return true;
    }
    while (true) {
        DSPredicatePtr member = parseChain(DSCompoundPredicateType::Or);
        if (!member)
            return false;
        members->push_back(std::move(member));
        if (atSymbol(")")) {
            ++m_next;
            return true;
        }
        if (!expectSymbol(",", "\",\" or \")\""))
            return false;
    }
}

DSPredicatePtr DSPredicateParser::parseComparison()
{
    DSExpression left, right;
    if (!parseExpression(&left))
        return nullptr;
    const Token &op = peek();
    const DSPredicateOperatorType *type = nullptr;
    if (op.type == Token::Symbol || op.type == Token::Keyword)
        for (const DSPredicateOperatorType &candidate : ds_predicate_operator_types)
            if (DSComparisonPredicate::operatorText(candidate) == op.text)
                type = &candidate;
    if (!type) {
        expected("an operator");
        return nullptr;
    }
    ++m_next;
    DSComparisonOptions options;
    if (peek().type == Token::Options) {
        const QString letters = peek().text;
        if (letters == QLatin1String("c") || letters == QLatin1String("cd"))
            options |= DSComparisonOption::CaseInsensitive;
        if (letters == QLatin1String("d") || letters == QLatin1String("cd"))
            options |= DSComparisonOption::DiacriticInsensitive;
        if (!options) {
            fail(QStringLiteral("Unknown options (c, d or cd)"), peek().position);
            return nullptr;
        }
        ++m_next;
    }
    if (!parseExpression(&right))
        return nullptr;
    return DSComparisonPredicate::make(left, *type, right, options);
}

bool DSPredicateParser::parseExpression(DSExpression *out)
{
    if (peek().type == Token::KeyPath) {
        *out = DSExpression::forKeyPath(peek().text);
        ++m_next;
        return true;
    }
    DSPredicateValue value;
    if (!parseConstant(&value))
        return false;
    *out = DSExpression::forConstantValue(value);
    return true;
}

bool DSPredicateParser::parseConstant(DSPredicateValue *out)
{
    const Token &token = peek();
    if (token.type == Token::String) {
        *out = DSPredicateValue::fromString(token.text);
    } else if (token.type == Token::Number) {
        *out = DSPredicateValue::fromNumber(token.number);
    } else if (atKeyword("TRUE") || atKeyword("FALSE")) {
        *out = DSPredicateValue::fromBool(atKeyword("TRUE"));
    } else if (atKeyword("NONE")) {
        *out = DSPredicateValue();
    } else if (atKeyword("NAN")) {
        *out = DSPredicateValue::fromNumber(std::nan(""));
    } else if (atKeyword("INF")) {
        *out = DSPredicateValue::fromNumber(std::numeric_limits<double>::infinity());
    } else if (atKeyword("DATE")) {
        return parseDate(out);
    } else if (atSymbol("{")) {
        if (!enter())
            return false;
        ++m_next;
        std::vector<DSPredicateValue> elements;
        while (!atSymbol("}")) {
            if (!elements.empty() && !expectSymbol(",", "\",\" or \"}\""))
                return false;
            if (!parseConstant(&elements.emplace_back()))
                return false;
        }
        --m_nesting;
        *out = DSPredicateValue::fromList(std::move(elements));
    } else {
        return expected("a constant or a key path");
    }
    ++m_next;
    return true;
}

bool DSPredicateParser::parseDate(DSPredicateValue *out)
{
    ++m_next;
    if (!expectSymbol("(", "\"(\""))
        return false;
    const Token &token = peek();
    DSPredicateValue seconds;
    if (token.type == Token::String) {
        double parsed = 0;
        if (!ds_predicate_parse_date(token.text, &parsed))
            return expected("a date such as \"2019-03-01T00:00:00Z\" or seconds");
        seconds = DSPredicateValue::fromNumber(parsed);
        ++m_next;
    } else if (!parseConstant(&seconds) || seconds.kind() != DSPredicateValue::Kind::Number) {
        return fail(QStringLiteral("Expected a date such as \"2019-03-01T00:00:00Z\" or seconds"), token.position);
    }
    if (!atSymbol(")"))
        return expected("\")\"");
    *out = DSPredicateValue::fromDate(seconds.numberValue());
    ++m_next;
    return true;
}
