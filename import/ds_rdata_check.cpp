#include "import/ds_rdata_check.h"

#include <QRegularExpression>
#include <QtEndian>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <limits>
#include <vector>

namespace {

// The object types as librdata tells them apart.
enum : uint32_t {
    kSymbol = 1,
    kPairlist = 2,
    kClosure = 3,
    kEnvironment = 4,
    kPromise = 5,
    kLanguage = 6,
    kSpecial = 7,
    kBuiltin = 8,
    kCharacterString = 9,
    kLogical = 10,
    kInteger = 13,
    kReal = 14,
    kComplex = 15,
    kCharacterVector = 16,
    kDotDotDot = 17,
    kGenericVector = 19,
    kExpressionVector = 20,
    kExternalPointer = 22,
    kRaw = 24,
    kAltrep = 238,
    kPairlistWithAttributes = 239,
    kLanguageWithAttributes = 240,
    kBaseEnvironment = 241,
    kEmptyEnvironment = 242,
    kPersist = 247,
    kPackage = 248,
    kNamespace = 249,
    kBaseNamespace = 250,
    kMissingArgument = 251,
    kUnboundValue = 252,
    kGlobalEnvironment = 253,
    kNil = 254,
    kReference = 255,
};

struct Header
{
    uint32_t type = 0;
    bool object = false;
    bool attributes = false;
    bool tag = false;
    // Position in the table of names of a reference or of a pairlist's tag
    // (1 up), 0 for none.
    uint32_t ref = 0;
};

// How an attribute list's values are read.
enum class Attributes { Discarded, OfVector, OfDataFrame };

// One pass over the bytes. Each member reads what the librdata function of
// the same role reads, in the same order, so that the two stay in step on
// every file this one accepts; where librdata goes on past a failed read
// (an environment's parts), this one refuses instead.
class Walk
{
public:
    explicit Walk(const QByteArray &bytes) : m_at(bytes.constData()), m_end(bytes.constData() + bytes.size()) {}
    ~Walk()
    {
        if (m_converter != iconv_t(-1))
            iconv_close(m_converter);
    }
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

    bool file();

private:
    // Counts the nesting for the scope of a reading member.
    class Nest
    {
    public:
        explicit Nest(int &depth) : m_depth(++depth) {}
        ~Nest() { --m_depth; }
        bool tooDeep() const { return m_depth > ds_rdata_max_depth; }

    private:
        int &m_depth;
    };

    int64_t remaining() const { return m_end - m_at; }
    bool skip(int64_t n);
    bool u32(uint32_t &value);
    bool i32(int32_t &value);
    bool header(Header &h);
    bool characterString(QByteArray *text);
    const QByteArray *atom(uint32_t ref) const;
    bool environment();
    bool topLevelObject();
    bool valueVector(const Header &h);
    bool stringVector(bool attributes, int32_t length);
    bool attributeList(Attributes kind);
    bool vectorAttribute(const QByteArray &key, const Header &value);
    bool dataFrameAttribute(const QByteArray &key, const Header &value);
    bool genericList(bool attributes);
    bool altrepVector();
    bool wrappedVector(bool deferredText);
    bool librdataWritesTheTextOf(const Header &h) const;
    bool compactSequence();
    bool discard(const Header &h);
    bool discardVector(const Header &h, int64_t elementSize);
    bool discardPairlist(const Header &h);

