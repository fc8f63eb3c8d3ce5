#include "ui/DSPredicateEditorRowTemplate.h"

#include <QDateTime>
#include <QHash>
#include <QTime>

namespace {

using Template = DSPredicateEditorRowTemplate;

std::optional<DSPredicateValue> parseText(const QString &text)
{
    return DSPredicateValue::fromString(text);
}

// A number, or the text itself when it is not one (a code such as "n/a"
// in a numeric column stays a text and never matches a number).
std::optional<DSPredicateValue> parseNumber(const QString &text)
{
    double number = 0;
    if (ds_predicate_parse_number(QStringView(text).trimmed(), &number))
        return DSPredicateValue::fromNumber(number);
    return DSPredicateValue::fromString(text);
}

std::optional<DSPredicateValue> parseDate(const QString &text)
{
    QDateTime when = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(text.trimmed(), Qt::ISODate), QTime(0, 0), Qt::UTC);
    if (!when.isValid())
        return std::nullopt;
    if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return DSPredicateValue::fromVariant(when);
}

// A time of day, "13:05" or "13:05:30", as seconds after midnight on the
// reference date.
std::optional<DSPredicateValue> parseTimeOfDay(const QString &text)
{
    for (const QString &format : {QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")})
        if (const QTime time = QTime::fromString(text.trimmed(), format); time.isValid())
            return DSPredicateValue::fromDate(time.msecsSinceStartOfDay() / 1000.0);
    return std::nullopt;
}

QString formatTimeOfDay(const DSPredicateValue &value)
{
    if (value.kind() != DSPredicateValue::Kind::Date)
        return Template::displayText(value);
    return QTime::fromMSecsSinceStartOfDay(int(value.dateValue() * 1000) % 86400000).toString(QStringLiteral("H:mm:ss"));
}

Template typedTemplate(const QString &key, QList<DSPredicateOperatorType> operators, Template::AttributeType type,
                       std::function<std::optional<DSPredicateValue>(const QString &)> parse,
                       std::function<QString(const DSPredicateValue &)> format = Template::displayText)
{
    Template made;
    made.key = key;
    made.operators = std::move(operators);
    made.attributeType = type;
    made.parse = std::move(parse);
    made.format = std::move(format);
    return made;
}

QHash<QString, Template::Factory> &factories()
{
    static QHash<QString, Template::Factory> made{
        {QStringLiteral("string"),
         [](const QString &key, QList<DSPredicateOperatorType> ops) {
             return typedTemplate(key, std::move(ops), Template::StringAttributeType, parseText);
         }},
        {QStringLiteral("numeric"),
         [](const QString &key, QList<DSPredicateOperatorType> ops) {
             return typedTemplate(key, std::move(ops), Template::StringAttributeType, parseNumber);
         }},
        // Until durations have their own entry, a duration is typed in seconds.
        {QStringLiteral("duration"),
         [](const QString &key, QList<DSPredicateOperatorType> ops) {
             return typedTemplate(key, std::move(ops), Template::StringAttributeType, parseNumber);
         }},
        {QStringLiteral("date"),
         [](const QString &key, QList<DSPredicateOperatorType> ops) {
             return typedTemplate(key, std::move(ops), Template::DateAttributeType, parseDate);
         }},
        {QStringLiteral("time_of_day"),
         [](const QString &key, QList<DSPredicateOperatorType> ops) {
             return typedTemplate(key, std::move(ops), Template::DateAttributeType, parseTimeOfDay, formatTimeOfDay);
         }},
    };
    return made;
}

} // namespace

bool DSPredicateEditorRowTemplate::matches(const DSComparisonPredicate &comparison) const
{
    if (comparison.leftExpression().fieldName() != key || !operators.contains(comparison.predicateOperatorType()))
        return false;
    if (comparison.rightExpression().kind() != DSExpression::Kind::ConstantValue)
        return false;
    return !isPopup() || popupValues.contains(comparison.rightExpression().constantValue());
}

std::shared_ptr<const DSComparisonPredicate> DSPredicateEditorRowTemplate::comparison(const QString &key,
                                                                                      DSPredicateOperatorType type,
                                                                                      const DSPredicateValue &value)
{
    return DSComparisonPredicate::make(DSExpression::forConstantValue(DSPredicateValue::fromString(key)), type,
                                       DSExpression::forConstantValue(value));
}

QString DSPredicateEditorRowTemplate::displayText(const DSPredicateValue &value)
{
    return value.toText();
}

DSPredicateEditorRowTemplate DSPredicateEditorRowTemplate::popup(const QString &key,
                                                                 QList<DSPredicateOperatorType> operators,
                                                                 QList<DSPredicateValue> values)
{
    Template made;
    made.key = key;
    made.operators = std::move(operators);
    made.popupValues = std::move(values);
    made.format = displayText;
    return made;
}

DSPredicateEditorRowTemplate DSPredicateEditorRowTemplate::typed(const QString &kind, const QString &key,
                                                                 QList<DSPredicateOperatorType> operators)
{
    const Factory factory = factories().value(kind, factories().value(QStringLiteral("string")));
    return factory(key, std::move(operators));
}

void DSPredicateEditorRowTemplate::registerTypedFactory(const QString &kind, Factory factory)
{
    factories().insert(kind, std::move(factory));
}
