#include "model/util/ds_xml_property_list.h"

#include <QDateTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <optional>

namespace {

std::optional<QVariant> readValue(QXmlStreamReader &xml);

// Reads the children of the current element up to its end tag.
std::optional<QVariant> readArray(QXmlStreamReader &xml)
{
    QVariantList list;
    while (xml.readNextStartElement()) {
        auto value = readValue(xml);
        if (!value)
            return std::nullopt;
        list.append(*value);
    }
    return QVariant(list);
}

std::optional<QVariant> readDict(QXmlStreamReader &xml)
{
    QVariantMap map;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("key"))
            return std::nullopt;
        const QString key = xml.readElementText();
        if (!xml.readNextStartElement())
            return std::nullopt;
        auto value = readValue(xml);
        if (!value)
            return std::nullopt;
        map.insert(key, *value);
    }
    return QVariant(map);
}

std::optional<QVariant> readValue(QXmlStreamReader &xml)
{
    const auto name = xml.name();
    if (name == QLatin1String("dict"))
        return readDict(xml);
    if (name == QLatin1String("array"))
        return readArray(xml);
    if (name == QLatin1String("true") || name == QLatin1String("false")) {
        const bool value = name == QLatin1String("true");
        xml.skipCurrentElement();
        return QVariant(value);
    }
    const QString text = xml.readElementText();
    bool ok = true;
    if (name == QLatin1String("string"))
        return QVariant(text);
    if (name == QLatin1String("integer")) {
        const qint64 value = text.trimmed().toLongLong(&ok);
        return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
    }
    if (name == QLatin1String("real")) {
        const double value = text.trimmed().toDouble(&ok);
        return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
    }
    if (name == QLatin1String("date"))
        return QVariant(QDateTime::fromString(text.trimmed(), Qt::ISODate));
    if (name == QLatin1String("data"))
        return QVariant(QByteArray::fromBase64(text.toLatin1()));
    return std::nullopt;
}

void writeValue(QXmlStreamWriter &xml, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        xml.writeStartElement(QStringLiteral("dict"));
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            xml.writeTextElement(QStringLiteral("key"), it.key());
            writeValue(xml, it.value());
        }
        xml.writeEndElement();
        break;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        xml.writeStartElement(QStringLiteral("array"));
        for (const QVariant &item : value.toList())
            writeValue(xml, item);
        xml.writeEndElement();
        break;
    case QMetaType::Bool:
        xml.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        xml.writeTextElement(QStringLiteral("integer"), value.toString());
        break;
    case QMetaType::Double:
        xml.writeTextElement(QStringLiteral("real"), QString::number(value.toDouble(), 'g', 17));
        break;
    case QMetaType::QDateTime:
        xml.writeTextElement(QStringLiteral("date"), value.toDateTime().toUTC().toString(Qt::ISODate));
        break;
    case QMetaType::QByteArray:
        xml.writeTextElement(QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64()));
        break;
    default:
        xml.writeTextElement(QStringLiteral("string"), value.toString());
        break;
    }
}

} // namespace

QVariant ds_read_xml_property_list(const QByteArray &data)
{
    QXmlStreamReader xml(data);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist") || !xml.readNextStartElement())
        return QVariant();
    auto root = readValue(xml);
    if (!root || xml.hasError())
        return QVariant();
    return *root;
}

QByteArray ds_write_xml_property_list(const QVariant &root)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(-1);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    writeValue(xml, root);
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
