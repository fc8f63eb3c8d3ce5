#include "ui/window/DSStatDocumentViewDelegate.h"

#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "ui/window/DSStatDocumentPopoverViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace {

// Text views of either kind: read-only state and the text's colour.
bool setTextViewEnabled(QWidget *view, bool enabled)
{
    auto *text = qobject_cast<QTextEdit *>(view);
    auto *plain = qobject_cast<QPlainTextEdit *>(view);
    if (!text && !plain)
        return false;
    const bool editable = text ? !text->isReadOnly() : !plain->isReadOnly();
    if (enabled && editable)
        return true;
    if (text)
        text->setReadOnly(!enabled);
    else
        plain->setReadOnly(!enabled);
    DSStatDocumentViewDelegate::setTextColour(view, enabled ? Qt::black : Qt::lightGray, QPalette::Text);
    return true;
}

void setViewTreeEnabled(QWidget *view, bool enabled)
{
    if (!view)
        return;
    if (auto *field = qobject_cast<QLineEdit *>(view)) {
        // A bezeled (framed) field is an input; a frameless one a label.
        if (field->hasFrame())
            field->setReadOnly(!enabled);
        DSStatDocumentViewDelegate::setTextColour(field, enabled ? Qt::black : Qt::gray, QPalette::Text);
        return;
    }
    if (auto *label = qobject_cast<QLabel *>(view)) {
        DSStatDocumentViewDelegate::setTextColour(label, enabled ? Qt::black : Qt::gray);
        return;
    }
    if (qobject_cast<QAbstractButton *>(view) || view->inherits("QAbstractSlider")
        || view->inherits("QComboBox") || view->inherits("QAbstractSpinBox")) {
        view->setEnabled(enabled);
        return;
    }
    if (setTextViewEnabled(view, enabled))
        return;
    for (QObject *child : view->children())
        if (child->isWidgetType())
            setViewTreeEnabled(static_cast<QWidget *>(child), enabled);
}

} // namespace

DSStatDocumentViewDelegate::DSStatDocumentViewDelegate() = default;

DSStatDocumentViewDelegate::~DSStatDocumentViewDelegate() = default;

DSStatDocumentWindow *DSStatDocumentViewDelegate::document() const
{
    return m_document;
}

void DSStatDocumentViewDelegate::setDocument(DSStatDocumentWindow *document)
{
    m_document = document;
}

void DSStatDocumentViewDelegate::refreshView(QObject *)
{
}

DSStyle *DSStatDocumentViewDelegate::style()
{
    if (!m_style)
        m_style = ds_make_default_style(document());
    return m_style.get();
}

DSTable *DSStatDocumentViewDelegate::pictureActiveTable() const
{
    DSStatDocumentWindow *doc = document();
    return doc ? doc->active_table() : nullptr;
}

void DSStatDocumentViewDelegate::closeFilterPopover()
{
    DSStatDocumentWindow *doc = document();
    if (auto *popover = doc ? dynamic_cast<DSStatDocumentPopoverViewDelegate *>(doc->filter_set_delegate()) : nullptr)
        popover->closePopover(nullptr);
}

QString DSStatDocumentViewDelegate::pictureConditionString() const
{
    const DSStatDocumentWindow *doc = document();
    return doc ? doc->activeConditionString() : QString();
}

void DSStatDocumentViewDelegate::presentPictureError(const DSError &error)
{
    QPointer<DSStatDocumentWindow> doc = document();
    if (!doc)
        return;
    QTimer::singleShot(0, doc, [doc, error] {
        doc->presentError(error);
        doc->beep();
    });
}

DSRowMaskRef DSStatDocumentViewDelegate::getMask() const
{
    DSStatDocumentWindow *doc = document();
    return doc ? doc->getMask() : nullptr;
}

DSRowMaskRef DSStatDocumentViewDelegate::getMask(QObject *outcome) const
{
    DSStatDocumentWindow *doc = document();
    return doc ? doc->getMask(outcome) : nullptr;
}

void DSStatDocumentViewDelegate::teardown()
{
    m_document = nullptr;
    DSNibController::teardown();
}

void DSStatDocumentViewDelegate::disableViewAndSubviews(QWidget *view)
{
    setViewTreeEnabled(view, false);
}

void DSStatDocumentViewDelegate::enableViewAndSubviews(QWidget *view)
{
    setViewTreeEnabled(view, true);
}

void DSStatDocumentViewDelegate::setEnabledForControls(bool enabled, const QList<QWidget *> &views)
{
    for (QWidget *view : views) {
        if (qobject_cast<QLineEdit *>(view) || qobject_cast<QLabel *>(view)) {
            view->setEnabled(enabled);
            QPalette palette = view->palette();
            palette.setColor(qobject_cast<QLabel *>(view) ? QPalette::WindowText : QPalette::Text,
                             enabled ? Qt::black : Qt::gray);
            view->setPalette(palette);
        } else if (qobject_cast<QAbstractButton *>(view) || view->inherits("QAbstractSlider")
                   || view->inherits("QComboBox") || view->inherits("QAbstractSpinBox")) {
            view->setEnabled(enabled);
        } else {
            QList<QWidget *> subviews;
            for (QObject *child : view->children())
                if (child->isWidgetType())
                    subviews.append(static_cast<QWidget *>(child));
            setEnabledForControls(enabled, subviews);
        }
    }
}

void DSStatDocumentViewDelegate::setTextColour(QWidget *view, const QColor &colour, QPalette::ColorRole role)
{
    QPalette palette = view->palette();
    palette.setColor(role, colour);
    view->setPalette(palette);
}
