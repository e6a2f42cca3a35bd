#include "namedprocess.h"

#include <QFile>

NamedProcess::NamedProcess(const QString &imageName)
{
    m_path = m_dir.filePath(imageName);
    if (!QFile::copy(QStringLiteral("/bin/sleep"), m_path))
        return;
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner);
    m_process.start(m_path, {QStringLiteral("600")});
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
