#include "remote/DescriptorLimit.h"

#include <QLoggingCategory>

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcDescriptors, "kessane.station.descriptors")

namespace DescriptorLimit {

void raiseSoftToHard()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        qCWarning(lcDescriptors) << "raiseSoftToHard: the limits cannot be read:" << std::strerror(errno);
        return;
    }
    if (limit.rlim_cur == limit.rlim_max)
        return;
    const quint64 before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        qCWarning(lcDescriptors) << "raiseSoftToHard: the soft limit stays at" << before << "of"
                                 << quint64(limit.rlim_max) << ":" << std::strerror(errno);
    else
        qCInfo(lcDescriptors) << "raiseSoftToHard: soft limit raised from" << before << "to"
                              << quint64(limit.rlim_max);
}

} // namespace DescriptorLimit
