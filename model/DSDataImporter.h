#pragma once

#include "model/DSError.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

class DSObjectPool;

// The importer of one or more files, as the document sees it: made for an
// importable file type, held by an untitled document as its pending import
// until the document's window starts it.
//
// The readers (delimited text, spreadsheets, databases, statistical
// packages) register their classes here by the names the document asks for
// ("DSDataImporterCSV", ...). A type whose reader is not registered still
// gets an importer, which refuses to import with an error saying so: it never
// produces an empty table in place of the data.
class DSDataImporter
{
public:
    explicit DSDataImporter(const QList<QUrl> &urls);
    virtual ~DSDataImporter();
    DSDataImporter(const DSDataImporter &) = delete;
    DSDataImporter &operator=(const DSDataImporter &) = delete;

    // The importer class a document creates for an importable type
    // identifier ("public.comma-separated-values-text" -> "DSDataImporterCSV"),
    // or an empty string for any other type.
    static QString importerClassNameForType(const QString &type);
    // An importer for the single file, of the class the type names: the
    // registered reader, else a pending importer of that name. Null for a
    // type that is not importable.
    static std::unique_ptr<DSDataImporter> importerForType(const QString &type, const QUrl &url);

    using Maker = std::unique_ptr<DSDataImporter> (*)(const QList<QUrl> &urls);
    static void registerImporterClass(const QString &className, Maker make);
    template <class T>
    static void registerImporterClass(const QString &className)
    {
        registerImporterClass(className, [](const QList<QUrl> &urls) -> std::unique_ptr<DSDataImporter> {
            return std::make_unique<T>(urls);
        });
    }

    const QList<QUrl> &urls() const { return m_urls; }
    // The class name the importer was made under.
    virtual QString className() const = 0;

    // Parses the files into new tables of the pool, on the importer's own
    // thread. Answers false with the error when it cannot; the pool then
    // holds nothing the document should take.
    virtual bool parseIntoPool(DSObjectPool &pool, DSError *error) = 0;

private:
    QList<QUrl> m_urls;
};
