#pragma once

#include "model/DSError.h"

#include <atomic>
#include <optional>

// What a progress sheet shows of a background run (an import or an
// export) and the one thing it tells it: stop. The run writes its progress
// and reads the abort flag on its own thread; the sheet reads the progress
// and writes the flag on the main thread. The error is written by the run
// and read only after it has ended.
class DSAsyncTask
{
public:
    virtual ~DSAsyncTask() = default;

    double asyncProgress() const { return m_progress.load(std::memory_order_relaxed); }
    // Stores p clamped to 0..1 (NaN as 0).
    void setAsyncProgress(double p) { m_progress.store(p >= 0 ? (p <= 1 ? p : 1) : 0, std::memory_order_relaxed); }
    bool asyncProgressIsIndeterminate() const { return m_indeterminate.load(std::memory_order_relaxed); }
    void setAsyncProgressIsIndeterminate(bool flag) { m_indeterminate.store(flag, std::memory_order_relaxed); }
    bool asyncAbort() const { return m_abort.load(std::memory_order_relaxed); }
    virtual void setAsyncAbort(bool abort) { m_abort.store(abort, std::memory_order_relaxed); }

    // The run's error, if it ended with one.
    const std::optional<DSError> &asyncError() const { return m_error; }

protected:
    std::optional<DSError> m_error;

private:
    std::atomic<double> m_progress{0};
    std::atomic<bool> m_indeterminate{false};
    std::atomic<bool> m_abort{false};
};
