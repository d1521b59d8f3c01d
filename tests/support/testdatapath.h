#pragma once

// Where a test's data files are. QFINDTESTDATA takes a relative __FILE__ (ccache with a base
// directory makes it relative to the folder the compiler ran in, build/tests) as relative to the
// top build folder, one level too high, and then finds nothing; this looks in both.

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

inline QString testDataPath(const QString &relative, const char *sourceFile)
{
    const QString sourceDir = QFileInfo(QFile::decodeName(sourceFile)).path();
    QStringList candidates;
    if (QDir::isAbsolutePath(sourceDir)) {
        candidates << sourceDir;
    } else {
        candidates << QStringLiteral(QT_TESTCASE_BUILDDIR "/tests/") + sourceDir
                   << QStringLiteral(QT_TESTCASE_BUILDDIR "/") + sourceDir;
    }
    for (const QString &dir : qAsConst(candidates)) {
        const QString path = QDir::cleanPath(dir + QLatin1Char('/') + relative);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

#define RCAN_TESTDATA(relative) testDataPath(QStringLiteral(relative), __FILE__)
