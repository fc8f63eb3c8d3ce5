#include "import/DSDataImporterNumbers.h"

#include "import/DSDataImporterNumbers09.h"
#include "import/DSDataImporterNumbers13.h"
#include "import/ZipException.h"
#include "import/ZipFile.h"

#include <QFileInfo>

DSDataImporterNumbers::DSDataImporterNumbers(const QList<QUrl> &urls) : DSDataImporterMultiple(urls)
{
}

std::shared_ptr<DSDataImporter> DSDataImporterNumbers::importerForURL(const QUrl &url) const
{
    const QFileInfo file(url.toLocalFile());
    if (!file.exists())
        return nullptr;
    if (file.isDir())
        return std::make_shared<DSDataImporterNumbers13>(QList<QUrl>{url});
    bool index = false;
    try {
        ZipFile zip(file.filePath());
        index = zip.locateFileInZip(QStringLiteral("index.xml"));
    } catch (const ZipException &) {
        // A document file that is no readable archive is damaged or cut
        // short; the 2013 importer reads it again and reports the damage
        // with the zip layer's reason.
        return std::make_shared<DSDataImporterNumbers13>(QList<QUrl>{url});
    }
    if (index)
        return std::make_shared<DSDataImporterNumbers09>(QList<QUrl>{url});
    return std::make_shared<DSDataImporterNumbers13>(QList<QUrl>{url});
}
