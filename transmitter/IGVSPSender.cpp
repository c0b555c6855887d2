#include "IGVSPSender.h"

namespace NqTransmitterRawLib {

IGVSPSender::~IGVSPSender() = default;

} // namespace NqTransmitterRawLib
