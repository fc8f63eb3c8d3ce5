// The picture-view base: its painter list, the drawing entry with the
// tutorial's dimming, and the PDF, PNG and TIFF exports drawn by a fresh
// copy of the view.
#include "../ui/window/window_test_support.h"

#include "charts/DSPictureOwner.h"
#include "charts/DSStatDocumentSubview.h"
#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "model/util/ds_text_drawing.h"
#include "platform/graphics/DSRecordingContext.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

namespace {

class FakeOwner : public DSPictureOwner
{
public:
    DSStyle *style() override { return sheet.get(); }
    DSTable *pictureActiveTable() const override { return nullptr; }
    void closeFilterPopover() override { ++popoversClosed; }

    std::unique_ptr<DSStyle> sheet = ds_make_default_style(nullptr);
    int popoversClosed = 0;
};

struct FirstPainter : DSPicturePainter
{
};
struct SecondPainter : DSPicturePainter
{
};

} // namespace

// A picture with a black 10-point square at the origin and a line of text;
// it keeps what the last drawing saw, as pictures keep their transforms.
class CornerPicture : public DSStatDocumentSubview
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit CornerPicture(QWidget *parent = nullptr) : DSStatDocumentSubview(parent) {}

    QString suggestedFileName() const override { return QStringLiteral("Height summary"); }
    void calculateMinimumFrame(DSStyle *) override { minimumSize = {40, 30}; }
    void drawRect(const DSRect &, DSStyle *style, bool screen, DSGraphicsContext *context) override
    {
        ++draws;
        lastScreen = screen;
        storedTransform = context->ctm();
        context->setFillColor({0, 0, 0, 1});
        context->fillRect(ds_rect_make(0, 0, 10, 10));
        if (const auto text = style ? style->textStyleForKey(QStringLiteral("SummaryTitleTextStyle")) : nullptr)
            ds_draw_text_line(QStringLiteral("Heights of trees"), DSTextAlignLeft, text->font(), &text->color(),
                              context, 20, 20, ds_affine_identity());
        if (failing)
            throw std::runtime_error("drawing failed");
    }
    bool isDimmedByTutorial() const override { return dimmed; }
    std::vector<PainterClass> painterClasses() const override
    {
        return {[] { return std::make_unique<FirstPainter>(); }, [] { return std::make_unique<SecondPainter>(); }};
    }

    int draws = 0;
    bool lastScreen = false;
    DSAffineTransform storedTransform{7, 0, 0, 7, 7, 7};
    DSSize minimumSize{1, 1};
    bool dimmed = false;
    bool failing = false;
};

// A subclass without a meta-object of its own: it cannot be copied.
class UncopyablePicture : public CornerPicture
{
};

namespace {

// The text a command prints, or a null string when it cannot run.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The value of a "Name: value" line of pdfinfo's output.
QString infoField(const QString &info, const QString &name)
{
    for (const QString &line : info.split(QLatin1Char('\n')))
        if (line.startsWith(name + QLatin1Char(':')))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

class SubviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        view.setOwner(&owner);
    }

    bool havePoppler() const { return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(); }

    FakeOwner owner;
    CornerPicture view;
};

TEST_F(SubviewTest, PaintersAreMadeOnceInListOrder)
{
    const auto &painters = view.painters();
    ASSERT_EQ(painters.size(), 2u);
    EXPECT_TRUE(dynamic_cast<FirstPainter *>(painters[0].get()));
    EXPECT_TRUE(dynamic_cast<SecondPainter *>(painters[1].get()));
    const DSPicturePainter *first = painters[0].get();
    EXPECT_EQ(view.painters()[0].get(), first);
    EXPECT_TRUE(DSStatDocumentSubview().painters().empty());
}

TEST_F(SubviewTest, APNGIsTwiceTheBoundsWhiteOrClearWhereNothingWasDrawn)
{
    view.setFrame(ds_rect_make(0, 0, 100.5, 50));
    struct Case
    {
        bool transparency;
        QRgb undrawn;
    };
    for (const Case &c : {Case{false, qRgba(255, 255, 255, 255)}, Case{true, qRgba(0, 0, 0, 0)}}) {
        SCOPED_TRACE(c.transparency);
        QBuffer buffer;
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        QImageWriter writer(&buffer, "png");
        ASSERT_TRUE(view.writePNGToDestination(&writer, c.transparency));
        const QImage image = QImage::fromData(buffer.data(), "png").convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(201, 100));
        EXPECT_EQ(image.pixel(200, 0), c.undrawn);
        EXPECT_EQ(image.pixel(100, 90), c.undrawn);
        EXPECT_EQ(qAlpha(image.pixel(150, 20)), c.transparency ? 0 : 255);
        // The square at (0, 0), 10 points wide: 20 pixels in the bottom-left corner.
        EXPECT_EQ(image.pixel(0, 99), qRgba(0, 0, 0, 255));
        EXPECT_EQ(image.pixel(19, 80), qRgba(0, 0, 0, 255));
        EXPECT_EQ(image.pixel(21, 99), c.undrawn);
        EXPECT_EQ(image.pixel(5, 78), c.undrawn);
    }
    const QByteArray png = view.PNGData();
    EXPECT_EQ(QImage::fromData(png, "png").size(), QSize(201, 100));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("subview_export.png"));
    ASSERT_TRUE(view.writePNGToURL(path, false));
    std::cout << "exported picture: " << path.toStdString() << std::endl;
}

