#include "charts/DSStatDocumentSubview.h"

#include "charts/DSPictureOwner.h"
#include "platform/graphics/DSPainterContext.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <typeinfo>

namespace {

constexpr ds_rgba_s k_white{1, 1, 1, 1};

QSize coveringSize(const DSRect &frame)
{
    return {int(std::ceil(frame.width())), int(std::ceil(frame.height()))};
}

// XMP metadata of an exported picture: Qt's PDF writer has no author field,
// so the author (with the title and the creating program) goes here.
QByteArray pictureXmp(const QString &title, const QString &author)
{
    QString xmp = QStringLiteral(
        "<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
        "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n");
    if (!title.isNull())
        xmp += QStringLiteral("   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n")
                   .arg(title.toHtmlEscaped());
    xmp += QStringLiteral("   <dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>\n"
                          "   <xmp:CreatorTool>Ostrel</xmp:CreatorTool>\n"
                          "  </rdf:Description>\n"
                          " </rdf:RDF>\n"
                          "</x:xmpmeta>\n"
                          "<?xpacket end=\"w\"?>")
               .arg(author.toHtmlEscaped());
    return xmp.toUtf8();
}

// One page of the bounds' size in points, the document information set.
void setUpPdfWriter(QPdfWriter *writer, const DSRect &bounds, const QString &title)
{
    writer->setResolution(72);
    writer->setPageLayout(QPageLayout(
        QPageSize(QSizeF(bounds.width(), bounds.height()), QPageSize::Point, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF()));
    writer->setCreator(QStringLiteral("Ostrel"));
    if (!title.isNull())
        writer->setTitle(title);
    writer->setDocumentXmpMetadata(pictureXmp(title, DSStatDocumentSubview::userFullName()));
}

// Draws the picture's transparency layer at alpha 0.2 while it lives, and
// ends it however the drawing returns.
class TutorialDimming
{
public:
    TutorialDimming(DSGraphicsContext *context, bool dimmed) : m_context(dimmed ? context : nullptr)
    {
        if (!m_context)
            return;
        m_context->saveGState();
        m_context->setAlpha(0.2);
        m_context->beginTransparencyLayer();
    }
    ~TutorialDimming()
    {
        if (!m_context)
            return;
        m_context->endTransparencyLayer();
        m_context->restoreGState();
    }
    TutorialDimming(const TutorialDimming &) = delete;
    TutorialDimming &operator=(const TutorialDimming &) = delete;

private:
    DSGraphicsContext *m_context;
};

} // namespace

DSStatDocumentSubview::DSStatDocumentSubview(QWidget *parent) : QWidget(parent)
{
}

DSStatDocumentSubview::~DSStatDocumentSubview() = default;

DSPictureOwner *DSStatDocumentSubview::owner() const
{
    return m_ownerGuarded && !m_ownerObject ? nullptr : m_owner;
}

void DSStatDocumentSubview::setOwner(DSPictureOwner *owner)
{
    m_owner = owner;
    m_ownerObject = dynamic_cast<QObject *>(owner);
    m_ownerGuarded = m_ownerObject != nullptr;
}

DSTable *DSStatDocumentSubview::active_table() const
{
    DSPictureOwner *pane = owner();
    return pane ? pane->pictureActiveTable() : nullptr;
}

DSStyle *DSStatDocumentSubview::ownerStyle() const
{
    DSPictureOwner *pane = owner();
    return pane ? pane->style() : nullptr;
}

DSRect DSStatDocumentSubview::frame() const
{
    const QRect widget = geometry();
    if (coveringSize(m_frame) == widget.size() && QPoint(int(std::floor(m_frame.minX())), int(std::floor(m_frame.minY()))) == widget.topLeft())
        return m_frame;
    return ds_rect_make(widget.x(), widget.y(), widget.width(), widget.height());
}

void DSStatDocumentSubview::setFrame(const DSRect &frame)
{
    m_frame = frame.standardized();
    setGeometry(QRect(QPoint(int(std::floor(m_frame.minX())), int(std::floor(m_frame.minY()))), coveringSize(m_frame)));
}

DSRect DSStatDocumentSubview::bounds() const
{
    const DSRect current = frame();
    return ds_rect_make(0, 0, current.width(), current.height());
}

const std::vector<std::unique_ptr<DSPicturePainter>> &DSStatDocumentSubview::painters()
{
    if (!m_paintersMade) {
        m_paintersMade = true;
        for (const PainterClass &make : painterClasses())
            m_painters.push_back(make());
    }
    return m_painters;
}

std::vector<DSStatDocumentSubview::PainterClass> DSStatDocumentSubview::painterClasses() const
{
    return {};
}

bool DSStatDocumentSubview::isDimmedByTutorial() const
{
    return false;
}

QString DSStatDocumentSubview::suggestedFileName() const
{
    return {};
}

void DSStatDocumentSubview::calculateMinimumFrame(DSStyle *)
{
}

void DSStatDocumentSubview::transferAttributesFromView(const DSStatDocumentSubview *other)
{
    m_owner = other->m_owner;
    m_ownerObject = other->m_ownerObject;
    m_ownerGuarded = other->m_ownerGuarded;
}

void DSStatDocumentSubview::awakeFromNib()
{
}

ds_rgba_s DSStatDocumentSubview::backgroundColor() const
{
    return k_white;
}

void DSStatDocumentSubview::drawRect(const DSRect &, DSStyle *, bool, DSGraphicsContext *)
{
}

void DSStatDocumentSubview::drawPicture(const DSRect &dirtyRect, DSStyle *style, bool screen,
                                        DSGraphicsContext *context)
{
    const TutorialDimming dimming(context, isDimmedByTutorial());
    drawRect(dirtyRect, style, screen, context);
}

void DSStatDocumentSubview::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    DSPainterContext context(&painter, height());
    const QRect dirty = event->rect();
    const DSRect rect = ds_rect_make(dirty.x(), height() - dirty.y() - dirty.height(), dirty.width(), dirty.height());
    context.saveGState();
    context.clipToRect(rect);
    context.setFillColor(backgroundColor());
    context.fillRect(bounds());
    drawPicture(rect, ownerStyle(), !m_caching, &context);
    context.restoreGState();
}

