#pragma once

#include "ui/window/DSFilterViewDelegate.h"

#include <QObject>

class DSTableFilter;

// The filter pane slot of one filter position (0 to 5): it finds the filter
// of its position in the active table's active filter set. Its button
// stands for the slot when a leave-one-out mask leaves this filter out.
//
// Main thread only.
class DSTableFilterViewDelegate : public DSFilterViewDelegate
{
public:
    explicit DSTableFilterViewDelegate(int index) : m_index(index) {}

    // No interface file: the slot has no widgets yet.
    QString nibName() const override { return {}; }

    // Makes every document's filter views of this class, and the tables'
    // row masks read the filters of their active sets.
    static void registerFilterClass();

    int index() const { return m_index; }
    // The slot's exclude token; owned by the slot.
    QObject *filter_button() { return &m_button; }
    // The active set's filter of this slot, or null.
    DSTableFilter *tableFilter() const;

    bool ownsButton(const QObject *button) const override { return button == &m_button; }
    // The filter's conditions joined by ", " while it is enabled.
    QString conditionString() const override;

private:
    int m_index;
    QObject m_button;
};
