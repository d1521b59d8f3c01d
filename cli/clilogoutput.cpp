#include "clilogoutput.h"

#include "display/canrecord.h"
#include "recording/logtarget.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

CliLogOutput::~CliLogOutput() = default;

bool CliLogOutput::open(const QString &path, LogFormat format, QString *error)
{
    m_path = path;
    m_format = format;
    m_toStdout = path.isEmpty() || path == QLatin1String("-");
    return openNext(error);
}

void CliLogOutput::setRotation(qint64 maxBytes, int maxSeconds)
{
    m_maxBytes = maxBytes;
    m_maxSeconds = maxSeconds;
}

bool CliLogOutput::openNext(QString *error)
{
    m_codec = LogCodec::create(m_format);
    m_headerWritten = false;
    m_fileBytes = 0;
    m_fileAge.start();
    if (m_toStdout) {
        m_currentPath = QStringLiteral("-");
        return true;
    }
    m_currentPath = m_path;
    if (m_maxBytes > 0 || m_maxSeconds > 0) {
        const QFileInfo info(m_path);
        const QString suffix = info.suffix();
        const QString stamp
            = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        const QString name = info.completeBaseName() + QLatin1Char('-') + stamp + QLatin1Char('-')
            + QString::number(++m_rotation)
            + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        m_currentPath = info.dir().filePath(name);
    }
    QString reason;
    if (!LogTarget::open(m_file, m_currentPath, &reason)) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_currentPath, reason);
        if (error)
            *error = m_error;
        return false;
    }
    return true;
}

bool CliLogOutput::rotationDue() const
{
    if (m_toStdout)
        return false;
    return (m_maxBytes > 0 && m_fileBytes + m_buffer.size() >= m_maxBytes)
        || (m_maxSeconds > 0 && m_fileAge.elapsed() >= qint64(m_maxSeconds) * 1000);
}

CliLogOutput::Status CliLogOutput::write(const LogFrame &frame)
{
    if (!m_codec)
        return Status::Failed;
    if (m_headerWritten && rotationDue()) {
        m_buffer.append(m_codec->footer());
        const Status status = writeOut();
        if (status != Status::Ok)
            return status;
        m_file.close();
        if (!openNext(nullptr))
            return Status::Failed;
    }
    if (!m_headerWritten) {
        m_buffer.append(m_codec->header(frame.hostTimeUs, -1));
        m_headerWritten = true;
    }
    // Only the native format writes the time of day.
    const int msecsOfDay
        = m_format == LogFormat::Native ? m_localTime.msecsOfDay(frame.hostTimeUs) : 0;
    m_codec->appendRecord(m_buffer, CanRecord::fromFrame(frame, msecsOfDay));
    return Status::Ok;
}

CliLogOutput::Status CliLogOutput::writeOut()
{
    if (m_buffer.isEmpty())
        return Status::Ok;
    if (m_toStdout) {
        const char *p = m_buffer.constData();
        qint64 left = m_buffer.size();
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                m_buffer.clear();
                if (errno == EPIPE)
                    return Status::Closed;
                m_error = QStringLiteral("cannot write standard output: %1")
                              .arg(QString::fromLocal8Bit(strerror(errno)));
                return Status::Failed;
            }
            p += n;
            left -= n;
        }
    } else {
        const int size = m_buffer.size();
        if (!LogTarget::writeAll(m_file, m_buffer) || !m_file.flush()) {
            m_error = QStringLiteral("cannot write %1: %2")
                          .arg(m_currentPath, LogTarget::writeFailure(m_file, errno));
            m_buffer.clear();
            return Status::Failed;
        }
        m_fileBytes += size;
    }
    m_buffer.clear();
    return Status::Ok;
}

CliLogOutput::Status CliLogOutput::flush()
{
    return writeOut();
}

CliLogOutput::Status CliLogOutput::close()
{
    if (!m_codec)
        return Status::Ok;
    if (!m_headerWritten) {
        m_buffer.append(m_codec->header(QDateTime::currentMSecsSinceEpoch() * 1000, -1));
        m_headerWritten = true;
    }
    m_buffer.append(m_codec->footer());
    const Status status = writeOut();
    if (m_file.isOpen())
        m_file.close();
    m_codec.reset();
    return status;
}
