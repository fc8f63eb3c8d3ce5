#pragma once

#include "import/FileInZipInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class ZipReadStream;

// A zip archive opened for reading, over minizip. It counts, lists, locates
// and reads entries; the reader keeps one current entry, which locating,
// stepping and reading move. Every failure throws ZipException with a
// reason naming the archive or entry; only a missing entry and the end of
// the list are ordinary answers.
//
// Sizes and offsets come from the archive and are not trusted: an entry is
// read only when its sizes fit the archive and the limits below, and a read
// that ends before the directory's length, or whose CRC-32 does not match,
// throws. Nothing reads past a buffer on a damaged archive.
//
// One thread at a time. The archive closes on close() or destruction.
class ZipFile
{
public:
    // The most a whole-entry read inflates: no workbook or document part
    // comes near it, and it keeps a forged directory from asking for
    // gigabytes.
    static constexpr uint64_t k_maxEntryLength = uint64_t(1) << 30;

    // Opens the archive at the path; a file that is not a zip archive throws
    // "Can't open '<path>'" (error 0).
    explicit ZipFile(const QString &fileName);
    // Opens an archive held in memory; `name` stands for it in messages.
    ZipFile(const QByteArray &data, const QString &name);
    ~ZipFile();
    ZipFile(const ZipFile &) = delete;
    ZipFile &operator=(const ZipFile &) = delete;

    const QString &fileName() const { return m_fileName; }

    // Entries of the central directory.
    uint64_t numFilesInZip();
    // Every entry in directory order; the last one stays current.
    QList<FileInZipInfo> listFileInZipInfos();
    void goToFirstFileInZip();
    // False at the end of the list.
    bool goToNextFileInZip();
    // Makes the entry with exactly this name (case-sensitive) current; false
    // when there is none.
    bool locateFileInZip(const QString &fileNameInZip);
    FileInZipInfo getCurrentFileInZipInfo();
    // Opens the current entry; the stream borrows this archive.
    std::unique_ptr<ZipReadStream> readCurrentFileInZip();
    std::unique_ptr<ZipReadStream> readCurrentFileInZipWithPassword(const QString &password);
    // Closes the archive; later calls throw. Closing twice is harmless.
    void close();

    // The whole entry named, inflated: nullopt when the archive has no such
    // entry, an empty array for an empty entry. Throws when the entry is
    // damaged, encrypted, shorter than its directory says, fails its CRC-32,
    // or claims more than `maxLength` bytes or more than its compressed
    // bytes can inflate to.
    std::optional<QByteArray> readEntry(const QString &fileNameInZip, uint64_t maxLength = k_maxEntryLength);

    // The same entry handed to `sink` in pieces of at most `chunk` bytes as
    // it inflates, with the same checks; false when there is no such entry.
    // A sink that answers false stops the read (the entry is closed, not
    // checked further). Throws as readEntry does.
    using ChunkSink = std::function<bool(const char *data, qsizetype size)>;
    bool readEntryInChunks(const QString &fileNameInZip, const ChunkSink &sink, qsizetype chunk = 1 << 20,
                           uint64_t maxLength = k_maxEntryLength);

private:
    struct MemoryArchive;
    void *handle(); // the open reader, or throws
    void checkEntrySizes(const FileInZipInfo &info, uint64_t maxLength) const;

    QString m_fileName;
    void *m_unzFile = nullptr;
    bool m_empty = false;  // an archive without entries, which minizip does not open
    uint64_t m_archiveSize = 0;
    std::unique_ptr<MemoryArchive> m_memory;
};
