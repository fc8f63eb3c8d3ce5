#pragma once

#include <QObject>
#include <QList>
#include <QObjectList>
#include <QPointer>
#include <QString>

class QWidget;

// The base of window, pane, popover and sheet controllers. awakeFromNib()
// builds the controller's interface file (DSNib) once, keeps its top-level
// objects and then calls didLoadNib(); teardown() releases them.
//
// Main thread only.
class DSNibController : public QObject
{
public:
    DSNibController();
    ~DSNibController() override;

    // The interface file's name, or empty for a controller without one. By
    // default the class name less its last 12 characters (the length of
    // "ViewDelegate") and then its first 2 ("DS"): DSCovariateViewDelegate
    // loads "Covariate". Most controllers name their own file.
    virtual QString nibName() const;
    // The controller's class name, as the default nibName() reads it.
    QString className() const;

    // Loads the interface file once: with no name nothing happens; a second
    // call never loads again, also after a failed load. A file that cannot
    // be found is logged ("WARNING - failed locate NIB named X") and leaves
    // the controller without views and observers.
    void awakeFromNib();
    // Releases the top-level objects; when observers are registered, calls
    // unregisterObservers() and clears the flag. Called once by the owner.
    virtual void teardown();

    bool did_awaken() const { return m_didAwaken; }
    bool observers_registered() const { return m_observersRegistered; }
    // The top-level objects still alive (one may have gone with a window it
    // was moved into).
    QObjectList top_level_objects() const;

    // The first top-level object, or descendant of one, of that objectName
    // and type, or null: the outlet of that name.
    template <class T>
    T *outlet(const QString &name) const
    {
        for (QObject *object : m_topLevelObjects) {
            if (!object)
                continue;
            if (object->objectName() == name)
                if (T *found = qobject_cast<T *>(object))
                    return found;
            if (T *found = object->findChild<T *>(name))
                return found;
        }
        return nullptr;
    }

    // The controller's window, or null while it has none.
    virtual QWidget *window() const { return nullptr; }

protected:
    // Called once after a successful load; the base sets
    // observers_registered. An override registers its observers, finishes
    // its views and calls the base.
    virtual void didLoadNib();
    // Removes what didLoadNib() registered; empty here.
    virtual void unregisterObservers() {}

private:
    void releaseTopLevelObjects();

    QList<QPointer<QObject>> m_topLevelObjects;
    bool m_didAwaken = false;
    bool m_observersRegistered = false;
};
