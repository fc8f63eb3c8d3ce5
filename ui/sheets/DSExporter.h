#pragma once

#include "ui/sheets/DSAsyncTask.h"

#include <QUrl>

#include <atomic>

#include <cstdint>
#include <vector>

// A writer of the active table's filtered rows, run in the background by
// the document's export hand-off. It copies the include mask it is given
// (null and 0 mean every row), writes on the run's thread, keeps a failure
// in asyncError() and leaves the sheet to the main thread.
class DSExporter : public DSAsyncTask
{
public:
    double asyncProgress() const override { return m_progress.load(std::memory_order_relaxed); }
    // Stores p clamped to 0..1 (NaN as 0).
    void setAsyncProgress(double p) { m_progress.store(p >= 0 ? (p <= 1 ? p : 1) : 0, std::memory_order_relaxed); }
    bool asyncProgressIsIndeterminate() const override { return m_indeterminate.load(std::memory_order_relaxed); }
    void setAsyncProgressIsIndeterminate(bool flag) { m_indeterminate.store(flag, std::memory_order_relaxed); }
    bool asyncAbort() const override { return m_abort.load(std::memory_order_relaxed); }
    void setAsyncAbort(bool abort) override { m_abort.store(abort, std::memory_order_relaxed); }
    const std::optional<DSError> &asyncError() const override { return m_error; }

    // Keeps a copy of the mask of length bytes.
    void setAsyncIncludeMask(const uint8_t *mask, int64_t length)
    {
        m_includeMask.assign(mask, mask ? mask + length : mask);
    }
    const std::vector<uint8_t> &asyncIncludeMask() const { return m_includeMask; }

    // Writes the rows to the URL, on the calling (background) thread.
    virtual void asyncExportToURL(const QUrl &url) = 0;

protected:
    std::optional<DSError> m_error;

private:
    std::vector<uint8_t> m_includeMask;
    std::atomic<double> m_progress{0};
    std::atomic<bool> m_indeterminate{false};
    std::atomic<bool> m_abort{false};
};
