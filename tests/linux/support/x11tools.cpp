#include "x11tools.h"

#include <QProcess>

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(10000) ? QString::fromLocal8Bit(tool.readAllStandardOutput()) : "";
}
