#pragma once

#include "model/DSError.h"

#include <QFileDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class DSDocumentWindowHost;
class DSStatDocumentWindow;
class QMessageBox;
class QWidget;

// The application's documents: opens files and new documents, one window
// each, and reviews unsaved changes when the application quits. It owns
// its documents; a document goes when its window closes.
//
// Main thread only.
class DSDocumentController : public QObject
{
    Q_OBJECT

public:
    // The host (not owned) must outlive the controller; it is handed to
    // every document.
    explicit DSDocumentController(DSDocumentWindowHost *host, QObject *parent = nullptr);
    ~DSDocumentController() override;

    // Opens the file (a package, or an importable file as an untitled
    // document) in a window of its own; a package already open only brings
    // its window forward. The document, or null with the error set (and
    // presented when no error was asked for).
    DSStatDocumentWindow *openDocumentWithContentsOfURL(const QUrl &url, DSError *error = nullptr);
    // A new empty document with one table, in its own window.
    DSStatDocumentWindow *openUntitledDocument();
    // Runs the open panel (window-modal to nothing; it never enters a
    // package: choosing one opens it) and opens the choice.
    void openDocument();
    // The open panel, while it runs.
    QFileDialog *openPanel() const { return m_openPanel; }

    // Asks, in turn, every edited document whether to save ("Save" / "Don't
    // Save" / "Cancel"); a Cancel or a failed save stops there and nothing
    // closes. Otherwise every document closes and didTerminate() follows.
    void terminate();

    QList<DSStatDocumentWindow *> documents() const;

    // Shows an error as a window-modal alert on the window (application-
    // modal without one), named "error_alert".
    static void presentError(QWidget *window, const DSError &error);

Q_SIGNALS:
    // Every document has closed after terminate(): the application quits.
    void didTerminate();

private:
    // A warning alert, window-modal on the window (application-modal
    // without one), named name; it deletes itself when closed.
    static QMessageBox *presentWarning(QWidget *window, const QString &text, const QString &name);
    // Shows the window of a document taken in; a document opened with
    // damage then presents its one warning ("damage_alert") on it.
    DSStatDocumentWindow *adopt(DSStatDocumentWindow *document);
    void installMenus(DSStatDocumentWindow *document);
    void reviewChanges(QList<QPointer<DSStatDocumentWindow>> pending);

    DSDocumentWindowHost *m_host;
    QList<QPointer<DSStatDocumentWindow>> m_documents;
    QPointer<QFileDialog> m_openPanel;
};
