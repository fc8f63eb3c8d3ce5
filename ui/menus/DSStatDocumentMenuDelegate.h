#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

class DSStatDocumentWindow;
class QAction;
class QMenu;

// The base of a document window's menu controllers: it builds its menu
// from titled commands and validates every item each time the menu opens.
//
// Main thread only. The document is not owned.
class DSStatDocumentMenuDelegate : public QObject
{
    Q_OBJECT

public:
    explicit DSStatDocumentMenuDelegate(DSStatDocumentWindow *document, QObject *parent = nullptr);

    DSStatDocumentWindow *document() const;

    // A new menu of the controller's commands, validated as it opens; the
    // caller owns it.
    QMenu *makeMenu(QWidget *parent);
    // Enables each item of the menu that is not a separator by validateItem().
    void menuNeedsUpdate(QMenu *menu) const;
    virtual bool validateItem(const QAction *item) const = 0;

protected:
    // The menu's title, object name and commands (a title, then the action).
    struct MenuLayout
    {
        QString title, name;
        QList<std::pair<QString, std::function<void()>>> items;
    };
    virtual MenuLayout menuLayout() = 0;

private:
    QPointer<DSStatDocumentWindow> m_document;
};
