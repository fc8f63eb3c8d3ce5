#pragma once

#include <QMimeData>

// A drag's pasteboard made by one of the panes' data sources. It remembers
// that data source (never dereferenced, only compared), so a drop can tell a
// drag of its own from one out of another view: a drop event reaches the
// model without its source view.
class DSDataSourceMimeData : public QMimeData
{
public:
    explicit DSDataSourceMimeData(const void *source) : m_source(source) {}

    // Whether data is a drag that the data source started.
    static bool isFrom(const QMimeData *data, const void *source)
    {
        const auto *own = dynamic_cast<const DSDataSourceMimeData *>(data);
        return own && own->m_source == source;
    }

private:
    const void *m_source;
};
