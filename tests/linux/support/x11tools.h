#pragma once

#include <QString>
#include <QStringList>

// What a program prints on stdout, run to its end (at most 10 s).
QString runTool(const QString &program, const QStringList &arguments);
