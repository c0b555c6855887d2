// The main window's display renders: the frame slot's display step, the
// colour tables and the colour-plane views.

#include "Lumi_cam.h"

#include "Prompt.h"
#include "analysis/ColourTable.h"
#include "frames/CustomScene.h"
#include "ui_LUMI_camClass.h"

#include <QCoreApplication>
#include <QGraphicsPixmapItem>

bool Lumi_cam::loadLUTs(int index)
{
    const QString name = ColourTable::fileName(index);
    if (name.isEmpty())
        return false;
    QVector<QRgb> table;
    if (!ColourTable::load(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name, &table))
        Prompt::current().message(this, Prompt::Information, tr("Disk Error"), tr("Can't read LUT!"));
    m_colourTable = ColourTable::forDisplay(table);
    return true;
}

DisplayBuffers::Options Lumi_cam::displayOptions() const
{
    DisplayBuffers::Options options;
    options.depths = m_depths;
    options.colour = m_colourCamera;
    options.sChannel = ui->actionSChannel->isChecked();
    options.averageGreens = greenAveraging();
    options.normalise = m_normalise;
    if (m_lutOn)
        options.colourTable = m_colourTable;
    return options;
}

bool Lumi_cam::showFrame(const FrameRef& frame)
{
    m_lastFrame = frame;
    return renderKeptFrame();
}

bool Lumi_cam::renderKeptFrame()
{
    if (!m_lastFrame)
        return false;
    const QImage image = m_buffers.render(*m_lastFrame, displayOptions());
    if (image.isNull())
        return false;
    m_scene->pixmapItem()->setPixmap(QPixmap::fromImage(image));
    return true;
}

void Lumi_cam::applyLUT(bool on)
{
    m_lutOn = on;
    if (renderKeptFrame())
        QCoreApplication::processEvents(); // shown at once
}

void Lumi_cam::redSelected(bool on)
{
    ui->actionRChannel->setChecked(!on);
    showChannel();
}

void Lumi_cam::greenSelected(bool on)
{
    ui->actionSChannel->setChecked(!on);
    showChannel();
}

void Lumi_cam::averageGreens(bool on)
{
    setGreenAveraging(on);
    // The kept frame's R plane as it now reads.
    if (m_colourCamera && m_lastFrame)
        m_buffers.fillPlanes(*m_lastFrame, m_depths.display, on);
    showChannel();
}

void Lumi_cam::showChannel()
{
    if (!m_colourCamera || !renderKeptFrame())
        return;
    QCoreApplication::processEvents();
    replotProfile();
    m_scene->updateIntesity();
}
