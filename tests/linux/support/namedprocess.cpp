#include "namedprocess.h"

#include "teststore.h"

#include <QTest>

NamedProcess::NamedProcess(const QString &imageName, Form form)
{
    const QString path = m_dir.filePath(imageName);
    if (form == Form::ShellScript) // it waits for its input, which stays open until the end
        writeBytes(path, "#!/bin/sh\nread line\n");
    else
        QFile::copy(QStringLiteral("/bin/sleep"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    if (form == Form::FakeArgv0)
        m_process.start("bash", {"-c", "exec -a \"$0XYZ\" \"$0\" 600", path});
    else
        m_process.start(path, {"600"});
    if (!m_process.waitForStarted(5000) || form != Form::FakeArgv0)
        return;
    // bash has started; wait until it has run the program in its place.
    const QString at = QStringLiteral("/proc/%1/comm").arg(m_process.processId());
    (void)QTest::qWaitFor([&at] { return !QByteArrayList{"", "bash\n"}.contains(fileBytes(at)); });
}
