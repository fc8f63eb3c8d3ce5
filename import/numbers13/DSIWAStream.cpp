#include "import/numbers13/DSIWAStream.h"

#include "import/ZipFile.h"
#include "import/numbers13/IWSnappy.h"

#include "DSNumbers13TSP.pb.h"

#include <climits>

namespace {

// The coded stream counts in int: a decoded stream past that has no
// addressable end, and nothing past 64 MiB is delivered anyway.
int codedLength(const QByteArray &bytes)
{
    return int(std::min<qsizetype>(bytes.size(), INT_MAX));
}

} // namespace

DSIWAStream::DSIWAStream(QByteArray decoded)
    : m_bytes(std::move(decoded)),
      m_coded(reinterpret_cast<const uint8_t *>(m_bytes.constData()), codedLength(m_bytes))
{
    m_coded.SetTotalBytesLimit(k_totalBytesLimit);
    m_coded.SetRecursionLimit(100);
}

DSIWAStream::~DSIWAStream() = default;

std::optional<QByteArray> DSIWAStream::dataForCurrentIWAFileInZipFile(ZipFile &zip)
{
    const FileInZipInfo info = zip.getCurrentFileInZipInfo();
    std::optional<QByteArray> bytes = zip.readEntry(info.name);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    return IWSnappy::snappyIWADecompressedData(*bytes);
}

std::optional<QByteArray> DSIWAStream::dataForIWAFile(ZipFile &zip, const QString &entry)
{
    if (!zip.locateFileInZip(entry))
        return std::nullopt;
    return dataForCurrentIWAFileInZipFile(zip);
}

bool DSIWAStream::bytesRemain()
{
    return m_coded.BytesUntilLimit() > 0;
}

std::unique_ptr<TSP::ArchiveInfo> DSIWAStream::archiveInfoFromStream(DSError *error)
{
    uint64_t length = 0;
    if (!m_coded.ReadVarint64(&length)) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Failed to read archive info length"));
        return nullptr;
    }
    auto info = std::make_unique<TSP::ArchiveInfo>();
    if (!parsePayload(uint32_t(length), *info)) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Failed to read archive info"));
        return nullptr;
    }
    return info;
}

bool DSIWAStream::parsePayload(uint32_t length, google::protobuf::MessageLite &message)
{
    // A length past INT_MAX is a negative count, which sets no limit: the
    // parse then ends at the enclosing limit, the end of the bytes.
    const google::protobuf::io::CodedInputStream::Limit limit = m_coded.PushLimit(int(length));
    const bool parsed = message.ParseFromCodedStream(&m_coded);
    // A parse that failed, or ended early on an end-group tag, leaves the
    // cursor inside the payload; the next payload starts at its end.
    if (const int rest = m_coded.BytesUntilLimit(); rest > 0)
        m_coded.Skip(rest);
    m_coded.PopLimit(limit);
    return parsed;
}

void DSIWAStream::skipPayload(uint32_t length)
{
    const google::protobuf::io::CodedInputStream::Limit limit = m_coded.PushLimit(int(length));
    m_coded.Skip(int(length));
    m_coded.PopLimit(limit);
}
