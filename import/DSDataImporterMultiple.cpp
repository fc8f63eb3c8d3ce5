#include "import/DSDataImporterMultiple.h"

#include <QFileInfo>

#include <array>
#include <utility>

namespace {

// Extensions and the importer each chooses, first match in this order.
const std::array<std::pair<const char *, const char *>, 21> k_importerForExtension{{
    {"xls", "DSDataImporterXLS"},       {"xlsx", "DSDataImporterXLSX"},     {"numbers", "DSDataImporterNumbers"},
    {"csv", "DSDataImporterCSV"},       {"tsv", "DSDataImporterCSV"},       {"tab", "DSDataImporterCSV"},
    {"txt", "DSDataImporterCSV"},       {"rdata", "DSDataImporterRData"},   {"rda", "DSDataImporterRData"},
    {"rds", "DSDataImporterRData"},     {"sqlite", "DSDataImporterSQLite"}, {"sqlite3", "DSDataImporterSQLite"},
    {"sl3", "DSDataImporterSQLite"},    {"db", "DSDataImporterSQLite"},     {"mdb", "DSDataImporterMDB"},
    {"accdb", "DSDataImporterMDB"},     {"dbf", "DSDataImporterDBF"},       {"dta", "DSDataImporterDTA"},
    {"sav", "DSDataImporterDTA"},       {"por", "DSDataImporterDTA"},       {"sas7bdat", "DSDataImporterDTA"},
}};

} // namespace

DSDataImporterMultiple::DSDataImporterMultiple(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

QString DSDataImporterMultiple::importerClassNameForURL(const QUrl &url)
{
    const QString extension = QFileInfo(url.fileName()).suffix().toLower();
    for (const auto &[ext, className] : k_importerForExtension)
        if (extension == QLatin1String(ext))
            return QString::fromLatin1(className);
    return QString();
}

std::shared_ptr<DSDataImporter> DSDataImporterMultiple::importerForURL(const QUrl &url) const
{
    const QString className = importerClassNameForURL(url);
    if (className.isEmpty())
        return nullptr;
    return importerForClassName(className, {url});
}

std::shared_ptr<DSDataImporter> DSDataImporterMultiple::active_importer() const
{
    std::lock_guard lock(m_activeMutex);
    return m_activeImporter;
}

void DSDataImporterMultiple::setActive_importer(std::shared_ptr<DSDataImporter> importer)
{
    std::lock_guard lock(m_activeMutex);
    m_activeImporter = std::move(importer);
}

void DSDataImporterMultiple::setAsyncAbort(bool abort)
{
    DSDataImporter::setAsyncAbort(abort);
    if (std::shared_ptr<DSDataImporter> active = active_importer())
        active->setAsyncAbort(abort);
}

bool DSDataImporterMultiple::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype a = 0; a < n; ++a) {
        const QUrl &url = urls()[a];
        std::shared_ptr<DSDataImporter> importer = importerForURL(url);
        if (!importer) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("File format not recognized for %1").arg(url.fileName()));
            return false;
        }
        const double start = double(a) / n;
        const double end = double(a + 1) / n;
        importer->setProgressObserver([this, start, end](double p) { setAsyncProgress(start + (end - start) * p); });
        setActive_importer(importer);
        // An abort that came while the importer was being chosen reached
        // the one before it.
        if (asyncAbort())
            importer->setAsyncAbort(true);
        DSError fileError;
        const bool parsed = importer->parseIntoPool(pool, &fileError);
        importer->setProgressObserver(nullptr);
        if (asyncAbort())
            return false;
        if (!parsed) {
            if (error)
                *error = fileError.code != 0 || !fileError.localizedDescription.isEmpty()
                             ? fileError
                             : ds_make_error(1, QStringLiteral("“%1” could not be imported.").arg(url.fileName()));
            return false;
        }
        setAsyncProgress(end);
    }
    return true;
}