TEST_F(SubviewTest, ExportsDrawAFreshCopyAndLeaveTheViewAsItWas)
{
    view.setFrame(ds_rect_make(0, 0, 300, 200));
    const DSAffineTransform transform = view.storedTransform;
    ASSERT_FALSE(view.PDFData().isEmpty());
    ASSERT_FALSE(view.PNGData().isEmpty());
    EXPECT_EQ(view.draws, 0) << "the copies drew";
    EXPECT_EQ(view.storedTransform.a, transform.a);
    EXPECT_EQ(view.minimumSize, (DSSize{1, 1}));

    UncopyablePicture plain;
    plain.setFrame(ds_rect_make(0, 0, 30, 20));
    EXPECT_TRUE(plain.PDFData().isEmpty()) << "no copy, no picture, rather than a blank one";
    EXPECT_TRUE(plain.PNGData().isEmpty());
}

TEST_F(SubviewTest, APDFIsOnePageOfTheBoundsWithItsDocumentInformation)
{
    if (!havePoppler())
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    view.setFrame(ds_rect_make(0, 0, 300, 200));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString data = folder.filePath(QStringLiteral("data.pdf"));
    {
        QFile file(data);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(view.PDFData());
    }
    const QString figure = folder.filePath(QStringLiteral("Figure 1.pdf"));
    ASSERT_TRUE(view.writePDFToURL(figure));

    const passwd *account = getpwuid(getuid());
    ASSERT_TRUE(account);
    const QString gecos = QString::fromLocal8Bit(account->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    const QString author = gecos.isEmpty() ? QString::fromLocal8Bit(account->pw_name) : gecos;

    struct Case
    {
        QString path, title;
    };
    for (const Case &c : {Case{data, QStringLiteral("Height summary")}, Case{figure, QStringLiteral("Figure 1")}}) {
        SCOPED_TRACE(c.path.toStdString());
        const QString info = run(QStringLiteral("pdfinfo"), {c.path});
        ASSERT_FALSE(info.isNull());
        EXPECT_EQ(infoField(info, QStringLiteral("Pages")), QStringLiteral("1"));
        EXPECT_EQ(infoField(info, QStringLiteral("Page size")).section(QLatin1Char(' '), 0, 3),
                  QStringLiteral("300 x 200 pts"));
        EXPECT_EQ(infoField(info, QStringLiteral("Title")), c.title);
        EXPECT_EQ(infoField(info, QStringLiteral("Creator")), QStringLiteral("Ostrel"));
        const QString meta = run(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), c.path});
        EXPECT_TRUE(meta.contains(author.toHtmlEscaped())) << meta.toStdString();
        EXPECT_TRUE(run(QStringLiteral("pdftotext"), {c.path, QStringLiteral("-")}).contains(QLatin1String("Heights of trees")));
    }
    EXPECT_FALSE(view.writePDFToURL(folder.filePath(QStringLiteral("missing/Figure 2.pdf"))));
    EXPECT_EQ(view.draws, 0);
}

TEST_F(SubviewTest, TheScreenAndTheTIFFDrawTheViewItself)
{
    view.setFrame(ds_rect_make(0, 0, 60, 40));
    const QByteArray tiff = view.TIFFData();
    ASSERT_FALSE(tiff.isEmpty());
    const QImage image = QImage::fromData(tiff, "tiff").convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.size(), QSize(60, 40));
    EXPECT_EQ(image.pixel(2, 38), qRgba(0, 0, 0, 255)) << "the square at the bottom left";
    EXPECT_EQ(image.pixel(58, 2), qRgba(255, 255, 255, 255));
    EXPECT_EQ(view.draws, 1);
    EXPECT_FALSE(view.lastScreen) << "a cached display is not the screen";

    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.draws = 1;
    view.repaint();
    EXPECT_EQ(view.draws, 2);
    EXPECT_TRUE(view.lastScreen);
}

TEST_F(SubviewTest, ADimmedPictureEndsItsLayerOnEveryPath)
{
    view.setFrame(ds_rect_make(0, 0, 60, 40));
    view.dimmed = true;
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        view.failing = failing;
        DSRecordingContext context;
        if (failing)
            EXPECT_THROW(view.drawPicture(view.bounds(), owner.style(), false, &context), std::runtime_error);
        else
            view.drawPicture(view.bounds(), owner.style(), false, &context);
        EXPECT_EQ(context.layerDepth(), 0);
        const auto &primitives = context.primitives();
        ASSERT_GE(primitives.size(), 3u);
        EXPECT_EQ(primitives.front().kind, DSRecordedPrimitive::BeginLayer);
        EXPECT_EQ(primitives.front().state.alpha, 0.2);
        EXPECT_EQ(primitives.back().kind, DSRecordedPrimitive::EndLayer);
        EXPECT_EQ(context.state().alpha, 1) << "the state before the layer is back";
    }
    view.dimmed = false;
    view.failing = false;
    DSRecordingContext plain;
    view.drawPicture(view.bounds(), owner.style(), false, &plain);
    EXPECT_TRUE(plain.primitives(DSRecordedPrimitive::BeginLayer).empty());
}

TEST_F(SubviewTest, AClickClosesTheOwnersFilterPopoverAndAnOwnerGoneIsForgotten)
{
    view.setFrame(ds_rect_make(0, 0, 60, 40));
    view.show();
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(owner.popoversClosed, 1);

    auto pane = std::make_unique<DSStatDocumentViewDelegate>();
    view.setOwner(pane.get());
    EXPECT_EQ(view.owner(), pane.get());
    DSStyle *sheet = pane->style();
    const QImage drawn = view.renderImage(false);
    EXPECT_FALSE(drawn.isNull());
    EXPECT_EQ(sheet, pane->style());
    pane.reset();
    EXPECT_EQ(view.owner(), nullptr);
    EXPECT_EQ(view.active_table(), nullptr);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(30, 20));
}

} // namespace

#include "DSStatDocumentSubview_test.moc"
