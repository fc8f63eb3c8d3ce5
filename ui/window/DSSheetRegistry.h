#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class DSStatDocumentSheetDelegate;
class DSStatDocumentWindow;

// The controllers of a document's sheets: one of each class registered with
// DSStatDocumentSheetDelegate::registerClass() (the sheets register
// themselves, ds_register_sheet_classes()), kept under its property name,
// made at window set-up and torn down at close; and the one sheet up on the
// window.
//
// Main thread only. The document (not owned) outlives the registry.
class DSSheetRegistry
{
public:
    explicit DSSheetRegistry(DSStatDocumentWindow *document);
    ~DSSheetRegistry();

    // Every property name with its class name, in the document's order.
    static const QList<std::pair<QString, QString>> &sheetDelegateInfo();

    // Makes a controller of each registered class afresh.
    void setup();
    // Tears every controller down; a sheet still up ends as cancelled.
    void teardown();
    // The controller kept under the property name, or null when its class
    // is not registered.
    DSStatDocumentSheetDelegate *sheetDelegate(const QString &property) const;
    QList<DSStatDocumentSheetDelegate *> sheet_delegates() const;

    // The one sheet up on the window, or null.
    DSStatDocumentSheetDelegate *attached_sheet() const;
    void setAttached_sheet(DSStatDocumentSheetDelegate *sheet);

private:
    DSStatDocumentWindow *m_document;
    std::vector<std::pair<QString, std::unique_ptr<DSStatDocumentSheetDelegate>>> m_sheets;
    QPointer<DSStatDocumentSheetDelegate> m_attachedSheet;
};
