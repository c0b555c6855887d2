#pragma once

#include <QGraphicsView>

// The view of the live image: wheel and button zoom (zooming out stops below
// a factor of 0.1) and dropped files ("*.cine" only; others are refused).
class MyGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit MyGraphicsView(QWidget* parent = nullptr);

    double zoomFactor() const { return m_zoom; }

    // True for a file name whose last "."-separated part is "cine" (case-sensitive).
    static bool isLoadableName(const QString& fileName);

public slots:
    void zoomOut();
    void zoomIn();
    void zoomFit();

signals:
    void tryLoadFile(QString path);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void zoomBy(double step);

    double m_zoom = 1.0;
};