void DSStatDocumentSubview::mouseReleaseEvent(QMouseEvent *event)
{
    if (DSPictureOwner *pane = owner())
        pane->closeFilterPopover();
    QWidget::mouseReleaseEvent(event);
}

std::unique_ptr<DSStatDocumentSubview> DSStatDocumentSubview::makeFreshCopy() const
{
    QWidget *noParent = nullptr;
    std::unique_ptr<QObject> made(metaObject()->newInstance(Q_ARG(QWidget *, noParent)));
    auto *view = qobject_cast<DSStatDocumentSubview *>(made.get());
    // A subclass without its own meta-object would be copied as a plain
    // base view, which draws nothing: no copy rather than a blank picture.
    if (!view || typeid(*view) != typeid(*this))
        return nullptr;
    made.release();
    std::unique_ptr<DSStatDocumentSubview> copy(view);
    copy->setFrame(frame());
    copy->awakeFromNib();
    copy->transferAttributesFromView(this);
    copy->calculateMinimumFrame(ownerStyle());
    return copy;
}

void DSStatDocumentSubview::drawExport(DSStatDocumentSubview &copy, const DSRect &rect, bool withTransparency,
                                       DSGraphicsContext *context) const
{
    if (!withTransparency) {
        context->saveGState();
        context->setFillColor(k_white);
        context->fillRect(rect);
        context->restoreGState();
    }
    copy.drawPicture(rect, ownerStyle(), false, context);
}

bool DSStatDocumentSubview::drawPDFRect(const DSRect &rect, bool withTransparency, QPdfWriter *writer)
{
    const std::unique_ptr<DSStatDocumentSubview> copy = makeFreshCopy();
    QPainter painter;
    if (!copy || !painter.begin(writer))
        return false;
    {
        DSPainterContext context(&painter, bounds().height());
        drawExport(*copy, rect, withTransparency, &context);
    }
    return painter.end();
}

QByteArray DSStatDocumentSubview::PDFData()
{
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    {
        QPdfWriter writer(&buffer);
        setUpPdfWriter(&writer, bounds(), suggestedFileName());
        if (!drawPDFRect(bounds(), false, &writer))
            return {};
    }
    return buffer.data();
}

bool DSStatDocumentSubview::writePDFToURL(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        setUpPdfWriter(&writer, bounds(), QFileInfo(path).completeBaseName());
        if (!drawPDFRect(bounds(), false, &writer)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

QImage DSStatDocumentSubview::renderImage(bool withTransparency)
{
    const DSRect area = bounds();
    QImage image(int(2 * area.width()), int(2 * area.height()), QImage::Format_ARGB32_Premultiplied);
    const std::unique_ptr<DSStatDocumentSubview> copy = image.isNull() ? nullptr : makeFreshCopy();
    if (!copy)
        return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(2, 2);
    {
        DSPainterContext context(&painter, area.height());
        drawExport(*copy, area, withTransparency, &context);
    }
    painter.end();
    return image;
}

bool DSStatDocumentSubview::writePNGToDestination(QImageWriter *destination, bool withTransparency)
{
    const QImage image = renderImage(withTransparency);
    return !image.isNull() && destination->write(image);
}

QByteArray DSStatDocumentSubview::PNGData()
{
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, "png");
    return writePNGToDestination(&writer, false) ? buffer.data() : QByteArray();
}

bool DSStatDocumentSubview::writePNGToURL(const QString &path, bool withTransparency)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "png");
    if (!writePNGToDestination(&writer, withTransparency)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray DSStatDocumentSubview::TIFFData()
{
    m_caching = true;
    const QImage image = grab().toImage();
    m_caching = false;
    if (image.isNull())
        return {};
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, "tiff");
    return writer.write(image) ? buffer.data() : QByteArray();
}

QString DSStatDocumentSubview::userFullName()
{
    const passwd *account = getpwuid(getuid());
    if (account && account->pw_gecos) {
        const QString name = QString::fromLocal8Bit(account->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
        if (!name.isEmpty())
            return name;
    }
    if (account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
    return qEnvironmentVariable("USER");
}
