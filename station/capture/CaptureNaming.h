#pragma once

#include <QString>
#include <QVector>

// File names of a capture: image files by capture mode, the sidecar, the
// multi-page file and the list files that collect the image names. The frame
// number has at least six digits; the point part is "_" and the point text, or
// nothing for an empty point.

// How a captured frame is stored, by camera and mode.
enum class CaptureRow {
    MonoStandard,      // one file per frame
    MonoMultiPage,     // pages of one open file
    MonoDoubleFraming, // one file per frame, gate by counter parity
    MonoTwoGate,       // one file per frame, gate by the active gate
    ColourMosaic,      // the whole mosaic per frame
    ColourSplit,       // the S and R planes, one file each
};

struct CaptureModeFlags
{
    bool colour = false;
    bool twoGate = false;       // frame accumulation with the two generator gates
    bool doubleFraming = false; // actionDouble_Framing_Mode
    bool multiPage = false;     // "Multipage TIFF"
    bool splitColours = false;  // "Split Colors"
};

CaptureRow captureRowFor(const CaptureModeFlags& mode);

struct CaptureNameParts
{
    QString folder;
    QString prefix;
    QString point;
};

// One file to write for a frame.
struct CaptureFile
{
    enum Writer { WholeFrame, Plane, Page };
    QString path;
    Writer writer = WholeFrame;
    int planeFlags = 0;  // Plane: 1 the S plane, 0 the R plane
    QString listChannel; // "mono", "color", "p", "r"; empty: no list entry
};

// Whether `text` may stand in a file name as its prefix or point part: no
// path separator ('/' or '\\'), no "..", no control character, so that the
// name stays inside the work folder. The empty text is one.
bool isFileNamePart(const QString& text);

QString pointTail(const QString& point);
QString frameNumberText(quint64 number);

// The number in a frame's file name: counter / N in the standard, multi-page
// and colour rows, the counter itself with gates (the gate is in the name).
quint64 fileFrameNumber(CaptureRow row, quint64 counter, int averaging);

// The files of one frame, in writing order. For the multi-page row the
// standard name is still built (it is shown as the last name).
QVector<CaptureFile> captureFiles(CaptureRow row, const CaptureNameParts& parts, quint64 counter,
                                  int averaging, int activeGate);

// The folder a capture writes to: the work folder, with the per-camera
// option "<folder>/CAM_<NAME>" (the camera's name upper-cased, blanks as
// dots). The name comes from the camera: a path separator in it becomes "_",
// so the sub-folder stays inside the work folder. An empty work folder stays
// empty: there is nowhere to capture to.
QString workPathFor(const QString& workFolder, bool cameraSubFolder, const QString& cameraName);

// "<folder>/<prefix><point>.settings"
QString sidecarPath(const CaptureNameParts& parts);
// "<folder>/<prefix><point>.tif": the multi-page file of a run.
QString multiPagePath(const CaptureNameParts& parts);

// The list file an image is listed in: the image's name without its frame
// number (and plane suffix) and without ".tif", then ".lst" for "mono" or
// "_<channel>.lst". Only the file name is rewritten, never the folder.
QString listFilePath(const QString& tiffPath, const QString& channel);
// The line listing the image: its name without folder, ".tif", CR LF.
QByteArray listFileLine(const QString& tiffPath);
