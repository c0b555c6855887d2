#pragma once

#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "camera/camSearchDlg.h"
#include "runs/setIPDlg.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QVariant>
#include <QtTest>

#include <memory>

// Drives the station's main window in tests as a user does: stored settings
// before the window starts, picking a camera in the search dialog, actions by
// object name; and as a console does, over remote control.
namespace WindowDriver {

// How long a test waits for a reply or for the end of a capture: ample on a
// busy machine.
constexpr int PatienceMs = 30000;

// Writes the station's settings file (the test's own HOME) with `values`.
inline bool writeSettings(const QMap<QString, QVariant>& values)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                        + QStringLiteral("/Kessane");
    if (!QDir().mkpath(dir))
        return false;
    QFile file(dir + QStringLiteral("/Lumivar.conf"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "[General]\n";
    for (auto it = values.begin(); it != values.end(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toString().toUtf8() + '\n';
    return file.write(text) == text.size();
}

// The side panel's run settings for a capture of `frames` frames averaged
// over `average`, named from `prefix` (no point) into `folder`, 1 ms exposure.
inline bool writeRunSettings(const QString& folder, int frames, const QString& prefix, int average = 1)
{
    return writeSettings({{"LAST_PTH", folder},
                          {"LAST_FRM", frames},
                          {"LAST_AVG", average},
                          {"LAST_PRT", prefix},
                          {"LAST_PNT", ""},
                          {"LAST_EXP", 1000}});
}

inline QAction* action(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QLatin1String(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

// The search dialog's row of the camera at `ip`, invalid when not listed.
inline QModelIndex cameraRow(const QTreeView& tree, const QString& ip)
{
    const QAbstractItemModel* model = tree.model();
    for (int i = 0; model && i < model->rowCount(); ++i) {
        const QModelIndex interfaceRow = model->index(i, 0);
        for (int j = 0; j < model->rowCount(interfaceRow); ++j) {
            const QModelIndex row = model->index(j, 0, interfaceRow);
            if (row.data().toString().contains(QLatin1Char('[') + ip + QLatin1Char(']')))
                return row;
        }
    }
    return {};
}

// Picks the camera at `ip` in the open search dialog as a user does: a click
// on its row, then a double click once the dialog offers to connect it. The
// search gives a camera half a second to answer: on a busy machine the
// simulated one may miss it, or be taken for busy, and the user searches
// again. False when the dialog is closed, when the camera was not offered
// within PatienceMs, or when it did not connect.
inline bool pick(Lumi_cam& window, const QString& ip)
{
    auto* dialog = window.findChild<camSearchDlg*>();
    if (!dialog || !dialog->isVisible())
        return false;
    auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    const auto* connectButton = dialog->findChild<QPushButton*>(QStringLiteral("pushButtonConnect"));
    const QDeadlineTimer deadline(PatienceMs);
    for (;;) {
        const QModelIndex row = cameraRow(*tree, ip);
        if (row.isValid()) {
            emit tree->clicked(row);
            if (connectButton->isEnabled()) {
                emit tree->doubleClicked(row);
                return window.isConnected();
            }
        }
        if (deadline.hasExpired())
            return false;
        dialog->findChild<QPushButton*>(QStringLiteral("pushButton"))->click(); // search again
    }
}

// The station's top-level window (a settings dialog) of that object name.
inline QWidget* dialog(const char* objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(objectName))
            return w;
    return nullptr;
}

inline QComboBox* combo(QWidget* dialog, const char* name)
{
    return dialog->findChild<QComboBox*>(QLatin1String(name));
}

// A window and the simulated camera it connects to, its boxes answered by
// `prompt`.
struct Station
{
    explicit Station(const SimulatedCameraOptions& options = {}) : camera(options), started(camera.start()) {}
    bool connect() { return started && pick(window, QStringLiteral("127.0.0.1")); }
    QAction* action(const char* name) { return WindowDriver::action(window, name); }
    QString label(const char* name) { return window.findChild<QLabel*>(QLatin1String(name))->text(); }

    SimulatedCamera camera;
    bool started; // before the window, whose search runs at once
    ScriptedPrompt prompt;
    Lumi_cam window;
};

// Answers the pulse generator's address dialog with `address` as a user does,
// once it shows (a mode switch opens it modally and runs events before);
// `modal` says whether it was. The dialog is answered while the timer lives.
inline std::unique_ptr<QTimer> answerGeneratorDialog(Lumi_cam& window, const QString& address,
                                                     bool* modal = nullptr)
{
    auto timer = std::make_unique<QTimer>();
    QTimer* poll = timer.get();
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, address, modal] {
        auto* dialog = window.findChild<setIPDlg*>();
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        if (modal)
            *modal = dialog->isModal();
        dialog->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(address);
        dialog->setIP();
    });
    poll->start(10);
    return timer;
}

// Sends `bytes` as a console does and returns the station's whole reply,
// every text with its NUL (what came before, if anything, too). A reply ends
// with the station's state, which "ReadyDone" always comes before.
inline QByteArray ask(RemoteClient& client, const QByteArray& bytes)
{
    const QByteArray done = QByteArray(RemoteProtocol::ReplyReadyDone) + '\0';
    client.sendRaw(bytes);
    QByteArray reply;
    if (!QTest::qWaitFor(
            [&] {
                reply += client.takeReceivedBytes();
                return reply.endsWith('\0') && !reply.endsWith(done);
            },
            PatienceMs))
        qWarning() << "no whole reply to" << bytes << "came, only" << reply;
    return reply;
}

// Asks "#status" every 100 ms until `finished(reply)` holds, for at most
// PatienceMs; returns the last reply and appends every one to `replies`.
template <typename Finished>
QByteArray pollStatus(RemoteClient& client, Finished finished, QList<QByteArray>* replies = nullptr)
{
    const QDeadlineTimer deadline(PatienceMs);
    for (;;) {
        const QByteArray reply = ask(client, "#status");
        if (replies)
            replies->append(reply);
        if (finished(reply) || deadline.hasExpired())
            return reply;
        QTest::qWait(100);
    }
}

// The first "#status" reply that starts with `state` (the last one asked, if
// none did).
inline QByteArray pollStatusUntil(RemoteClient& client, const QByteArray& state)
{
    return pollStatus(client, [&state](const QByteArray& reply) { return reply.startsWith(state); });
}

// The first "#status" reply after a capture, once it tells no "Captured": the
// capture's last file is written, or the capture ended otherwise.
inline QByteArray statusAfterCapture(RemoteClient& client, QList<QByteArray>* replies = nullptr)
{
    return pollStatus(
        client, [](const QByteArray& reply) { return !reply.startsWith("Captured "); }, replies);
}

} // namespace WindowDriver
