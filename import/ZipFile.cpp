#include "import/ZipFile.h"

#include "import/ZipException.h"
#include "import/ZipReadStream.h"

#include <QFile>
#include <QFileInfo>

#include <unzip.h>

#include <cstring>

namespace {

// Deflate inflates by at most 1032 to 1; the slack covers tiny entries.
constexpr uint64_t k_maxDeflateRatio = 1032;
constexpr uint64_t k_ratioSlack = 4096;

int32_t compressionLevel(const unz_file_info64 &info)
{
    if (info.compression_method == 0)
        return 0;
    switch ((info.flag >> 1) & 3) {
    case 0:
        return -1;
    case 1:
        return 9;
    default:
        return 1;
    }
}

// minizip cannot open an archive without entries (its end record then
// starts the file): such bytes are taken as an empty archive.
bool isEmptyArchive(const QByteArray &start)
{
    return start.size() >= 22 && start.startsWith("PK\x05\x06") && start.mid(8, 4) == QByteArray(4, '\0');
}

QByteArray startOfFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.read(22) : QByteArray();
}

} // namespace

// The archive bytes and a read position, behind minizip's file functions.
struct ZipFile::MemoryArchive
{
    QByteArray data;
    uint64_t position = 0;

    static voidpf open(voidpf opaque, const void *, int) { return opaque; }
    static uLong read(voidpf, voidpf stream, void *buffer, uLong size)
    {
        auto *self = static_cast<MemoryArchive *>(stream);
        const uint64_t total = uint64_t(self->data.size());
        const uint64_t n = self->position >= total ? 0 : std::min<uint64_t>(size, total - self->position);
        std::memcpy(buffer, self->data.constData() + self->position, n);
        self->position += n;
        return uLong(n);
    }
    static uLong write(voidpf, voidpf, const void *, uLong) { return 0; }
    static ZPOS64_T tell(voidpf, voidpf stream) { return static_cast<MemoryArchive *>(stream)->position; }
    static long seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
    {
        auto *self = static_cast<MemoryArchive *>(stream);
        const uint64_t total = uint64_t(self->data.size());
        uint64_t base = 0;
        if (origin == ZLIB_FILEFUNC_SEEK_CUR)
            base = self->position;
        else if (origin == ZLIB_FILEFUNC_SEEK_END)
            base = total;
        if (offset > total || base + offset > total)
            return -1;
        self->position = base + offset;
        return 0;
    }
    static int close(voidpf, voidpf) { return 0; }
    static int error(voidpf, voidpf) { return 0; }
};

ZipFile::ZipFile(const QString &fileName) : m_fileName(fileName)
{
    const QByteArray path = fileName.toUtf8();
    m_archiveSize = uint64_t(QFileInfo(fileName).size());
    m_unzFile = unzOpen64(path.constData());
    m_empty = !m_unzFile && isEmptyArchive(startOfFile(fileName));
    if (!m_unzFile && !m_empty)
        throw ZipException(QStringLiteral("Can't open '%1'").arg(m_fileName));
}

ZipFile::ZipFile(const QByteArray &data, const QString &name)
    : m_fileName(name), m_archiveSize(uint64_t(data.size())), m_memory(std::make_unique<MemoryArchive>())
{
    m_memory->data = data;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemoryArchive::open;
    functions.zread_file = MemoryArchive::read;
    functions.zwrite_file = MemoryArchive::write;
    functions.ztell64_file = MemoryArchive::tell;
    functions.zseek64_file = MemoryArchive::seek;
    functions.zclose_file = MemoryArchive::close;
    functions.zerror_file = MemoryArchive::error;
    functions.opaque = m_memory.get();
    m_unzFile = unzOpen2_64("", &functions);
    m_empty = !m_unzFile && isEmptyArchive(data);
    if (!m_unzFile && !m_empty)
        throw ZipException(QStringLiteral("Can't open '%1'").arg(m_fileName));
}

ZipFile::~ZipFile()
{
    if (m_unzFile)
        unzClose(m_unzFile);
}

void *ZipFile::handle()
{
    if (!m_unzFile)
        throw ZipException(QStringLiteral("Operation not permitted on the closed archive '%1'").arg(m_fileName));
    return m_unzFile;
}

uint64_t ZipFile::numFilesInZip()
{
    if (m_empty)
        return 0;
    unz_global_info64 info{};
    const int result = unzGetGlobalInfo64(handle(), &info);
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in getting global info in '%1'").arg(m_fileName), result);
    return info.number_entry;
}

QList<FileInZipInfo> ZipFile::listFileInZipInfos()
{
    const uint64_t n = numFilesInZip();
    QList<FileInZipInfo> infos;
    if (n < 1)
        return infos;
    goToFirstFileInZip();
    for (uint64_t i = 0; i < n; ++i) {
        infos.append(getCurrentFileInZipInfo());
        // A directory that claims more entries than it holds ends the list.
        if (i + 1 < n && !goToNextFileInZip())
            break;
    }
    return infos;
}

