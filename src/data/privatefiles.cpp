#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace orv {

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

} // namespace orv
