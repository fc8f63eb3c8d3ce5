#include "ui/menus/DSModelMenuDelegate.h"
#include "ui/menus/DSTableMenuDelegate.h"
#include "ui/window/DSDocumentController.h"

#include "ui/DSFileMenuDelegate.h"
#include "ui/panes/ds_register_pane_classes.h"
#include "ui/sheets/ds_register_sheet_classes.h"
#include "ui/window/DSStatDocumentNib.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

namespace {

QString canonical(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    return info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
}

bool isPackage(const QString &path)
{
    return QFileInfo(path).isDir()
           && (path.endsWith(QStringLiteral(".") + DSStatDocument::packageExtension)
               || path.endsWith(QStringLiteral(".") + DSStatDocument::readOnlyPackageExtension));
}

// The open panel: a package is a folder, and choosing it, by name or by
// entering it, opens it instead of showing what is inside.
class PackageOpenPanel : public QFileDialog
{
public:
    PackageOpenPanel() : QFileDialog(nullptr, QStringLiteral("Open"))
    {
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString &directory) {
            if (isPackage(directory))
                choosePackage(directory);
        });
    }

    QString package() const { return m_package; }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && isPackage(chosen.first()))
            return choosePackage(chosen.first());
        QFileDialog::accept();
    }

private:
    void choosePackage(const QString &path)
    {
        m_package = path;
        QDialog::done(QDialog::Accepted);
    }

    QString m_package;
};

} // namespace

DSDocumentController::DSDocumentController(DSDocumentWindowHost *host, QObject *parent)
    : QObject(parent), m_host(host)
{
    DSStatDocumentNib::registerNib();
    ds_register_sheet_classes();
    ds_register_pane_classes();
}

DSDocumentController::~DSDocumentController()
{
    for (const QPointer<DSStatDocumentWindow> &document : std::exchange(m_documents, {}))
        delete document.data();
}

QList<DSStatDocumentWindow *> DSDocumentController::documents() const
{
    QList<DSStatDocumentWindow *> open;
    for (const QPointer<DSStatDocumentWindow> &document : m_documents)
        if (document)
            open.append(document.data());
    return open;
}

DSStatDocumentWindow *DSDocumentController::openDocumentWithContentsOfURL(const QUrl &url, DSError *error)
{
    for (DSStatDocumentWindow *document : documents())
        if (!document->fileURL().isEmpty() && canonical(document->fileURL()) == canonical(url)) {
            document->document_window()->raise();
            document->document_window()->activateWindow();
            return document;
        }
    auto document = std::make_unique<DSStatDocumentWindow>(m_host);
    DSError failure;
    const QString type = DSStatDocument::typeForURL(url);
    if (!document->readFromURL(url, type, &failure)) {
        if (failure.localizedDescription.isEmpty())
            failure = ds_make_error(1, QStringLiteral("The document “%1” could not be opened.")
                                           .arg(QFileInfo(url.toLocalFile()).fileName()));
        if (error)
            *error = failure;
        else
            presentError(nullptr, failure);
        return nullptr;
    }
    return adopt(document.release());
}

DSStatDocumentWindow *DSDocumentController::openUntitledDocument()
{
    auto document = std::make_unique<DSStatDocumentWindow>(m_host);
    document->initWithType(DSStatDocument::nativeType);
    return adopt(document.release());
}

DSStatDocumentWindow *DSDocumentController::adopt(DSStatDocumentWindow *document)
{
    document->setParent(this);
    connect(document, &DSStatDocument::errorPresented, document,
            [document](const DSError &error) { presentError(document->document_window(), error); });
    if (!document->makeWindowControllers()) {
        delete document;
        return nullptr;
    }
    m_documents.append(document);
    connect(document, &DSStatDocumentWindow::closed, this, [this, document] {
        m_documents.removeAll(document);
        document->deleteLater();
    });
    installMenus(document);
    document->document_window()->show();
    if (!document->damageReport().isEmpty())
        presentWarning(document->document_window(), document->damageReport(), QStringLiteral("damage_alert"));
    return document;
}

void DSDocumentController::installMenus(DSStatDocumentWindow *document)
{
    QMainWindow *window = document->document_window();
    QMenu *file = window->menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("New"), QKeySequence::New, this, [this] { openUntitledDocument(); });
    file->addAction(QStringLiteral("Open…"), QKeySequence::Open, this, [this] { openDocument(); });
    auto *imports = new DSFileMenuDelegate(document);
    imports->setObjectName(QStringLiteral("file_menu_delegate"));
    imports->setDocument(document);
    imports->addImportItems(file);
    file->addSeparator();
    file->addAction(QStringLiteral("Close"), QKeySequence::Close, window, &QWidget::close);
    file->addAction(QStringLiteral("Save"), QKeySequence::Save, document, &DSStatDocumentWindow::saveDocument);
    file->addAction(QStringLiteral("Revert to Saved"), document, &DSStatDocumentWindow::revertDocumentToSaved);
    file->addSeparator();
    file->addAction(QStringLiteral("Quit Ostrel"), QKeySequence::Quit, this, &DSDocumentController::terminate);
    QMenu *edit = window->menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(QStringLiteral("Undo"), QKeySequence::Undo, document, &DSStatDocumentWindow::undo);
    edit->addAction(QStringLiteral("Redo"), QKeySequence::Redo, document, &DSStatDocumentWindow::redo);
    window->menuBar()->addMenu((new DSTableMenuDelegate(document, window))->makeMenu(window));
    window->menuBar()->addMenu((new DSModelMenuDelegate(document, window))->makeMenu(window));
}

void DSDocumentController::openDocument()
{
    if (m_openPanel) {
        m_openPanel->raise();
        return;
    }
    auto *panel = new PackageOpenPanel;
    m_openPanel = panel;
    panel->setObjectName(QStringLiteral("open_panel"));
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        if (result != QDialog::Accepted)
            return;
        const QString package = panel->package();
        const QList<QUrl> chosen = panel->selectedUrls();
        if (!package.isEmpty())
            openDocumentWithContentsOfURL(QUrl::fromLocalFile(package));
        else if (!chosen.isEmpty())
            openDocumentWithContentsOfURL(chosen.first());
    });
    panel->open();
}

void DSDocumentController::terminate()
{
    reviewChanges(m_documents);
}

void DSDocumentController::reviewChanges(QList<QPointer<DSStatDocumentWindow>> pending)
{
    while (!pending.isEmpty() && (!pending.first() || !pending.first()->isDocumentEdited()))
        pending.removeFirst();
    if (pending.isEmpty()) {
        for (DSStatDocumentWindow *document : documents())
            document->close();
        Q_EMIT didTerminate();
        return;
    }
    DSStatDocumentWindow *document = pending.takeFirst();
    document->canCloseDocument([this, pending](bool ok) {
        if (ok)
            reviewChanges(pending);
    });
}

void DSDocumentController::presentError(QWidget *window, const DSError &error)
{
    presentWarning(window, error.localizedDescription, QStringLiteral("error_alert"));
}

QMessageBox *DSDocumentController::presentWarning(QWidget *window, const QString &text, const QString &name)
{
    auto *alert = new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::Ok, window);
    alert->setObjectName(name);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    alert->open();
    return alert;
}
