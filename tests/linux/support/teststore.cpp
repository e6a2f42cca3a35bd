#include "teststore.h"

#include <QDir>
#include <QFile>

TestStore::TestStore() : m_previous(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TestStore::~TestStore()
{
    qputenv("XDG_CONFIG_HOME", m_previous);
}

QString TestStore::iniPath() const
{
    return m_dir.filePath(QStringLiteral("ZEL-VANTO/ZEL-VANTO.ini"));
}

void TestStore::writeIni(const QByteArray &content) const
{
    QDir().mkpath(m_dir.filePath(QStringLiteral("ZEL-VANTO")));
    QFile file(iniPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray TestStore::readIni() const
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
