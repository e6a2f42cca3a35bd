#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real process running under an image name chosen by the test, until stopped: a copy of a small
// system binary named `imageName` that sleeps, or a shell script of that name that waits.
class NamedProcess
{
public:
    enum class Form
    {
        Binary,      // a copy of sleep
        FakeArgv0,   // the same, started with argv[0] set to `imageName` + "XYZ"
        ShellScript, // a "#!/bin/sh" script: the interpreter runs, the script names it
    };

    explicit NamedProcess(const QString &imageName, Form form = Form::Binary);
    // Ends the process and waits until it has been reaped.
    ~NamedProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
