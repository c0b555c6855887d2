#pragma once

#include "PulseGeneratorSim.h"

#include <QStringList>

#include <memory>

// Simulated pulse generators for the console's tests, one per loopback address.
namespace GeneratorPeer {

inline std::unique_ptr<PulseGeneratorSim> start(const char* address,
                                                PulseGeneratorSim::Mode mode = PulseGeneratorSim::Mode::Answer200)
{
    auto generator = std::make_unique<PulseGeneratorSim>();
    generator->setMode(mode);
    if (!generator->start(QString::fromLatin1(address)))
        qFatal("no simulated generator on %s", address);
    return generator;
}

// Path and query of every request received, in order.
inline QStringList targets(const PulseGeneratorSim& generator)
{
    QStringList result;
    for (const PulseGeneratorSim::Request& r : generator.requests())
        result << QString::fromLatin1(r.line.split(' ').value(1));
    return result;
}

} // namespace GeneratorPeer
