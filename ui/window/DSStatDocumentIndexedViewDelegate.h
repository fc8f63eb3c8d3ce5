#pragma once

#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QPointer>
#include <QRectF>

// A controller whose view is the i-th of n side by side in a superview (a
// filter view, a pivot input): the n frames tile the superview's width
// exactly, the first (width mod n) one point wider.
class DSStatDocumentIndexedViewDelegate : public DSStatDocumentViewDelegate
{
public:
    DSStatDocumentIndexedViewDelegate() = default;
    // Stores the index, then configureFrameInSuperview(superview, count).
    DSStatDocumentIndexedViewDelegate(QWidget *superview, qint64 index, qint64 count);

    // With W the superview's width truncated (0 without one), H its height,
    // q = W / n and r = W mod n: x = i·q + min(i, r), y = 0, width q + 1 for
    // i < r and q otherwise, height H. count is at least 1.
    void configureFrameInSuperview(QWidget *superview, qint64 count);

    QWidget *superview() const { return m_superview; }
    void setSuperview(QWidget *superview) { m_superview = superview; }
    qint64 index() const { return m_index; }
    void setIndex(qint64 index) { m_index = index; }
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF &frame) { m_frame = frame; }

private:
    QPointer<QWidget> m_superview;
    qint64 m_index = 0;
    QRectF m_frame;
};
