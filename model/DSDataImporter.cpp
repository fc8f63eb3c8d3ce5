#include "model/DSDataImporter.h"

#include "platform/store/DSClassRegistry.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <utility>

namespace {

DSClassRegistry<DSDataImporter::Maker> &registry()
{
    static DSClassRegistry<DSDataImporter::Maker> classes;
    return classes;
}

// The type identifiers of importable files and the importer each creates,
// compared in this order.
const std::array<std::pair<const char *, const char *>, 17> k_importerForType{{
    {"public.comma-separated-values-text", "DSDataImporterCSV"},
    {"public.tab-separated-values-text", "DSDataImporterCSV"},
    {"org.quillmoth.ostrel.tab", "DSDataImporterCSV"},
    {"com.microsoft.excel.xls", "DSDataImporterXLS"},
    {"org.openxmlformats.spreadsheetml.sheet", "DSDataImporterXLSX"},
    {"com.apple.iwork.numbers.sffnumbers", "DSDataImporterNumbers"},
    {"com.apple.iwork.numbers.numbers", "DSDataImporterNumbers"},
    {"org.quillmoth.ostrel.rdata", "DSDataImporterRData"},
    {"org.quillmoth.ostrel.rds", "DSDataImporterRData"},
    {"org.quillmoth.ostrel.sqlite", "DSDataImporterSQLite"},
    {"org.quillmoth.ostrel.dbf", "DSDataImporterDBF"},
    {"org.quillmoth.ostrel.mdb", "DSDataImporterMDB"},
    {"org.quillmoth.ostrel.accdb", "DSDataImporterMDB"},
    {"org.quillmoth.ostrel.dta", "DSDataImporterDTA"},
    {"org.quillmoth.ostrel.sas7bdat", "DSDataImporterDTA"},
    {"org.quillmoth.ostrel.sav", "DSDataImporterDTA"},
    {"org.quillmoth.ostrel.por", "DSDataImporterDTA"},
}};

// The importer of a reader that is not part of this build: it keeps its
// files and refuses to import them.
class DSPendingDataImporter final : public DSDataImporter
{
public:
    DSPendingDataImporter(const QString &className, const QList<QUrl> &urls)
        : DSDataImporter(urls), m_className(className)
    {
    }

    QString className() const override { return m_className; }

    bool parseIntoPool(DSObjectPool &, DSError *error) override
    {
        if (error) {
            const QString file = urls().isEmpty() ? QString() : QFileInfo(urls().first().toLocalFile()).fileName();
            *error = ds_make_error(1, QStringLiteral("“%1” cannot be imported: this version of Ostrel has no "
                                                     "reader for its file type.")
                                          .arg(file));
        }
        return false;
    }

private:
    QString m_className;
};

} // namespace

DSDataImporter::DSDataImporter(const QList<QUrl> &urls) : m_urls(urls)
{
}

DSDataImporter::~DSDataImporter() = default;

QString DSDataImporter::importerClassNameForType(const QString &type)
{
    for (const auto &[identifier, className] : k_importerForType)
        if (type == QLatin1String(identifier))
            return QString::fromLatin1(className);
    return QString();
}

std::unique_ptr<DSDataImporter> DSDataImporter::importerForType(const QString &type, const QUrl &url)
{
    const QString className = importerClassNameForType(type);
    if (className.isEmpty())
        return nullptr;
    return importerForClassName(className, {url});
}

std::unique_ptr<DSDataImporter> DSDataImporter::importerForClassName(const QString &className, const QList<QUrl> &urls)
{
    if (Maker make = registry().find(className))
        return make(urls);
    return std::make_unique<DSPendingDataImporter>(className, urls);
}

void DSDataImporter::asyncParse(std::shared_ptr<const DSManagedObjectModel> model)
{
    m_asyncResult.reset();
    m_asyncError.reset();
    setAsyncProgress(0);
    setAsyncAbort(false);
    try {
        auto pool = std::make_shared<DSObjectPool>(std::move(model));
        DSError error;
        if (parseIntoPool(*pool, &error))
            m_asyncResult = std::move(pool);
        else if (error.code != 0 || !error.localizedDescription.isEmpty())
            m_asyncError = error;
    } catch (const std::exception &exception) {
        m_asyncResult.reset();
        qWarning("Exception: %s", exception.what());
    } catch (...) {
        m_asyncResult.reset();
        qWarning("Exception: %s", "unknown");
    }
    setAsyncProgress(1);
}

void DSDataImporter::setAsyncProgress(double p)
{
    p = std::isnan(p) ? 0 : std::clamp(p, 0.0, 1.0);
    if (m_asyncProgress.exchange(p, std::memory_order_relaxed) != p && m_progressObserver)
        m_progressObserver(p);
}

void DSDataImporter::registerImporterClass(const QString &className, Maker make)
{
    registry().add(className, make);
}
