#pragma once

#include <QString>
#include <QVariant>

#include <vector>

// A value of the predicate language: the constant of an expression, or what a
// key path answers for an object or a row. Dates are seconds since
// 2001-01-01 00:00:00 GMT, the epoch of every stored time value.
//
// A value is missing when it is none or a NaN number or date. An empty text
// is not missing, and neither is a boolean or a list.
class DSPredicateValue
{
public:
    enum class Kind { None, Bool, Number, String, Date, List };

    DSPredicateValue() = default; // none
    static DSPredicateValue fromBool(bool value);
    static DSPredicateValue fromNumber(double value);
    static DSPredicateValue fromString(const QString &value);
    static DSPredicateValue fromDate(double secondsSinceReferenceDate);
    static DSPredicateValue fromList(std::vector<DSPredicateValue> values);

    // Bool, the integer and floating-point types, QString, a valid QDateTime
    // (as a date), QVariantList and QStringList (as lists) convert; a null or
    // invalid variant and every other type give none.
    static DSPredicateValue fromVariant(const QVariant &variant);

    Kind kind() const { return m_kind; }
    bool isMissing() const;

    // The stored content; each is meaningful for its own kind only (false,
    // 0, an empty text or an empty list otherwise).
    bool boolValue() const { return m_kind == Kind::Bool && m_number != 0; }
    double numberValue() const { return m_kind == Kind::Number ? m_number : 0; }
    double dateValue() const { return m_kind == Kind::Date ? m_number : 0; }
    const QString &stringValue() const { return m_string; }
    const std::vector<DSPredicateValue> &listValue() const { return m_list; }

    // The value as a number: a number or a date's seconds as they are, a
    // boolean as 1 or 0, a text holding nothing but a number (white space
    // around it allowed, read in the C locale) as that number. NaN for
    // anything else, so a text such as "n/a" never reads as 0.
    double toDouble() const;

    // The value as plain text: a text as it is, a number in its shortest
    // exact form ("5", "0.1"), a boolean as "1" or "0" (as indicator
    // category keys are written), a date as "2019-03-01T00:00:00Z"; none and
    // lists give "".
    QString toText() const;

    // The value in the predicate text form: NONE, TRUE, 2.5, NAN, -INF,
    // "quoted text", DATE("2019-03-01T00:00:00Z"), {1, 2}.
    QString toPredicateText() const;

    // Same kind and same content; NaN equals NaN here, so that a tree equals
    // its own copy.
    bool operator==(const DSPredicateValue &other) const;
    bool operator!=(const DSPredicateValue &other) const { return !(*this == other); }

private:
    DSPredicateValue(Kind kind, double number) : m_kind(kind), m_number(number) {}

    Kind m_kind = Kind::None;
    double m_number = 0; // the number, the date's seconds, or 1/0 for a boolean
    QString m_string;
    std::vector<DSPredicateValue> m_list;
};

// Shortest text that reads back as exactly the same double ("0.1", "1e+100",
// "-0"); NAN, INF and -INF for the values that have no digits.
QString ds_predicate_number_text(double value);

// Reads a whole number token as written by ds_predicate_number_text (NAN and
// INF excepted) in the C locale. Returns false and leaves *value alone when
// the text is not exactly one number.
bool ds_predicate_parse_number(QStringView text, double *value);

// A date as "YYYY-MM-DDTHH:MM:SS[.fraction]Z" in GMT, with the fewest
// fraction digits (at most nine) that read back as exactly the same seconds.
// Returns an empty text for NaN, infinite seconds, dates outside the years 1
// to 9999 and seconds that nine fraction digits cannot give back exactly;
// the text form writes those as plain seconds.
QString ds_predicate_date_text(double secondsSinceReferenceDate);

// Reads a date in the form above (a valid calendar date and time of day).
// Returns false and leaves *seconds alone for any other text.
bool ds_predicate_parse_date(QStringView text, double *secondsSinceReferenceDate);
