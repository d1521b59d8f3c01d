#pragma once

// Writes a small file a test then opens through the program; false when it cannot.

#include <QByteArray>
#include <QFile>
#include <QString>

inline bool writeTestFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
