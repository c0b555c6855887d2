#pragma once

#include "base/NqGenParameters.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>

// A camera's feature set for tests: answers reads from a table and records
// every access in order, as text:
//   writes  "PixelFormat=17825799 (value)"   enumeration by value
//           "TriggerMode=On (name)"          enumeration by name
//           "GainRaw=227 (integer)", "ProgFrameTimeAbs=1010 (float)",
//           "LUTEnable=false (boolean)", "DeviceUserID=cam (string)",
//           "AcquisitionStart (command)"
//   reads   "Width?"
//   notes   any text the test adds (e.g. "wait 50"), to interleave other events
// A refused access gets " refused" appended and leaves the value as it was:
// a write outside an integer/float range, an enumeration value or entry name
// the feature does not list, a write to a read-only feature, a read of an
// unreadable one. Names not in the table are absent, as on a camera that
// lacks them; their lookups are collected in absent().
class RecordingParameters : public NqGenParameterArray
{
public:
    using Entries = QList<QPair<QString, int64_t>>;

    RecordingParameters();
    ~RecordingParameters() override;

    void addInteger(const QString& name, int64_t value,
                    int64_t minimum = std::numeric_limits<int64_t>::min(),
                    int64_t maximum = std::numeric_limits<int64_t>::max());
    void addFloat(const QString& name, double value,
                  double minimum = -std::numeric_limits<double>::infinity(),
                  double maximum = std::numeric_limits<double>::infinity());
    // Without entries any value is taken and no name is.
    void addEnum(const QString& name, int64_t value, const Entries& entries = Entries());
    void addBoolean(const QString& name, bool value);
    void addString(const QString& name, const QString& value);
    void addCommand(const QString& name);
    void setWritable(const QString& name, bool writable);
    void setReadable(const QString& name, bool readable);

    // Current values (0 / false / empty when absent).
    int64_t integer(const QString& name) const;
    double floating(const QString& name) const;
    int64_t enumValue(const QString& name) const;
    QString enumName(const QString& name) const;
    bool boolean(const QString& name) const;

    // Every access and note in order.
    QStringList log() const { return m_log; }
    // The log without the reads.
    QStringList writes() const;
    void note(const QString& text) { m_log << text; }
    void clearLog() { m_log.clear(); }
    // Names looked up but not in the table, each once, in first-seen order.
    QStringList absent() const { return m_absent; }

    NqGenParameter* Get(const char* name) override;

    class Feature;

private:
    Feature* find(const QString& name) const;

    std::map<std::string, std::unique_ptr<Feature>> m_features;
    QStringList m_log;
    QStringList m_absent;
};
