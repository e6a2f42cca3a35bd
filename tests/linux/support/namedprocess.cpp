#include "namedprocess.h"

#include <QFile>
#include <QThread>

NamedProcess::NamedProcess(const QString &imageName, Form form)
{
    const QString path = m_dir.filePath(imageName);
    if (form == Form::ShellScript) {
        QFile script(path);
        // It waits for its input, which stays open until the process is stopped.
        if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\nread line\n") < 0)
            return;
    } else if (!QFile::copy(QStringLiteral("/bin/sleep"), path)) {
        return;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    if (form == Form::FakeArgv0) {
        m_process.start(
            QStringLiteral("bash"),
            {QStringLiteral("-c"), QStringLiteral("exec -a \"$0XYZ\" \"$0\" 600"), path});
    } else {
        m_process.start(path, {QStringLiteral("600")});
    }
    if (!m_process.waitForStarted(5000) || form != Form::FakeArgv0)
        return;
    // bash has started; wait until it has run the program in its place.
    for (int i = 0; i < 500; ++i, QThread::msleep(10)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(m_process.processId()));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll() != "bash\n")
            return;
    }
}

void NamedProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
