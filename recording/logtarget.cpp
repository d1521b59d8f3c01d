#include "recording/logtarget.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace LogTarget {

namespace {
QString notRegular()
{
    return QCoreApplication::translate("FileSaveSupport",
                                       "不是普通文件（文件夹、管道、设备或套接字）");
}
} // namespace

QString refusal(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return notRegular();
    return QString();
}

bool open(QFile &file, const QString &path, QString *error)
{
    const QString refused = refusal(path);
    if (!refused.isEmpty()) {
        *error = refused;
        return false;
    }
#ifdef Q_OS_UNIX
    // Non-blocking, so that a pipe slipped in under the name fails at once instead of waiting
    // for a reader; what was opened is then checked to be a regular file after all.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = notRegular();
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}

bool writeAll(QFileDevice &file, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString writeFailure(QFileDevice &file, int savedErrno)
{
    if (file.error() == QFileDevice::NoError)
        file.flush();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    if (savedErrno != 0)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    return file.errorString();
}

} // namespace LogTarget
