#include "platform/store/DSPropertyList.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>

#include <cmath>
#include <limits>

namespace {

bool fail(QString *why, const QString &message)
{
    if (why)
        *why = message;
    return false;
}

bool isKey(const QCborValue &key)
{
    return key.isInteger() || key.isDouble() || key.isString();
}

class Decoder
{
public:
    explicit Decoder(const QByteArray &bytes) : m_size(bytes.size()), m_reader(bytes) {}

    bool decodeDocument(QCborValue *out, QString *why)
    {
        if (m_size == 0)
            return fail(why, QStringLiteral("no property list data"));
        if (!decode(out, 0, why))
            return false;
        if (m_reader.lastError() != QCborError::NoError)
            return fail(why, m_reader.lastError().toString());
        if (m_reader.currentOffset() != m_size)
            return fail(why, QStringLiteral("trailing bytes after the property list"));
        return true;
    }

private:
    qint64 remaining() const { return m_size - m_reader.currentOffset(); }

    bool readError(QString *why)
    {
        const QCborError e = m_reader.lastError();
        return fail(why, e == QCborError::NoError ? QStringLiteral("malformed property list")
                                                  : e.toString());
    }

    // Reads a text or byte string chunk by chunk; each chunk's declared size
    // is checked against the bytes left before it is read.
    template <typename Container, typename ReadChunk>
    bool readString(Container *out, ReadChunk readChunk, QString *why)
    {
        Container result;
        for (;;) {
            const qsizetype chunk = m_reader.currentStringChunkSize();
            if (chunk > remaining())
                return fail(why, QStringLiteral("a string is longer than the data"));
            auto r = readChunk();
            if (r.status == QCborStreamReader::EndOfString)
                break;
            if (r.status != QCborStreamReader::Ok)
                return readError(why);
            result += r.data;
        }
        *out = result;
        return true;
    }

    bool decode(QCborValue *out, int depth, QString *why)
    {
        if (depth > ds_property_list_max_depth)
            return fail(why, QStringLiteral("property list nested too deeply"));
        if (m_reader.lastError() != QCborError::NoError)
            return readError(why);
        switch (m_reader.type()) {
        case QCborStreamReader::UnsignedInteger: {
            const quint64 v = m_reader.toUnsignedInteger();
            *out = v <= quint64(std::numeric_limits<qint64>::max()) ? QCborValue(qint64(v))
                                                                   : QCborValue(double(v));
            return m_reader.next() || readError(why);
        }
        case QCborStreamReader::NegativeInteger: {
            // Qt hands out the magnitude (1 for -1); 0 stands for -2^64.
            const quint64 n = quint64(m_reader.toNegativeInteger());
            constexpr quint64 limit = quint64(1) << 63;
            if (n != 0 && n <= limit)
                *out = QCborValue(n == limit ? std::numeric_limits<qint64>::min() : -qint64(n));
            else
                *out = QCborValue(n == 0 ? -18446744073709551616.0 : -double(n));
            return m_reader.next() || readError(why);
        }
        case QCborStreamReader::Float16:
            *out = QCborValue(double(float(m_reader.toFloat16())));
            return m_reader.next() || readError(why);
        case QCborStreamReader::Float:
            *out = QCborValue(double(m_reader.toFloat()));
            return m_reader.next() || readError(why);
        case QCborStreamReader::Double:
            *out = QCborValue(m_reader.toDouble());
            return m_reader.next() || readError(why);
        case QCborStreamReader::SimpleType:
            switch (m_reader.toSimpleType()) {
            case QCborSimpleType::False: *out = QCborValue(false); break;
            case QCborSimpleType::True: *out = QCborValue(true); break;
            case QCborSimpleType::Null: *out = QCborValue(nullptr); break;
            case QCborSimpleType::Undefined: *out = QCborValue(); break;
            default: return fail(why, QStringLiteral("unknown simple value in a property list"));
            }
            return m_reader.next() || readError(why);
        case QCborStreamReader::String: {
            QString s;
            if (!readString(&s, [this] { return m_reader.readString(); }, why))
                return false;
            *out = QCborValue(s);
            return true;
        }
        case QCborStreamReader::ByteArray: {
            QByteArray b;
            if (!readString(&b, [this] { return m_reader.readByteArray(); }, why))
                return false;
            *out = QCborValue(b);
            return true;
        }
        case QCborStreamReader::Array:
            return decodeArray(out, depth, why);
        case QCborStreamReader::Map:
            return decodeMap(out, depth, why);
        case QCborStreamReader::Tag: {
            const QCborTag tag = m_reader.toTag();
            if (!m_reader.next())
                return readError(why);
            QCborValue content;
            if (!decode(&content, depth + 1, why))
                return false;
            *out = QCborValue(tag, content);
            // Qt turns a few standard tags (dates, URLs, regular expressions,
            // UUIDs) into its own types, which no property list holds.
            if (out->type() != QCborValue::Tag)
                return fail(why, QStringLiteral("the tag %1 is not used in property lists").arg(quint64(tag)));
            return true;
        }
        default:
            return readError(why);
        }
    }

