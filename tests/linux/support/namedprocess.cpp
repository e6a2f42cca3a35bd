#include "namedprocess.h"

#include <QFile>

NamedProcess::NamedProcess(const QString &imageName)
{
    const QString path = m_dir.filePath(imageName);
    if (!QFile::copy(QStringLiteral("/bin/sleep"), path))
        return;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    m_process.start(path, {QStringLiteral("600")});
    m_process.waitForStarted(5000);
}

NamedProcess::~NamedProcess()
{
    stop();
}

void NamedProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
