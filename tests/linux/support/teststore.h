#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// Points the settings store at a fresh, empty per-user configuration directory for the life of
// the object, so that no test touches the user's real settings.
class TestStore
{
public:
    TestStore() : m_previous(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    }
    ~TestStore() { qputenv("XDG_CONFIG_HOME", m_previous); }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("ZEL-VANTO/ZEL-VANTO.ini")); }
    // Writes the INI file as a user or another program would, replacing what is there.
    void writeIni(const QByteArray &content) const
    {
        QFile file(iniPath());
        QDir().mkpath(QFileInfo(file).path());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
