#include "model/DSRange.h"
#include "ui/window/DSStatDocumentOutlineDelegate.h"
#include "ui/window/DSStatDocumentTableDelegate.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "window_test_support.h"

#include <QMimeData>
#include <QStandardItemModel>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A flat outline of one value column; items at or past forbiddenRow may not
// be dragged, and the value of the row decides what the cell shows.
class FakeOutline : public DSStatDocumentOutlineDelegate
{
public:
    FakeOutline() : DSStatDocumentOutlineDelegate(nullptr) {}

    QString columnIdentifier(int) const override { return QStringLiteral("value"); }
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || row < 0 || row >= rowCount() ? QModelIndex() : createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex &) const override { return {}; }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(values.size()); }
    int columnCount(const QModelIndex & = {}) const override { return 1; }

    QVariant valueForItem(const QModelIndex &item, const QString &) const override { return values[item.row()]; }
    QVariant placeholderValueForItem(const QModelIndex &, const QString &) const override { return QStringLiteral("-"); }
    bool shouldParenthesizeNumber(double value, const QModelIndex &, const QString &) const override { return value < 0; }
    bool shouldParenthesizeString(const QString &text, const QModelIndex &, const QString &) const override
    {
        return text == QLatin1String("aside");
    }
    bool shouldWriteItemToPasteboard(const QModelIndex &item) const override { return item.row() < forbiddenRow; }
    qint64 indexOfItem(const QModelIndex &item) const override { return item.row() * 10; }
    QString pasteboardItemType() const override { return QStringLiteral("org.quillmoth.ostrel.test-index"); }

    QVariantList values;
    int forbiddenRow = 100;
};

TEST(StatDocumentOutlineDelegate, CellTextByKindOfValue)
{
    FakeOutline outline;
    outline.values = {QVariant(NAN),
                      QVariant(2.5),
                      QVariant(-1.25),
                      QVariant::fromValue(DSRange(1.5, 2.0)),
                      QVariant::fromValue(DSRange(QStringLiteral("a"), QStringLiteral("f"))),
                      QVariant::fromValue(DSRange(NAN, NAN)),
                      QVariant(),
                      QVariant(QStringLiteral("aside")),
                      QVariant(QStringLiteral("plain"))};
    const QStringList shown = {"", "2.5", "(-1.25)", "(1.5, 2)", "a - f", "", "-", "(aside)", "plain"};
    ASSERT_EQ(outline.rowCount(), shown.size());
    for (int row = 0; row < outline.rowCount(); ++row)
        EXPECT_EQ(outline.data(outline.index(row, 0), Qt::DisplayRole).toString(), shown[row]) << "row " << row;
}

TEST(StatDocumentOutlineDelegate, DraggedItemsAreWrittenAllOrNone)
{
    FakeOutline outline;
    outline.values = {1, 2, 3, 4};
    const std::unique_ptr<QMimeData> data(outline.mimeData({outline.index(3, 0), outline.index(1, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(outline.pasteboardItemType()), QByteArray("10-30"));
    outline.forbiddenRow = 2;
    EXPECT_FALSE(std::unique_ptr<QMimeData>(outline.mimeData({outline.index(0, 0), outline.index(3, 0)})))
        << "one item that may not be written writes nothing";
}

// Five rows that can be rearranged, counting the refreshes after a move.
class FakeTable : public DSStatDocumentTableDelegate
{
public:
    FakeTable() : DSStatDocumentTableDelegate(nullptr) {}

    QString columnIdentifier(int) const override { return QStringLiteral("name"); }
    int rowCount(const QModelIndex & = {}) const override { return int(items.size()); }
    int columnCount(const QModelIndex & = {}) const override { return 1; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole)
            return items.value(index.row());
        return DSStatDocumentTableDelegate::data(index, role);
    }
    bool shouldRearrange() const override { return true; }
    QString pasteboardItemType() const override { return QStringLiteral("org.quillmoth.ostrel.test-rows"); }
    QVariant removeItemAtIndex(int row) override { return items.takeAt(row); }
    void insertItem(const QVariant &item, int row) override { items.insert(row, item.toString()); }
    void didMoveItems() override { ++moves; }

    QStringList items = {"r0", "r1", "r2", "r3", "r4"};
    int moves = 0;
};

TEST(StatDocumentTableDelegate, RowsMoveToTheGapTheyAreDroppedOn)
{
    ensureWindowTestApplication();
    FakeTable model;
    QTableView view;
    model.setTable(&view);
    const std::unique_ptr<QMimeData> data(model.mimeData({model.index(3, 0), model.index(1, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(model.pasteboardItemType()), QByteArray("1\n3")) << "one item per row, ascending";

    EXPECT_FALSE(model.canDropMimeData(data.get(), Qt::MoveAction, -1, 0, model.index(2, 0))) << "onto a row";
    QMimeData foreign;
    foreign.setData(model.pasteboardItemType(), "1");
    EXPECT_FALSE(model.canDropMimeData(&foreign, Qt::MoveAction, 2, 0, {})) << "from another table";

    ASSERT_TRUE(model.dropMimeData(data.get(), Qt::MoveAction, 4, 0, {}));
    EXPECT_EQ(model.items, (QStringList{"r0", "r2", "r1", "r3", "r4"}));
    EXPECT_EQ(model.moves, 1);
    QList<int> selected;
    for (const QModelIndex &row : view.selectionModel()->selectedRows())
        selected.append(row.row());
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (QList<int>{2, 3}));
}

TEST(StatDocumentTableDelegate, ADragCopiesAndSkipsRowsTheListNoLongerHas)
{
    ensureWindowTestApplication();
    FakeTable model;
    QTableView view;
    model.setTable(&view);
    EXPECT_EQ(model.supportedDragActions(), Qt::CopyAction)
        << "a drag that ended as a move would let the view clear the dragged rows after the drop moved them";

    // The list loses its last row while rows 3 and 4 are dragged.
    const std::unique_ptr<QMimeData> data(model.mimeData({model.index(3, 0), model.index(4, 0)}));
    ASSERT_TRUE(data);
    model.items.removeLast();
    ASSERT_TRUE(model.dropMimeData(data.get(), Qt::MoveAction, 1, 0, {}));
    EXPECT_EQ(model.items, (QStringList{"r0", "r3", "r1", "r2"}));

    // Rows out of order or out of range, as no drag of ours writes them.
    data->setData(model.pasteboardItemType(), "2\n-1\n1\n9\n3");
    ASSERT_TRUE(model.dropMimeData(data.get(), Qt::MoveAction, 0, 0, {}));
    EXPECT_EQ(model.items, (QStringList{"r1", "r2", "r0", "r3"})) << "rows 2 and 3 only";
}

TEST(StatDocumentTableDelegate, ReleasedDataSourceLeavesItsView)
{
    ensureWindowTestApplication();
    QTableView view;
    {
        FakeTable model;
        model.setTable(&view);
        EXPECT_EQ(view.model(), &model);
    }
    EXPECT_FALSE(dynamic_cast<FakeTable *>(view.model()));
}

} // namespace
