#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <optional>

class DSStatDocumentWindow;
class QFileDialog;
class QMenu;
class QWidget;

// The File menu's import commands. The class side is the one place that
// knows the importable file extensions and how titles phrase them, and it
// runs the open panels (each with its title, accepted types and the
// document's accessory view). An instance serves one document's menu: it
// keeps the import items' titles and enabled state current and turns each
// command into a panel, an importer and the document's beginImport() at
// index 0.
//
// Main thread only.
class DSFileMenuDelegate : public QObject
{
    Q_OBJECT

public:
    explicit DSFileMenuDelegate(QObject *parent = nullptr);

    // The extension lists, lower case, in the order panels show them.
    static const QStringList &supportedFileExtensions();
    static const QStringList &delimitedTextExtensions();
    static const QStringList &spreadsheetExtensions();
    static const QStringList &rExtensions();
    static const QStringList &databaseFileExtensions();
    static const QStringList &statisticalPackageExtensions();

    // ".a", ".a or .b", ".a, .b, or .c"; empty for no extension.
    static QString phraseForExtensions(const QStringList &extensions);
    // "Import kind (phrase)", or "Import kind" when the phrase is empty.
    static QString titleForImporting(const QString &kind, const QStringList &extensions);
    // Each extension, its upper-case form, and "RData" after "rdata": the
    // types a panel accepts. None for none.
    static std::optional<QStringList> allExtensionsForExtensions(const std::optional<QStringList> &extensions);
    static QStringList allSupportedFileExtensions();

    // Runs the panel modally with the title, accepting only files of the
    // types when there are any, never directories, one file or several, the
    // accessory (may be null; it is handed back to its owner afterwards)
    // below the file list. The chosen files, or an empty list when the
    // panel was cancelled.
    static QList<QUrl> chooseFiles(QFileDialog *panel, bool multiple, const std::optional<QStringList> &types,
                                   const QString &title, QWidget *accessory = nullptr);

    // The choosers, each on a new panel; an empty list when cancelled.
    static QList<QUrl> chooseCSVForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseOtherDelimitedForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseSpreadsheetForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseRDataForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseSQLiteForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseDatabaseFileForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseBinaryDataForDocument(DSStatDocumentWindow *document, bool multiple);
    static QList<QUrl> chooseAnyForDocument(DSStatDocumentWindow *document, bool multiple);

    // The delimiter the document's delimited-text accessory names: the
    // selected choice's character code, or for the typed choice the first
    // character of its field (a space when the field is empty).
    static qint64 delimiterForDocument(DSStatDocumentWindow *document);

    // The document whose window holds the menu (not owned).
    DSStatDocumentWindow *document() const { return m_document; }
    void setDocument(DSStatDocumentWindow *document) { m_document = document; }

    // Adds the import items to the menu (objects named after their actions,
    // "importCSV", ...; separators with data 1 and 2) and keeps them current
    // whenever the menu is about to show.
    void addImportItems(QMenu *menu);

    // The menu actions. Each panel allows several files; a cancelled panel
    // imports nothing.
    void importCSV();
    void importOtherDelimited();
    void importSpreadsheet();
    void importRData();
    void importSQLite();
    void importDatabaseFile();
    void importBinaryData();
    void importDatabase();
    void importSAS7BDAT();
    void importStataDictionary();
    void importCommands();

    // Import items are enabled only while the document runs no tutorial and
    // its window shows no sheet; sets the titles that name formats and shows
    // every import item.
    void menuNeedsUpdate(QMenu *menu);

private:
    void beginImport(const QString &className, const QList<QUrl> &urls);
    void showSheet(const QString &property);

    QPointer<DSStatDocumentWindow> m_document;
};
