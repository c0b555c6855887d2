// libFuzzer target: remote-control blocks through the parser, the command
// conditions and the dispatch to a recording window, as the server runs them.
// Built with -DKESSANE_FUZZ=ON and clang.

#include "RecordingWindow.h"
#include "capture/CaptureNaming.h"
#include "remote/RemoteDispatch.h"

#include <QDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace RemoteProtocol;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Values worth trying that the fuzzer would hardly find in uninstrumented Qt.
const char* const trickyValues[] = {"nan", "-inf", "inf", "1e999", "0x10", "../", "..", "/abs/", "a\\b", "\t",
                                    "\x7f", "C:", ""};

// The block to try: the input itself, or one command word with a tricky
// value and the fuzzer's bytes after it.
QByteArray blockFrom(const uint8_t* data, size_t size, bool built)
{
    const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    if (!built || size < 2)
        return rest;
    const Command command = Command(data[0] % CommandCount);
    const char* tricky = trickyValues[data[1] % (sizeof trickyValues / sizeof *trickyValues)];
    return word(command) + tricky + rest.mid(2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool silenced = (qInstallMessageHandler(quiet), true);
    (void)silenced;
    if (size < 1)
        return 0;
    // The first byte is the station's state and the kind of block, the rest
    // the block.
    StationState state;
    state.connected = data[0] & 1;
    state.colourCamera = data[0] & 2;
    state.previewing = data[0] & 4;
    state.capturing = data[0] & 8;
    RecordingWindow window;
    window.workFolderSet = data[0] & 16;
    window.folderCreatable = data[0] & 32;

    const QByteArray block = blockFrom(data + 1, size - 1, data[0] & 64);
    const ParsedBlock parsed = parseBlock(block);
    bool ended = false;
    for (const RemoteCommand& c : parsed.commands) {
        if (!appliesTo(c.command, state) || isLensCommand(c.command))
            continue;
        if (!RemoteDispatch::execute(c, window)) {
            ended = true;
            break;
        }
    }
    // What the network says never reaches the window unchecked.
    for (double exposure : window.exposures)
        check(std::isfinite(exposure));
    for (const QString& name : window.names)
        check(isFileNamePart(name));
    for (const QString& folder : window.folders)
        check(QDir::isAbsolutePath(folder));
    if (!window.workFolderSet)
        check(!window.calls.contains(QStringLiteral("switch Capture on")));
    // A block ends only on a folder error, and with it.
    check(ended == (!window.calls.isEmpty() && window.calls.last().startsWith(QLatin1String("folder error "))));
    return 0;
}
