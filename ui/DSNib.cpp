#include "ui/DSNib.h"

#include <QHash>

namespace {

QHash<QString, DSNib::Builder> &builders()
{
    static QHash<QString, DSNib::Builder> table;
    return table;
}

} // namespace

void DSNib::registerNib(const QString &name, Builder builder)
{
    builders().insert(name, std::move(builder));
}

bool DSNib::nibExists(const QString &name)
{
    return builders().contains(name);
}

bool DSNib::instantiateWithOwner(const QString &name, QObject *owner, QObjectList *topLevelObjects)
{
    const auto builder = builders().constFind(name);
    if (builder == builders().constEnd())
        return false;
    QObjectList built = (*builder)(owner);
    if (topLevelObjects)
        *topLevelObjects = std::move(built);
    else
        qDeleteAll(built);
    return true;
}
