#pragma once

#include "app/importcommand.h"
#include "operations/standins.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTextStream>

namespace orv::test {

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

// The installed program as a scheduled job runs it: no display, only the arguments, in `folder`;
// with `config` given, the user's configuration folder is there; `input` is its standard input.
inline Ran runProgram(const QStringList &arguments, const QString &folder = QString(),
                      const QString &config = QString(), const QByteArray &input = QByteArray())
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
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("the program did not end normally"), __FILE__, __LINE__);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The import command run in this process on `csv`, written to `file` first.
inline Ran runImport(ops::BatchKind kind, const QString &file, const QString &csv, bool check = false,
                     const CommandOperator &who = {})
{
    QFile sheet(file);
    if (!sheet.open(QIODevice::WriteOnly) || sheet.write(csv.toUtf8()) < 0)
        fail(QStringLiteral("the sheet was not written"), __FILE__, __LINE__);
    sheet.close();
    Ran ran;
    QTextStream out(&ran.out);
    QTextStream err(&ran.err);
    ran.status = runImportCommand(kind, file, check, standInOperations(), out, err, who);
    out.flush();
    err.flush();
    return ran;
}

} // namespace orv::test
