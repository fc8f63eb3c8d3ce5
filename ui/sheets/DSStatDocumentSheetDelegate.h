#pragma once

#include "ui/DSNibController.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class DSStatDocumentWindow;
class QDialog;
class QObject;
class QWidget;

// The base of the controllers of a document's sheets. A sheet is a
// window-modal dialog (the outlet "sheet" of the controller's interface
// file) shown with open() over the document window; at most one sheet is up
// on a document at a time. A sheet is one undo group of the document's
// store: saving keeps what changed while it was up as one undoable step,
// cancelling undoes it.
//
// A sheet runs Idle -> Shown -> Saved or Cancelled -> Ended -> Idle. A
// controller that is not shown ignores saveSheet() and closeSheet(), so a
// refused sheet never closes or undoes the group of the sheet that is up.
//
// Main thread only. The document (not owned) outlives the controller.
class DSStatDocumentSheetDelegate : public DSNibController
{
public:
    DSStatDocumentSheetDelegate();
    ~DSStatDocumentSheetDelegate() override;

    // The class name less "DS" and "Delegate":
    // DSMissingValuesSheetDelegate loads "MissingValuesSheet".
    QString nibName() const override;

    DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);
    QDialog *sheet() const;
    void setSheet(QDialog *sheet);
    QWidget *window() const override;
    bool isShown() const { return m_shown; }

    // Shows the sheet over the window as one undo group. When the document
    // already has a sheet up it beeps and does nothing else (no group, the
    // controller stays Idle). An override prepares its controls and then
    // calls the base.
    virtual void showSheet(QWidget *window);
    // Keeps the changes (one undo step) and ends the sheet. An override
    // writes its controls into the store and calls the base last.
    virtual void saveSheet(QObject *sender);
    // Undoes every change made while the sheet was up and ends it.
    virtual void closeSheet(QObject *sender);
    // The sheet ended (code QDialog::Accepted or Rejected); the base orders
    // it out. An override clears its fields and calls the base.
    virtual void didEndSheet(QDialog *sheet, int returnCode);

    // Ends a shown sheet as cancelled, then the base teardown.
    void teardown() override;

    // The registry of sheet classes, filled by the classes as they are built:
    // the document makes one controller of each registered class.
    using Maker = std::function<std::unique_ptr<DSStatDocumentSheetDelegate>()>;
    static void registerClass(const QString &className, Maker maker);
    // The maker of that class, or null when it is not registered.
    static Maker registeredClass(const QString &className);

protected:
    // Finds the "sheet" outlet and routes its Escape and close button to
    // closeSheet().
    void didLoadNib() override;

private:
    void endSheet(int returnCode);

    QPointer<DSStatDocumentWindow> m_document;
    QPointer<QDialog> m_sheet;
    bool m_shown = false;
};
