#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Points the settings store at a fresh, empty per-user configuration directory for the life of
// the object, so that no test touches the user's real settings.
class TestStore
{
public:
    TestStore();
    ~TestStore();

    QString iniPath() const;
    // Writes the INI file as a user or another program would, replacing what is there.
    void writeIni(const QByteArray &content) const;
    QByteArray readIni() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
