#include "platform/store/DSAttributeDescription.h"

#include "platform/store/DSPropertyList.h"

#include <QCborArray>
#include <QCborMap>

#include <array>
#include <limits>
#include <cmath>
#include <utility>

namespace {

const std::array<std::pair<DSAttributeType, const char *>, 9> k_types{{
    {DSAttributeType::Integer16, "integer16"},
    {DSAttributeType::Integer32, "integer32"},
    {DSAttributeType::Integer64, "integer64"},
    {DSAttributeType::Double, "double"},
    {DSAttributeType::Boolean, "boolean"},
    {DSAttributeType::String, "string"},
    {DSAttributeType::Binary, "binary"},
    {DSAttributeType::Date, "date"},
    {DSAttributeType::Transformable, "transformable"},
}};

bool refuse(QString *why, const QString &message)
{
    if (why)
        *why = message;
    return false;
}

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant &v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

// Values decoded from CBOR (the object-graph encoding, the pasteboard) arrive
// as QCborValue; scalars compare and convert as their plain variants.
QVariant unwrapCbor(const QVariant &v)
{
    if (v.typeId() == QMetaType::QCborValue) {
        const QCborValue c = v.value<QCborValue>();
        if (c.isUndefined() || c.isInvalid() || c.isNull())
            return QVariant();
        return c.toVariant();
    }
    return v;
}

bool normalizeInteger(const QVariant &v, qint64 lo, qint64 hi, QVariant *out, QString *why)
{
    if (!isNumber(v))
        return refuse(why, QStringLiteral("not a number"));
    qint64 n = 0;
    if (isFloating(v)) {
        const double d = v.toDouble();
        if (!(d >= double(lo) && d <= double(hi)) || std::trunc(d) != d)
            return refuse(why, QStringLiteral("not a whole number in range"));
        n = qint64(d);
    } else if (v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong) {
        const quint64 u = v.toULongLong();
        if (u > quint64(hi))
            return refuse(why, QStringLiteral("integer out of range"));
        n = qint64(u);
    } else {
        n = v.toLongLong();
    }
    if (n < lo || n > hi)
        return refuse(why, QStringLiteral("integer out of range"));
    *out = QVariant(qlonglong(n));
    return true;
}

bool normalizePropertyList(const QVariant &v, QVariant *out, QString *why)
{
    QCborValue c;
    if (v.typeId() == QMetaType::QCborValue)
        c = v.value<QCborValue>();
    else if (v.typeId() == QMetaType::QCborMap)
        c = v.value<QCborMap>();
    else if (v.typeId() == QMetaType::QCborArray)
        c = v.value<QCborArray>();
    else
        c = QCborValue::fromVariant(v);
    if (c.isUndefined() || c.isInvalid()) {
        *out = QVariant();
        return true;
    }
    if (!ds_property_list_is_valid(c, why))
        return false;
    *out = QVariant::fromValue(c);
    return true;
}

} // namespace

QString DSAttributeDescription::typeName(DSAttributeType type)
{
    for (const auto &[t, name] : k_types)
        if (t == type)
            return QString::fromLatin1(name);
    return QString();
}

bool DSAttributeDescription::typeFromName(const QString &name, DSAttributeType *type)
{
    for (const auto &[t, n] : k_types)
        if (name == QLatin1String(n)) {
            *type = t;
            return true;
        }
    return false;
}

bool DSAttributeDescription::normalize(const QVariant &value, QVariant *out, QString *why) const
{
    if (m_type == DSAttributeType::Transformable)
        return value.isNull() ? (*out = QVariant(), true) : normalizePropertyList(value, out, why);
    const QVariant v = unwrapCbor(value);
    if (v.isNull()) {
        *out = QVariant();
        return true;
    }
    switch (m_type) {
    case DSAttributeType::Integer16:
        return normalizeInteger(v, -32768, 32767, out, why);
    case DSAttributeType::Integer32:
        return normalizeInteger(v, -2147483648LL, 2147483647LL, out, why);
    case DSAttributeType::Integer64:
        return normalizeInteger(v, std::numeric_limits<qint64>::min(),
                                std::numeric_limits<qint64>::max(), out, why);
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        if (!isNumber(v))
            return refuse(why, QStringLiteral("not a number"));
        *out = QVariant(v.toDouble());
        return true;
    case DSAttributeType::Boolean:
        if (!isNumber(v))
            return refuse(why, QStringLiteral("not a boolean"));
        *out = QVariant(v.toBool());
        return true;
    case DSAttributeType::String:
        if (v.typeId() != QMetaType::QString)
            return refuse(why, QStringLiteral("not a string"));
        *out = v;
        return true;
    case DSAttributeType::Binary:
        if (v.typeId() != QMetaType::QByteArray)
            return refuse(why, QStringLiteral("not binary data"));
        *out = v;
        return true;
    case DSAttributeType::Transformable:
        break;
    }
    return refuse(why, QStringLiteral("unknown attribute type"));
}
