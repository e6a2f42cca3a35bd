#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A file's bytes, empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a file as a user or another program would, replacing what is there; makes its folder.
inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QDir().mkpath(QFileInfo(file).path());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

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
    void writeIni(const QByteArray &content) const { writeBytes(iniPath(), content); }
    QByteArray readIni() const { return fileBytes(iniPath()); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
