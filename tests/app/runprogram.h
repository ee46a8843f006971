#pragma once

#include "support/testsupport.h"

#include <QProcess>
#include <QStringList>

namespace orv::test {

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

// The installed program as a scheduled job runs it: no display, only the arguments, in `folder`;
// with `config` given, the user's configuration folder is there.
inline Ran runProgram(const QStringList &arguments, const QString &folder = QString(),
                      const QString &config = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
         {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")})
        environment.remove(name);
    if (!config.isEmpty())
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ORVANE_EXE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("the program did not end normally"), __FILE__, __LINE__);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace orv::test
