#include "window_test_support.h"

#include "ui/DSNib.h"
#include "ui/window/DSStatDocumentIndexedViewDelegate.h"
#include "ui/window/DSStatDocumentPopoverViewDelegate.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class DSCovariateViewDelegate : public DSStatDocumentViewDelegate
{
public:
    void didLoadNib() override
    {
        ++loads;
        DSStatDocumentViewDelegate::didLoadNib();
    }
    void unregisterObservers() override { ++unregistered; }
    int loads = 0;
    int unregistered = 0;
};

class DSMissingPaneViewDelegate : public DSStatDocumentViewDelegate
{
};

QStringList &warnings()
{
    static QStringList list;
    return list;
}

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings().append(message);
}

TEST(DSNibControllerTest, TheClassNameNamesTheInterfaceFileLoadedOnce)
{
    ensureWindowTestApplication();
    DSNib::registerNib(QStringLiteral("Covariate"), [](QObject *) {
        auto *view = new QWidget;
        view->setObjectName(QStringLiteral("covariate_view"));
        (new QPushButton(view))->setObjectName(QStringLiteral("covariate_button"));
        return QObjectList{view};
    });
    DSCovariateViewDelegate covariate;
    EXPECT_EQ(covariate.nibName(), QStringLiteral("Covariate"));
    covariate.awakeFromNib();
    covariate.awakeFromNib();
    EXPECT_EQ(covariate.loads, 1);
    ASSERT_EQ(covariate.top_level_objects().size(), 1);
    EXPECT_NE(covariate.outlet<QPushButton>(QStringLiteral("covariate_button")), nullptr);
    EXPECT_TRUE(covariate.observers_registered());
    covariate.teardown();
    EXPECT_EQ(covariate.unregistered, 1);
    EXPECT_TRUE(covariate.top_level_objects().isEmpty());
    EXPECT_FALSE(covariate.observers_registered());

    warnings().clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    DSMissingPaneViewDelegate missing;
    missing.awakeFromNib();
    missing.awakeFromNib();
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("WARNING - failed locate NIB named MissingPane")});
    EXPECT_TRUE(missing.top_level_objects().isEmpty());
    EXPECT_FALSE(missing.observers_registered());
    const DSRowMaskRef snapshot = missing.getMask();
    const uint8_t *mask = ds_mask_data(snapshot);
    EXPECT_EQ(ds_mask_length(snapshot), 0) << "no document, no mask";
    EXPECT_EQ(mask, nullptr);
}

TEST(DSStatDocumentIndexedViewDelegateTest, ViewsTileTheSuperviewsWidth)
{
    ensureWindowTestApplication();
    QWidget superview;
    superview.resize(100, 40);
    const struct
    {
        qint64 count, index;
        double x, width;
    } cases[] = {{3, 0, 0, 34}, {3, 1, 34, 33}, {3, 2, 67, 33}, {1, 0, 0, 100}, {7, 6, 86, 14}, {7, 1, 15, 15}};
    for (const auto &c : cases) {
        DSStatDocumentIndexedViewDelegate view(&superview, c.index, c.count);
        EXPECT_EQ(view.frame(), QRectF(c.x, 0, c.width, 40)) << c.count << " views, index " << c.index;
        EXPECT_EQ(view.superview(), &superview);
    }
    DSStatDocumentIndexedViewDelegate alone(nullptr, 2, 3);
    EXPECT_EQ(alone.frame(), QRectF(0, 0, 0, 0));
}

TEST(DSStatDocumentViewDelegateTest, DisablingAViewTreeGreysAndLocksItsControls)
{
    ensureWindowTestApplication();
    QWidget root;
    auto *layout = new QVBoxLayout(&root);
    auto *label = new QLabel(QStringLiteral("Label"));
    auto *button = new QPushButton(QStringLiteral("Go"));
    auto *inner = new QWidget;
    auto *text = new QPlainTextEdit;
    (new QVBoxLayout(inner))->addWidget(text);
    layout->addWidget(label);
    layout->addWidget(button);
    layout->addWidget(inner);

    DSStatDocumentViewDelegate::disableViewAndSubviews(&root);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::gray));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->palette().color(QPalette::Text), QColor(Qt::lightGray));

    DSStatDocumentViewDelegate::enableViewAndSubviews(&root);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(text->isReadOnly());
    EXPECT_EQ(text->palette().color(QPalette::Text), QColor(Qt::black));
}

} // namespace

namespace {

TEST(DSStatDocumentPopoverViewDelegateTest, ToggleTwiceClosesAndSwitchesTheButtonOff)
{
    ensureWindowTestApplication();
    QWidget window;
    window.resize(300, 200);
    auto *button = new QPushButton(QStringLiteral("Filters"), &window);
    button->setCheckable(true);
    button->move(100, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    DSStatDocumentViewDelegate owner;
    DSStatDocumentPopoverViewDelegate controller;
    controller.setOwner(&owner);
    EXPECT_EQ(controller.document(), nullptr);
    QWidget popover;
    popover.resize(80, 40);
    controller.setPopover(&popover);

    button->setChecked(true);
    controller.showPopoverRelativeToView(button, DSStatDocumentPopoverViewDelegate::MaxYEdge);
    EXPECT_TRUE(popover.isVisible());
    EXPECT_EQ(controller.calling_view(), button);
    EXPECT_EQ(popover.geometry().bottom() + 1, button->mapToGlobal(QPoint(0, 0)).y()) << "above the button";
    EXPECT_TRUE(button->isChecked());

    controller.showPopoverRelativeToView(button, DSStatDocumentPopoverViewDelegate::MaxYEdge);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(controller.calling_view(), nullptr);
}

} // namespace
