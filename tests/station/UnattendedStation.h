#pragma once

#include "GvcpTestClient.h"
#include "HeldPrompt.h"
#include "Lumi_cam.h"
#include "PulseGeneratorSim.h"
#include "RemoteClient.h"
#include "SimCamFeatures.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "remote/RemoteServer.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A station that a console steers while nobody watches it: the simulated
// camera, the window connected to it, and remote control open to the test's
// client. Every box that would wait for a click is held for a minute
// (HeldPrompt), so a run that waited on one would miss the tests' deadlines.
class UnattendedStation
{
protected:
    // Per test function: a fresh work folder; the rest is built by startStation.
    void initStation()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanupStation()
    {
        m_client.reset();
        m_window.reset();
        m_prompt.reset();
        m_camera.reset();
    }

    // Starts the camera and the window, connects it and opens remote control
    // to the test's client. Settings are written before.
    void startStation(const SimulatedCameraOptions& options)
    {
        m_camera = std::make_unique<SimulatedCamera>(options);
        QVERIFY(m_camera->start());
        m_prompt = std::make_unique<HeldPrompt>();
        m_prompt->holdMs = 0; // the user's own boxes while setting up
        m_window = std::make_unique<Lumi_cam>();
        QVERIFY2(WindowDriver::pick(*m_window, QStringLiteral("127.0.0.1")), "the camera is not listed");
        m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
        WindowDriver::action(*m_window, "actionRemote_Control")->setChecked(true);
        m_client = std::make_unique<RemoteClient>();
        QVERIFY(m_client->connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort()));
        m_prompt->shown.clear();
        m_prompt->mostOpen = 0;
        m_prompt->holdMs = 60000;
    }

    QByteArray ask(const QByteArray& bytes) { return WindowDriver::ask(*m_client, bytes); }

    // Frame accumulation with the generator at `generator` (the IP dialog
    // answered as a user does).
    void enterFrameAccumulation(const PulseGeneratorSim& generator)
    {
        const auto answer = WindowDriver::answerGeneratorDialog(*m_window, generator.address());
        WindowDriver::action(*m_window, "actionFrame_Accumulation_Mode")->setChecked(true);
        QVERIFY(m_window->isTwoGate());
    }

    QString statusLabel() const { return m_window->findChild<QLabel*>(QStringLiteral("statusLabel"))->text(); }

    // The exposure register of the camera, read as a second client does.
    uint32_t cameraExposure()
    {
        GvcpTestClient client;
        uint32_t value = 0;
        uint16_t status = 0;
        if (!client.readRegister("127.0.0.1", 3956, simcam::RegExposureTime, value, status) || status != 0)
            qWarning() << "the camera's exposure could not be read, status" << status;
        return value;
    }

    // Status reply texts, each with its NUL.
    const QByteArray ready{"Ready\0", 6};
    const QByteArray readyDone{"ReadyDone\0", 10};
    const QByteArray preview{"Preview\0", 8};

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<HeldPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    std::unique_ptr<RemoteClient> m_client;
};
