#pragma once

#include "filter/ds_filter_exclude_flags.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

// One filter view of the filter pane: the controls of one filter of the
// active filter set and the rows that filter rejects. The document keeps six
// of them, applied in order, and asks them for the row mask.
//
// The filters themselves register their class with registerClass(); until
// one is registered the document makes no filter views and every mask is
// "every row".
//
// Main thread only.
class DSFilterViewDelegate : public DSStatDocumentViewDelegate
{
public:
    // Whether clearUnmatchingBitsFromMask() would clear any bit when the
    // filter of the given button (or none) leaves out the parts the flags
    // (ds_filter_exclude_flags) name. Must answer truthfully: a false "no"
    // hands out "every row".
    virtual bool willClearBitsWhenExcludingButton(QObject *button, uint32_t flags) = 0;
    // Clears the bits of the rows this filter rejects in the mask of length
    // bytes; never sets a bit.
    virtual void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, QObject *button, uint32_t flags) = 0;

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