void ZipFile::goToFirstFileInZip()
{
    const int result = unzGoToFirstFile(handle());
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in going to first file in zip in '%1'").arg(m_fileName), result);
}

bool ZipFile::goToNextFileInZip()
{
    const int result = unzGoToNextFile(handle());
    if (result == UNZ_END_OF_LIST_OF_FILE)
        return false;
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in going to next file in zip in '%1'").arg(m_fileName), result);
    return true;
}

bool ZipFile::locateFileInZip(const QString &fileNameInZip)
{
    if (m_empty)
        return false;
    const QByteArray name = fileNameInZip.toUtf8();
    const int result = unzLocateFile(handle(), name.constData(), 1);
    if (result == UNZ_END_OF_LIST_OF_FILE)
        return false;
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in going to next file in zip in '%1'").arg(m_fileName), result);
    return true;
}

FileInZipInfo ZipFile::getCurrentFileInZipInfo()
{
    unz_file_info64 info{};
    // minizip leaves a name that fills the buffer unterminated: it gets one
    // byte less than the buffer, which stays zero.
    char name[256] = {};
    const int result =
        unzGetCurrentFileInfo64(handle(), &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in getting current file info in '%1'").arg(m_fileName), result);
    const tm_unz &t = info.tmu_date;
    const QDateTime date(QDate(int(t.tm_year), int(t.tm_mon) + 1, int(t.tm_mday)),
                         QTime(int(t.tm_hour), int(t.tm_min), int(t.tm_sec)));
    return FileInZipInfo{QString::fromUtf8(name),
                         info.uncompressed_size,
                         compressionLevel(info),
                         (info.flag & 1) != 0,
                         info.compressed_size,
                         date,
                         info.crc,
                         int32_t(info.compression_method)};
}

std::unique_ptr<ZipReadStream> ZipFile::readCurrentFileInZip()
{
    return readCurrentFileInZipWithPassword(QString());
}

std::unique_ptr<ZipReadStream> ZipFile::readCurrentFileInZipWithPassword(const QString &password)
{
    const FileInZipInfo info = getCurrentFileInZipInfo();
    const QByteArray secret = password.toUtf8();
    const int result = unzOpenCurrentFilePassword(handle(), password.isNull() ? nullptr : secret.constData());
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in opening current file in '%1'").arg(m_fileName), result);
    return std::make_unique<ZipReadStream>(m_unzFile, info.name);
}

void ZipFile::close()
{
    if (!m_unzFile)
        return;
    const int result = unzClose(m_unzFile);
    m_unzFile = nullptr;
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in closing '%1'").arg(m_fileName), result);
}

void ZipFile::checkEntrySizes(const FileInZipInfo &info, uint64_t maxLength) const
{
    const auto fail = [&](const char *why) {
        throw ZipException(QStringLiteral("Can't read '%1' in '%2': %3").arg(info.name, m_fileName, QLatin1String(why)));
    };
    if (info.crypted)
        fail("the entry is encrypted");
    if (info.size > m_archiveSize)
        fail("its compressed size exceeds the archive");
    if (info.length > maxLength)
        fail("it is larger than this reader accepts");
    if (info.method == 0 ? info.length != info.size
                         : info.length > info.size * k_maxDeflateRatio + k_ratioSlack)
        fail("its size does not fit its compressed data");
}

std::optional<QByteArray> ZipFile::readEntry(const QString &fileNameInZip, uint64_t maxLength)
{
    QByteArray data;
    const auto append = [&data](const char *bytes, qsizetype size) {
        data.append(bytes, size);
        return true;
    };
    // One piece: the buffer is the entry's checked length.
    if (!readEntryInChunks(fileNameInZip, append, qsizetype(k_maxEntryLength), maxLength))
        return std::nullopt;
    return data;
}

bool ZipFile::readEntryInChunks(const QString &fileNameInZip, const ChunkSink &sink, qsizetype chunk,
                                uint64_t maxLength)
{
    if (!locateFileInZip(fileNameInZip))
        return false;
    const FileInZipInfo info = getCurrentFileInZipInfo();
    checkEntrySizes(info, maxLength);
    std::unique_ptr<ZipReadStream> stream = readCurrentFileInZip();
    QByteArray buffer(qsizetype(std::min<uint64_t>(uint64_t(std::max<qsizetype>(chunk, 1)), info.length)), Qt::Uninitialized);
    uint64_t total = 0;
    while (total < info.length) {
        const uint64_t n =
            stream->readDataWithBuffer(buffer.data(), std::min<uint64_t>(uint64_t(buffer.size()), info.length - total));
        if (n == 0)
            break;
        total += n;
        if (!sink(buffer.constData(), qsizetype(n))) {
            unzCloseCurrentFile(m_unzFile);
            return true;
        }
    }
    if (total != info.length)
        throw ZipException(QStringLiteral("Error in reading '%1' in the zipfile: it ends after %2 of %3 bytes")
                               .arg(info.name)
                               .arg(total)
                               .arg(info.length));
    stream->finishedReading();
    return true;
}
