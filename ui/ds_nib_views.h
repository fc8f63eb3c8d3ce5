#pragma once

#include <QHBoxLayout>
#include <QString>
#include <QWidget>

#include <initializer_list>

// Small builders the interface files share.

// The object with its outlet name set.
template <class T>
T *named(T *object, const QString &name)
{
    object->setObjectName(name);
    return object;
}

// A view holding the controls in one row, so that they show and hide as
// one; with stretch, free space gathers after them.
inline QWidget *group(const QString &name, std::initializer_list<QWidget *> controls, bool stretch = false)
{
    auto *view = named(new QWidget, name);
    auto *layout = new QHBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *control : controls)
        layout->addWidget(control);
    if (stretch)
        layout->addStretch(1);
    return view;
}
