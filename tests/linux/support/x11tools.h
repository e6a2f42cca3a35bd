#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What a program prints on stdout, run to its end (at most 10 s).
inline QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(10000) ? QString::fromLocal8Bit(tool.readAllStandardOutput()) : "";
}
