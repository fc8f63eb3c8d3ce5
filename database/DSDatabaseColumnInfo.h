#pragma once

#include <QString>

// One column of a server table as a connector lists it: its name, its kind
// and whether the import takes it.
//
// Kind codes: 0 unknown (a server type that is not read), 1 numeric,
// 2 boolean, 3 bit, 4 text, 5 date, 6 date and time, 7 time of day.
class DSDatabaseColumnInfo
{
public:
    DSDatabaseColumnInfo() = default;
    DSDatabaseColumnInfo(const QString &name, qint64 type) : m_name(name), m_type(type) {}

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    qint64 type() const { return m_type; }
    void setType(qint64 type) { m_type = type; }
    bool is_enabled() const { return m_is_enabled; }
    void setIs_enabled(bool on) { m_is_enabled = on; }

private:
    QString m_name;
    qint64 m_type = 0;
    bool m_is_enabled = true;
};
