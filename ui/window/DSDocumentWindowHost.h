#pragma once

class QObject;
struct VRWContext_s;

// What the document windows need of the application, handed to the
// document controller at start-up (the application object is one).
class DSDocumentWindowHost
{
public:
    virtual ~DSDocumentWindowHost() = default;
    // The fitting context every regression runs with, or null.
    virtual VRWContext_s *varrow_context() const = 0;
    // One more user action (a processed change of a document's store).
    virtual void incrementActionCount() = 0;
    // A document window opened: the welcome window goes away.
    virtual void orderOutSplashWindow() = 0;
    // The data side shows no estimation commands.
    virtual void hideEstimationCommand(QObject *sender) = 0;
};
