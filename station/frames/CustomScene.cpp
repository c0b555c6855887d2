#include "frames/CustomScene.h"

#include "Prompt.h"

#include <QFont>
#include <QGraphicsLineItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

QPoint floored(const QPointF& p)
{
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

QPoint clamped(const QPoint& p, int widthLimit, int heightLimit)
{
    return QPoint(std::clamp(p.x(), 0, widthLimit), std::clamp(p.y(), 0, heightLimit));
}

} // namespace

CustomScene::CustomScene(QObject* parent)
    : QGraphicsScene(parent)
{
    setSceneRect(0, 0, 100, 100);
    m_pixmapItem = addPixmap(QPixmap());
}

void CustomScene::setSceneSize(int width, int height)
{
    m_widthLimit = width;
    m_heightLimit = height;
    setSceneRect(0, 0, width, height);
}

bool CustomScene::hasProfileLine() const
{
    return m_toolItem && m_toolIsLine;
}

void CustomScene::removeLabel()
{
    delete m_valueLabel;
    m_valueLabel = nullptr;
}

void CustomScene::removeTool()
{
    delete m_toolItem;
    m_toolItem = nullptr;
    m_toolIsLine = false;
    removeLabel();
}

void CustomScene::drawROI(int x, int y, int w, int h)
{
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    removeTool();
    QPen pen;
    QBrush fill;
    if (m_sharpnessMode) {
        pen = QPen(QColor(0, 0, 0, 80), 1, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
        fill = QBrush(QColor(248, 216, 50, 70));
    } else {
        pen = QPen(QColor(232, 255, 0, 180), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        fill = QBrush(QColor(0, 222, 33, 60));
    }
    m_toolItem = addRect(x, y, w, h, pen, fill);
    m_x1 = x;
    m_y1 = y;
    m_x2 = x + w - 1;
    m_y2 = y + h - 1;
    update();
}

void CustomScene::drawLine(int x1, int y1, int x2, int y2)
{
    removeTool();
    m_toolItem = addLine(x1, y1, x2, y2, QPen(QBrush(QColor(0, 255, 0)), 2));
    m_toolIsLine = true;
    m_line = QLine(x1, y1, x2, y2);
    update();
}

bool CustomScene::readoutApplies(bool sharpness) const
{
    return !m_lineMode && m_toolItem && !m_toolIsLine && m_press.x() != m_release.x()
           && m_press.y() != m_release.y() && !m_roiResizeMode && m_sharpnessMode == sharpness;
}

void CustomScene::addValueLabel(const QString& text, const QColor& colour)
{
    const int dx = m_release.x() - m_press.x();
    const int dy = m_release.y() - m_press.y();
    // The label sits at the corner the drag started from, except that a drag
    // to the left puts it at the release x (and, going up as well, the release y).
    const int x = dx < 0 ? m_release.x() : m_press.x();
    const int y = dx < 0 && dy < 0 ? m_release.y() : m_press.y();

    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSize(std::max(1, int(std::abs(dy) / 1.8)));
    m_valueLabel = addSimpleText(text, font);
    m_valueLabel->setBrush(colour);
    m_valueLabel->setPos(x, y);
}

void CustomScene::updateIntesity()
{
    if (!readoutApplies(false))
        return;
    removeLabel();
    emit getRIOIntensity(roi());
    addValueLabel(m_percentDisplay ? QStringLiteral("%1%").arg(m_intensity) : QString::number(m_intensity),
                  QColor(255, 255, 255, 200));
}

void CustomScene::updateSharpness()
{
    if (!readoutApplies(true))
        return;
    removeLabel();
    emit doROISharpness(roi());
    addValueLabel(QStringLiteral("%1f").arg(m_sharpness), QColor(0, 0, 0, 70));
}

void CustomScene::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !m_noFrameYet) {
        m_press = floored(event->scenePos());
        removeTool();
        m_dragging = true;
    }
    QGraphicsScene::mousePressEvent(event);
}

void CustomScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    const QPointF pos = event->scenePos();
    if (pos.x() > 0 && pos.y() > 0)
        emit show_coord(int(std::floor(pos.x())), int(std::floor(pos.y())));
    if (m_lineMode && m_dragging) {
        const int x = int(pos.x());
        const int y = int(pos.y());
        drawLine(m_press.x(), m_press.y(), x, y);
        emit lineProfile(m_press.x(), m_press.y(), x, y);
    }
    QGraphicsScene::mouseMoveEvent(event);
}

void CustomScene::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    m_release = floored(event->scenePos());
    if (event->button() == Qt::LeftButton) {
        // m_dragging: the press of this drag was taken (a press before the
        // first frame leaves only a stale press point behind).
        if (m_release != m_press && !m_noFrameYet && m_dragging) {
            m_press = clamped(m_press, m_widthLimit, m_heightLimit);
            m_release = clamped(m_release, m_widthLimit, m_heightLimit);
            if (m_lineMode) {
                m_dragging = false;
                emit lineProfile(0, 0, 0, 0);
                drawLine(m_press.x(), m_press.y(), m_release.x(), m_release.y());
            } else {
                drawROI(m_press.x(), m_press.y(), m_release.x() - m_press.x(), m_release.y() - m_press.y());
                emit rect(m_x1, m_y1, m_x2 - m_x1 + 1, m_y2 - m_y1 + 1);
                if (m_sharpnessMode)
                    updateSharpness();
                else
                    updateIntesity();
                m_dragging = false;
            }
        }
    } else if (event->button() == Qt::RightButton) {
        removeTool();
        if (m_lineMode) {
            emit lineProfile(-10, -10, -10, -10);
            m_dragging = false;
            m_lineMode = false;
        }
    }
    QGraphicsScene::mouseReleaseEvent(event);

    if (m_roiResizeMode) {
        QWidget* parent = views().isEmpty() ? nullptr : views().first();
        if (Prompt::current().question(parent, Prompt::Critical, tr("Error"), tr("Apply this ROI?")))
            emit changeImageSizeROI(roi());
    }
}
