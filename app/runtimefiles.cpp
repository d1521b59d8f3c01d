#include "app/runtimefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace RuntimeFiles {

QStringList searchFolders()
{
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
#ifdef RCAN_INSTALL_DATADIR
    folders << QStringLiteral(RCAN_INSTALL_DATADIR);
#endif
    // Last: an installed program started in a folder that happens to hold a language/ or
    // resource/ folder must not take those.
    folders << QDir::currentPath();
    return folders;
}

QString locate(const QString &relativePath)
{
    const QStringList folders = searchFolders();
    for (const QString &folder : folders) {
        const QString candidate = QDir(folder).filePath(relativePath);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return relativePath;
}

} // namespace RuntimeFiles
