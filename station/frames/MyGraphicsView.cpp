#include "frames/MyGraphicsView.h"

#include "Prompt.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWheelEvent>

namespace {
constexpr double wheelStep = 1.15;
constexpr double buttonStep = 1.07;
constexpr double zoomFloor = 0.1;
} // namespace

MyGraphicsView::MyGraphicsView(QWidget* parent)
    : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::RubberBandDrag);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    setViewportMargins(20, 20, 20, 20);
    setBackgroundBrush(QBrush(Qt::gray, Qt::SolidPattern));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

bool MyGraphicsView::isLoadableName(const QString& fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return !parts.isEmpty() && parts.last() == QLatin1String("cine");
}

void MyGraphicsView::zoomBy(double step)
{
    if (step < 1.0 && m_zoom < zoomFloor)
        return;
    scale(step, step);
    m_zoom *= step;
}

void MyGraphicsView::zoomOut()
{
    zoomBy(1.0 / buttonStep);
}

void MyGraphicsView::zoomIn()
{
    zoomBy(buttonStep);
}

void MyGraphicsView::zoomFit()
{
    scale(1.0 / m_zoom, 1.0 / m_zoom);
    m_zoom = 1.0;
}

void MyGraphicsView::wheelEvent(QWheelEvent* event)
{
    const ViewportAnchor anchor = transformationAnchor();
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    if (event->angleDelta().y() > 0)
        zoomBy(wheelStep);
    else if (event->angleDelta().y() < 0)
        zoomBy(1.0 / wheelStep);
    setTransformationAnchor(anchor);
    event->accept();
}

void MyGraphicsView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MyGraphicsView::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void MyGraphicsView::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        if (isLoadableName(file.fileName()))
            emit tryLoadFile(file.absoluteFilePath());
        else
            Prompt::current().message(this, Prompt::Information, tr("Image Loader"), tr("It is not a MY file"));
    }
    event->acceptProposedAction();
}
