#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What a program prints on stdout, run to its end (at most 10 s).
QString runTool(const QString &program, const QStringList &arguments);

// An X server of the test's own (with openbox, or bare), named by DISPLAY while this lives, for
// the program, the tools and any new connection; the old DISPLAY comes back after.
class PrivateDisplay
{
public:
    explicit PrivateDisplay(bool windowManager);
    ~PrivateDisplay();
    bool isUp() const { return m_up; }
    void stop(); // as at a logout without a session manager

private:
    QTemporaryDir m_dir;
    QString m_script;
    QByteArray m_previous;
    bool m_up = false;
};