    // A declared length can claim more elements than there are bytes; every
    // element takes at least one byte, so such a length is refused at once.
    bool checkLength(QString *why)
    {
        if (m_reader.isLengthKnown() && m_reader.length() > quint64(remaining()))
            return fail(why, QStringLiteral("a container is longer than the data"));
        return true;
    }

    bool decodeArray(QCborValue *out, int depth, QString *why)
    {
        if (!checkLength(why))
            return false;
        if (!m_reader.enterContainer())
            return readError(why);
        QCborArray array;
        while (m_reader.hasNext()) {
            QCborValue element;
            if (!decode(&element, depth + 1, why))
                return false;
            array.append(element);
        }
        if (m_reader.lastError() != QCborError::NoError || !m_reader.leaveContainer())
            return readError(why);
        *out = array;
        return true;
    }

    bool decodeMap(QCborValue *out, int depth, QString *why)
    {
        if (!checkLength(why))
            return false;
        if (!m_reader.enterContainer())
            return readError(why);
        QCborMap map;
        while (m_reader.hasNext()) {
            QCborValue key, value;
            if (!decode(&key, depth + 1, why))
                return false;
            if (!isKey(key))
                return fail(why, QStringLiteral("a property list map key is not a number or text"));
            if (!m_reader.hasNext())
                return fail(why, QStringLiteral("a property list map key has no value"));
            if (!decode(&value, depth + 1, why))
                return false;
            map.insert(key, value);
        }
        if (m_reader.lastError() != QCborError::NoError || !m_reader.leaveContainer())
            return readError(why);
        *out = map;
        return true;
    }

    qint64 m_size;
    QCborStreamReader m_reader;
};

bool validate(const QCborValue &value, int depth, QString *why)
{
    if (depth > ds_property_list_max_depth)
        return fail(why, QStringLiteral("property list nested too deeply"));
    switch (value.type()) {
    case QCborValue::Integer:
    case QCborValue::Double:
    case QCborValue::False:
    case QCborValue::True:
    case QCborValue::Null:
    case QCborValue::Undefined:
    case QCborValue::String:
    case QCborValue::ByteArray:
        return true;
    case QCborValue::Array:
        for (const QCborValue &element : value.toArray())
            if (!validate(element, depth + 1, why))
                return false;
        return true;
    case QCborValue::Map: {
        const QCborMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!isKey(it.key()))
                return fail(why, QStringLiteral("a property list map key is not a number or text"));
            if (!validate(it.value(), depth + 1, why))
                return false;
        }
        return true;
    }
    case QCborValue::Tag:
        return validate(value.taggedValue(), depth + 1, why);
    default:
        return fail(why, QStringLiteral("a property list holds a value of an unsupported kind"));
    }
}

} // namespace

QByteArray ds_property_list_to_cbor(const QCborValue &value)
{
    return value.toCbor();
}

bool ds_property_list_from_cbor(const QByteArray &bytes, QCborValue *out, QString *why)
{
    Decoder decoder(bytes);
    return decoder.decodeDocument(out, why);
}

bool ds_property_list_is_valid(const QCborValue &value, QString *why)
{
    return validate(value, 0, why);
}
