#pragma once

#include "model/DSAppServices.h"

#include <QApplication>

class DSStatDocument;
class QObject;

// What the document windows need of the application beyond what the
// documents do, handed to the document controller at start-up (the
// application object is one): the fitting context and the action count of
// DSAppServices, and the windows it shows beside the documents.
class DSDocumentWindowHost : public DSAppServices
{
public:
    virtual ~DSDocumentWindowHost() = default;
    // A document window opened: the welcome window goes away.
    virtual void orderOutSplashWindow() = 0;
    // The data side shows no estimation commands.
    virtual void hideEstimationCommand(QObject *sender) = 0;
    // The estimation-command window shows the document's command again
    // (its bottom line changed).
    virtual void refreshEstimationCommandForDocument(DSStatDocument *document) { (void)document; }
    // Whether the tutorial runs on the document (its menus' import commands
    // wait until it has ended).
    virtual bool tutorialRunsOn(const QObject *document) const
    {
        (void)document;
        return false;
    }
    // The system beep of a refused action.
    virtual void beep() { QApplication::beep(); }
};
