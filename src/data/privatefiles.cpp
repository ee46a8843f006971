#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {

struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const char *from, std::size_t left)
{
    while (left > 0) {
        const ssize_t written = ::write(fd, from, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        from += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

bool makePrivateFolders(const QString &path)
{
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QByteArray bytes = QFile::encodeName(full);
    // Each step of the path from the root: made where missing, left as it is where present.
    for (qsizetype end = 1; end <= bytes.size(); ++end) {
        if (end < bytes.size() && bytes.at(end) != '/')
            continue;
        const QByteArray step = bytes.left(end);
        if (::mkdir(step.constData(), 0700) == 0) {
            // mkdir's mode passes through the umask; the mode is set again without it.
            if (::chmod(step.constData(), 0700) != 0)
                return false;
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return QFileInfo(full).isDir();
}

bool writePrivateFile(const QString &path, const void *data, std::size_t size)
{
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    // In the target's own folder, so the rename never crosses file systems; mkostemp makes it 0600.
    QByteArray part = folder + "/." + QFile::encodeName(target.fileName()) + ".XXXXXX";
    bool written = false;
    {
        const Descriptor file{::mkostemp(part.data(), O_CLOEXEC)};
        if (file.fd < 0)
            return false;
        written = writeAll(file.fd, static_cast<const char *>(data), size) && ::fchmod(file.fd, 0600) == 0 &&
                  ::fsync(file.fd) == 0;
    }
    if (!written || ::rename(part.constData(), finalName.constData()) != 0) {
        ::unlink(part.constData());
        return false;
    }
    // The new name itself reaches the disk only with its folder.
    const Descriptor dir{::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0)
        ::fsync(dir.fd);
    return true;
}

} // namespace orv
