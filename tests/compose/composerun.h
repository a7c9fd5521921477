#pragma once

#include "composer.h"

#include <QBuffer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the composer as a process, the way a user or a script does, or in-process, where a
// test can pass what main() would find out about the streams.

inline const QString ComposerProgram = QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline Run compose(const QStringList &arguments, const QString &program = ComposerProgram,
                   const QString &workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

inline Run composeInProcess(const QStringList &arguments,
                            const QString &defaultFolder = QStringLiteral("/nowhere/"),
                            const Composer::Streams &streams = {})
{
    QByteArray out;
    QByteArray err;
    QBuffer outDevice(&out);
    QBuffer errDevice(&err);
    outDevice.open(QIODevice::WriteOnly);
    errDevice.open(QIODevice::WriteOnly);
    const int code = Composer::run(QStringList{QStringLiteral("tavrin-compose")} + arguments,
                                   defaultFolder, outDevice, errDevice, streams);
    return {code, out, err};
}
