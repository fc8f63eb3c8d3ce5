#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The program's conventions for plain containers.

// Element i of an ordered list; a negative i counts from the end (−1 is the
// last element). A value-initialised element (none) when i is out of range.
template <class T>
T ds_list_at(const QList<T> &list, qsizetype i)
{
    if (i < 0)
        i += list.size();
    return i >= 0 && i < list.size() ? list[i] : T();
}

// Writes element i: i equal to the count appends, otherwise the element at i
// is replaced. Answers false, changing nothing, for any other i.
template <class T>
bool ds_list_set(QList<T> &list, qsizetype i, const T &value)
{
    if (i == list.size())
        list.append(value);
    else if (i >= 0 && i < list.size())
        list[i] = value;
    else
        return false;
    return true;
}

// Writes a dictionary entry; writing none removes the key.
inline void ds_map_set(QVariantMap &map, const QString &key, const QVariant &value)
{
    if (value.isValid())
        map.insert(key, value);
    else
        map.remove(key);
}
