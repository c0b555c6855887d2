#include "capture/ListFiles.h"

#include "capture/CaptureNaming.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

void ListFiles::beginRun()
{
    m_started.clear();
}

WriteResult ListFiles::append(const QString& tiffPath, const QString& channel)
{
    const QString listPath = listFilePath(tiffPath, channel);
    const bool first = !m_started.contains(listPath);
    const QByteArray name = QFile::encodeName(listPath);
    const QByteArray line = listFileLine(tiffPath);
    // Plain system calls, so a failure says why (disk full, read-only, ...).
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | (first ? O_TRUNC : O_APPEND), 0666);
    if (fd < 0)
        return {errno};
    const off_t before = ::lseek(fd, 0, SEEK_END);
    ssize_t n;
    do
        n = ::write(fd, line.constData(), size_t(line.size()));
    while (n < 0 && errno == EINTR);
    int error = n < 0 ? errno : (n != line.size() ? ENOSPC : 0);
    // A line cut short is taken back, so the list holds whole lines only.
    if (n > 0 && error && before >= 0 && ::ftruncate(fd, before) != 0)
        std::fprintf(stderr, "Can't take back the cut line of %s\n", name.constData());
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error)
        return {error};
    m_started.insert(listPath);
    return {};
}
