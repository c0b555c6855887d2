#pragma once

#include <QGraphicsScene>
#include <QPoint>
#include <QRect>

class QGraphicsItem;
class QGraphicsPixmapItem;
class QGraphicsSimpleTextItem;

// The scene of the live image: holds the frame's pixmap item, turns left-button
// drags into an ROI rectangle (with its value label) or a profile line,
// reports the pixel under the cursor, and in ROI resize mode asks whether the
// ROI shall become the camera's image area. Mouse presses are ignored until
// the first frame was shown.
class CustomScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit CustomScene(QObject* parent = nullptr);

    // Image size: limits for clamping and the scene rectangle.
    void setSceneSize(int width, int height);
    // Replace the tool item; a rectangle given right-to-left or bottom-up is
    // normalised, so the stored corners always have x1 <= x2 and y1 <= y2.
    void drawROI(int x, int y, int w, int h);
    void drawLine(int x1, int y1, int x2, int y2);

    QGraphicsPixmapItem* pixmapItem() const { return m_pixmapItem; }
    // The last ROI as corners: left() x1, top() y1, right() x2, bottom() y2 (inclusive).
    QRect roi() const { return QRect(QPoint(m_x1, m_y1), QPoint(m_x2, m_y2)); }
    QGraphicsItem* toolItem() const { return m_toolItem; }
    QGraphicsSimpleTextItem* valueLabel() const { return m_valueLabel; }
    // The drawn profile line and its end points, when the tool item is one.
    bool hasProfileLine() const;
    QLine profileLine() const { return m_line; }
    QPoint pressPoint() const { return m_press; }
    QPoint releasePoint() const { return m_release; }

    // Called by the frame slot after each shown frame.
    void setFrameShown() { m_noFrameYet = false; }
    bool frameShown() const { return !m_noFrameYet; }

    void setRoiResizeMode(bool on) { m_roiResizeMode = on; }
    bool roiResizeMode() const { return m_roiResizeMode; }
    void setLineMode(bool on) { m_lineMode = on; }
    bool lineMode() const { return m_lineMode; }
    void setSharpnessMode(bool on) { m_sharpnessMode = on; }
    bool sharpnessMode() const { return m_sharpnessMode; }
    void setPercentDisplay(bool on) { m_percentDisplay = on; }
    void setIntensityValue(int value) { m_intensity = value; }
    // The ROI's last mean intensity (what "#getroi" answers).
    int intensityValue() const { return m_intensity; }
    void setSharpnessValue(int value) { m_sharpness = value; }

signals:
    void show_coord(int x, int y);
    void rect(int x, int y, int width, int height);
    void getRIOIntensity(QRect roi);
    void changeImageSizeROI(QRect roi);
    void lineProfile(int x1, int y1, int x2, int y2);
    void doROISharpness(QRect roi);

public slots:
    void updateIntesity();
    void updateSharpness();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void removeTool();
    void removeLabel();
    bool readoutApplies(bool sharpness) const;
    void addValueLabel(const QString& text, const QColor& colour);

    QGraphicsPixmapItem* m_pixmapItem = nullptr;
    QGraphicsItem* m_toolItem = nullptr;
    QGraphicsSimpleTextItem* m_valueLabel = nullptr;
    bool m_toolIsLine = false;
    QLine m_line;
    int m_x1 = 0;
    int m_y1 = 0;
    int m_x2 = -1;
    int m_y2 = -1;
    QPoint m_press;
    QPoint m_release;
    int m_widthLimit = 100;
    int m_heightLimit = 100;
    bool m_noFrameYet = true;
    bool m_dragging = false;
    bool m_roiResizeMode = false;
    bool m_lineMode = false;
    bool m_sharpnessMode = false;
    bool m_percentDisplay = true;
    int m_intensity = 0;
    int m_sharpness = 0;
};
