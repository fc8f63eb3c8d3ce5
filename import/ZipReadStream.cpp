#include "import/ZipReadStream.h"

#include "import/ZipException.h"

#include <unzip.h>

#include <algorithm>
#include <climits>

ZipReadStream::ZipReadStream(void *unzFile, const QString &fileNameInZip)
    : m_unzFile(unzFile), m_fileNameInZip(fileNameInZip)
{
}

uint64_t ZipReadStream::readDataWithBuffer(char *buffer, uint64_t length)
{
    // minizip reads at most an unsigned int a call: loop until the buffer is
    // full or the entry ends.
    uint64_t done = 0;
    while (done < length) {
        const unsigned chunk = unsigned(std::min<uint64_t>(length - done, INT_MAX));
        const int n = unzReadCurrentFile(m_unzFile, buffer + done, chunk);
        if (n < 0)
            throw ZipException(QStringLiteral("Error in reading '%1' in the zipfile").arg(m_fileNameInZip), n);
        if (n == 0)
            break;
        done += uint64_t(n);
    }
    return done;
}

void ZipReadStream::finishedReading()
{
    const int result = unzCloseCurrentFile(m_unzFile);
    if (result != UNZ_OK)
        throw ZipException(QStringLiteral("Error in closing '%1' in the zipfile").arg(m_fileNameInZip), result);
}
