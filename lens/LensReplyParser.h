#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

// What the controller has told about itself and its lens, as far as later
// replies need it.
struct LensState
{
    QString address;    // controller address, shown in the lens summary
    QString deviceName; // from the identity reply
    QString version;    // from the identity reply, without its 'd' characters
    int zoomLow = 0;    // zoom range in mm; equal ends for a prime lens
    int zoomHigh = 0;
    int focalLength = 0;        // low end of the zoom range
    float smallestFNumber = 0;  // fully open; 0 when the range was out of bounds
    bool af = false;            // lens switch on AF: the focus motor may be driven
    int focusFar = 0;           // focus position range ("fRange="); 0 until told
    int focusNear = 0;
};

// What one reply asks of the lens dialog, in the order the dialog applies it.
// Fields stay unset when the reply does not touch them.
struct LensReplyEffects
{
    // An identity reply: the state holds the device name and version. (The
    // dialog resumes the pinger shortly after, once it has connected.)
    bool identified = false;
    // "nolensfound": the lens text becomes this ("Lens: N/A ").
    std::optional<QString> lensText;
    // "Current=": positions; the focus and aperture go through the dialog's
    // focus and aperture updates.
    std::optional<int> zoomPosition;
    std::optional<int> focusUpdate;
    std::optional<float> apertureUpdate;
    // "aRange=": texts of the close (label_22) and open (label_21) labels.
    std::optional<QString> closeLabel;
    std::optional<QString> openLabel;
    // "fRange=": texts of the far (label_20) and near (label_18) labels.
    std::optional<QString> farLabel;
    std::optional<QString> nearLabel;
    // The device label with the lens summary.
    std::optional<QString> deviceLabel;
    // "AF=": the new AF state.
    std::optional<bool> af;
    // "NAME=": the controller-name text.
    std::optional<QString> controllerName;
    bool focusDone = false;
    bool irisDone = false;
    // "Focus=" report: store in the motor worker, focus update, focus-reply flag.
    std::optional<int> focusReport;
    // "Iris=" report: store in the motor worker, aperture update (the
    // iris-done flag is set too).
    std::optional<float> irisReport;
    // Enable the controls: the focus group by the AF state, the aperture and
    // preset group always.
    bool enableControls = false;
    // Resume the pinger (its miss count starts again): "nolensfound", "AF="
    // and every focus update.
    bool resumePinger = false;
    // "zRange=": take one miss off the pinger's count.
    bool pingerMissBack = false;
};
Q_DECLARE_METATYPE(LensReplyEffects)

// Reads the controller's replies, one datagram text at a time and in the
// order they arrive, into the effects on the lens dialog. The tests run in a
// fixed order on one text, and each removal of a reply word changes the text
// that the later tests see. A reply with fewer fields than a test reads
// changes nothing in that test.
class LensReplyParser
{
public:
    // The identity of a supported controller, anywhere in a reply.
    static const char* identityPattern() { return R"((Kessane\sBrevan|Kessane\sKT-3))"; }

    void setAddress(const QString& address) { state_.address = address; }
    const LensState& state() const { return state_; }
    // The device label of `state`: "Device: %1 v.%2 @%3", with the lens
    // summary once the zoom and aperture ranges are known.
    static QString deviceLabel(const LensState& state);

    LensReplyEffects parse(const QString& reply);

private:
    // Tests 3 to 5; false when the reply ends there.
    bool readPositionsAndRanges(QString& text, LensReplyEffects& effects);
    void readFocusRange(QString& text, LensReplyEffects& effects);
    void readLensSummary(LensReplyEffects& effects) const;
    void readAfAndName(QString& text, LensReplyEffects& effects);
    void readMotorReports(const QString& text, LensReplyEffects& effects) const;

    LensState state_;
};
