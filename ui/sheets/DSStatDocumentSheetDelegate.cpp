#include "ui/sheets/DSStatDocumentSheetDelegate.h"

#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QDialog>
#include <QHash>

namespace {

QHash<QString, DSStatDocumentSheetDelegate::Maker> &registry()
{
    static QHash<QString, DSStatDocumentSheetDelegate::Maker> makers;
    return makers;
}

DSUndoManager *undoManagerOf(DSStatDocumentWindow *document)
{
    return document ? document->managedObjectContext()->undoManager() : nullptr;
}

} // namespace

DSStatDocumentSheetDelegate::DSStatDocumentSheetDelegate() = default;

DSStatDocumentSheetDelegate::~DSStatDocumentSheetDelegate() = default;

void DSStatDocumentSheetDelegate::registerClass(const QString &className, Maker maker)
{
    registry().insert(className, std::move(maker));
}

DSStatDocumentSheetDelegate::Maker DSStatDocumentSheetDelegate::registeredClass(const QString &className)
{
    return registry().value(className);
}

QString DSStatDocumentSheetDelegate::nibName() const
{
    const QString name = className();
    return name.size() > 10 ? name.left(name.size() - 8).mid(2) : QString();
}

DSStatDocumentWindow *DSStatDocumentSheetDelegate::document() const
{
    return m_document;
}

void DSStatDocumentSheetDelegate::setDocument(DSStatDocumentWindow *document)
{
    m_document = document;
}

QDialog *DSStatDocumentSheetDelegate::sheet() const
{
    return m_sheet;
}

void DSStatDocumentSheetDelegate::setSheet(QDialog *sheet)
{
    m_sheet = sheet;
}

QWidget *DSStatDocumentSheetDelegate::window() const
{
    return m_sheet;
}

void DSStatDocumentSheetDelegate::didLoadNib()
{
    if (!m_sheet)
        m_sheet = outlet<QDialog>(QStringLiteral("sheet"));
    if (m_sheet)
        QObject::connect(m_sheet, &QDialog::rejected, this, [this] { closeSheet(m_sheet); });
    DSNibController::didLoadNib();
}

void DSStatDocumentSheetDelegate::showSheet(QWidget *window)
{
    if (!m_document || !m_sheet)
        return;
    // A shown sheet is the attached one: showing it again is refused too.
    if (m_document->attached_sheet() || m_shown) {
        m_document->beep();
        return;
    }
    if (DSUndoManager *undo = undoManagerOf(m_document))
        undo->beginUndoGrouping();
    m_shown = true;
    m_document->setAttached_sheet(this);
    if (window && m_sheet->parentWidget() != window)
        m_sheet->setParent(window, m_sheet->windowFlags() | Qt::Sheet);
    m_sheet->setWindowModality(Qt::WindowModal);
    m_sheet->open();
}

void DSStatDocumentSheetDelegate::saveSheet(QObject *)
{
    if (!m_shown)
        return;
    if (m_document) {
        m_document->managedObjectContext()->processPendingChanges();
        if (DSUndoManager *undo = undoManagerOf(m_document))
            undo->endUndoGrouping();
    }
    endSheet(QDialog::Accepted);
}

void DSStatDocumentSheetDelegate::closeSheet(QObject *)
{
    if (!m_shown)
        return;
    if (DSUndoManager *undo = undoManagerOf(m_document)) {
        undo->endUndoGrouping();
        undo->undo();
    }
    endSheet(QDialog::Rejected);
}

void DSStatDocumentSheetDelegate::endSheet(int returnCode)
{
    m_shown = false;
    if (m_document && m_document->attached_sheet() == this)
        m_document->setAttached_sheet(nullptr);
    didEndSheet(m_sheet, returnCode);
}

void DSStatDocumentSheetDelegate::didEndSheet(QDialog *sheet, int returnCode)
{
    // done() hides the dialog; its rejected() then finds the sheet ended.
    if (sheet && sheet->isVisible())
        sheet->done(returnCode);
}

void DSStatDocumentSheetDelegate::teardown()
{
    closeSheet(nullptr);
    DSNibController::teardown();
}
