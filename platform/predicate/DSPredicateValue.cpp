#include "platform/predicate/DSPredicateValue.h"

#include <QDateTime>

#include <charconv>
#include <chrono>
#include <cmath>

namespace {

// Days from 1970-01-01 to 2001-01-01, the reference date.
constexpr qint64 kReferenceDay = 11323;
constexpr qint64 kSecondsPerDay = 86400;

// Every date of the years 1 to 9999 lies well inside this many seconds of
// the reference date; beyond it the calendar arithmetic is not attempted.
constexpr double kCalendarSecondsLimit = 1e12;

QString textFromChars(const char *begin, const char *end)
{
    return QString::fromLatin1(begin, end - begin);
}

bool readDigits(QStringView text, qsizetype at, qsizetype count, int *value)
{
    if (at + count > text.size())
        return false;
    int result = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c - u'0');
    }
    *value = result;
    return true;
}

} // namespace

DSPredicateValue DSPredicateValue::fromBool(bool value)
{
    return DSPredicateValue(Kind::Bool, value ? 1 : 0);
}

DSPredicateValue DSPredicateValue::fromNumber(double value)
{
    return DSPredicateValue(Kind::Number, value);
}

DSPredicateValue DSPredicateValue::fromString(const QString &value)
{
    DSPredicateValue v(Kind::String, 0);
    v.m_string = value;
    return v;
}

DSPredicateValue DSPredicateValue::fromDate(double secondsSinceReferenceDate)
{
    return DSPredicateValue(Kind::Date, secondsSinceReferenceDate);
}

DSPredicateValue DSPredicateValue::fromList(std::vector<DSPredicateValue> values)
{
    DSPredicateValue v(Kind::List, 0);
    v.m_list = std::move(values);
    return v;
}

DSPredicateValue DSPredicateValue::fromVariant(const QVariant &variant)
{
    if (!variant.isValid() || variant.isNull())
        return {};
    switch (variant.typeId()) {
    case QMetaType::Bool:
        return fromBool(variant.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double:
        return fromNumber(variant.toDouble());
    case QMetaType::QString:
        return fromString(variant.toString());
    case QMetaType::QDateTime: {
        const QDateTime dateTime = variant.toDateTime();
        if (!dateTime.isValid())
            return {};
        const qint64 ms = dateTime.toMSecsSinceEpoch();
        return fromDate(double(ms - kReferenceDay * kSecondsPerDay * 1000) / 1000.0);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        std::vector<DSPredicateValue> values;
        for (const QVariant &element : variant.toList())
            values.push_back(fromVariant(element));
        return fromList(std::move(values));
    }
    default:
        return {};
    }
}

bool DSPredicateValue::isMissing() const
{
    switch (m_kind) {
    case Kind::None:
        return true;
    case Kind::Number:
    case Kind::Date:
        return std::isnan(m_number);
    default:
        return false;
    }
}

double DSPredicateValue::toDouble() const
{
    switch (m_kind) {
    case Kind::Bool:
    case Kind::Number:
    case Kind::Date:
        return m_number;
    case Kind::String: {
        double value;
        if (ds_predicate_parse_number(QStringView(m_string).trimmed(), &value))
            return value;
        return std::nan("");
    }
    default:
        return std::nan("");
    }
}

QString DSPredicateValue::toText() const
{
    switch (m_kind) {
    case Kind::Bool:
        return m_number != 0 ? QStringLiteral("1") : QStringLiteral("0");
    case Kind::Number:
        return ds_predicate_number_text(m_number);
    case Kind::String:
        return m_string;
    case Kind::Date:
        return ds_predicate_date_text(m_number);
    default:
        return {};
    }
}

QString DSPredicateValue::toPredicateText() const
{
    switch (m_kind) {
    case Kind::None:
        return QStringLiteral("NONE");
    case Kind::Bool:
        return m_number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Kind::Number:
        return ds_predicate_number_text(m_number);
    case Kind::String: {
        QString text = QStringLiteral("\"");
        for (QChar c : m_string) {
            switch (c.unicode()) {
            case u'"': text += QStringLiteral("\\\""); break;
            case u'\\': text += QStringLiteral("\\\\"); break;
            case u'\n': text += QStringLiteral("\\n"); break;
            case u'\r': text += QStringLiteral("\\r"); break;
            case u'\t': text += QStringLiteral("\\t"); break;
            default:
                if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                    text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                else
                    text += c;
            }
        }
        return text + QLatin1Char('"');
    }
    case Kind::Date: {
        const QString readable = ds_predicate_date_text(m_number);
        if (!readable.isEmpty())
            return QStringLiteral("DATE(\"") + readable + QStringLiteral("\")");
        return QStringLiteral("DATE(") + ds_predicate_number_text(m_number) + QLatin1Char(')');
    }
    case Kind::List: {
        QString text = QStringLiteral("{");
        for (size_t i = 0; i < m_list.size(); ++i) {
            if (i > 0)
                text += QStringLiteral(", ");
            text += m_list[i].toPredicateText();
        }
        return text + QLatin1Char('}');
    }
    }
    return {};
}

bool DSPredicateValue::operator==(const DSPredicateValue &other) const
{
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::None:
        return true;
    case Kind::Bool:
    case Kind::Number:
    case Kind::Date:
        return m_number == other.m_number || (std::isnan(m_number) && std::isnan(other.m_number));
    case Kind::String:
        return m_string == other.m_string;
    case Kind::List:
        return m_list == other.m_list;
    }
    return false;
}

