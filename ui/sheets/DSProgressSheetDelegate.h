#pragma once

#include "ui/sheets/DSStatDocumentSheetDelegate.h"

#include <QPointer>

#include <memory>

class DSAsyncTask;
class QProgressBar;
class QTimer;

// The sheet shown while a background run (an import or an export) works:
// its outlet "progress_bar" follows the run's progress, polled every 50 ms
// while the sheet is up, and its cancel button ("cancel_button") sends
// closeSheet(). Every ending of the sheet sets the run's abort flag and lets
// go of the run: a run still working stops at its next polling point, and
// the document's completion drops a run whose flag is set.
//
// Main thread only.
class DSProgressSheetDelegate : public DSStatDocumentSheetDelegate
{
public:
    static constexpr int pollMilliseconds = 50;

    QProgressBar *progress_bar() const;

    // Shows as the base does and starts following the run.
    void showSheet(QWidget *window) override;
    // Ends as the base does, after aborting and letting go of the run.
    void didEndSheet(QDialog *sheet, int returnCode) override;
    // Stops following the run, then the base teardown.
    void teardown() override;

    // The run the sheet follows (shared with its thread and completion).
    std::shared_ptr<DSAsyncTask> task() const { return m_task; }
    void setTask(std::shared_ptr<DSAsyncTask> task);

protected:
    void didLoadNib() override;

private:
    void followTask();

    std::shared_ptr<DSAsyncTask> m_task;
    QPointer<QProgressBar> m_progressBar;
    QPointer<QTimer> m_timer;
};
