#pragma once

#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QString>

#include <functional>
#include <memory>

class QObject;

// One filter view of the filter pane: the controls of one filter of the
// active filter set. The document keeps six of them, in slot order; the
// rows the filters reject are the table's (DSTableRowMasks), which the
// document asks for and hands on.
//
// The filters themselves register their class with registerClass(); until
// one is registered the document makes no filter views.
//
// Main thread only.
class DSFilterViewDelegate : public DSStatDocumentViewDelegate
{
public:
    // Whether the button (the token a leave-one-out mask is asked with)
    // stands for this view's slot; by default the view itself does.
    virtual bool ownsButton(const QObject *button) const { return button == this; }

    // The filter's button follows its filter; empty here.
    virtual void refreshButton() {}
    // Re-selects the filter's rows after the table changed; empty here.
    virtual void updateSelection() {}
    // The filter's condition in words, or empty when it has none.
    virtual QString conditionString() const { return {}; }

    // The filter class's maker, given the filter's position (0 to 5); null
    // until a filter class registers (registerClass(nullptr) unregisters).
    using Maker = std::function<std::unique_ptr<DSFilterViewDelegate>(int index)>;
    static void registerClass(Maker maker);
    static const Maker &registeredClass();
};
