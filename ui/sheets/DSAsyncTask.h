#pragma once

#include "model/DSError.h"

#include <optional>

// What a progress sheet shows of a background run (an import or an
// export) and the one thing it tells it: stop. The run writes its progress
// and reads the abort flag on its own thread; the sheet reads the progress
// and writes the flag on the main thread. The error is written by the run
// and read only after it has ended. Each kind of run answers from its own
// state, so the sheet and the run never hold two copies of it.
class DSAsyncTask
{
public:
    virtual ~DSAsyncTask() = default;

    // 0..1.
    virtual double asyncProgress() const = 0;
    virtual bool asyncProgressIsIndeterminate() const = 0;
    virtual bool asyncAbort() const = 0;
    // Any thread; the run stops at its next polling point.
    virtual void setAsyncAbort(bool abort) = 0;
    // The run's error, if it ended with one.
    virtual const std::optional<DSError> &asyncError() const = 0;
};
