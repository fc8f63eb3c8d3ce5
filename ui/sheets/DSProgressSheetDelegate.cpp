#include "ui/sheets/DSProgressSheetDelegate.h"

#include "ui/sheets/DSAsyncTask.h"

#include <QAbstractButton>
#include <QDialog>
#include <QProgressBar>
#include <QTimer>

QProgressBar *DSProgressSheetDelegate::progress_bar() const
{
    return m_progressBar;
}

void DSProgressSheetDelegate::setTask(std::shared_ptr<DSAsyncTask> task)
{
    m_task = std::move(task);
    followTask();
}

void DSProgressSheetDelegate::didLoadNib()
{
    // The base finds the sheet the timer belongs to.
    DSStatDocumentSheetDelegate::didLoadNib();
    m_progressBar = outlet<QProgressBar>(QStringLiteral("progress_bar"));
    if (auto *cancel = outlet<QAbstractButton>(QStringLiteral("cancel_button")))
        QObject::connect(cancel, &QAbstractButton::clicked, this, [this, cancel] { closeSheet(cancel); });
    if (sheet()) {
        m_timer = new QTimer(sheet());
        m_timer->setInterval(pollMilliseconds);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { followTask(); });
    }
}

void DSProgressSheetDelegate::showSheet(QWidget *window)
{
    DSStatDocumentSheetDelegate::showSheet(window);
    followTask();
    if (m_timer && isShown())
        m_timer->start();
}

void DSProgressSheetDelegate::followTask()
{
    if (!m_progressBar)
        return;
    if (!m_task || m_task->asyncProgressIsIndeterminate()) {
        m_progressBar->setRange(0, 0);
        return;
    }
    m_progressBar->setRange(0, 1000);
    m_progressBar->setValue(int(m_task->asyncProgress() * 1000));
}

void DSProgressSheetDelegate::didEndSheet(QDialog *sheet, int returnCode)
{
    if (m_timer)
        m_timer->stop();
    if (auto run = std::exchange(m_task, nullptr))
        run->setAsyncAbort(true);
    DSStatDocumentSheetDelegate::didEndSheet(sheet, returnCode);
}

void DSProgressSheetDelegate::teardown()
{
    if (m_timer)
        m_timer->stop();
    DSStatDocumentSheetDelegate::teardown();
    // A run the sheet was given but never showed (refused behind another
    // sheet) is let go of too; its completion still runs.
    m_task.reset();
}
