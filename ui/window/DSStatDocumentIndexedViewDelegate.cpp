#include "ui/window/DSStatDocumentIndexedViewDelegate.h"

#include <QWidget>

#include <algorithm>

DSStatDocumentIndexedViewDelegate::DSStatDocumentIndexedViewDelegate(QWidget *superview, qint64 index, qint64 count)
    : m_index(index)
{
    configureFrameInSuperview(superview, count);
}

void DSStatDocumentIndexedViewDelegate::configureFrameInSuperview(QWidget *superview, qint64 count)
{
    Q_ASSERT(count >= 1);
    const qint64 width = superview ? superview->width() : 0;
    const qint64 height = superview ? superview->height() : 0;
    const qint64 q = width / count, r = width % count;
    m_frame = QRectF(double(m_index * q + std::min(m_index, r)), 0.0, double(m_index < r ? q + 1 : q), double(height));
    m_superview = superview;
}
