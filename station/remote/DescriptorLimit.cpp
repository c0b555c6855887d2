#include "remote/DescriptorLimit.h"

#include <QLoggingCategory>

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcDescriptors, "kessane.station.descriptors")

namespace DescriptorLimit {

Limits current()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    return {quint64(limit.rlim_cur), quint64(limit.rlim_max)};
}

Limits raiseSoftToHard()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        qCWarning(lcDescriptors) << "raiseSoftToHard: the limits cannot be read:" << std::strerror(errno);
        return {};
    }
    if (limit.rlim_cur != limit.rlim_max) {
        const rlim_t before = limit.rlim_cur;
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            qCWarning(lcDescriptors) << "raiseSoftToHard: the soft limit stays at" << quint64(before) << "of"
                                     << quint64(limit.rlim_max) << ":" << std::strerror(errno);
        else
            qCInfo(lcDescriptors) << "raiseSoftToHard: soft limit raised from" << quint64(before) << "to"
                                  << quint64(limit.rlim_max);
    }
    return current();
}

} // namespace DescriptorLimit
