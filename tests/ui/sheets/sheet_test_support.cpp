#include "sheet_test_support.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "platform/store/DSObjectPool.h"
#include "ui/window/DSStatDocumentWindow.h"

namespace {

QList<QUrl> urlsOf(const QStringList &names)
{
    QList<QUrl> urls;
    for (const QString &name : names)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/tmp/") + name));
    return urls;
}

} // namespace

SlowFakeImporter::SlowFakeImporter(const QStringList &names, std::shared_ptr<ParseGate> gate, QString failureMessage)
    : DSDataImporter(urlsOf(names)), m_gate(std::move(gate)), m_failureMessage(std::move(failureMessage))
{
}

bool SlowFakeImporter::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    if (m_gate)
        m_gate->wait();
    if (!m_failureMessage.isEmpty()) {
        *error = ds_make_error(2, m_failureMessage);
        return false;
    }
    for (const QUrl &url : urls()) {
        auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setName(url.fileName());
        auto *column = pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        column->setName(QStringLiteral("x"));
        table->insertNewColumns({column}, 0);
        table->setNum_records(3);
    }
    return true;
}

std::unique_ptr<DSStatDocumentWindow> showNewDocumentWindow(FakeHost *host)
{
    ensureWindowTestApplication();
    auto document = std::make_unique<DSStatDocumentWindow>(host);
    if (!document->initWithType(DSStatDocument::nativeType) || !document->makeWindowControllers())
        return nullptr;
    document->document_window()->show();
    return document;
}

QStringList tableNames(DSStatDocumentWindow *document)
{
    QStringList names;
    for (DSTable *table : document->data_root()->sortedTables())
        names << table->name();
    return names;
}