    const char *m_at;
    const char *m_end;
    // The names librdata keeps, in its order: references point into it.
    std::vector<QByteArray> m_atoms;
    // Set as librdata sets it, from a version 3 file's encoding.
    iconv_t m_converter = iconv_t(-1);
    int m_depth = 0;
};

bool Walk::skip(int64_t n)
{
    if (n < 0 || n > remaining())
        return false;
    m_at += n;
    return true;
}

bool Walk::u32(uint32_t &value)
{
    if (remaining() < 4)
        return false;
    value = qFromBigEndian<quint32>(m_at);
    m_at += 4;
    return true;
}

bool Walk::i32(int32_t &value)
{
    uint32_t bits;
    if (!u32(bits))
        return false;
    value = int32_t(bits);
    return true;
}

bool Walk::header(Header &h)
{
    const Nest nest(m_depth);
    uint32_t flags;
    if (nest.tooDeep() || !u32(flags))
        return false;
    h = Header{flags & 0xFF, bool(flags >> 8 & 1), bool(flags >> 9 & 1), bool(flags >> 10 & 1), 0};
    if (h.type == kPairlistWithAttributes || h.type == kLanguageWithAttributes) {
        h.attributes = true;
        h.type = h.type == kPairlistWithAttributes ? kPairlist : kLanguage;
    }
    if (h.type == kPairlist) {
        uint32_t tag = 0;
        if ((h.attributes && !skip(4)) || (h.tag && !u32(tag)))
            return false;
        if (tag == kSymbol) {
            Header key;
            QByteArray name;
            if (!header(key) || key.type != kCharacterString || !characterString(&name))
                return false;
            m_atoms.push_back(name);
            h.ref = uint32_t(m_atoms.size());
        } else if ((tag & 0xFF) == kReference) {
            h.ref = tag >> 8;
        }
    }
    if (h.type == kReference)
        h.ref = flags >> 8;
    return true;
}

// Reads a name as librdata does: 0 and -1 as empty, the text converted from
// the file's encoding, cut at its first NUL (the library compares and
// measures C strings).
bool Walk::characterString(QByteArray *text)
{
    uint32_t length;
    if (!u32(length))
        return false;
    if (length == 0 || length == UINT32_MAX) {
        if (text)
            text->clear();
        return true;
    }
    const char *start = m_at;
    if (!skip(int64_t(length)))
        return false;
    if (!text)
        return true;
    if (m_converter == iconv_t(-1)) {
        *text = QByteArray(start, qstrnlen(start, length));
        return true;
    }
    QByteArray converted(qsizetype(4) * length + 1, '\0');
    char *in = const_cast<char *>(start);
    size_t inLeft = length;
    char *out = converted.data();
    size_t outLeft = size_t(converted.size()) - 1;
    if (iconv(m_converter, &in, &inLeft, &out, &outLeft) == size_t(-1) && errno != EINVAL)
        return false;
    *text = QByteArray(converted.constData());
    return true;
}

// The encodings R names as a session's own whose conversion keeps no state
// from one text to the next. The library converts every text with one
// converter, names and values alike, in its order; this walk converts only
// names, so with a stateful encoding (ISO-2022, UTF-16, ...) the two could
// read different names.
bool isStatelessEncoding(const QByteArray &encoding)
{
    static const QRegularExpression known(
        QStringLiteral("^(latin[0-9]+|ISO[-_]?8859[-_][0-9]+|(CP|WINDOWS-)(125[0-46-7]|4[0-9][0-9]|8[0-9][0-9]|9[0-9][0-9])"
                       "|US-ASCII|ASCII|ANSI_X3\\.4-1968|GBK|GB2312|GB18030|BIG5|EUC-(JP|KR|TW|CN)|SHIFT_JIS|SJIS"
                       "|KOI8-[RU]|MACINTOSH)$"),
        QRegularExpression::CaseInsensitiveOption);
    return known.match(QString::fromLatin1(encoding)).hasMatch();
}

const QByteArray *Walk::atom(uint32_t ref) const
{
    return ref >= 1 && ref <= m_atoms.size() ? &m_atoms[ref - 1] : nullptr;
}

bool Walk::file()
{
    if (remaining() < 5)
        return false;
    // librdata is built without its decompressors: it would refuse these.
    const QByteArray start(m_at, 5);
    if (start.startsWith("BZh") || start.startsWith("\x1F\x8B") || start == "\xFD" "7zXZ")
        return false;
    const bool workspace = start.startsWith("RDX") && start[4] == '\n';
    if (workspace)
        m_at += 5;
    uint32_t format, writer, reader;
    if (!skip(2) || !u32(format) || !u32(writer) || !u32(reader))
        return false;
    if (workspace && format != uint32_t(start[3] - '0'))
        return false;
    if (format == 3) {
        QByteArray encoding;
        if (!characterString(&encoding))
            return false;
        if (encoding != "UTF-8") {
            if (!isStatelessEncoding(encoding))
                return false;
            if ((m_converter = iconv_open("UTF-8", encoding.constData())) == iconv_t(-1))
                return false;
        }
    }
    return workspace ? environment() : topLevelObject();
}

bool Walk::environment()
{
    for (;;) {
        Header h;
        if (!header(h))
            return false;
        if (h.type == kNil)
            return true;
        if (h.type != kPairlist) {
            if (!discard(h))
                return false;
            continue;
        }
        if (!atom(h.ref) || !topLevelObject())
            return false;
    }
}

bool Walk::topLevelObject()
{
    Header h;
    if (!header(h))
        return false;
    switch (h.type) {
    case kReal:
    case kInteger:
    case kLogical:
        return valueVector(h);
    case kCharacterVector: {
        int32_t length;
        return i32(length) && stringVector(h.attributes, length);
    }
    case kAltrep:
        return altrepVector();
    case kGenericVector:
        if (h.object && h.attributes)
            return genericList(true);
        return discard(h);
    default:
        return discard(h);
    }
}

bool Walk::valueVector(const Header &h)
{
    int64_t elementSize;
    switch (h.type) {
    case kReal:
        elementSize = 8;
        break;
    case kInteger:
    case kLogical:
        elementSize = 4;
        break;
    default:
        return false;
    }
    int32_t length;
    if (!i32(length) || length < 0 || !skip(length * elementSize))
        return false;
    return !h.attributes || attributeList(Attributes::OfVector);
}

bool Walk::stringVector(bool attributes, int32_t length)
{
    // An element takes 8 bytes at least, its header and its length.
    if (length < 0 || length > remaining() / 8)
        return false;
    for (int32_t i = 0; i < length; ++i) {
        Header h;
        int32_t size;
        if (!header(h) || h.type != kCharacterString || !i32(size))
            return false;
        // -1 is R's missing text; the library would take any other negative
        // size as a huge one.
        if (size < -1 || (size > 0 && !skip(size)))
            return false;
    }
    return !attributes || attributeList(Attributes::OfVector);
}

bool Walk::attributeList(Attributes kind)
{
    const Nest nest(m_depth);
    Header list;
    if (nest.tooDeep() || !header(list))
        return false;
    while (list.type == kPairlist) {
        Header value;
        if (!header(value))
            return false;
        if (kind == Attributes::Discarded) {
            if (!discard(value))
                return false;
        } else {
            const QByteArray *key = atom(list.ref);
            if (!key)
                return false;
            if (!(kind == Attributes::OfVector ? vectorAttribute(*key, value) : dataFrameAttribute(*key, value)))
                return false;
        }
        if (!header(list))
            return false;
    }
    return true;
}

bool Walk::vectorAttribute(const QByteArray &key, const Header &value)
{
    if (key == "levels" || key == "class") {
        int32_t length;
        return i32(length) && stringVector(value.attributes, length);
    }
    if (key == "dim") {
        // The library reads up to three extents of an integer vector and
        // leaves anything else where it is.
        int32_t length;
        if (value.type != kInteger)
            return true;
        return i32(length) && (length < 0 || length > 3 || skip(length * 4));
    }
    if (key == "dimnames")
        return genericList(value.attributes);
    return discard(value);
}

bool Walk::dataFrameAttribute(const QByteArray &key, const Header &value)
{
    if ((key == "names" || key == "row.names") && value.type == kCharacterVector) {
        int32_t length;
        return i32(length) && stringVector(value.attributes, length);
    }
    return discard(value);
}

bool Walk::genericList(bool attributes)
{
    const Nest nest(m_depth);
    int32_t length;
    if (nest.tooDeep() || !i32(length) || length < 0 || length > remaining() / 4)
        return false;
    for (int32_t i = 0; i < length; ++i) {
        Header h;
        if (!header(h))
            return false;
        bool read;
        if (h.type == kCharacterVector) {
            int32_t size;
            read = i32(size) && stringVector(h.attributes, size);
        } else if (h.type == kAltrep) {
            read = altrepVector();
        } else {
            read = h.type == kNil || valueVector(h);
        }
        if (!read)
            return false;
    }
    return !attributes || attributeList(Attributes::OfDataFrame);
}

bool Walk::altrepVector()
{
    const Nest nest(m_depth);
    Header h;
    if (nest.tooDeep() || !header(h) || h.type != kPairlist || !header(h))
        return false;
    QByteArray className;
    if (h.type == kSymbol) {
        if (!header(h) || h.type != kCharacterString || !characterString(&className))
            return false;
        m_atoms.push_back(className);
    } else if (h.type == kReference && atom(h.ref)) {
        className = *atom(h.ref);
    } else {
        return false;
    }
    // The package and class id.
    if (!header(h) || h.type != kPairlist || !discard(h))
        return false;
    if (className == "wrap_real" || className == "deferred_string")
        return wrappedVector(className == "deferred_string");
    if (className == "compact_intseq")
        return compactSequence();
    return false;
}

// A wrapped or deferred vector: its representation, an alternative the
// library skips, and the end of the list.
bool Walk::wrappedVector(bool deferredText)
{
    Header h;
    if (!header(h) || h.type != kPairlist || !header(h))
        return false;
    if (deferredText && !librdataWritesTheTextOf(h))
        return false;
    if (!valueVector(h) || !header(h) || !discard(h))
        return false;
    return header(h) && h.type == kNil;
}

// Whether R writes x as "%.0f" does: a whole number below 10^15 whose
// digits are no wider than R's exponent form (100000 is "1e+05" in R).
bool isWrittenWhole(double x)
{
    if (!std::isfinite(x) || x != std::floor(x) || std::fabs(x) >= 1e15 || (x == 0 && std::signbit(x)))
        return false;
    char digits[24];
    const int width = std::snprintf(digits, sizeof digits, "%.0f", std::fabs(x));
    int significant = width;
    while (significant > 1 && digits[significant - 1] == '0')
        --significant;
    return width <= (significant > 1 ? significant + 1 : 1) + 4;
}

// A deferred text (R's as.character of numbers, kept as the numbers) is
// written out by librdata itself, with "%d" and "%.0f": what R makes of
// them only for whole numbers R writes without an exponent. Anything else
// (1.5 would read "2", a missing number "nan" or "-2147483648") is refused
// rather than imported wrong. Reads the vector's count and values ahead.
bool Walk::librdataWritesTheTextOf(const Header &h) const
{
    const int64_t size = h.type == kReal ? 8 : 4;
    if ((h.type != kReal && h.type != kInteger) || remaining() < 4)
        return false;
    const int32_t length = qFromBigEndian<qint32>(m_at);
    if (length < 0 || length > (remaining() - 4) / size)
        return false;
    const char *values = m_at + 4;
    for (int32_t i = 0; i < length; ++i) {
        const bool exact = h.type == kReal ? isWrittenWhole(qFromBigEndian<double>(values + 8 * i))
                                           : qFromBigEndian<qint32>(values + 4 * i) != INT32_MIN;
        if (!exact)
            return false;
    }
    return true;
}

// The library writes the sequence out from its count, start and step (R's
// 1:n), into memory it allocates unchecked for count values and fills as far
// as count reaches.
bool Walk::compactSequence()
{
    Header h;
    int32_t length;
    if (!header(h) || !i32(length) || length != 3 || remaining() < 24)
        return false;
    double info[3];
    for (double &value : info) {
        value = qFromBigEndian<double>(m_at);
        m_at += 8;
    }
    if (h.attributes && !attributeList(Attributes::OfVector))
        return false;
    const auto isInt32 = [](double x) {
        return std::isfinite(x) && x == std::floor(x) && x >= std::numeric_limits<int32_t>::min() &&
               x <= std::numeric_limits<int32_t>::max();
    };
    const double count = info[0], first = info[1], step = info[2];
    if (!isInt32(count) || count < 0 || count > double(ds_rdata_max_sequence) || !isInt32(first) || !isInt32(step))
        return false;
    if (count > 0 && !isInt32(first + (count - 1) * step))
        return false;
    Header nil;
    return header(nil) && nil.type == kNil;
}

bool Walk::discard(const Header &h)
{
    const Nest nest(m_depth);
    if (nest.tooDeep())
        return false;
    Header inner;
    switch (h.type) {
    case kSymbol:
    case kPersist:
    case kNamespace:
    case kPackage:
        return header(inner) && discard(inner);
    case kBuiltin:
    case kSpecial:
        return characterString(nullptr);
    case kPairlist:
        return discardPairlist(h);
    case kCharacterString: {
        QByteArray name;
        if (!characterString(&name))
            return false;
        if (!name.isEmpty())
            m_atoms.push_back(name);
        return true;
    }
    case kRaw:
        return discardVector(h, 1);
    case kLogical:
    case kInteger:
        return discardVector(h, 4);
    case kReal:
        return discardVector(h, 8);
    case kComplex:
        return discardVector(h, 16);
    case kCharacterVector:
    case kGenericVector:
    case kExpressionVector: {
        uint32_t length;
        if (!u32(length) || length > remaining() / 4)
            return false;
        for (uint32_t i = 0; i < length; ++i) {
            if (!header(inner))
                return false;
            if (h.type == kCharacterVector ? inner.type != kCharacterString || !characterString(nullptr)
                                           : !discard(inner))
                return false;
        }
        return !h.attributes || attributeList(Attributes::Discarded);
    }
    case kDotDotDot:
    case kPromise:
    case kLanguage:
    case kClosure:
        if (h.attributes && !(header(inner) && discard(inner)))
            return false;
        if (h.tag && !(header(inner) && discard(inner)))
            return false;
        // The head and the rest.
        return header(inner) && discard(inner) && header(inner) && discard(inner);
    case kExternalPointer:
        // The protected value and the tag.
        return header(inner) && discard(inner) && header(inner) && discard(inner);
    case kEnvironment:
        // The lock flag, then enclosure, frame, hash table and attributes.
        if (!skip(4))
            return false;
        for (int part = 0; part < 4; ++part)
            if (!header(inner) || !discard(inner))
                return false;
        return true;
    case kReference:
    case kNil:
    case kGlobalEnvironment:
    case kUnboundValue:
    case kMissingArgument:
    case kBaseNamespace:
    case kEmptyEnvironment:
    case kBaseEnvironment:
        return true;
    case kAltrep:
        // Its class, package and type, then its parts up to the end.
        if (!header(inner) || !discard(inner))
            return false;
        for (;;) {
            if (!header(inner))
                return false;
            if (inner.type == kNil)
                return true;
            if (inner.type != kPairlist && !discard(inner))
                return false;
        }
    default:
        return false;
    }
}

// The library skips a vector's values by their count and reads its
// attributes as one object.
bool Walk::discardVector(const Header &h, int64_t elementSize)
{
    int32_t length;
    if (!i32(length) || (length > 0 && !skip(length * elementSize)))
        return false;
    Header attributes;
    return !h.attributes || (header(attributes) && discard(attributes));
}

bool Walk::discardPairlist(const Header &h)
{
    uint32_t type = h.type;
    while (type == kPairlist) {
        Header part;
        if (!header(part) || !discard(part) || !header(part))
            return false;
        type = part.type;
    }
    return type == kNil;
}

} // namespace

bool ds_rdata_check(const QByteArray &bytes)
{
    return Walk(bytes).file();
}
