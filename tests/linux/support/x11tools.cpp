#include "x11tools.h"

#include <QFile>
#include <QProcess>

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(10000) ? QString::fromLocal8Bit(tool.readAllStandardOutput()) : "";
}

PrivateDisplay::PrivateDisplay(bool windowManager)
    : m_script(QStringLiteral(ZV_X11_SESSION_SCRIPT)), m_previous(qgetenv("DISPLAY"))
{
    QStringList arguments{"start", m_dir.path()};
    if (!windowManager)
        arguments << "--no-wm";
    QFile display(m_dir.filePath("display"));
    m_up = QProcess::execute(m_script, arguments) == 0 && display.open(QIODevice::ReadOnly);
    if (m_up)
        qputenv("DISPLAY", display.readAll().trimmed());
}

PrivateDisplay::~PrivateDisplay()
{
    stop();
    qputenv("DISPLAY", m_previous);
}

void PrivateDisplay::stop()
{
    QProcess::execute(m_script, {"stop", m_dir.path()});
}
