#pragma once

#include <QString>

#include <cstdint>

// Reads the entry that its archive has open. Borrows the archive's reader
// handle: the ZipFile must stay open, on its entry, while the stream is
// used. Made by ZipFile::readCurrentFileInZip.
class ZipReadStream
{
public:
    ZipReadStream(void *unzFile, const QString &fileNameInZip);
    ZipReadStream(const ZipReadStream &) = delete;
    ZipReadStream &operator=(const ZipReadStream &) = delete;

    // Fills up to `length` bytes of `buffer` with the entry's next data,
    // inflated; answers the number of bytes written, 0 at the entry's end.
    // A damaged entry throws ZipException ("Error in reading '<entry>' in
    // the zipfile").
    uint64_t readDataWithBuffer(char *buffer, uint64_t length);
    // Closes the entry. When it was read to its end, a CRC-32 that does not
    // match throws ("Error in closing '<entry>' in the zipfile").
    void finishedReading();

private:
    void *m_unzFile;
    QString m_fileNameInZip;
};
