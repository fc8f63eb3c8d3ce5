#pragma once

class DSStyle;
class DSTable;

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
};
