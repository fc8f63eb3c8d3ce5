#pragma once

#include "../window/window_test_support.h"

#include "model/DSDataImporter.h"

#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>

class DSStatDocumentWindow;
class DSTable;

// A gate the test opens: a fake importer's parse waits at it, so the test
// can act while the parse runs.
class ParseGate
{
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// An importer that waits at its gate (when it has one), then makes one
// table of three rows per file, named after the file, or fails with
// failureMessage when that is set.
class SlowFakeImporter : public DSDataImporter
{
public:
    SlowFakeImporter(const QStringList &names, std::shared_ptr<ParseGate> gate, QString failureMessage = {});

    QString className() const override { return QStringLiteral("SlowFakeImporter"); }
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

private:
    std::shared_ptr<ParseGate> m_gate;
    QString m_failureMessage;
};

// A new document with its window shown (the offscreen application made
// first), or null when either cannot be made.
std::unique_ptr<DSStatDocumentWindow> showNewDocumentWindow(FakeHost *host);

// The names of the document's tables in index order.
QStringList tableNames(DSStatDocumentWindow *document);
