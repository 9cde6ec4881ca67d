#include "engine/enginefiles.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Engine {

bool writeIntoExisting(const QString& path, const QByteArray& bytes)
{
    // Without O_CREAT: a file removed since the tool made it stays removed.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return ::close(fd) == 0 && done == bytes.size();
}

} // namespace Engine
