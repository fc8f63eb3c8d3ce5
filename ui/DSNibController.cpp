#include "ui/DSNibController.h"

#include "ui/DSNib.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <utility>
#include <typeinfo>

DSNibController::DSNibController() = default;

DSNibController::~DSNibController()
{
    releaseTopLevelObjects();
}

void DSNibController::releaseTopLevelObjects()
{
    for (const QPointer<QObject> &object : std::exchange(m_topLevelObjects, {}))
        delete object.data();
}

QObjectList DSNibController::top_level_objects() const
{
    QObjectList objects;
    for (const QPointer<QObject> &object : m_topLevelObjects)
        if (object)
            objects.append(object.data());
    return objects;
}

QString DSNibController::className() const
{
    const char *mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                      std::free);
    const QString qualified = QString::fromLatin1(status == 0 ? demangled.get() : mangled);
    return qualified.mid(qualified.lastIndexOf(QStringLiteral("::")) + 1).remove(QLatin1Char(':'));
}

QString DSNibController::nibName() const
{
    const QString name = className();
    return name.size() > 14 ? name.left(name.size() - 12).mid(2) : QString();
}

void DSNibController::awakeFromNib()
{
    const QString name = nibName();
    if (name.isEmpty() || m_didAwaken)
        return;
    m_didAwaken = true;
    QObjectList built;
    if (!DSNib::instantiateWithOwner(name, this, &built)) {
        qWarning("WARNING - failed locate NIB named %s", qPrintable(name));
        return;
    }
    for (QObject *object : built)
        m_topLevelObjects.append(object);
    didLoadNib();
}

void DSNibController::didLoadNib()
{
    m_observersRegistered = true;
}

void DSNibController::teardown()
{
    releaseTopLevelObjects();
    if (m_observersRegistered) {
        unregisterObservers();
        m_observersRegistered = false;
    }
}