QString ds_predicate_number_text(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return textFromChars(buffer, result.ptr);
}

bool ds_predicate_parse_number(QStringView text, double *value)
{
    // Only the plain decimal form: from_chars alone would also take "inf",
    // "nan" and hexadecimal-looking texts.
    const QByteArray bytes = text.toLatin1();
    qsizetype i = 0;
    if (i < bytes.size() && bytes[i] == '-')
        ++i;
    const qsizetype digitsStart = i;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9')
        ++i;
    if (i == digitsStart)
        return false;
    if (i < bytes.size() && bytes[i] == '.') {
        const qsizetype fractionStart = ++i;
        while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9')
            ++i;
        if (i == fractionStart)
            return false;
    }
    if (i < bytes.size() && (bytes[i] == 'e' || bytes[i] == 'E')) {
        ++i;
        if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-'))
            ++i;
        const qsizetype exponentStart = i;
        while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9')
            ++i;
        if (i == exponentStart)
            return false;
    }
    if (i != bytes.size())
        return false;
    double result;
    const auto parsed = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), result);
    if (parsed.ec != std::errc() || parsed.ptr != bytes.constData() + bytes.size())
        return false;
    *value = result;
    return true;
}

QString ds_predicate_date_text(double seconds)
{
    using namespace std::chrono;
    if (!(std::fabs(seconds) < kCalendarSecondsLimit))
        return {};
    const double whole = std::floor(seconds);
    const double fraction = seconds - whole;
    const qint64 t = qint64(whole);
    qint64 dayNumber = t / kSecondsPerDay;
    qint64 secondOfDay = t % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        --dayNumber;
    }
    const year_month_day ymd{sys_days{days{dayNumber + kReferenceDay}}};
    const int year = int(ymd.year());
    if (year < 1 || year > 9999)
        return {};
    QString text = QStringLiteral("%1-%2-%3T%4:%5:%6")
                       .arg(year, 4, 10, QLatin1Char('0'))
                       .arg(unsigned(ymd.month()), 2, 10, QLatin1Char('0'))
                       .arg(unsigned(ymd.day()), 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay / 3600, 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(secondOfDay % 60, 2, 10, QLatin1Char('0'));
    if (fraction > 0) {
        // The fewest fraction digits, up to nanoseconds, that read back as
        // exactly these seconds; dates finer than that are written as seconds.
        char buffer[32];
        bool exact = false;
        for (int digits = 1; digits <= 9 && !exact; ++digits) {
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, fraction, std::chars_format::fixed, digits);
            double readBack = 0;
            std::from_chars(buffer, result.ptr, readBack);
            exact = buffer[0] == '0' && whole + readBack == seconds;
            if (exact)
                text += textFromChars(buffer + 1, result.ptr); // ".25": the digits without the leading "0"
        }
        if (!exact)
            return {};
    }
    return text + QLatin1Char('Z');
}

bool ds_predicate_parse_date(QStringView text, double *seconds)
{
    using namespace std::chrono;
    int y, mo, d, h, mi, s;
    if (text.size() < 20 || !readDigits(text, 0, 4, &y) || text[4] != u'-' || !readDigits(text, 5, 2, &mo)
        || text[7] != u'-' || !readDigits(text, 8, 2, &d) || text[10] != u'T' || !readDigits(text, 11, 2, &h)
        || text[13] != u':' || !readDigits(text, 14, 2, &mi) || text[16] != u':' || !readDigits(text, 17, 2, &s)
        || text.back() != u'Z')
        return false;
    const year_month_day ymd{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (y < 1 || !ymd.ok() || h > 23 || mi > 59 || s > 59)
        return false;
    double fraction = 0;
    const QStringView rest = text.sliced(19, text.size() - 20);
    if (!rest.isEmpty()) {
        if (rest.size() < 2 || rest[0] != u'.')
            return false;
        for (QChar c : rest.sliced(1))
            if (c < u'0' || c > u'9')
                return false;
        if (!ds_predicate_parse_number(QString(QLatin1Char('0') + rest), &fraction) || fraction >= 1)
            return false;
    }
    const qint64 dayNumber = sys_days{ymd}.time_since_epoch().count() - kReferenceDay;
    *seconds = double(dayNumber * kSecondsPerDay + h * 3600 + mi * 60 + s) + fraction;
    return true;
}
