#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real process running under an image name chosen by the test: a copy of a small system
// binary, named `imageName`, that sleeps until stopped.
class NamedProcess
{
public:
    explicit NamedProcess(const QString &imageName);
    ~NamedProcess();

    bool isStarted() const { return m_process.state() == QProcess::Running; }
    // Ends the process and waits until it has been reaped.
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
