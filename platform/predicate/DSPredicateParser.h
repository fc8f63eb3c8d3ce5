#pragma once

#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/predicate/DSExpression.h"
#include "platform/predicate/DSPredicate.h"

#include <vector>

// Reads the text form of DSPredicate (see there) by recursive descent.
// Keywords are read in any case; everything else is strict: one spelling
// per operator, escapes only \" \\ \n \r \t \uXXXX, nothing after the
// predicate.
class DSPredicateParser
{
public:
    explicit DSPredicateParser(QStringView text);

    // The predicate, or null with *error (when given) saying what was
    // expected where ("Expected an operator at character 7").
    DSPredicatePtr parse(QString *error);

private:
    struct Token {
        enum Type { End, Symbol, Keyword, KeyPath, String, Number, Options } type = End;
        QString text;     // symbol, upper-case keyword, key path, decoded string, option letters
        double number = 0;
        qsizetype position = 0;
    };

    bool tokenize();
    bool readString(qsizetype &i, Token &token);
    bool readNumber(qsizetype &i, Token &token);
    bool readName(qsizetype &i, Token &token);

    DSPredicatePtr parseChain(DSCompoundPredicateType type);
    DSPredicatePtr parseUnary();
    bool parseMemberList(std::vector<DSPredicatePtr> *members);
    DSPredicatePtr parseComparison();
    bool parseExpression(DSExpression *out);
    bool parseConstant(DSPredicateValue *out);
    bool parseDate(DSPredicateValue *out);

    const Token &peek(size_t ahead = 0) const;
    bool atSymbol(const char *symbol, size_t ahead = 0) const;
    bool atKeyword(const char *keyword, size_t ahead = 0) const;
    bool expectSymbol(const char *symbol, const char *what);
    bool enter();
    bool fail(const QString &message, qsizetype position);
    bool expected(const char *what);

    QStringView m_text;
    std::vector<Token> m_tokens;
    size_t m_next = 0;
    int m_nesting = 0;
    QString m_error;
};
