#pragma once

class DSSmallNumberFormatter;
class QString;
struct VRWContext_s;

// What the layers below the application use of the one application object
// (DSAppDelegate, in app/). The application hands itself to the documents as
// this interface at start-up (DSStatDocument::setApp_delegate), so no layer
// under app/ includes the application. The documents do not own it.
//
// Main thread only.
class DSAppServices
{
public:
    // The fitting context, or null when there is no CPU compute device.
    virtual VRWContext_s *varrow_context() const = 0;
    // The shared result formatter of the "number_format_options" entry of
    // that name, or null.
    virtual const DSSmallNumberFormatter *formatterNamed(const QString &name) const = 0;
    // Counts one user action: each change a document's context processes.
    virtual void incrementActionCount() = 0;

protected:
    ~DSAppServices() = default;
};
