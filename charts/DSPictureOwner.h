#pragma once

#include "model/DSRowMask.h"

#include <QString>

class DSStyle;
class DSTable;
struct DSError;

// What a picture view asks of the pane controller that shows it (every pane
// controller is one): the pane's style sheet, the document's active table,
// and closing the document's filter popover when the picture is clicked.
class DSPictureOwner
{
public:
    virtual ~DSPictureOwner() = default;

    // The pane's default style sheet, kept by the controller for its life.
    virtual DSStyle *style() = 0;
    // The active table of the controller's document, or null.
    virtual DSTable *pictureActiveTable() const = 0;
    // Closes the filter popover of the controller's document, if one is open.
    virtual void closeFilterPopover() = 0;

    // The document's row mask; null (every row) here.
    virtual DSRowMaskRef pictureMask() { return nullptr; }
    // The filter pane's active condition, which titles add in brackets;
    // empty while the pane is hidden, and here.
    virtual QString pictureConditionString() const { return {}; }
    // Presents the error of a picture's failed work (a regression run) once,
    // with the system beep, after the event being handled; nothing here.
    virtual void presentPictureError(const DSError &) {}
};
