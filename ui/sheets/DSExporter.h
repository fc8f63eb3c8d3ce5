#pragma once

#include "ui/sheets/DSAsyncTask.h"

#include <QUrl>

#include <cstdint>
#include <vector>

// A writer of the active table's filtered rows, run in the background by
// the document's export hand-off. It copies the include mask it is given
// (null and 0 mean every row), writes on the run's thread, keeps a failure
// in asyncError() and leaves the sheet to the main thread.
class DSExporter : public DSAsyncTask
{
public:
    // Keeps a copy of the mask of length bytes.
    void setAsyncIncludeMask(const uint8_t *mask, int64_t length)
    {
        m_includeMask.assign(mask, mask ? mask + length : mask);
    }
    const std::vector<uint8_t> &asyncIncludeMask() const { return m_includeMask; }

    // Writes the rows to the URL, on the calling (background) thread.
    virtual void asyncExportToURL(const QUrl &url) = 0;

private:
    std::vector<uint8_t> m_includeMask;
};
